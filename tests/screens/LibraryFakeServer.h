#pragma once

#include "ScreenFixture.h"
#include "support/FakeSlimConnection.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The shared stand-in connection with a library held in memory for the
// library screens' tests (genres, artists, albums, tracks and the current
// playlist): pages answered from it, and the
// library and playlist requests recorded as the CLI lines the real
// connection sends for them. Thread-safe: the screens ask from their loader
// threads while the test reads the record.
class LibraryFakeServer : public FakeSlimConnection {
public:
    using FakeSlimConnection::AddToCurrentPlaylist;
    using FakeSlimConnection::GetAlbums;
    using FakeSlimConnection::GetArtists;
    using FakeSlimConnection::GetCurrentPlaylist;
    using FakeSlimConnection::GetGenres;
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
    void AddToCurrentPlaylist(unsigned long trackId) override {
        Record("playlistcontrol cmd:add" + Id("track", trackId));
    }
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
    long GetArtists(unsigned long genreId, unsigned long start, unsigned long count, BrowseEntryList& list) override {
        return Page("artists", start, count, Id("genre", genreId), list,
                    [genreId](const Entry& e) { return genreId == 0 || e.genre == genreId; });
    }
    long GetAlbums(unsigned long genreId, unsigned long artistId, unsigned long start, unsigned long count,
                   BrowseEntryList& list) override {
        return Page("albums", start, count, Id("genre", genreId) + Id("artist", artistId), list,
                    [genreId, artistId](const Entry& e) {
                        return (genreId == 0 || e.genre == genreId) && (artistId == 0 || e.artist == artistId);
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
            if ((genreId && t.genre != genreId) || (artistId && t.artist != artistId) ||
                (albumId && t.album != albumId))
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
