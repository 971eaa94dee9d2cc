#include "screens/NowPlayingWindow.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeTextFlags.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

namespace {

constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kStripColor{0x000000D2u};
constexpr CascadeColor kShadow{0x000000FFu};
constexpr CascadeRect kCoverBackdrop{20, 72, 484, 484};
constexpr CascadeRect kCoverButton{62, 114, 400, 400};
constexpr CascadeRect kSongBackdrop{520, 72, 484, 196};
constexpr CascadeRect kSongPanel{544, 94, 440, 165};
constexpr CascadeRect kUpcomingBackdrop{520, 284, 484, 272};
constexpr CascadeRect kUpcomingList{535, 318, 445, 218};
constexpr CascadeRect kStatusLine{530, 537, 464, 20};
constexpr CascadeRect kServerLine{20, 555, 484, 20};
constexpr CascadeRect kVersionText{290, 48, 40, 20};
constexpr CascadePoint kHeaderAt{530, 287};
constexpr CascadePoint kLogoAt{28, 12};
constexpr const char* kApplicationVersion = "1.5b3";
constexpr long kMaxTrackCount = 999999;

CascadeBitmap Panel(const CascadeDims& dims) {
    CascadeBitmap panel;
    if (panel.Create(dims, CascadeBitmap::kRamVideo)) panel.Clear(kPanelColor);
    return panel;
}

}  // namespace

NowPlayingWindow::NowPlayingWindow() = default;

NowPlayingWindow::~NowPlayingWindow() {
    StopUpdate();
    m_loader.Join();
}

void NowPlayingWindow::Attach(const ScreenContext& context) {
    m_context = context;
    m_cover.SetConnection(context.server);
    m_songPanel.Attach(context);
}

CascadeString NowPlayingWindow::RepeatText(uint8_t mode) {
    switch (mode) {
        case 0: return "Repeat: Off";
        case 1: return "Repeat: Current Song";
        case 2: return "Repeat: All";
        default: return "Repeat: ";
    }
}

CascadeString NowPlayingWindow::ShuffleText(uint8_t mode) {
    switch (mode) {
        case 0: return "Shuffle: Off";
        case 1: return "Shuffle: Song";
        case 2: return "Shuffle: Album";
        default: return "Shuffle: ";
    }
}

long NowPlayingWindow::TracksRemaining(long currentIndex, long trackCount) {
    if (trackCount < 1 || trackCount > kMaxTrackCount) return 0;
    return trackCount - currentIndex - 1;
}

void NowPlayingWindow::SetMessage(const char* message) {
    {
        std::lock_guard lock(m_dataLock);
        m_data.message = message ? message : "";
    }
    Redraw();
}

CascadeString NowPlayingWindow::GetMessage() const {
    std::lock_guard lock(m_dataLock);
    return m_data.message;
}

NowPlayingWindow::Status NowPlayingWindow::GetStatus() const {
    std::lock_guard lock(m_dataLock);
    return m_data.status;
}

void NowPlayingWindow::LayOut() {
    m_noCoverPath = g_appPath + "images/nocover.thm";
    m_radioCoverPath = g_appPath + "images/radiocover.thm";
    const CascadeDims window = GetDims();
    const CascadeString title = g_appPath + "images/title_nowplaying.png";
    if (!m_titleBitmap.LoadFromFile(title.View()))
        AppLog::WriteToLog("screens: no title image %s\n", false, title.c_str());
    const CascadeDims titleDims = m_titleBitmap.IsValid() ? m_titleBitmap.GetDims() : CascadeDims{0, 0};
    m_titleRect = {window.w - titleDims.w - 1, 25, titleDims.w, titleDims.h};
    const CascadeString header = g_appPath + "images/header_upcomingsongs.png";
    if (!m_headerBitmap.LoadFromFile(header.View()))
        AppLog::WriteToLog("screens: no header image %s\n", false, header.c_str());
    const CascadeDims headerDims = m_headerBitmap.IsValid() ? m_headerBitmap.GetDims() : CascadeDims{0, 0};
    m_headerRect = {kHeaderAt, headerDims};

    m_coverPanel = Panel(kCoverBackdrop.Dims());
    m_songPanelBitmap = Panel(kSongBackdrop.Dims());
    m_upcomingPanel = Panel(kUpcomingBackdrop.Dims());
    if (m_upcomingPanel.IsValid()) {
        m_upcomingPanel.FillRect({0, 0, 484, 25}, kStripColor);
        m_upcomingPanel.FillRect({0, 252, 484, 20}, kStripColor);
    }
    m_coverBackdropRect = kCoverBackdrop;
    m_songRect = kSongBackdrop;
    m_upcomingRect = kUpcomingBackdrop;
    m_statusRect = kStatusLine;

    m_statusFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 18 : 15);
    m_textFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 22 : 19);

    m_cover.SetRectRelative(kCoverButton);
    m_songPanel.SetRectRelative(kSongPanel);
    m_list.SetRectRelative(kUpcomingList);
    m_list.SetRowHeight(24);
    m_list.SetItemFont(m_textFont);
    m_list.SetTextColors(g_fgColor, kShadow);
    m_list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, 0);
    m_list.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kVisible, 160, 0);
    m_list.AddColumn("Index", "Index", EListView::ColumnVisibility::kHidden, 0, 0);
    m_list.AddColumn("Id", "Id", EListView::ColumnVisibility::kHidden, 0, 0);
    m_list.ShowHeaders(false);
    AddChild(&m_cover);
    AddChild(&m_songPanel);
    AddChild(&m_list);
    m_cover.Materialize();
    m_songPanel.Materialize();
    m_list.Materialize();
    m_laidOut = true;
}

