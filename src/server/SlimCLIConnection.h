#pragma once

#include "platform/CascadeClientSocket.h"
#include "platform/CascadeMutex.h"
#include "server/SlimConnection.h"

#include <tinyxml2.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// SlimConnection over the server's command line interface: one persistent
// TCP connection carrying one request line and one reply line per exchange,
// plus the server's XML pages over HTTP.
//
// Threads: SetPlayerId, SetWebPort, Connect and Attach belong to the owner
// and come before other threads use the object; every other method may be
// called from any thread. Each exchange holds the request lock from sending
// until its reply is complete, so requests from different threads never
// interleave; an operation of several exchanges takes the lock once per
// exchange.
//
// Link loss: when the server goes away, requests fail fast with an empty
// reply and a log line, and the connection is opened again by the next
// request once a back-off (0.5 s doubling to 8 s) has passed. A link the
// server closed between exchanges is noticed before the next request goes
// out; a query whose link the server closed before replying is asked once
// more on a new link, a command never (the server may have run it).
class SlimCLIConnection : public SlimConnection {
public:
    static constexpr std::size_t kRequestSize = 256;     // a request, including its line feed, is shorter
    static constexpr std::size_t kReplySize = 65536;     // longer replies are cut (and the rest drained)
    static constexpr unsigned long kTimeoutMs = 60000;   // every exchange's send and receive
    static constexpr unsigned long kReconnectTimeoutMs = 2000;

    SlimCLIConnection();
    ~SlimCLIConnection() override;

    // The player's MAC address text; prefixes every player command.
    void SetPlayerId(const CascadeString& playerId) { m_playerId = playerId; }
    const CascadeString& GetPlayerId() const { return m_playerId; }
    // The web interface port for pages and cover addresses; g_portWeb at
    // construction.
    void SetWebPort(const CascadeString& port) { m_webPort = port; }
    // Uses an already-connected stream descriptor (tests hand in one end of a
    // socketpair); such a link is never reopened. False for a bad descriptor.
    [[nodiscard]] bool Attach(int fd);
    // True while a link is open and healthy.
    bool IsConnected();
    // The server is known to be back (its player link came up): the next
    // request reopens a lost link at once instead of after the back-off.
    // Any thread.
    void RetryNow();

    // The request/response primitive: sends `request` (one line ending in
    // "\n"), returns the reply line without its line feed in `reply` (at
    // most kReplySize - 1 bytes). False with an empty reply when the request
    // was refused (empty, longer than 255 bytes, or holding a line break
    // before its end) or the link is down; a time-out keeps what arrived.
    [[nodiscard]] bool GetData(std::string_view request, std::string& reply);
    // The number after "count:" of "<what> 0 0 <filter>", or (filter null or
    // empty) the fourth word of "info total <what> ?"; 0 without one.
    unsigned long GetTotal(const char* what, const char* filter = nullptr);
    // Fetches `url` (with "&start=" and "&itemsPerPage=" added when non-zero)
    // under the request lock and parses it into `document`. False when the
    // page was empty or did not parse.
    [[nodiscard]] bool GetXMLData(const char* url, unsigned long start, unsigned long count,
                                  tinyxml2::XMLDocument& document);
    void Power(bool on);
    // Changes the player's volume by `step` (of the server's 0 to 100) or
    // switches its muting on or off.
    void ChangeVolume(double step);
    void ToggleMuting();

    // SlimConnection
    [[nodiscard]] bool Connect(const char* host, unsigned short port) override;
    void Disconnect() override;
    CascadeString GetBaseURL() const override;
    CascadeString GetVersion() override;
    std::shared_ptr<const ETokenArray> GetIgnores(bool refresh) override;

