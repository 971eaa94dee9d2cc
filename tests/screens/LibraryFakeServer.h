#pragma once

#include "server/LetterSearch.h"
#include "ScreenFixture.h"
#include "support/FakeSlimConnection.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The shared stand-in connection with a library held in memory for the
// library screens' tests (genres, artists, albums, tracks and the current
// playlist): pages and start-letter searches answered from it, and the
// library and playlist requests recorded as the CLI lines the real
// connection sends for them. Thread-safe: the screens ask from their loader
// threads while the test reads the record.
class LibraryFakeServer : public FakeSlimConnection {
public:
    using FakeSlimConnection::GetAlbums;
    using FakeSlimConnection::GetAlbumStartIndex;
    using FakeSlimConnection::GetArtists;
    using FakeSlimConnection::GetArtistStartIndex;
    using FakeSlimConnection::GetCurrentPlaylist;
    using FakeSlimConnection::GetGenres;
    using FakeSlimConnection::AddToCurrentPlaylist;
    using FakeSlimConnection::InsertInCurrentPlaylist;
    using FakeSlimConnection::ReplaceCurrentPlaylist;

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

    std::shared_ptr<const ETokenArray> GetIgnores(bool) override {
        std::string joined;
        for (const std::string& a : ignores) joined += (joined.empty() ? "" : ",") + a;
        return std::make_shared<ETokenArray>(joined.c_str(), ",", CascadeCase::Insensitive);
    }

    void JumpToSongIndex(unsigned long index) override { Record("playlist index " + std::to_string(index)); }
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
    void InsertInCurrentPlaylist(unsigned long trackId) override {
        Record("playlistcontrol cmd:insert" + Id("track", trackId));
    }
    void InsertInCurrentPlaylist(unsigned long g, unsigned long a, unsigned long b) override {
        Record("playlistcontrol cmd:insert" + Selection(g, a, b));
    }
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

// The library screens over the fake library.
class LibraryScreenTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        context.server = &library;
    }
    // `count` entries named by `name(i)`, ids from `firstId`.
    template <typename Name>
    static std::vector<LibraryFakeServer::Entry> Entries(int count, unsigned long firstId, Name name) {
        std::vector<LibraryFakeServer::Entry> out;
        for (int i = 0; i < count; ++i) out.push_back({firstId + unsigned(i), name(i)});
        return out;
    }

    LibraryFakeServer library;
};