void NowPlayingWindow::OnMaterialize() {
    if (!m_laidOut) LayOut();
    // The status comes from the server: fetched on the loader thread.
    RequestRefresh();
}

void NowPlayingWindow::OnMaterialized() {
    m_registration.Register(m_context.listener);
    m_songPanel.StartUpdate();
}

void NowPlayingWindow::OnVanish() { StopUpdate(); }

void NowPlayingWindow::StopUpdate() {
    m_registration.Unregister();
    m_songPanel.StopUpdate();
}

void NowPlayingWindow::RequestRefresh() {
    // One refresh waiting is enough: it reads the newest status.
    if (m_loader.IsBusy() && m_loader.GetCommand().IsEmpty()) return;
    (void)m_loader.Start("refresh", [this](ScreenLoader&) { UpdatePlaylist(); }, ScreenLoader::PleaseWait::kNone);
}

void NowPlayingWindow::UpdatePlaylist() {
    AppLog::WriteToLog("UpdatePlaylist\n", false);
    if (!m_context.server) return;
    // The listener and the loader may both be reading; the read that began
    // last is the one shown, whichever answer comes back first.
    const uint64_t ticket = ++m_readsBegun;
    SlimConnection::PlayerStatus status;
    const int rows = m_list.VisibleItemCount();
    m_context.server->GetPlayerStatus(status, static_cast<unsigned long>(rows > 0 ? rows : 9));
    bool needVersion;
    {
        std::lock_guard lock(m_dataLock);
        needVersion = m_data.version.IsEmpty();
    }
    const CascadeString version = needVersion ? m_context.server->GetVersion() : CascadeString();
    {
        std::lock_guard fill(m_fillLock);
        if (ticket < m_readShown) return;  // a newer read got there first
        m_readShown = ticket;
        FillList(status);
        {
            std::lock_guard lock(m_dataLock);
            m_data.status = {status.repeat, status.shuffle, status.currentIndex, status.trackCount,
                             status.currentSong};
            if (needVersion) m_data.version = version;
        }
    }
    // Outside the lock: the cover may be fetched right here. The button's
    // newest load wins over one still under way.
    UpdateCover();
    Redraw();
}

// The songs after the current one, as many as the list shows.
void NowPlayingWindow::FillList(const SlimConnection::PlayerStatus& status) {
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    bool artistShown = false;
    const long after = status.trackCount - status.currentIndex - 1;
    if (status.playlist.GetNumEntries() > 0 && status.currentIndex != status.trackCount - 1) {
        for (long i = 0; i < long(status.playlist.GetNumEntries()) && i < after; ++i) {
            const SongInfo* song = status.playlist.Item(std::size_t(i));
            if (!song || song->title.IsEmpty()) continue;
            EListView::ListItem* row = m_list.AddItem(song->title.c_str());
            if (!row) continue;
            (void)row->SetCell(1, song->artist.c_str());
            (void)row->SetCell(2, song->playlistIndex.c_str());
            (void)row->SetCell(3, song->songId.c_str());
            if (!song->artist.IsEmpty() && song->artist != "N/A") artistShown = true;
        }
    }
    if (EListView::Column* artist = m_list.GetColumnByID("Artist")) artist->visible = artistShown;
    m_list.Redraw();
}

int NowPlayingWindow::UpdateCover() {
    SongInfo song;
    {
        std::lock_guard lock(m_dataLock);
        song = m_data.status.currentSong;
    }
    const CascadeString shown = m_cover.GetAlbumId();
    const bool same = song.albumId == shown;
    AppLog::WriteToLog("UpdateCover: %s %s %s\n", false, song.albumId.c_str(), same ? "==" : "!=", shown.c_str());
    const bool remote = song.IsRemoteStream();
    if (same && (!remote || shown == "0")) return -1;
    m_cover.SetAlbumId(remote ? "0" : song.albumId.c_str(), AlbumButton::RedrawMode::kRedraw);
    m_cover.SetSongId(remote ? "0" : song.songId.c_str(), AlbumButton::RedrawMode::kRedraw);
    m_cover.SetNoCoverJpeg(remote ? m_radioCoverPath.c_str() : m_noCoverPath.c_str());
    if (!remote && !song.coverPath.IsEmpty() && m_context.server) {
        // A page named the cover itself.
        const CascadeString url = m_context.server->GetBaseURL() + ":" + g_portWeb + "/" + song.GetCoverPath();
        m_cover.SetAlbumArtURL(url.c_str(), AlbumButton::RedrawMode::kRedraw);
        return 0;
    }
    m_cover.LoadAlbumArt(AlbumButton::LoadMode::kNow);
    return 0;
}

