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

// Chosen at paint time: the options are parsed after the tiles are built.
CascadeFont TitleFont() { return CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 18 : 16); }

bool MakeCover(const std::vector<uint8_t>& pixels, const CascadeDims& size, CascadeBitmap& cover) {
    return cover.Create(size) && EUtils::BufferBlit(cover, {0, 0}, pixels.data(), size, 32, {});
}

}  // namespace

AlbumButton::AlbumButton(SlimConnection* connection) : m_connection(connection) {}

AlbumButton::~AlbumButton() {
    m_requests.Cancel();
    WaitUntilFinished();
}

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
        ++m_generation;
        m_loaded = false;
    }
    if (redraw == RedrawMode::kRedraw) RedrawTile();
}

void AlbumButton::SetSongId(const char* id, RedrawMode redraw) {
    {
        std::lock_guard lock(m_stateLock);
        if (m_songId == id) return;
        m_songId = id;
        ++m_generation;
        m_loaded = false;
    }
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
    if (m_cache) {
        if (const auto seen = m_cache->Find(url, box)) return MakeCover(seen->pixels, seen->size, cover);
    }
    CascadeHTTPStream stream;
    stream.SetStallTimeout(kCoverStallMs);
    if (!stream.Open(url.c_str())) return false;
    std::vector<uint8_t> pixels;
    CascadeDims size;
    if (!EJpegWidget::GetJpegBitmap(&stream, box, size, pixels, EJpegWidget::PixelOrder::kAlphaFirst) ||
        !MakeCover(pixels, size, cover))
        return false;
    if (m_cache) m_cache->Store(url, box, std::make_shared<const CoverCache::Cover>(CoverCache::Cover{size, std::move(pixels)}));
    return true;
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

bool AlbumButton::ShowCover(const CascadeString& address, uint64_t generation) {
    {
        std::lock_guard lock(m_stateLock);
        if (m_generation != generation) return false;
        m_url = address;
        m_cover.Release();
        if (address.IsEmpty()) {
            m_loaded = false;
            return true;
        }
    }
    const CascadeRect square = GetCoverRect();
    CascadeBitmap cover;
    const bool fromServer = !(address == "none") && DecodeFromURL(address, square.Dims(), cover);
    if (!fromServer && !DecodeNoCover(square.Dims(), cover))
        AppLog::WriteToLog("cover: no picture for %s and no no-cover file\n", false, address.c_str());
    std::lock_guard lock(m_stateLock);
    if (m_generation != generation) return false;
    m_cover = std::move(cover);
    m_loaded = true;
    return true;
}

void AlbumButton::SetAlbumArtURL(const char* url, RedrawMode redraw) {
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_stateLock);
        generation = ++m_generation;
    }
    (void)ShowCover(url ? url : "", generation);
    if (redraw == RedrawMode::kRedraw) RedrawTile();
}

void AlbumButton::LoadAlbumArt(LoadMode mode) {
    if (mode == LoadMode::kAsync) {
        m_requests.Post(*this, "cover");
        return;
    }
    std::lock_guard load(m_loadLock);
    CascadeString songId, albumId;
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_stateLock);
        songId = m_songId;
        albumId = m_albumId;
        generation = m_generation;
    }
    if (songId.IsEmpty() && !albumId.IsEmpty() && m_connection) {
        SongList songs;
        const auto album = static_cast<unsigned long>(std::max<int64_t>(EUtils::ParseDecimal(albumId.View()), 0));
        const bool found =
            m_connection->GetTracks(0, 0, album, 0, 1, songs) > 0 && songs.GetNumEntries() > 0 && songs.Item(0);
        std::lock_guard lock(m_stateLock);
        if (m_generation != generation) {
            AppLog::WriteToLog("cover: album %s changed while its first track was asked for\n", false,
                               albumId.c_str());
            return;
        }
        m_secondText = found ? songs.Item(0)->artist : CascadeString();
        songId = found ? songs.Item(0)->songId : CascadeString("0");  // no track: the no-cover picture
        if (found) m_songId = songId;
    }
    CascadeString url;
    if (!songId.IsEmpty())
        url = CoverURL(m_connection ? m_connection->GetBaseURL() : CascadeString("http://127.0.0.1"), g_portWeb, songId);
    if (!ShowCover(url.IsEmpty() ? CascadeString("none") : url, generation)) return;
    RedrawTile();
}

void AlbumButton::ThreadProc() {
    while (m_requests.Next()) LoadAlbumArt(LoadMode::kNow);
}

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
    const CascadeFont font = TitleFont();
    std::lock_guard lock(m_stateLock);
    if (m_cover.IsValid()) {
        const CascadeDims d = m_cover.GetDims();
        target.DrawBitmap(m_cover, {square.x + (square.w - d.w) / 2, square.y + (square.h - d.h) / 2});
    } else if (!m_loaded) {
        target.DrawText(font, square, "Loading...", kLoadingColor,
                        CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kCenterVertical);
    }
    if (m_showTitle && !m_title.IsEmpty()) {
        const CascadeRect strip(kTitleInset, dims.h - kTitleStrip, dims.w - 2 * kTitleInset, kTitleStrip);
        target.FillRect(strip, kTitleShade);
        EUtils::ShadowedDrawText(target, font, strip, m_title.c_str(), m_textColor,
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

CascadeString AlbumButton::GetAlbumId() const {
    std::lock_guard lock(m_stateLock);
    return m_albumId;
}

CascadeString AlbumButton::GetSecondText() const {
    std::lock_guard lock(m_stateLock);
    return m_secondText;
}

CascadeDims AlbumButton::GetCoverDims() const {
    std::lock_guard lock(m_stateLock);
    return m_cover.IsValid() ? m_cover.GetDims() : CascadeDims{};
}
