#pragma once

#include "server/SlimConnection.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

// A SlimConnection for screen tests: canned status replies and library
// answers (track tags, an album's tracks), every request
// recorded as one short text ("status 9", "version", "stop", "playlist add
// http://x", "titles 0 0 12 0 10"), and gates that hold status requests, or
// the library requests the dialogs make, until the test releases them (a
// loader or listener thread caught inside a slow server request). Any
// thread may call it.
class FakeSlimConnection : public SlimConnection {
public:
    // What the next status requests report. Upcoming songs are handed out
    // up to the count the caller asks for.
    struct Status {
        uint8_t repeat = 0;
        uint8_t shuffle = 0;
        long currentIndex = 0;
        long trackCount = 0;
        SongInfo current;
        std::vector<SongInfo> upcoming;
    };

    static SongInfo Song(const char* title, const char* artist = "N/A", const char* album = "N/A",
                         const char* albumId = "-1", const char* songId = "-1") {
        SongInfo song;
        song.title = title;
        song.artist = artist;
        song.album = album;
        song.albumId = albumId;
        song.songId = songId;
        return song;
    }

    void SetStatus(Status status) {
        std::lock_guard lock(m_lock);
        m_status = std::move(status);
    }
    // Library answers, the entries of a list paged as asked: "folders" (any
    // folder), "artwork", "artists" (of any genre), "playlist", "album <id>"
    // (its tracks), and "track <id>" (one song: the track's tags). An artwork
    // page holds one entry more than asked, as the server's do. Songs stay
    // songs.
    using Entries = std::vector<std::shared_ptr<const BrowseEntry>>;
    void SetEntries(const std::string& list, Entries entries) {
        std::lock_guard lock(m_lock);
        m_entries[list] = std::move(entries);
    }