void NowPlayingWindow::OnSongChanged(const SongInfo&) { UpdatePlaylist(); }

void NowPlayingWindow::OnPlaylistChanged(const char* change) {
    // A jump is followed by a song change, which refreshes.
    if (change && CascadeString(change) == "jump") return;
    UpdatePlaylist();
}

void NowPlayingWindow::OnRepeatChanged(uint8_t) { UpdatePlaylist(); }
void NowPlayingWindow::OnShuffleChanged(uint8_t) { UpdatePlaylist(); }

void NowPlayingWindow::OnPaint(CascadeBitmap& target) {
    const CascadeRect area = target.GetClip().MakeIntersectRect(CascadeRect({0, 0}, GetDims()));
    Data data;
    {
        std::lock_guard lock(m_dataLock);
        data = m_data;
    }
    const CascadeBitmap* background = g_config.GetNowPlayingBackground();
    target.DrawBitmap(*background, area.Origin(), area);
    PaintPanels(target, area);
    target.DrawBitmap(*g_config.GetLogo(), kLogoAt);
    if (!data.message.IsEmpty()) {
        PaintMessage(target, data.message);
        return;
    }
    PaintStatusLine(target, area, data.status);
    PaintServerLines(target, area, data.version);
}

// Each panel and image only where it meets the repaint area.
void NowPlayingWindow::PaintPanels(CascadeBitmap& target, const CascadeRect& area) {
    auto part = [&](const CascadeBitmap& bitmap, const CascadeRect& where) {
        DialogImages::DrawPart(target, bitmap, where, area);
    };
    part(m_coverPanel, m_coverBackdropRect);
    part(m_songPanelBitmap, m_songRect);
    part(m_upcomingPanel, m_upcomingRect);
    part(m_headerBitmap, m_headerRect);
    part(m_titleBitmap, m_titleRect);
}

// A black box in the middle of the screen with the message in red; a text
// too wide for one line gets two.
void NowPlayingWindow::PaintMessage(CascadeBitmap& target, const CascadeString& message) {
    const CascadeDims window = GetDims();
    CascadeDims text = m_textFont.GetTextExtent(message.View());
    text.h = m_textFont.GetLineHeight();
    if (text.w > window.w - 20) {
        text.w = window.w - 100;
        text.h *= 2;
    }
    const CascadeRect box((window.w - (text.w + 20)) / 2, (window.h - (text.h + 20)) / 2, text.w + 20, text.h + 20);
    target.FillRect(box, CascadeColor(0x000000FFu));
    const CascadeRect textRect(box.x + 10, box.y + 10, text.w, text.h);
    target.DrawText(m_textFont, textRect, message.View(), CascadeColor(0xFF0000FFu),
                    CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kWordWrap);
}

void NowPlayingWindow::PaintStatusLine(CascadeBitmap& target, const CascadeRect& area, const Status& status) {
    if (!area.IntersectRect(m_statusRect)) return;
    target.DrawText(m_statusFont, m_statusRect, RepeatText(status.repeat).View(), g_fgColor, 1);
    target.DrawText(m_statusFont, m_statusRect, ShuffleText(status.shuffle).View(), g_fgColor, 0x21);
    CascadeString remaining;
    remaining.Format("%ld tracks remaining", TracksRemaining(status.currentIndex, status.trackCount));
    target.DrawText(m_statusFont, m_statusRect, remaining.View(), g_fgColor, 3);
}

void NowPlayingWindow::PaintServerLines(CascadeBitmap& target, const CascadeRect& area, const CascadeString& version) {
    // The logo's own colour at (125, 45) writes the two lines.
    const CascadeBitmap* logo = g_config.GetLogo();
    CascadeColor color = g_fgColor;
    if (logo->IsValid() && logo->GetDims().w > 125 && logo->GetDims().h > 45)
        color = CascadeColor::FromARGB(logo->GetPixel(125, 45));
    if (area.IntersectRect(kServerLine)) {
        const CascadeString line = CascadeString("SlimServer (v") + version + "): " + m_context.serverAddress;
        EUtils::ShadowedDrawText(target, m_statusFont, kServerLine, line.c_str(), color, 1, 1, kShadow,
                                 EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    }
    if (area.IntersectRect(kVersionText))
        EUtils::ShadowedDrawText(target, m_statusFont, kVersionText, kApplicationVersion, color, 1, 1, kShadow,
                                 EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}
