#pragma once

#include "server/LetterSearch.h"
#include "server/SlimConnection.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A server for the library screens' tests: a library held in memory (genres,
// artists, albums, tracks and the current playlist), pages and start-letter
// searches answered from it, and every request the screens make recorded as
// the CLI line it stands for. Thread-safe: the screens ask from their loader
// threads while the test reads the record.
class LibraryFakeServer : public SlimConnection {
public:
    struct Track {
        unsigned long id, genre, artist, album;
        std::string title, artistName;
    };
    struct Entry {
        unsigned long id;
        std::string name;
        unsigned long genre = 0, artist = 0;  // for artists: genre; for albums: genre and artist
    };

    std::vector<Entry> genres, artists, albums;
    std::vector<Track> tracks;
    std::vector<Track> playlist;
    std::vector<std::string> ignores{"The"};
    std::atomic<int> delayMs{0};  // each page request takes this long

    // Every request so far, as CLI lines ("artists 6 6 genre_id:2").
    std::vector<std::string> Requests() const {
        std::lock_guard lock(m_lock);
        return m_requests;
    }
    void ClearRequests() {
        std::lock_guard lock(m_lock);
        m_requests.clear();
    }
    // Requests that start with `prefix`.
    std::vector<std::string> RequestsStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& r : Requests())
            if (r.rfind(prefix, 0) == 0) out.push_back(r);
        return out;
    }

    bool Connect(const char*, unsigned short) override { return true; }
    void Disconnect() override {}
    CascadeString GetBaseURL() const override { return "http://127.0.0.1"; }
    CascadeString GetVersion() override { return "6.5.5"; }
    std::shared_ptr<const ETokenArray> GetIgnores(bool) override {
        std::string joined;
        for (const std::string& a : ignores) joined += (joined.empty() ? "" : ",") + a;
        return std::make_shared<ETokenArray>(joined.c_str(), ",", CascadeCase::Insensitive);
    }

    void GetPlayerStatus(PlayerStatus& status, unsigned long) override {
        std::lock_guard lock(m_lock);
        status.trackCount = long(playlist.size());
    }
    uint8_t ToggleShuffle() override { return 0; }
    uint8_t ToggleRepeat() override { return 0; }
    void FastForward(unsigned long) override {}
    void Rewind(unsigned long) override {}
    void SetRate(signed char) override {}
    void JumpToSong(const char*) override {}
    void JumpToSongIndex(unsigned long index) override { Record("playlist index " + std::to_string(index)); }
    void JumpToPreviousSong() override {}
    void JumpToNextSong() override {}
    void GetCurrentSongInfo(SongInfo&) override {}
    void GetCurrentSongInfo(SongInfo&, PlayerStatus&) override {}
    CascadeString GetCurrentSongCoverURL() override { return {}; }
    CascadeString GetCurrentSongTitle() override { return {}; }
    CascadeString GetCurrentSongArtist() override { return {}; }
    CascadeString GetCurrentSongAlbum() override { return {}; }
    CascadeString GetCurrentSongGenre() override { return {}; }
    unsigned long GetCurrentSongDuration() override { return 0; }
    unsigned long GetCurrentSongTime() override { return 0; }
    long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, bool) override {
        std::lock_guard lock(m_lock);
        m_requests.push_back("status " + std::to_string(start) + " " + std::to_string(count));
        for (unsigned long i = start; i < playlist.size() && i < start + count; ++i) {
            auto song = std::make_unique<SongInfo>();
            song->title = playlist[i].title;
            song->artist = playlist[i].artistName;
            song->songId = std::to_string(playlist[i].id);
            song->playlistIndex = std::to_string(i);
            list.AddEntry(std::move(song));
        }
        list.SetTotalCount(playlist.size());
        return long(playlist.size());
    }
    long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, PlayerStatus&,
                            bool markCurrent) override {
        return GetCurrentPlaylist(start, count, list, markCurrent);
    }
    void AddPlaylist(const char*) override {}
    void PlayPlaylist(const char*) override {}
    void AddToCurrentPlaylist(unsigned long trackId) override { Record("playlistcontrol cmd:add" + Id("track", trackId)); }
    void AddToCurrentPlaylist(unsigned long g, unsigned long a, unsigned long b) override {
        Record("playlistcontrol cmd:add" + Selection(g, a, b));
    }
    // The connection replaces the playlist in three steps.
    void ReplaceCurrentPlaylist(unsigned long trackId) override {
        ClearCurrentPlaylist();
        AddToCurrentPlaylist(trackId);
        JumpToSongIndex(0);
    }
    void ReplaceCurrentPlaylist(unsigned long g, unsigned long a, unsigned long b) override {
        ClearCurrentPlaylist();
        AddToCurrentPlaylist(g, a, b);
        JumpToSongIndex(0);
    }
    void RemoveFromCurrentPlaylist(unsigned long index) override { Record("playlist delete " + std::to_string(index)); }
    void ClearCurrentPlaylist() override { Record("playlist clear"); }
    void Stop() override {}
    uint8_t GetShuffle() override { return 0; }
    uint8_t SetShuffle(uint8_t) override { return 0; }
    uint8_t GetRepeat() override { return 0; }
    uint8_t SetRepeat(uint8_t) override { return 0; }
    CascadeString GetCurrentSongYear() override { return {}; }
    void AddPlaylist(unsigned long) override {}
    void PlayPlaylist(unsigned long) override {}
    void AddToCurrentPlaylist(const char*) override {}
    void InsertInCurrentPlaylist(const char*) override {}
    void ReplaceCurrentPlaylist(const char*) override {}
    void InsertInCurrentPlaylist(unsigned long trackId) override {
        Record("playlistcontrol cmd:insert" + Id("track", trackId));
    }
    void InsertInCurrentPlaylist(unsigned long g, unsigned long a, unsigned long b) override {
        Record("playlistcontrol cmd:insert" + Selection(g, a, b));
    }
    void SaveCurrentPlaylist(const char*) override {}
    long GetGenres(unsigned long, unsigned long, unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetArtists(unsigned long, unsigned long, unsigned long, unsigned long, BrowseEntryList&) override {
        return 0;
    }
    void GetTrackInfo(unsigned long, SongInfo&) override {}
    unsigned long GetFolderItems(const char*, unsigned long, unsigned long, BrowseEntryList&, CascadeString&) override {
        return 0;
    }
    unsigned long GetAlbumArtwork(unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    unsigned long GetArtistCount() override { return artists.size(); }
    unsigned long GetAlbumCount() override { return albums.size(); }
    unsigned long GetSongCount() override { return tracks.size(); }
    unsigned long GetGenreCount() override { return genres.size(); }

    long GetGenres(unsigned long start, unsigned long count, BrowseEntryList& list) override {
        return Page("genres", start, count, {}, list, [](const Entry&) { return true; });
    }
    long GetGenreStartIndex(char letter, long start, unsigned short pageSize, Direction direction) override {
        return Search(letter, start, pageSize, direction,
                      [this](long pos, unsigned short n, BrowseEntryList& page) { GetGenres(pos, n, page); });
    }
    long GetArtists(unsigned long start, unsigned long count, BrowseEntryList& list) override {
        return GetArtists(0, start, count, list);
    }
    long GetArtists(unsigned long genreId, unsigned long start, unsigned long count, BrowseEntryList& list) override {
        return Page("artists", start, count, Id("genre", genreId), list,
                    [genreId](const Entry& e) { return genreId == 0 || e.genre == genreId; });
    }
    long GetArtistStartIndex(char letter, long start, unsigned short pageSize, Direction direction) override {
        return GetArtistStartIndex(0, letter, start, pageSize, direction);
    }
    long GetArtistStartIndex(unsigned long genreId, char letter, long start, unsigned short pageSize,
                             Direction direction) override {
        return Search(letter, start, pageSize, direction, [this, genreId](long pos, unsigned short n, BrowseEntryList& p) {
            GetArtists(genreId, pos, n, p);
        });
    }
    long GetAlbums(unsigned long start, unsigned long count, BrowseEntryList& list) override {
        return GetAlbums(0, 0, start, count, list);
    }
    long GetAlbums(unsigned long artistId, unsigned long start, unsigned long count, BrowseEntryList& list) override {
        return GetAlbums(0, artistId, start, count, list);
    }
    long GetAlbums(unsigned long genreId, unsigned long artistId, unsigned long start, unsigned long count,
                   BrowseEntryList& list) override {
        return Page("albums", start, count, Id("genre", genreId) + Id("artist", artistId), list,
                    [genreId, artistId](const Entry& e) {
                        return (genreId == 0 || e.genre == genreId) && (artistId == 0 || e.artist == artistId);
                    });
    }
    long GetAlbumStartIndex(char letter, long start, unsigned short pageSize, Direction direction) override {
        return GetAlbumStartIndex(0, 0, letter, start, pageSize, direction);
    }
    long GetAlbumStartIndex(unsigned long artistId, char letter, long start, unsigned short pageSize,
                            Direction direction) override {
        return GetAlbumStartIndex(0, artistId, letter, start, pageSize, direction);
    }
    long GetAlbumStartIndex(unsigned long genreId, unsigned long artistId, char letter, long start,
                            unsigned short pageSize, Direction direction) override {
        return Search(letter, start, pageSize, direction,
                      [this, genreId, artistId](long pos, unsigned short n, BrowseEntryList& p) {
                          GetAlbums(genreId, artistId, pos, n, p);
                      });
    }
    long GetTracks(unsigned long genreId, unsigned long artistId, unsigned long albumId, unsigned long start,
                   unsigned long count, SongList& list) override {
        std::lock_guard lock(m_lock);
        if (genreId == 0 && artistId == 0 && albumId == 0) {
            m_requests.push_back("info total songs ?");
            list.SetTotalCount(tracks.size());
            return 0;
        }
        m_requests.push_back("titles " + std::to_string(start) + " " + std::to_string(count) + Id("genre", genreId) +
                             Id("artist", artistId) + Id("album", albumId));
        unsigned long total = 0;
        for (const Track& t : tracks) {
            if ((genreId && t.genre != genreId) || (artistId && t.artist != artistId) || (albumId && t.album != albumId))
                continue;
            if (total >= start && total < start + count) {
                auto song = std::make_unique<SongInfo>();
                song->title = t.title;
                song->artist = t.artistName;
                song->songId = std::to_string(t.id);
                list.AddEntry(std::move(song));
            }
            ++total;
        }
        list.SetTotalCount(total);
        return long(list.GetNumEntries());
    }
    long GetPlaylists(unsigned long, unsigned long, BrowseEntryList&) override { return 0; }

private:
    static std::string Id(const char* field, unsigned long id) {
        return id ? std::string(" ") + field + "_id:" + std::to_string(id) : std::string();
    }
    static std::string Selection(unsigned long g, unsigned long a, unsigned long b) {
        return Id("genre", g) + Id("artist", a) + Id("album", b);
    }
    void Record(const std::string& line) {
        std::lock_guard lock(m_lock);
        m_requests.push_back(line);
    }
    template <typename Keep>
    long Page(const char* what, unsigned long start, unsigned long count, const std::string& filter,
              BrowseEntryList& list, Keep keep) {
        if (delayMs.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        std::lock_guard lock(m_lock);
        m_requests.push_back(std::string(what) + " " + std::to_string(start) + " " + std::to_string(count) + filter);
        const std::vector<Entry>& source = what[1] == 'e' ? genres : (what[1] == 'r' ? artists : albums);
        unsigned long total = 0;
        for (const Entry& e : source) {
            if (!keep(e)) continue;
            if (total >= start && total < start + count) {
                auto entry = std::make_unique<BrowseEntry>();
                entry->name = e.name;
                entry->id = std::to_string(e.id);
                list.AddEntry(std::move(entry));
            }
            ++total;
        }
        list.SetTotalCount(total);
        return long(list.GetNumEntries());
    }
    long Search(char letter, long start, unsigned short pageSize, Direction direction,
                const LetterSearch::FetchPage& fetch) {
        const auto words = GetIgnores(false);
        return LetterSearch::Find(fetch, letter, start, pageSize, direction, words.get());
    }

    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
};
