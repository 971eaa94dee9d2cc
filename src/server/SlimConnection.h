#pragma once

#include "platform/CascadeString.h"
#include "server/BrowseEntryList.h"
#include "server/ETokenArray.h"
#include "server/SongInfo.h"
#include "server/SongList.h"

#include <cstdint>
#include <memory>

// The server-control interface the screens use: playback control, the player
// status, the current playlist and the library, one request at a time.
//
// Threads: every operation may be called from any thread (the UI thread and
// the screens' loader threads); an implementation serialises its exchanges.
// Operations that read return what the server said; when the server cannot
// be reached they return empty texts, 0 counts, empty lists and default
// records (after a log line) instead of failing.
class SlimConnection {
public:
    // The player status: modes, position in the playlist, the current song
    // with its times, and the songs after it. Filled by GetPlayerStatus;
    // fields the reply lacks keep what they held.
    struct PlayerStatus {
        uint8_t repeat = 0;       // the server's repeat mode number
        uint8_t shuffle = 0;      // the server's shuffle mode number
        long currentIndex = 0;    // index of the current song in the playlist
        long trackCount = 0;      // songs in the playlist
        SongInfo currentSong;     // with timeText, secondsElapsed and progress filled in
        SongList playlist;        // the songs after the current one
    };

    enum class Direction { Backward, Forward };

    SlimConnection() = default;
    SlimConnection(const SlimConnection&) = delete;
    SlimConnection& operator=(const SlimConnection&) = delete;
    virtual ~SlimConnection() = default;

    // Opens the connection to `host`:`port`; false when it could not be
    // opened (a later request tries again).
    [[nodiscard]] virtual bool Connect(const char* host, unsigned short port) = 0;
    virtual void Disconnect() = 0;
    // "http://" + the server address, no port and no trailing "/".
    virtual CascadeString GetBaseURL() const = 0;
    // The server's version text; "" when there is none.
    virtual CascadeString GetVersion() = 0;
    // The server's ignored leading articles ("The", "Los", ...), asked once
    // and cached until `refresh`. The caller shares ownership of the list it
    // got; a refresh makes a new list and leaves the old one intact.
    virtual std::shared_ptr<const ETokenArray> GetIgnores(bool refresh) = 0;