    void GetPlayerStatus(PlayerStatus& status, unsigned long count) override;
    uint8_t ToggleShuffle() override;
    uint8_t ToggleRepeat() override;
    void FastForward(unsigned long seconds) override;
    void Rewind(unsigned long seconds) override;
    void SetRate(signed char rate) override;
    void JumpToSong(const char* index) override;
    void JumpToSongIndex(unsigned long index) override;
    void JumpToPreviousSong() override { JumpToSong("-1"); }
    void JumpToNextSong() override { JumpToSong("+1"); }
    void GetCurrentSongInfo(SongInfo& song) override;
    void GetCurrentSongInfo(SongInfo& song, PlayerStatus& status) override;
    CascadeString GetCurrentSongCoverURL() override;
    CascadeString GetCurrentSongTitle() override;
    CascadeString GetCurrentSongArtist() override;
    CascadeString GetCurrentSongAlbum() override;
    CascadeString GetCurrentSongGenre() override;
    unsigned long GetCurrentSongDuration() override;
    unsigned long GetCurrentSongTime() override;
    long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, bool markCurrent) override;
    long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, PlayerStatus& status,
                            bool markCurrent) override;
    void AddPlaylist(const char* playlistId) override;
    void PlayPlaylist(const char* playlistId) override;
    void AddToCurrentPlaylist(unsigned long trackId) override;
    void AddToCurrentPlaylist(unsigned long genreId, unsigned long artistId, unsigned long albumId) override;
    void ReplaceCurrentPlaylist(unsigned long trackId) override;
    void ReplaceCurrentPlaylist(unsigned long genreId, unsigned long artistId, unsigned long albumId) override;
    void RemoveFromCurrentPlaylist(unsigned long index) override;
    void ClearCurrentPlaylist() override;

    unsigned long GetArtistCount() override { return GetTotal("artists"); }
    unsigned long GetAlbumCount() override { return GetTotal("albums"); }
    unsigned long GetSongCount() override { return GetTotal("songs"); }
    unsigned long GetGenreCount() override { return GetTotal("genres"); }

    long GetGenres(unsigned long start, unsigned long count, BrowseEntryList& list) override;
    long GetGenreStartIndex(char letter, long start, unsigned short pageSize, Direction direction) override;
    long GetArtists(unsigned long start, unsigned long count, BrowseEntryList& list) override;
    long GetArtists(unsigned long genreId, unsigned long start, unsigned long count, BrowseEntryList& list) override;
    long GetArtistStartIndex(char letter, long start, unsigned short pageSize, Direction direction) override;
    long GetArtistStartIndex(unsigned long genreId, char letter, long start, unsigned short pageSize,
                             Direction direction) override;
    long GetAlbums(unsigned long start, unsigned long count, BrowseEntryList& list) override;
    long GetAlbums(unsigned long artistId, unsigned long start, unsigned long count, BrowseEntryList& list) override;
    long GetAlbums(unsigned long genreId, unsigned long artistId, unsigned long start, unsigned long count,
                   BrowseEntryList& list) override;
    long GetAlbumStartIndex(char letter, long start, unsigned short pageSize, Direction direction) override;
    long GetAlbumStartIndex(unsigned long artistId, char letter, long start, unsigned short pageSize,
                            Direction direction) override;
    long GetAlbumStartIndex(unsigned long genreId, unsigned long artistId, char letter, long start,
                            unsigned short pageSize, Direction direction) override;
    long GetTracks(unsigned long genreId, unsigned long artistId, unsigned long albumId, unsigned long start,
                   unsigned long count, SongList& list) override;
    long GetPlaylists(unsigned long start, unsigned long count, BrowseEntryList& list) override;

    // The rest of the screens' interface.
    void Stop() override;
    uint8_t GetShuffle() override;
    uint8_t SetShuffle(uint8_t mode) override;
    uint8_t GetRepeat() override;
    uint8_t SetRepeat(uint8_t mode) override;
    CascadeString GetCurrentSongYear() override;
    void AddPlaylist(unsigned long playlistId) override;
    void PlayPlaylist(unsigned long playlistId) override;
    // A path or URL, sent as given.
    void AddToCurrentPlaylist(const char* item) override;
    void InsertInCurrentPlaylist(const char* item) override;
    void ReplaceCurrentPlaylist(const char* item) override;
    void InsertInCurrentPlaylist(unsigned long trackId) override;
    void InsertInCurrentPlaylist(unsigned long genreId, unsigned long artistId, unsigned long albumId) override;
    // Spaces of `name` go out as "%20".
    void SaveCurrentPlaylist(const char* name) override;
    long GetGenres(unsigned long artistId, unsigned long albumId, unsigned long start, unsigned long count,
                   BrowseEntryList& list) override;
    long GetArtists(unsigned long genreId, unsigned long albumId, unsigned long start, unsigned long count,
                    BrowseEntryList& list) override;
    // Fills `song` from the track's "songinfo"; unchanged without an item.
    void GetTrackInfo(unsigned long trackId, SongInfo& song) override;
    // One page of the folder `hierarchy` ("" for the top); `location` gets
    // the breadcrumb. Returns the list's total count.
    unsigned long GetFolderItems(const char* hierarchy, unsigned long start, unsigned long count,
                                 BrowseEntryList& list, CascadeString& location) override;
    // One page of albums with absolute cover addresses in their urls.
    unsigned long GetAlbumArtwork(unsigned long start, unsigned long count, BrowseEntryList& list) override;

private:
    // Formats a request into the request size; false (logged) when it does
    // not fit.
    [[nodiscard]] static bool FormatV(std::string& request, const char* format, va_list args);
    [[nodiscard]] static bool Format(std::string& request, const char* format, ...)
        __attribute__((format(printf, 2, 3)));
    // Formats and exchanges; the reply, "" on any failure.
    std::string Request(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void RequestWithPlayer(const char* format, ...) __attribute__((format(printf, 2, 3)));
    CascadeString WebBase() const;
    void SendSelection(const char* command, unsigned long genreId, unsigned long artistId, unsigned long albumId);
    long ListQuery(const std::string& request, const char* key, BrowseEntryList& list);
    void ApplyWebStatusTitle(SongInfo& song);

    // Link handling, all with the request lock held.
    [[nodiscard]] bool EnsureLinkLocked();
    [[nodiscard]] bool OpenLinkLocked(unsigned long timeoutMs);
    void NoteLinkLostLocked(const char* why);
    enum class Outcome { Complete, NothingPeerClosed, Partial };
    Outcome ExchangeLocked(std::string_view request, std::string& reply);
    void DrainLineLocked();

    std::atomic<bool> m_retryNow{false};  // set by RetryNow, taken by the next request

    // Written by the owner before other threads use the object.
    CascadeString m_playerId;
    CascadeString m_webPort;
    CascadeString m_serverAddress;

    // The link and its reconnection state, guarded by the request lock.
    struct Link {
        CascadeClientSocket socket;
        CascadeString host;
        unsigned short port = 0;
        bool wanted = false;          // Connect was called and Disconnect not since
        bool down = false;            // the link was lost and not yet reopened
        uint64_t nextAttemptMs = 0;   // uptime before which no reconnect is tried
        unsigned long backoffMs = 0;
        unsigned long attempts = 0;
        std::unique_ptr<char[]> buffer;  // kReplySize bytes for receiving
    };
    CascadeMutex m_requestLock;
    Link m_link;

    // The ignored-articles cache, apart from the request lock.
    std::mutex m_ignoresLock;
    std::shared_ptr<const ETokenArray> m_ignores;
};
