#include "screens/CurrentSongInfo.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeTextFlags.h"
#include "server/StatusReply.h"
#include "ui/EUtilsDrawing.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr unsigned long kTitleFlags = 0x104;  // one line, cut with an ellipsis, left
constexpr unsigned long kGenreFlags = 0xc;    // bottom left
constexpr unsigned long kBitrateFlags = 0xa;  // bottom centre
constexpr unsigned long kTimeFlags = 0x28;    // bottom right
constexpr unsigned long kStateFlags = 3;      // centred both ways
constexpr unsigned long kStreamRereadTicks = 10;
constexpr CascadeColor kShadow{0x000000FFu};
constexpr CascadeColor kBarEnd{0x646464FFu};
constexpr CascadeColor kStateBarStart{0x808080FFu};

const char* StateText(uint32_t state) {
    switch (state) {
        case PlayerView::kStopped:
            return "Stopped";
        case PlayerView::kBuffering:
            return "Buffering...";
        case PlayerView::kPaused:
            return "Paused";
        default:
            return nullptr;
    }
}

void DrawShadowed(CascadeBitmap& target, const CascadeFont& font, const CascadeRect& rect, const CascadeString& text,
                  unsigned long flags, unsigned char depth) {
    EUtils::ShadowedDrawText(target, font, rect, text.c_str(), g_fgColor, flags, depth, kShadow, EUtils::kDownRight,
                             EUtils::ShadowSteps::kAll);
}

}  // namespace

CurrentSongInfo::CurrentSongInfo() = default;

CurrentSongInfo::~CurrentSongInfo() {
    m_registration.Unregister();
    {
        std::lock_guard lock(m_runLock);
        m_run = false;
    }
    m_runChanged.notify_all();
    WaitUntilFinished();
}

void CurrentSongInfo::Attach(const ScreenContext& context) {
    m_context = context;
    m_cover.SetConnection(context.server);
}

void CurrentSongInfo::StartUpdate() {
    // Laid out before the thread can load a cover at the cover's size.
    if (!m_laidOut) Layout();
    m_registration.Register(m_context.listener);
    std::unique_lock lock(m_runLock);
    m_run = true;
    if (m_threadAlive) return;  // still going (perhaps inside a request): it carries on
    lock.unlock();
    // The previous run decided to end; joining it is brief.
    WaitUntilFinished();
    lock.lock();
    m_ticks = 0;
    m_threadAlive = true;
    lock.unlock();
    if (!Start("song-info")) {
        AppLog::WriteToLog("screens: the song panel's update thread did not start\n", false);
        std::lock_guard again(m_runLock);
        m_threadAlive = false;
    }
}

void CurrentSongInfo::StopUpdate() {
    m_registration.Unregister();
    {
        std::lock_guard lock(m_runLock);
        m_run = false;
    }
    m_runChanged.notify_all();
    m_ticks = 0;
}

bool CurrentSongInfo::IsUpdating() const {
    std::lock_guard lock(m_runLock);
    return m_run;
}

void CurrentSongInfo::ThreadProc() {
    UpdateSongInfo();
    std::unique_lock lock(m_runLock);
    while (m_run) {
        lock.unlock();
        UpdateSongTime();
        ++m_ticks;
        lock.lock();
        m_runChanged.wait_for(lock, std::chrono::milliseconds(1000), [this] { return !m_run; });
    }
    m_threadAlive = false;
}

void CurrentSongInfo::UpdateSongInfo() {
    if (!m_context.server) return;
    SlimConnection::PlayerStatus status;
    m_context.server->GetPlayerStatus(status, 0);
    const SongInfo& fresh = status.currentSong;
    bool changed;
    {
        std::lock_guard lock(m_lock);
        changed = fresh.title != m_song.title || fresh.artist != m_song.artist || fresh.album != m_song.album ||
                  fresh.genre != m_song.genre;
    }
    if (changed) OnSongChanged(fresh);
}