    std::vector<std::string> Calls() const {
        std::lock_guard lock(m_lock);
        return m_calls;
    }
    int Count(const std::string& call) const {
        std::lock_guard lock(m_lock);
        return int(std::count_if(m_calls.begin(), m_calls.end(),
                                 [&](const std::string& c) { return c == call || c.starts_with(call + " "); }));
    }
    void SetArtistLetterIndex(long index) { m_artistLetterIndex = index; }
    void ClearCalls() {
        std::lock_guard lock(m_lock);
        m_calls.clear();
    }
    // While a gate is held, the requests behind it (status reads; the
    // library reads of the dialogs: track tags, tracks) wait inside the
    // "server" until Release.
    enum Gate { kStatusGate, kLibraryGate };  // the artist letter search waits at the library gate too
    // Holds the gate and runs `start`; true once a request it started waits
    // at the gate (false after 10 s).
    bool Catch(Gate gate, const std::function<void()>& start) {
        SetHeld(gate, true);
        start();
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_gates[gate].caught > 0; });
    }
    void Release(Gate gate) { SetHeld(gate, false); }
    // Runs `destroy` while a thread of its own releases the gate 50 ms from
    // now: by then the window being destroyed has begun waiting for the
    // request.
    void ReleaseDuring(Gate gate, const std::function<void()>& destroy) {
        std::thread release([this, gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Release(gate);
        });
        destroy();
        release.join();
    }

    // SlimConnection (UL keeps each stub on one line)
    using UL = unsigned long;
    [[nodiscard]] bool Connect(const char*, unsigned short) override { return Record("connect"), true; }
    void Disconnect() override { Record("disconnect"); }
    CascadeString GetBaseURL() const override { return "http://127.0.0.1"; }
    CascadeString GetVersion() override { return Record("version"), "6.5.5"; }
    std::shared_ptr<const ETokenArray> GetIgnores(bool) override {
        return std::make_shared<const ETokenArray>(nullptr, nullptr, CascadeCase::Insensitive);
    }

    void GetPlayerStatus(PlayerStatus& status, UL count) override {
        Gated("status " + std::to_string(count), kStatusGate, [&] {
            status.repeat = m_status.repeat;
            status.shuffle = m_status.shuffle;
            status.currentIndex = m_status.currentIndex;
            status.trackCount = m_status.trackCount;
            status.currentSong = m_status.current;
            status.playlist.Clear();
            for (std::size_t i = 0; i < m_status.upcoming.size() && i < count; ++i)
                (void)status.playlist.AddEntry(std::make_unique<SongInfo>(m_status.upcoming[i]));
        });
    }
    uint8_t ToggleShuffle() override { return Record("shuffle toggle"), 0; }
    uint8_t ToggleRepeat() override { return Record("repeat toggle"), 0; }
    void FastForward(UL s) override { Record("fastforward " + std::to_string(s)); }
    void Rewind(UL s) override { Record("rewind " + std::to_string(s)); }
    void SetRate(signed char rate) override { Record("rate " + std::to_string(rate)); }
    void JumpToSong(const char* index) override { Record(std::string("jump ") + index); }
    void JumpToSongIndex(UL index) override { Record("jump " + std::to_string(index)); }
    void JumpToPreviousSong() override { Record("jump -1"); }
    void JumpToNextSong() override { Record("jump +1"); }
    void GetCurrentSongInfo(SongInfo& song) override { song = Read("songinfo", m_status.current); }
    void GetCurrentSongInfo(SongInfo& song, PlayerStatus& status) override {
        GetPlayerStatus(status, 0);
        song = status.currentSong;
    }
    CascadeString GetCurrentSongCoverURL() override { return {}; }
    CascadeString GetCurrentSongTitle() override { return Read("title", m_status.current.title); }
    CascadeString GetCurrentSongArtist() override { return Read("artist", m_status.current.artist); }
    CascadeString GetCurrentSongAlbum() override { return Read("album", m_status.current.album); }
    CascadeString GetCurrentSongGenre() override { return Read("genre", m_status.current.genre); }
    CascadeString GetCurrentSongYear() override { return Read("year", m_status.current.year); }
    UL GetCurrentSongDuration() override { return Record("duration"), 0; }
    UL GetCurrentSongTime() override { return Record("time"), 0; }
    long GetCurrentPlaylist(UL start, UL count, SongList& list, bool) override {
        return Serve("playlist", "playlist", start, count, list);
    }
    long GetCurrentPlaylist(UL start, UL count, SongList& list, PlayerStatus&, bool m) override {
        return GetCurrentPlaylist(start, count, list, m);
    }
    void AddPlaylist(const char* id) override { Record(std::string("playlist add ") + id); }
    void PlayPlaylist(const char* id) override { Record(std::string("playlist play ") + id); }
    void AddToCurrentPlaylist(UL id) override { Record("add track " + std::to_string(id)); }
    void AddToCurrentPlaylist(UL g, UL a, UL al) override { Record("add " + Ids(g, a, al)); }
    void ReplaceCurrentPlaylist(UL id) override { Record("load track " + std::to_string(id)); }
    void ReplaceCurrentPlaylist(UL g, UL a, UL al) override { Record("load " + Ids(g, a, al)); }
    void RemoveFromCurrentPlaylist(UL index) override { Record("delete " + std::to_string(index)); }
    void ClearCurrentPlaylist() override { Record("clear"); }
    void Stop() override { Record("stop"); }
    uint8_t GetShuffle() override { return Read("shuffle ?", m_status.shuffle); }
    uint8_t SetShuffle(uint8_t mode) override { return Record("shuffle " + std::to_string(mode)), mode; }
    uint8_t GetRepeat() override { return Read("repeat ?", m_status.repeat); }
    uint8_t SetRepeat(uint8_t mode) override { return Record("repeat " + std::to_string(mode)), mode; }
    void AddPlaylist(UL id) override { Record("playlist add " + std::to_string(id)); }
    void PlayPlaylist(UL id) override { Record("playlist play " + std::to_string(id)); }
    void AddToCurrentPlaylist(const char* item) override { Record(std::string("playlist add ") + item); }
    void InsertInCurrentPlaylist(const char* item) override { Record(std::string("playlist insert ") + item); }
    void ReplaceCurrentPlaylist(const char* item) override { Record(std::string("playlist play ") + item); }
    void InsertInCurrentPlaylist(UL id) override { Record("insert track " + std::to_string(id)); }
    void InsertInCurrentPlaylist(UL g, UL a, UL al) override { Record("insert " + Ids(g, a, al)); }
    void SaveCurrentPlaylist(const char* name) override { Record(std::string("save ") + name); }
    long GetGenres(UL, UL, UL, UL, BrowseEntryList&) override { return Record("genres"), 0; }
    long GetArtists(UL, UL, UL, UL, BrowseEntryList&) override { return Record("artists"), 0; }
    void GetTrackInfo(UL id, SongInfo& song) override {
        Gated("trackinfo " + std::to_string(id), kLibraryGate, [&] {
            const Entries& track = m_entries["track " + std::to_string(id)];
            if (!track.empty()) song = dynamic_cast<const SongInfo&>(*track[0]);
        });
    }
    UL GetFolderItems(const char*, UL start, UL count, BrowseEntryList& list, CascadeString&) override {
        return Serve("folders", "folders", start, count, list);
    }
    UL GetAlbumArtwork(UL start, UL count, BrowseEntryList& list) override {
        return Serve("artwork", "artwork", start, count, list, 1);
    }
    UL GetArtistCount() override { return Record("count artists"), 0; }
    UL GetAlbumCount() override { return Record("count albums"), 0; }
    UL GetSongCount() override { return Record("count songs"), 0; }
    UL GetGenreCount() override { return Record("count genres"), 0; }
    long GetGenres(UL, UL, BrowseEntryList&) override { return Record("genres"), 0; }
    long GetGenreStartIndex(char, long, unsigned short, Direction) override { return Record("genre letter"), -1; }
    long GetArtists(UL, UL, BrowseEntryList&) override { return Record("artists"), 0; }
    long GetArtists(UL, UL start, UL count, BrowseEntryList& list) override {
        return Serve("artists", "artists", start, count, list), long(list.GetNumEntries());
    }
    long GetArtistStartIndex(char, long, unsigned short, Direction) override { return Record("artist letter"), -1; }
    long GetArtistStartIndex(UL, char, long, unsigned short, Direction) override {
        return Gated("artist letter", kLibraryGate, [&] { return m_artistLetterIndex; });
    }
    long GetAlbums(UL, UL, BrowseEntryList&) override { return Record("albums"), 0; }
    long GetAlbums(UL, UL, UL, BrowseEntryList&) override { return Record("albums"), 0; }
    long GetAlbums(UL, UL, UL, UL, BrowseEntryList&) override { return Record("albums"), 0; }
    long GetAlbumStartIndex(char, long, unsigned short, Direction) override { return Record("album letter"), -1; }
    long GetAlbumStartIndex(UL, char, long, unsigned short, Direction) override { return Record("album letter"), -1; }
    long GetAlbumStartIndex(UL, UL, char, long, unsigned short, Direction) override {
        return Record("album letter"), -1;
    }
    long GetTracks(UL genre, UL artist, UL album, UL start, UL count, SongList& list) override {
        Serve("album " + std::to_string(album), "titles " + Ids(genre, artist, album), start, count, list);
        return long(list.GetNumEntries());
    }
    long GetPlaylists(UL, UL, BrowseEntryList&) override { return Record("playlists"), 0; }