    // Status with the current song and `count` songs after it.
    virtual void GetPlayerStatus(PlayerStatus& status, unsigned long count) = 0;
    // Each returns the mode the server reports afterwards (0 without reply).
    virtual uint8_t ToggleShuffle() = 0;
    virtual uint8_t ToggleRepeat() = 0;
    // Seeks forward, or goes to the next song when the seek would pass the
    // end (always for a stream, whose length is unknown).
    virtual void FastForward(unsigned long seconds) = 0;
    virtual void Rewind(unsigned long seconds) = 0;
    virtual void SetRate(signed char rate) = 0;
    // Jumps to a playlist index ("3", "+1", "-1") and starts playing.
    virtual void JumpToSong(const char* index) = 0;
    virtual void JumpToSongIndex(unsigned long index) = 0;
    virtual void JumpToPreviousSong() = 0;
    virtual void JumpToNextSong() = 0;
    virtual void GetCurrentSongInfo(SongInfo& song) = 0;
    virtual void GetCurrentSongInfo(SongInfo& song, PlayerStatus& status) = 0;
    // The current song's cover address; no request is made.
    virtual CascadeString GetCurrentSongCoverURL() = 0;
    virtual CascadeString GetCurrentSongTitle() = 0;
    virtual CascadeString GetCurrentSongArtist() = 0;
    virtual CascadeString GetCurrentSongAlbum() = 0;
    virtual CascadeString GetCurrentSongGenre() = 0;
    // Seconds: length of the current song (0 for a stream) and time played.
    virtual unsigned long GetCurrentSongDuration() = 0;
    virtual unsigned long GetCurrentSongTime() = 0;
    // Appends a page of the current playlist to `list`; returns the number
    // of songs in the playlist.
    virtual long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, bool markCurrent) = 0;
    virtual long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, PlayerStatus& status,
                                    bool markCurrent) = 0;
    virtual void AddPlaylist(const char* playlistId) = 0;
    virtual void PlayPlaylist(const char* playlistId) = 0;
    virtual void AddToCurrentPlaylist(unsigned long trackId) = 0;
    // An id of 0 leaves that level out of the selection.
    virtual void AddToCurrentPlaylist(unsigned long genreId, unsigned long artistId, unsigned long albumId) = 0;
    virtual void ReplaceCurrentPlaylist(unsigned long trackId) = 0;
    virtual void ReplaceCurrentPlaylist(unsigned long genreId, unsigned long artistId, unsigned long albumId) = 0;
    virtual void RemoveFromCurrentPlaylist(unsigned long index) = 0;
    virtual void ClearCurrentPlaylist() = 0;

    // Transport and modes beyond the toggles. Set... return the mode the
    // server reports afterwards (0 without reply).
    virtual void Stop() = 0;
    virtual uint8_t GetShuffle() = 0;
    virtual uint8_t SetShuffle(uint8_t mode) = 0;
    virtual uint8_t GetRepeat() = 0;
    virtual uint8_t SetRepeat(uint8_t mode) = 0;
    virtual CascadeString GetCurrentSongYear() = 0;
    virtual void AddPlaylist(unsigned long playlistId) = 0;
    virtual void PlayPlaylist(unsigned long playlistId) = 0;
    // A path or URL (a song, a playlist file, a station), sent as given.
    virtual void AddToCurrentPlaylist(const char* item) = 0;
    virtual void InsertInCurrentPlaylist(const char* item) = 0;
    virtual void ReplaceCurrentPlaylist(const char* item) = 0;
    virtual void InsertInCurrentPlaylist(unsigned long trackId) = 0;
    virtual void InsertInCurrentPlaylist(unsigned long genreId, unsigned long artistId, unsigned long albumId) = 0;
    // Saves the current playlist under `name`, sent exactly as typed.
    virtual void SaveCurrentPlaylist(const char* name) = 0;
    // Genres of an artist and album, artists of a genre and album (ids of 0
    // leave that level out); pages as below.
    virtual long GetGenres(unsigned long artistId, unsigned long albumId, unsigned long start, unsigned long count,
                           BrowseEntryList& list) = 0;
    virtual long GetArtists(unsigned long genreId, unsigned long albumId, unsigned long start, unsigned long count,
                            BrowseEntryList& list) = 0;
    // Fills `song` from the track's tags; unchanged when the server has none.
    virtual void GetTrackInfo(unsigned long trackId, SongInfo& song) = 0;
    // One page of the folder `hierarchy` ("" for the top); `location` gets
    // the breadcrumb. Returns the folder's total count.
    virtual unsigned long GetFolderItems(const char* hierarchy, unsigned long start, unsigned long count,
                                         BrowseEntryList& list, CascadeString& location) = 0;
    // One page of albums with absolute cover addresses in their urls;
    // returns the total count.
    virtual unsigned long GetAlbumArtwork(unsigned long start, unsigned long count, BrowseEntryList& list) = 0;

    // Library totals; 0 without reply.
    virtual unsigned long GetArtistCount() = 0;
    virtual unsigned long GetAlbumCount() = 0;
    virtual unsigned long GetSongCount() = 0;
    virtual unsigned long GetGenreCount() = 0;

    // Library pages: each appends the page [start, start + count) to `list`,
    // sets its total count and returns the number of entries it holds. An id
    // of 0 means no filter on that level.
    //
    // Start-letter search (the Get...StartIndex operations): the absolute
    // index of the first entry (forward from `start`) or of the earliest
    // entry of the run of pages ending at `start`'s page (backward) whose
    // name, after an ignored article, begins with `letter`; -1 when there is
    // none. Loads one page of `pageSize` entries at a time.
    virtual long GetGenres(unsigned long start, unsigned long count, BrowseEntryList& list) = 0;
    virtual long GetGenreStartIndex(char letter, long start, unsigned short pageSize, Direction direction) = 0;
    virtual long GetArtists(unsigned long start, unsigned long count, BrowseEntryList& list) = 0;
    virtual long GetArtists(unsigned long genreId, unsigned long start, unsigned long count, BrowseEntryList& list) = 0;
    virtual long GetArtistStartIndex(char letter, long start, unsigned short pageSize, Direction direction) = 0;
    virtual long GetArtistStartIndex(unsigned long genreId, char letter, long start, unsigned short pageSize,
                                     Direction direction) = 0;
    virtual long GetAlbums(unsigned long start, unsigned long count, BrowseEntryList& list) = 0;
    virtual long GetAlbums(unsigned long artistId, unsigned long start, unsigned long count, BrowseEntryList& list) = 0;
    virtual long GetAlbums(unsigned long genreId, unsigned long artistId, unsigned long start, unsigned long count,
                           BrowseEntryList& list) = 0;
    virtual long GetAlbumStartIndex(char letter, long start, unsigned short pageSize, Direction direction) = 0;
    virtual long GetAlbumStartIndex(unsigned long artistId, char letter, long start, unsigned short pageSize,
                                    Direction direction) = 0;
    virtual long GetAlbumStartIndex(unsigned long genreId, unsigned long artistId, char letter, long start,
                                    unsigned short pageSize, Direction direction) = 0;
    virtual long GetTracks(unsigned long genreId, unsigned long artistId, unsigned long albumId, unsigned long start,
                           unsigned long count, SongList& list) = 0;
    virtual long GetPlaylists(unsigned long start, unsigned long count, BrowseEntryList& list) = 0;
};