void CurrentSongInfo::UpdateSongTime() {
    PlayerView* player = m_context.player;
    if (!player || player->GetPlayerState() != PlayerView::kPlaying || !player->IsAudioPlaying()) return;
    unsigned long elapsed = player->GetPlayedSeconds();
    bool remote;
    {
        std::lock_guard lock(m_lock);
        const unsigned long total = m_song.secondsTotal;
        m_song.progress = total ? float(elapsed) / float(total) : 0.0f;
        m_song.timeText = StatusReply::FormatTimeText(elapsed, total);
        if (total && elapsed > total) elapsed = total;
        m_song.progress = std::min(m_song.progress, 1.0f);
        m_song.secondsElapsed = uint16_t(std::min(elapsed, 65535ul));
        remote = m_song.IsRemoteStream();
    }
    if (ShouldAutoRedraw()) RedrawTimeArea();
    // Stream titles change without a notification.
    if (remote && m_ticks.load() % kStreamRereadTicks == 0) UpdateSongInfo();
}

bool CurrentSongInfo::ShouldAutoRedraw() const {
    if (!m_autoRedraw) return false;
    // The Now Playing panel updates while nothing covers the screen (the
    // player display has the focus); the screen saver's and the mini panel's
    // own windows repaint them.
    return m_context.player && m_context.player->GetDisplayWindow().IsFocus();
}

void CurrentSongInfo::RedrawTimeArea() {
    CascadeRect area;
    {
        std::lock_guard lock(m_layoutLock);
        area = m_barRect.MakeUnionRect(m_bottomRect);
    }
    if (area.IsEmpty()) return;
    CascadeWindow* parent = GetParent();
    if (m_background.Alpha() != 0 || !parent) {
        Redraw(area);
        return;
    }
    // A transparent panel: the parent paints what lies behind it.
    const CascadeRect mine = GetRectRelative();
    parent->Redraw(area.Offset(mine.x, mine.y));
}

void CurrentSongInfo::OnSongChanged(const SongInfo& song) {
    SongInfo copy;
    {
        std::lock_guard lock(m_lock);
        // Composer, band, their ids, content type, file size and tag version
        // are not shown and not kept.
        static_cast<BrowseEntry&>(copy) = static_cast<const BrowseEntry&>(song);
        copy.title = song.title;
        copy.album = song.album;
        copy.albumId = song.albumId;
        copy.artist = song.artist;
        copy.artistId = song.artistId;
        copy.genre = song.genre;
        copy.genreId = song.genreId;
        copy.trackNum = song.trackNum;
        copy.year = song.year;
        copy.duration = song.duration;
        copy.bitrate = song.bitrate;
        copy.songId = song.songId;
        copy.playlistIndex = song.playlistIndex;
        copy.path = song.path;
        copy.coverPath = song.coverPath;
        copy.timeText = song.timeText;
        copy.secondsTotal = song.secondsTotal;
        copy.secondsElapsed = song.secondsElapsed;
        copy.progress = song.progress;
        m_song = copy;
    }
    if (m_showCover && copy.albumId != m_cover.GetAlbumId()) LoadCover(copy);
    if (!m_autoRedraw) return;
    if (!ShouldAutoRedraw()) {
        // Covered or elsewhere: the owner's own repaint picks the song up.
        Redraw();
        return;
    }
    if (m_background.Alpha() != 0 || !GetParent()) {
        Redraw();
    } else {
        const CascadeRect mine = GetRectRelative();
        GetParent()->Redraw(mine);
    }
}

void CurrentSongInfo::LoadCover(const SongInfo& song) {
    const bool remote = song.IsRemoteStream();
    m_cover.SetAlbumId(remote ? "0" : song.albumId.c_str(), AlbumButton::RedrawMode::kRedraw);
    m_cover.SetSongId(remote ? "0" : song.songId.c_str(), AlbumButton::RedrawMode::kRedraw);
    m_cover.SetNoCoverJpeg(remote ? m_radioCoverPath.c_str() : m_noCoverPath.c_str());
    // Listener and update threads: decoded right here, off the UI thread.
    m_cover.LoadAlbumArt(AlbumButton::LoadMode::kNow);
}

SongInfo CurrentSongInfo::GetSong() const {
    std::lock_guard lock(m_lock);
    return m_song;
}