private:
    void Record(std::string call) {
        {
            std::lock_guard lock(m_lock);
            m_calls.push_back(std::move(call));
        }
        m_changed.notify_all();
    }
    // Records `call` and answers with a copy of `field` (of m_status).
    template <typename Field>
    Field Read(const char* call, const Field& field) {
        Record(call);
        std::lock_guard lock(m_lock);
        return field;
    }
    // Records `call`, waits while `gate` is held, then answers under the lock.
    template <typename Answer>
    std::invoke_result_t<Answer&> Gated(std::string call, Gate gate, Answer answer) {
        Record(std::move(call));
        std::unique_lock lock(m_lock);
        if (m_gates[gate].held) {
            ++m_gates[gate].caught;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return !m_gates[gate].held; });
            --m_gates[gate].caught;
        }
        return answer();
    }
    // Records "<call> <start> <count>", waits at the library gate, appends
    // entries [start, start + count + extra) of the list `key` and returns
    // the list's total.
    UL Serve(const std::string& key, const std::string& call, UL start, UL count, BrowseEntryList& list, UL extra = 0) {
        return Gated(call + " " + std::to_string(start) + " " + std::to_string(count), kLibraryGate, [&] {
            const Entries& all = m_entries[key];
            for (UL i = start; i < start + count + extra && i < all.size(); ++i) {
                const auto* song = dynamic_cast<const SongInfo*>(all[i].get());
                (void)list.AddEntry(song ? std::make_unique<SongInfo>(*song) : std::make_unique<BrowseEntry>(*all[i]));
            }
            list.SetTotalCount(all.size());
            return UL(all.size());
        });
    }
    void SetHeld(Gate gate, bool held) {
        {
            std::lock_guard lock(m_lock);
            m_gates[gate].held = held;
        }
        m_changed.notify_all();
    }
    static std::string Ids(unsigned long g, unsigned long a, unsigned long al) {
        return std::to_string(g) + " " + std::to_string(a) + " " + std::to_string(al);
    }

    mutable std::mutex m_lock;  // everything below
    std::condition_variable m_changed;
    Status m_status;
    std::vector<std::string> m_calls;
    long m_artistLetterIndex = -1;  // where an artist letter search finds its letter
    struct {
        bool held = false;
        int caught = 0;
    } m_gates[2];
    std::map<std::string, Entries> m_entries;
};
