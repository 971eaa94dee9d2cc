#include "ui/AlbumButton.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeHTTPStream.h"
#include "platform/CascadeTextFlags.h"
#include "server/EUtils.h"
#include "server/SlimConnection.h"
#include "server/SongList.h"
#include "ui/EJpegWidget.h"
#include "ui/EUtilsDrawing.h"

#include <algorithm>

namespace {

// A cover that does not arrive within this time falls back to the no-cover
// picture.
constexpr unsigned long kCoverStallMs = 10000;
constexpr int kTitleInset = 5;
constexpr int kTitleStrip = 21;
constexpr CascadeColor kLoadingColor(0xC8D6E5FFu);
constexpr CascadeColor kTitleShade(0x000000A0u);

bool MakeCover(const std::vector<uint8_t>& pixels, const CascadeDims& size, CascadeBitmap& cover) {
    return cover.Create(size) && EUtils::BufferBlit(cover, {0, 0}, pixels.data(), size, 32, {});
}

}  // namespace

AlbumButton::AlbumButton(SlimConnection* connection)
    : m_connection(connection), m_font("system", CascadeFont::kNormal, g_useLargeFont ? 18 : 16) {}

AlbumButton::~AlbumButton() { WaitUntilFinished(); }

CascadeString AlbumButton::CoverURL(const CascadeString& baseURL, const CascadeString& webPort,
                                    const CascadeString& songId) {
    if (songId == "0") return "none";
    return baseURL + ":" + webPort + "/music/" + songId + "/cover.jpg";
}

void AlbumButton::SetAlbumId(const char* id, RedrawMode redraw) {
    {
        std::lock_guard lock(m_stateLock);
        if (m_albumId == id) return;
        m_albumId = id;
        m_songId = "";
    }
    m_loaded = false;
    if (redraw == RedrawMode::kRedraw) RedrawTile();
}

void AlbumButton::SetSongId(const char* id, RedrawMode redraw) {
    {
        std::lock_guard lock(m_stateLock);
        if (m_songId == id) return;
        m_songId = id;
    }
    m_loaded = false;
    if (redraw == RedrawMode::kRedraw) RedrawTile();
}

void AlbumButton::SetNoCoverJpeg(const char* path) {
    std::lock_guard lock(m_stateLock);
    m_noCoverPath = path;
    m_loaded = false;
}

void AlbumButton::SetTitle(const char* title) {
    std::lock_guard lock(m_stateLock);
    m_title = title;
}

CascadeRect AlbumButton::GetCoverRect() const {
    const CascadeDims d = GetDims();
    if (!m_showTitle) return {0, 0, std::min(d.w, d.h), std::min(d.w, d.h)};
    const int side = std::max(std::min(d.w - 2 * kTitleInset, d.h - 1), 0);
    return {kTitleInset, kTitleInset, side, side};
}

bool AlbumButton::DecodeFromURL(const CascadeString& url, const CascadeDims& box, CascadeBitmap& cover) {
    CascadeHTTPStream stream;
    stream.SetStallTimeout(kCoverStallMs);
    if (!stream.Open(url.c_str())) return false;
    std::vector<uint8_t> pixels;
    CascadeDims size;
    return EJpegWidget::GetJpegBitmap(&stream, box, size, pixels, EJpegWidget::PixelOrder::kAlphaFirst) &&
           MakeCover(pixels, size, cover);
}

bool AlbumButton::DecodeNoCover(const CascadeDims& box, CascadeBitmap& cover) {
    CascadeString path;
    {
        std::lock_guard lock(m_stateLock);
        path = m_noCoverPath;
    }
    if (path.IsEmpty()) return false;
    std::vector<uint8_t> pixels;
    CascadeDims size;
    return EJpegWidget::GetJpegBitmap(path.c_str(), box, size, pixels, EJpegWidget::PixelOrder::kAlphaFirst) &&
           MakeCover(pixels, size, cover);
}

void AlbumButton::SetAlbumArtURL(const char* url, RedrawMode redraw) {
    const CascadeString address = url;
    {
        std::lock_guard lock(m_stateLock);
        m_url = address;
        m_cover.Release();
    }
    if (address.IsEmpty()) {
        m_loaded = false;
    } else {
        const CascadeRect square = GetCoverRect();
        CascadeBitmap cover;
        const bool fromServer = !(address == "none") && DecodeFromURL(address, square.Dims(), cover);
        if (!fromServer && !DecodeNoCover(square.Dims(), cover))
            AppLog::WriteToLog("cover: no picture for %s and no no-cover file\n", false, address.c_str());
        {
            std::lock_guard lock(m_stateLock);
            m_cover = std::move(cover);
        }
        m_loaded = true;
    }
    if (redraw == RedrawMode::kRedraw) RedrawTile();
}