// The rectangles of the four layouts (normal or compact, with or without
// the cover), relative to the panel.
void CurrentSongInfo::Layout() {
    const CascadeDims size = GetDims();
    const int W = size.w, H = size.h;
    const bool compact = m_compact, cover = m_showCover;
    m_noCoverPath = g_appPath + "images/nocover.thm";
    m_radioCoverPath = g_appPath + "images/radiocover.thm";
    std::lock_guard lock(m_layoutLock);
    m_coverRect = {};
    int C = 0;
    if (cover) {
        m_coverRect = compact ? CascadeRect(0, 0, H, H) : CascadeRect(0, 0, H - 10, H - 10);
        C = m_coverRect.w;
    }
    if (compact) {
        m_titleRect = cover ? CascadeRect(C + 8, 0, W - C - 8, 16) : CascadeRect(0, 0, W, 16);
        m_artistRect = m_titleRect;
        m_artistRect.y = 18;
        m_albumRect = m_bottomRect = {};
        m_barRect = m_titleRect;
        m_barRect.y = m_artistRect.y + m_artistRect.h;
        m_barRect.h = H - m_barRect.y;
        m_titleFont = CascadeFont("system", CascadeFont::kNormal, 16);
        m_artistFont = CascadeFont("system", CascadeFont::kNormal, 14);
    } else {
        m_titleRect = cover ? CascadeRect(C + 9, 2, W - C - 9, 35) : CascadeRect(2, 2, W - 4, 35);
        m_artistRect = m_titleRect.Offset(0, 40);
        m_artistRect.h = 25;
        m_albumRect = m_artistRect.Offset(0, 30);
        m_bottomRect = m_titleRect;
        m_bottomRect.y = H - 25;
        m_bottomRect.h = 23;
        m_barRect = m_titleRect;
        m_barRect.y = m_albumRect.y + 30;
        m_barRect.h = m_bottomRect.y - m_barRect.y - 5;
        m_titleFont = CascadeFont("system", CascadeFont::kNormal, 34);
        m_artistFont = CascadeFont("system", CascadeFont::kNormal, 26);
    }
    m_infoFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 18 : 15);
    m_barFont = CascadeFont("system", CascadeFont::kNormal, std::max(1, m_barRect.h * 3 / 4));
    if (cover) {
        m_cover.SetRectRelative(m_coverRect);
        AddChild(&m_cover);
        m_cover.Materialize();
    }
    m_laidOut = true;
}

void CurrentSongInfo::OnPaint(CascadeBitmap& target) {
    if (!m_laidOut) Layout();
    const CascadeRect area = target.GetClip();
    if (m_background.Alpha() != 0) target.FillRect(area, m_background);
    const SongInfo song = GetSong();
    const bool compact = m_compact;
    const unsigned char depth = compact ? 1 : 2;
    if (area.IntersectRect(m_titleRect)) DrawShadowed(target, m_titleFont, m_titleRect, song.title, kTitleFlags, depth);
    if (area.IntersectRect(m_artistRect))
        DrawShadowed(target, m_artistFont, m_artistRect, song.artist, kTitleFlags, depth);
    if (!compact && area.IntersectRect(m_albumRect)) {
        CascadeString album = song.album;
        if (!song.year.IsEmpty()) album += CascadeString(" (") + song.year + ")";
        DrawShadowed(target, m_artistFont, m_albumRect, album, kTitleFlags, 2);
    }
    const uint32_t state = m_context.player ? m_context.player->GetPlayerState() : PlayerView::kStopped;
    if (area.IntersectRect(m_barRect)) PaintProgressBar(target, song, state);
    if (!compact && area.IntersectRect(m_bottomRect)) {
        if (song.genre != "N/A") DrawShadowed(target, m_infoFont, m_bottomRect, song.genre, kGenreFlags, 2);
        if (song.bitrate != "0") DrawShadowed(target, m_infoFont, m_bottomRect, song.bitrate, kBitrateFlags, 2);
        DrawShadowed(target, m_infoFont, m_bottomRect, song.timeText, kTimeFlags, 2);
    }
}

void CurrentSongInfo::PaintProgressBar(CascadeBitmap& target, const SongInfo& song, uint32_t playerState) {
    CascadeRect bar = m_barRect;
    target.FrameRect(bar, g_fgColor);
    if (!m_compact) {
        bar.InsetRect(1, 1);
        target.FrameRect(bar, g_fgColor);
    }
    bar.InsetRect(3, 3);
    const float progress = std::clamp(song.progress, 0.0f, 1.0f);
    CascadeRect filled = bar;
    filled.w = int(progress * float(bar.w));
    const char* stateText = m_showPlayerState ? StateText(playerState) : nullptr;
    EUtils::FillRectGradient(target, filled, stateText ? kStateBarStart : g_fgColor, kBarEnd, EUtils::kDown);
    if (stateText) {
        const CascadeRect textRect = m_barRect.Offset(0, 2);
        target.DrawText(m_barFont, textRect, stateText, g_fgColor, kStateFlags);
    }
}
