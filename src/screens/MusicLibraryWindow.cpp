#include "screens/MusicLibraryWindow.h"

#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "server/EUtils.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"

#include <cstdio>

namespace {

constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kStripColor{0x000000D2u};
constexpr CascadePoint kLogoAt{28, 12};
constexpr unsigned long kPageTextFlags = 0x21;  // right-aligned, centred vertically
constexpr unsigned long kTickMs = 250;

constexpr LibraryLevel kLevels[] = {LibraryLevel::kGenre, LibraryLevel::kArtist, LibraryLevel::kAlbum,
                                    LibraryLevel::kTrack, LibraryLevel::kPlaylist};
// Indexed by level: genre, artist, album, tracks, playlist.
constexpr CascadeRect kPanels[] = {{30, 74, 314, 181},
                                   {365, 74, 314, 181},
                                   {700, 74, 314, 181},
                                   {30, 273, 482, 285},
                                   {534, 273, 482, 285}};
constexpr CascadePoint kHeaderAt[] = {{20, 72}, {355, 72}, {690, 72}, {20, 271}, {522, 271}};
constexpr const char* kHeaderImages[] = {"images/header_genres.png", "images/header_artists.png",
                                         "images/header_albums.png", "images/header_tracks.png",
                                         "images/header_playlist.png"};
constexpr CascadeRect kPageTexts[] = {{20, 74, 304, 25},
                                      {355, 74, 304, 25},
                                      {690, 74, 304, 25},
                                      {20, 274, 472, 25},
                                      {522, 274, 472, 25}};
constexpr CascadeRect kLists[] = {{35, 102, 284, 150},
                                  {370, 102, 284, 150},
                                  {705, 102, 284, 150},
                                  {35, 300, 452, 255},
                                  {537, 300, 452, 255}};

CascadeBitmap Panel(const CascadeDims& dims) {
    CascadeBitmap panel;
    if (!panel.Create(dims, CascadeBitmap::kRamVideo)) return panel;
    panel.Clear(kPanelColor);
    panel.FillRect({0, 0, dims.w, 25}, kStripColor);
    return panel;
}

int LevelIndex(LibraryLevel level) { return static_cast<int>(level); }

}  // namespace

MusicLibraryWindow::MusicLibraryWindow() = default;

MusicLibraryWindow::~MusicLibraryWindow() {
    if (m_timerId) KillTimer(m_timerId);
    m_levels.Join();
}

void MusicLibraryWindow::Attach(const ScreenContext& context) {
    m_context = context;
    m_songInfo.Attach(context);
    m_albumInfo.Attach(context);
    m_levels.Attach(context, this);
}

void MusicLibraryWindow::LayOut() {
    const CascadeDims window = GetDims();
    DialogImages::Load(m_titleBitmap, "images/title_library.png");
    const CascadeDims title = DialogImages::Size(m_titleBitmap);
    m_titleRect = {window.w - title.w - 20, 25, title.w, title.h};
    m_smallPanel = Panel(kPanels[0].Dims());
    m_largePanel = Panel(kPanels[3].Dims());

    m_listFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 22 : 18);
    m_smallFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 16 : 14);
    const int rowHeight = g_useLargeFont ? 25 : 21;
    for (LibraryLevel level : kLevels) {
        const int i = LevelIndex(level);
        DialogImages::Load(m_headers[i], kHeaderImages[i]);
        m_headerRects[i] = DialogImages::PlaceAt(m_headers[i], kHeaderAt[i]);
        m_panelRects[i] = kPanels[i];
        m_levels.SetPageTextArea(level, kPageTexts[i]);
        EListView& list = m_levels.List(level);
        m_levels.SetUpList(level, m_listFont, rowHeight);
        list.SetRectRelative(kLists[i]);
        AddChild(&list);
        list.Materialize();
    }
    m_laidOut = true;
}

void MusicLibraryWindow::OnMaterialize() {
    if (!m_laidOut) LayOut();
    m_levels.SetReloadRequest("All");
    m_focus.Remember();
    m_levels.List(LibraryLevel::kGenre).SetFocus();
}

void MusicLibraryWindow::OnMaterialized() {
    m_levels.Reset();
    // The first tick loads every level.
    m_levels.SetCountdown(0);
    if (!m_timerId) m_timerId = SetTimer(kTickMs);
    m_levels.RequestPage(LibraryLevel::kPlaylist, 1);
    m_registration.Register(m_context.listener);
}

void MusicLibraryWindow::OnVanish() {
    if (m_timerId) KillTimer(m_timerId);
    m_timerId = 0;
    m_registration.Unregister();
    // Loads under way finish in the background; nothing waits for the server here.
    m_levels.StopLoading();
    m_focus.Restore();
}

void MusicLibraryWindow::OnTimer(unsigned long id) {
    if (id == m_timerId) m_levels.Tick();
}

void MusicLibraryWindow::OnPlaylistChanged(const char* change) {
    // A jump moves the current song only; the list stays as it is.
    if (!IsShown() || (change && CascadeString(change) == "jump")) return;
    m_levels.RequestPage(LibraryLevel::kPlaylist, 1);
}

