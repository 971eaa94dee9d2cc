#pragma once

#include "server/SlimConnection.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A SlimConnection for the dialog tests: canned library answers and a
// record of every request made, written the way the CLI would be asked
// ("SetRepeat 2", "SaveCurrentPlaylist My list"). Any thread.
class FakeDialogServer : public SlimConnection {
public:
    // Canned answers; set them before the dialog asks.
    std::map<unsigned long, SongInfo> tracks;          // GetTrackInfo
    std::map<unsigned long, std::vector<SongInfo>> albums;  // GetTracks by album id
    std::vector<BrowseEntry> playlists;                // GetPlaylists
    bool answers = true;                               // false: the server does not answer
    uint8_t repeat = 0, shuffle = 0;

    std::vector<std::string> Requests() const {
        std::lock_guard lock(m_lock);
        return m_requests;
    }
    void ClearRequests() {
        std::lock_guard lock(m_lock);
        m_requests.clear();
    }

    bool Connect(const char*, unsigned short) override { return true; }
    void Disconnect() override {}
    CascadeString GetBaseURL() const override { return "http://127.0.0.1"; }
    CascadeString GetVersion() override { return "6.5.5"; }
    std::shared_ptr<const ETokenArray> GetIgnores(bool) override { return std::make_shared<ETokenArray>("", " ", CascadeCase::Insensitive); }
    void GetPlayerStatus(PlayerStatus&, unsigned long) override { Record("GetPlayerStatus"); }
    uint8_t ToggleShuffle() override { return Record("ToggleShuffle"), 0; }
    uint8_t ToggleRepeat() override { return Record("ToggleRepeat"), 0; }
    void FastForward(unsigned long) override {}
    void Rewind(unsigned long) override {}
    void SetRate(signed char) override {}
    void JumpToSong(const char*) override {}
    void JumpToSongIndex(unsigned long) override {}
    void JumpToPreviousSong() override {}
    void JumpToNextSong() override {}
    void GetCurrentSongInfo(SongInfo&) override {}
    void GetCurrentSongInfo(SongInfo&, PlayerStatus&) override {}
    CascadeString GetCurrentSongCoverURL() override { return ""; }
    CascadeString GetCurrentSongTitle() override { return ""; }
    CascadeString GetCurrentSongArtist() override { return ""; }
    CascadeString GetCurrentSongAlbum() override { return ""; }
    CascadeString GetCurrentSongGenre() override { return ""; }
    unsigned long GetCurrentSongDuration() override { return 0; }
    unsigned long GetCurrentSongTime() override { return 0; }
    long GetCurrentPlaylist(unsigned long, unsigned long, SongList&, bool) override { return 0; }
    long GetCurrentPlaylist(unsigned long, unsigned long, SongList&, PlayerStatus&, bool) override { return 0; }
    void AddPlaylist(const char* id) override { Record("AddPlaylist " + std::string(id)); }
    void PlayPlaylist(const char* id) override { Record("PlayPlaylist " + std::string(id)); }
    void AddToCurrentPlaylist(unsigned long id) override { Record("AddToCurrentPlaylist " + std::to_string(id)); }
    void AddToCurrentPlaylist(unsigned long g, unsigned long a, unsigned long b) override {
        Record("AddToCurrentPlaylist " + Ids(g, a, b));
    }
    void ReplaceCurrentPlaylist(unsigned long id) override { Record("ReplaceCurrentPlaylist " + std::to_string(id)); }
    void ReplaceCurrentPlaylist(unsigned long g, unsigned long a, unsigned long b) override {
        Record("ReplaceCurrentPlaylist " + Ids(g, a, b));
    }
    void RemoveFromCurrentPlaylist(unsigned long i) override { Record("RemoveFromCurrentPlaylist " + std::to_string(i)); }
    void ClearCurrentPlaylist() override { Record("ClearCurrentPlaylist"); }
    void Stop() override { Record("Stop"); }
    uint8_t GetShuffle() override { return Record("GetShuffle"), shuffle; }
    uint8_t SetShuffle(uint8_t mode) override {
        Record("SetShuffle " + std::to_string(mode));
        return shuffle = mode;
    }
    uint8_t GetRepeat() override { return Record("GetRepeat"), repeat; }
    uint8_t SetRepeat(uint8_t mode) override {
        Record("SetRepeat " + std::to_string(mode));
        return repeat = mode;
    }
    CascadeString GetCurrentSongYear() override { return ""; }
    void AddPlaylist(unsigned long id) override { Record("AddPlaylist " + std::to_string(id)); }
    void PlayPlaylist(unsigned long id) override { Record("PlayPlaylist " + std::to_string(id)); }
    void AddToCurrentPlaylist(const char* item) override { Record("AddToCurrentPlaylist " + std::string(item)); }
    void InsertInCurrentPlaylist(const char* item) override { Record("InsertInCurrentPlaylist " + std::string(item)); }
    void ReplaceCurrentPlaylist(const char* item) override { Record("ReplaceCurrentPlaylist " + std::string(item)); }
    void InsertInCurrentPlaylist(unsigned long id) override { Record("InsertInCurrentPlaylist " + std::to_string(id)); }
    void InsertInCurrentPlaylist(unsigned long g, unsigned long a, unsigned long b) override {
        Record("InsertInCurrentPlaylist " + Ids(g, a, b));
    }
    void SaveCurrentPlaylist(const char* name) override { Record("SaveCurrentPlaylist " + std::string(name)); }
    long GetGenres(unsigned long, unsigned long, unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetArtists(unsigned long, unsigned long, unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    void GetTrackInfo(unsigned long id, SongInfo& song) override {
        Record("GetTrackInfo " + std::to_string(id));
        std::lock_guard lock(m_lock);
        auto it = tracks.find(id);
        if (answers && it != tracks.end()) song = it->second;
    }
    unsigned long GetFolderItems(const char*, unsigned long, unsigned long, BrowseEntryList&, CascadeString&) override {
        return 0;
    }
    unsigned long GetAlbumArtwork(unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    unsigned long GetArtistCount() override { return 0; }
    unsigned long GetAlbumCount() override { return 0; }
    unsigned long GetSongCount() override { return 0; }
    unsigned long GetGenreCount() override { return 0; }
    long GetGenres(unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetGenreStartIndex(char, long, unsigned short, Direction) override { return -1; }
    long GetArtists(unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetArtists(unsigned long, unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetArtistStartIndex(char, long, unsigned short, Direction) override { return -1; }
    long GetArtistStartIndex(unsigned long, char, long, unsigned short, Direction) override { return -1; }
    long GetAlbums(unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetAlbums(unsigned long, unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetAlbums(unsigned long, unsigned long, unsigned long, unsigned long, BrowseEntryList&) override { return 0; }
    long GetAlbumStartIndex(char, long, unsigned short, Direction) override { return -1; }
    long GetAlbumStartIndex(unsigned long, char, long, unsigned short, Direction) override { return -1; }
    long GetAlbumStartIndex(unsigned long, unsigned long, char, long, unsigned short, Direction) override { return -1; }
    long GetTracks(unsigned long genre, unsigned long artist, unsigned long album, unsigned long start,
                   unsigned long count, SongList& list) override {
        Record("GetTracks " + Ids(genre, artist, album) + " " + std::to_string(start) + " " + std::to_string(count));
        std::lock_guard lock(m_lock);
        auto it = albums.find(album);
        if (!answers || it == albums.end()) return 0;
        for (unsigned long i = start; i < start + count && i < it->second.size(); ++i)
            list.AddEntry(std::make_unique<SongInfo>(it->second[i]));
        list.SetTotalCount(it->second.size());
        return long(list.GetNumEntries());
    }
    long GetPlaylists(unsigned long start, unsigned long count, BrowseEntryList& list) override {
        Record("GetPlaylists " + std::to_string(start) + " " + std::to_string(count));
        std::lock_guard lock(m_lock);
        if (!answers) return 0;
        for (unsigned long i = start; i < start + count && i < playlists.size(); ++i)
            list.AddEntry(std::make_unique<BrowseEntry>(playlists[i]));
        list.SetTotalCount(playlists.size());
        return long(list.GetNumEntries());
    }

private:
    static std::string Ids(unsigned long a, unsigned long b, unsigned long c) {
        return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
    }
    void Record(const std::string& request) {
        std::lock_guard lock(m_lock);
        m_requests.push_back(request);
    }

    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
};
