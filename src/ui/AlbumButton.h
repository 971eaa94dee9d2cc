#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeColor.h"
#include "platform/CascadeDims.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeMutex.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeWindow.h"
#include "ui/CoverCache.h"
#include "ui/LatestRequest.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class SlimConnection;

// A focusable cover tile: given an album id, a song id or a cover URL, it
// finds the cover on the server, decodes it at the size it is shown (on its
// own thread "cover" or on the caller's), and paints it with an optional
// title strip, "Loading..." until a cover is there, and a focus frame.
//
// Threads: setters, OnPaint and LoadAlbumArt(kAsync) on the UI thread; the
// loader thread runs LoadAlbumArt(kNow). Loads are serialised by the tile's
// load lock; the decoded cover and the ids sit under the state lock, which is
// never held across a server request or an HTTP transfer. The newest request
// wins: a load asked for while one runs runs next, and a load whose album,
// song or URL changed while it waited for the server or the picture is
// abandoned without touching the tile.
class AlbumButton : public CascadeWindow, public CascadeThread {
public:
    enum class RedrawMode { kNoRedraw, kRedraw };
    enum class LoadMode { kNow, kAsync };

    // `connection` answers the album's first track and the server's address;
    // not owned, may be null (then only song ids and URLs work).
    explicit AlbumButton(SlimConnection* connection = nullptr);
    // Drops a waiting load and waits for the loader thread before the cover goes.
    ~AlbumButton() override;

    void SetConnection(SlimConnection* connection) { m_connection = connection; }
    // Covers fetched from the server are looked up in and stored into
    // `cache` (not owned; it must outlive the tile, null for none). UI
    // thread, before loading.
    void SetCoverCache(CoverCache* cache) { m_cache = cache; }
    // A different album id clears the loaded flag and the song id.
    void SetAlbumId(const char* id, RedrawMode redraw);
    // A different song id clears the loaded flag.
    void SetSongId(const char* id, RedrawMode redraw);
    // The JPEG file shown when there is no cover; clears the loaded flag.
    void SetNoCoverJpeg(const char* path);
    // Frees the cover and decodes the one at `url` ("none": the no-cover
    // file; an HTTP answer that is no JPEG also falls back to it). An empty
    // URL leaves the tile unloaded. Any thread.
    void SetAlbumArtURL(const char* url, RedrawMode redraw);
    // Finds the cover: the album's first track (over the connection) gives
    // the song id, the song id gives "<base>:<web port>/music/<id>/cover.jpg".
    // kAsync while a load runs: that load is abandoned once it sees the ids
    // changed, and this one runs after it.
    void LoadAlbumArt(LoadMode mode);

    void SetTitle(const char* title);
    void ShowTitle(bool show) { m_showTitle = show; }

    // Only a tile with a real album id takes the focus.
    bool WillAcceptFocus() override;
    void OnPaint(CascadeBitmap& target) override;
    void OnSetFocus() override { Redraw(); }
    void OnClearFocus() override { Redraw(); }

    bool IsLoaded() const { return m_loaded.load(); }
    CascadeString GetAlbumArtURL() const;
    CascadeString GetSongId() const;
    CascadeString GetAlbumId() const;
    CascadeString GetSecondText() const;
    // The decoded cover's size; empty when there is none.
    CascadeDims GetCoverDims() const;
    // The square the cover is fitted into, in tile coordinates.
    CascadeRect GetCoverRect() const;

    // The cover address of a song: "<base>:<port>/music/<id>/cover.jpg", or
    // "none" for song id "0".
    static CascadeString CoverURL(const CascadeString& baseURL, const CascadeString& webPort, const CascadeString& songId);

protected:
    void ThreadProc() override;

private:
    // Shows the cover at `url` unless the ids moved on past `generation`;
    // false when abandoned.
    bool ShowCover(const CascadeString& url, uint64_t generation);
    [[nodiscard]] bool DecodeFromURL(const CascadeString& url, const CascadeDims& box, CascadeBitmap& cover);
    [[nodiscard]] bool DecodeNoCover(const CascadeDims& box, CascadeBitmap& cover);
    void RedrawTile();

    SlimConnection* m_connection;
    CoverCache* m_cache = nullptr;
    CascadeMutex m_loadLock;  // one load at a time
    LatestRequest m_requests;

    // Ids, texts and the decoded cover, shared by the UI and loader threads.
    mutable std::mutex m_stateLock;
    CascadeBitmap m_cover;
    CascadeString m_songId, m_albumId, m_url, m_title, m_secondText, m_noCoverPath;
    uint64_t m_generation = 0;  // counts the changes of album id, song id and URL from outside

    CascadeColor m_frameColor{64, 214, 198};
    CascadeColor m_textColor{0xFFFFFFFFu};
    std::atomic<bool> m_showTitle{true};
    std::atomic<bool> m_loaded{false};
};