void MusicLibraryWindow::OnShuffleChanged(uint8_t) {
    if (IsShown()) m_levels.RequestPage(LibraryLevel::kPlaylist, 1);
}

LibraryLevel MusicLibraryWindow::FocusedOr(LibraryLevel fallback) const {
    return m_levels.FocusedLevel().value_or(fallback);
}

void MusicLibraryWindow::MoveFocus(bool right) {
    const int current = LevelIndex(FocusedOr(LibraryLevel::kGenre));
    const int next = (current + (right ? 1 : LibraryLevels::kLevelCount - 1)) % LibraryLevels::kLevelCount;
    m_levels.List(static_cast<LibraryLevel>(next)).SetFocus();
}

bool MusicLibraryWindow::OnNavKey(unsigned long key, CascadeWindow*& next) {
    AppActivity::NotifyActivity(key);
    next = nullptr;
    const LibraryLevel level = FocusedOr(LibraryLevel::kGenre);
    switch (key) {
        case CascadeKeys::kUp: m_levels.MoveRow(level, false); break;
        case CascadeKeys::kDown: m_levels.MoveRow(level, true); break;
        case CascadeKeys::kLeft: MoveFocus(false); break;
        case CascadeKeys::kRight: MoveFocus(true); break;
        default: break;
    }
    return true;
}

bool MusicLibraryWindow::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    const LibraryLevel level = FocusedOr(LibraryLevel::kGenre);
    switch (key) {
        case CascadeKeys::kSelect:
            m_levels.CancelPendingReload();
            OpenManageDialog(level);
            break;
        case CascadeKeys::kOptions: OpenInfoDialog(level); break;
        case CascadeKeys::kPlay:
        case CascadeKeys::kPlayPause:
            OnManagePlaylistCommand("play");
            break;
        case CascadeKeys::kNext: m_levels.Jump(level, true); break;
        case CascadeKeys::kPrevious: m_levels.Jump(level, false); break;
        case CascadeKeys::kZoomIn: m_levels.FlipPage(level, -1); break;
        case CascadeKeys::kZoomOut: m_levels.FlipPage(level, +1); break;
        case CascadeKeys::kExit: Vanish(); break;
        default: break;
    }
    return true;  // the library keeps every key
}

// A song of the track list, an entry of the playlist, or else the whole
// selection of genre, artist and album with its track count.
void MusicLibraryWindow::OpenManageDialog(LibraryLevel level) {
    if (level == LibraryLevel::kTrack && m_levels.SelectedRow(level) > 0) {
        m_manageDialog.SetTitle(m_levels.SelectedCell(level, 0).c_str());
        m_manageDialog.SetArtist(m_levels.SelectedCell(level, 1).c_str());
        m_manageDialog.ShowDialog(ManagePlaylistDialog::kSong, this);
        return;
    }
    if (level == LibraryLevel::kPlaylist && m_levels.RowCount(level) > 0 && m_levels.SelectedRow(level) >= 0) {
        m_manageDialog.SetTitle(m_levels.SelectedCell(level, 0).c_str());
        m_manageDialog.SetArtist(m_levels.SelectedCell(level, 1).c_str());
        m_manageDialog.ShowDialog(ManagePlaylistDialog::kPlaylistEntry, this);
        return;
    }
    m_manageDialog.SetGenre(m_levels.SelectedCell(LibraryLevel::kGenre, 0).c_str());
    m_manageDialog.SetArtist(m_levels.SelectedCell(LibraryLevel::kArtist, 0).c_str());
    m_manageDialog.SetAlbum(m_levels.SelectedCell(LibraryLevel::kAlbum, 0).c_str());
    m_manageDialog.SetMatchCount(m_levels.GetPageState(LibraryLevel::kTrack).total);
    m_manageDialog.ShowDialog(ManagePlaylistDialog::kLibrarySelection, this);
}

// Details of the selected track or playlist song, or of the selected album;
// nothing on the other lists and on the "All" rows.
void MusicLibraryWindow::OpenInfoDialog(LibraryLevel level) {
    const int row = m_levels.SelectedRow(level);
    switch (level) {
        case LibraryLevel::kTrack:
            if (row <= 0) return;
            m_levels.CancelPendingReload();
            m_songInfo.ShowDialog(m_levels.SelectedCell(level, 2).c_str(), SongInfoDialog::kPlayAddInsert, this);
            break;
        case LibraryLevel::kAlbum:
            if (row <= 0) return;
            m_levels.CancelPendingReload();
            m_albumInfo.ShowDialog(m_levels.SelectedCell(level, 0).c_str(), m_levels.SelectedCell(level, 1).c_str(),
                                   this);
            break;
        case LibraryLevel::kPlaylist:
            if (row < 0 || m_levels.RowCount(level) == 0) return;
            m_levels.CancelPendingReload();
            m_songInfo.ShowDialog(m_levels.SelectedCell(level, 3).c_str(), SongInfoDialog::kPlayOnly, this);
            break;
        default: break;
    }
}