void AlbumButton::LoadAlbumArt(LoadMode mode) {
    if (mode == LoadMode::kAsync) {
        if (!Start("cover")) AppLog::WriteToLog("cover: loader still running\n", false);
        return;
    }
    std::lock_guard load(m_loadLock);
    CascadeString songId, albumId;
    {
        std::lock_guard lock(m_stateLock);
        songId = m_songId;
        albumId = m_albumId;
    }
    if (songId.IsEmpty() && !albumId.IsEmpty() && m_connection) {
        SongList songs;
        const auto album = static_cast<unsigned long>(std::max<int64_t>(EUtils::ParseDecimal(albumId.View()), 0));
        if (m_connection->GetTracks(0, 0, album, 0, 1, songs) > 0 && songs.GetNumEntries() > 0 && songs.Item(0)) {
            std::lock_guard lock(m_stateLock);
            m_songId = songId = songs.Item(0)->songId;
            m_secondText = songs.Item(0)->artist;
        } else {
            std::lock_guard lock(m_stateLock);
            m_secondText = "";
            songId = "0";  // no track: the no-cover picture
        }
    }
    CascadeString url;
    if (!songId.IsEmpty())
        url = CoverURL(m_connection ? m_connection->GetBaseURL() : CascadeString("http://127.0.0.1"), g_portWeb, songId);
    SetAlbumArtURL(url.IsEmpty() ? "none" : url.c_str(), RedrawMode::kNoRedraw);
    m_loaded = true;
    RedrawTile();
}

void AlbumButton::ThreadProc() { LoadAlbumArt(LoadMode::kNow); }

bool AlbumButton::WillAcceptFocus() {
    std::lock_guard lock(m_stateLock);
    return !m_albumId.IsEmpty() && !(m_albumId == "0");
}

void AlbumButton::RedrawTile() {
    CascadeWindow* parent = GetParent();
    if (IsFocus() || !parent) {
        Redraw();
        return;
    }
    const CascadeRect mine = GetRectAbsolute(), theirs = parent->GetRectAbsolute();
    parent->Redraw(mine.Offset(-theirs.x, -theirs.y));
}

void AlbumButton::OnPaint(CascadeBitmap& target) {
    const CascadeRect square = GetCoverRect();
    const CascadeDims dims = GetDims();
    std::lock_guard lock(m_stateLock);
    if (m_cover.IsValid()) {
        const CascadeDims d = m_cover.GetDims();
        target.DrawBitmap(m_cover, {square.x + (square.w - d.w) / 2, square.y + (square.h - d.h) / 2});
    } else if (!m_loaded) {
        target.DrawText(m_font, square, "Loading...", kLoadingColor,
                        CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kCenterVertical);
    }
    if (m_showTitle && !m_title.IsEmpty()) {
        const CascadeRect strip(kTitleInset, dims.h - kTitleStrip, dims.w - 2 * kTitleInset, kTitleStrip);
        target.FillRect(strip, kTitleShade);
        EUtils::ShadowedDrawText(target, m_font, strip, m_title.c_str(), m_textColor,
                                 CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kCenterVertical |
                                     CascadeTextFlags::kEllipsis,
                                 1, CascadeColor(0x000000FFu), EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    }
    if (IsFocus()) target.FrameRect({0, 0, dims.w, dims.h}, m_frameColor, 3);
}

CascadeString AlbumButton::GetAlbumArtURL() const {
    std::lock_guard lock(m_stateLock);
    return m_url;
}

CascadeString AlbumButton::GetSongId() const {
    std::lock_guard lock(m_stateLock);
    return m_songId;
}

CascadeString AlbumButton::GetSecondText() const {
    std::lock_guard lock(m_stateLock);
    return m_secondText;
}

CascadeDims AlbumButton::GetCoverDims() const {
    std::lock_guard lock(m_stateLock);
    return m_cover.IsValid() ? m_cover.GetDims() : CascadeDims{};
}