void MusicLibraryWindow::OnManagePlaylistCommand(const CascadeString& command) {
    AppLog::WriteToLog("Manage Playlist Command: %s\n", false, command.c_str());
    m_commandFocus = CascadeWindow::GetFocus();
    const unsigned long genre = m_levels.SelectedId(LibraryLevel::kGenre);
    const unsigned long artist = m_levels.SelectedId(LibraryLevel::kArtist);
    const unsigned long album = m_levels.SelectedId(LibraryLevel::kAlbum);
    const int64_t trackValue = EUtils::ParseDecimal(m_levels.SelectedCell(LibraryLevel::kTrack, 2).View());
    const unsigned long track = trackValue > 0 ? static_cast<unsigned long>(trackValue) : 0;
    const CascadeString indexCell = m_levels.SelectedCell(LibraryLevel::kPlaylist, 2);
    const int64_t indexValue = EUtils::ParseDecimal(indexCell.View());
    const bool hasPlaylistRow = !indexCell.IsEmpty() && indexValue >= 0;
    const unsigned long index = hasPlaylistRow ? static_cast<unsigned long>(indexValue) : 0;
    std::printf("genre: %ld\nartist: %ld\nalbum: %ld\ntrack: %ld\nplaylist: %ld\n", long(genre), long(artist),
                long(album), long(track), long(index));
    std::fflush(stdout);

    auto focusedOn = [&](LibraryLevel level) { return m_commandFocus == &m_levels.List(level); };
    auto is = [&](const char* word) { return command.Compare(word, CascadeCase::Insensitive) == 0; };
    SlimConnection* server = m_context.server;
    if (!server) {
        AppLog::WriteToLog("library: no server for \"%s\"\n", false, command.c_str());
        return;
    }
    std::function<void()> work;
    if (is("play")) {
        if (focusedOn(LibraryLevel::kPlaylist)) {
            if (hasPlaylistRow) work = [server, index] { server->JumpToSongIndex(index); };
        } else if (focusedOn(LibraryLevel::kTrack) && track > 0) {
            work = [server, track] { server->ReplaceCurrentPlaylist(track); };
        } else {
            work = [server, genre, artist, album] { server->ReplaceCurrentPlaylist(genre, artist, album); };
        }
    } else if (is("insert")) {
        if (focusedOn(LibraryLevel::kTrack) && track > 0)
            work = [server, track] { server->InsertInCurrentPlaylist(track); };
        else
            work = [server, genre, artist, album] { server->InsertInCurrentPlaylist(genre, artist, album); };
    } else if (is("add")) {
        if (focusedOn(LibraryLevel::kTrack) && track > 0)
            work = [server, track] { server->AddToCurrentPlaylist(track); };
        else
            work = [server, genre, artist, album] { server->AddToCurrentPlaylist(genre, artist, album); };
    } else if (is("remove")) {
        // Whatever list has the focus, the selected playlist entry goes.
        if (hasPlaylistRow) work = [server, index] { server->RemoveFromCurrentPlaylist(index); };
    } else if (is("clear")) {
        work = [server] { server->ClearCurrentPlaylist(); };
    } else {
        AppLog::WriteToLog("library: unknown playlist command \"%s\"\n", false, command.c_str());
        return;
    }
    if (!work) {
        AppLog::WriteToLog("library: \"%s\" needs a playlist entry; none is selected\n", false, command.c_str());
        return;
    }
    // The playlist list follows through the listener's notification.
    if (m_context.app)
        m_context.app->PostCommand(command.c_str(), std::move(work));
    else
        work();
}

void MusicLibraryWindow::OnPaint(CascadeBitmap& target) {
    const CascadeRect area = target.GetClip().MakeIntersectRect(CascadeRect({0, 0}, GetDims()));
    if (const CascadeBitmap* background = g_config.GetLibraryBackground(); background && background->IsValid())
        target.DrawBitmap(*background, area.Origin(), area);
    else
        target.FillRect(area, CascadeColor(0x000000FFu));
    auto part = [&](const CascadeBitmap& bitmap, const CascadeRect& where) {
        DialogImages::DrawPart(target, bitmap, where, area);
    };
    for (LibraryLevel level : kLevels) {
        const int i = LevelIndex(level);
        part(i < 3 ? m_smallPanel : m_largePanel, m_panelRects[i]);
        part(m_headers[i], m_headerRects[i]);
    }
    part(m_titleBitmap, m_titleRect);
    if (const CascadeBitmap* logo = g_config.GetLogo(); logo && logo->IsValid())
        part(*logo, CascadeRect(kLogoAt, logo->GetDims()));
    for (LibraryLevel level : kLevels) {
        const CascadeRect text = m_levels.GetPageTextArea(level);
        if (!area.IntersectRect(text)) continue;
        const LibraryLevels::PageState state = m_levels.GetPageState(level);
        if (!state.label.IsEmpty()) target.DrawText(m_listFont, text, state.label.View(), g_fgColor, kPageTextFlags);
    }
}
