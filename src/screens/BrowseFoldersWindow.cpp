#include "screens/BrowseFoldersWindow.h"

#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeTextFlags.h"
#include "server/EUtils.h"
#include "server/SongInfo.h"
#include "server/SongList.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

#include <algorithm>
#include <cstring>

namespace {

enum Image { kTitle, kFolderHeader, kPlaylistHeader, kAudioIcon, kArrowIcon };
constexpr const char* kImages[] = {"images/title_browsefolders.png", "images/header_folders.png",
                                   "images/header_playlist.png", "images/icon_audio.png",
                                   "images/icon_rightarrow.png"};

constexpr CascadePoint kLogoAt{28, 12};
constexpr int kTitleRightMargin = 20;
constexpr int kTitleY = 14;  // clear of the panels below
// The two panels; each header sits at the panel's top-left corner.
constexpr CascadeRect kFolderPanel{30, 74, 460, 470};
constexpr CascadeRect kPlaylistPanel{534, 74, 460, 470};
constexpr int kHeaderRoom = 34;  // header strip above each list
constexpr int kListInset = 8;
constexpr CascadeRect kLocationLine{30, 550, 964, 22};
constexpr int kArtistWidth = 160;
constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kShadow{0x000000FFu};

int RowHeight() { return g_useLargeFont ? 25 : 21; }

CascadeRect ListRect(const CascadeRect& panel) {
    const int height = panel.h - kHeaderRoom - kListInset;
    const int rows = height / RowHeight();
    return {panel.x + kListInset, panel.y + kHeaderRoom, panel.w - 2 * kListInset, rows * RowHeight()};
}

CascadeRect LabelRect(const CascadeRect& panel) { return {panel.x + panel.w - 190, panel.y, 180, kHeaderRoom - 4}; }

// The last "/" part of an entry id: the folder's own id, whether the server
// sent the whole hierarchy or only the entry id.
std::string_view OwnId(std::string_view id) {
    const std::size_t slash = id.rfind('/');
    return slash == std::string_view::npos ? id : id.substr(slash + 1);
}

CascadeString ChildHierarchy(const CascadeString& parent, const CascadeString& entryId) {
    const std::string_view own = OwnId(entryId.View());
    if (parent.IsEmpty()) return CascadeString(own);
    return parent + "/" + CascadeString(own);
}

CascadeString ParentHierarchy(const CascadeString& folderId) {
    const std::size_t slash = folderId.View().rfind('/');
    return slash == std::string_view::npos ? CascadeString() : CascadeString(folderId.View().substr(0, slash));
}

// Initial letters compare as signed 8-bit values.
signed char Initial(const char* text) { return static_cast<signed char>(text ? text[0] : 0); }

}  // namespace

BrowseFoldersWindow::BrowseFoldersWindow() = default;

BrowseFoldersWindow::~BrowseFoldersWindow() {
    m_registration.Unregister();
    m_loader.Join();
}

void BrowseFoldersWindow::Attach(const ScreenContext& context) { m_context = context; }

void BrowseFoldersWindow::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    for (std::size_t i = 0; i < m_bitmaps.size(); ++i) DialogImages::Load(m_bitmaps[i], kImages[i]);
    m_itemFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 20 : 17);
    m_labelFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 16 : 14);
    if (m_folderPanel.Create(kFolderPanel.Dims(), CascadeBitmap::kRamVideo)) m_folderPanel.Clear(kPanelColor);
    if (m_playlistPanel.Create(kPlaylistPanel.Dims(), CascadeBitmap::kRamVideo)) m_playlistPanel.Clear(kPanelColor);
    m_bitmapsLoaded = true;
}

void BrowseFoldersWindow::SetUpFolderList() {
    m_folders.SetRectRelative(ListRect(kFolderPanel));
    m_folders.ShowHeaders(false);
    m_folders.ShowIcons(true);
    m_folders.SetRowHeight(RowHeight());
    m_folders.SetItemFont(m_itemFont);
    const unsigned long text = CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis;
    m_folders.AddColumn("Item", "Item", EListView::ColumnVisibility::kVisible, -1, text);
    m_folders.AddColumn("ID", "ID", EListView::ColumnVisibility::kHidden, -1, text);
    m_folders.AddColumn("Url", "Url", EListView::ColumnVisibility::kHidden, -1, text);
    m_folders.AddColumn("EntryType", "EntryType", EListView::ColumnVisibility::kHidden, -1, text);
    m_folders.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kHidden, kArtistWidth, text);
    AddChild(&m_folders);
    m_folders.Materialize();
}

void BrowseFoldersWindow::SetUpPlaylistList() {
    m_playlist.SetRectRelative(ListRect(kPlaylistPanel));
    m_playlist.ShowHeaders(false);
    m_playlist.SetRowHeight(RowHeight());
    m_playlist.SetItemFont(m_itemFont);
    const unsigned long text = CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis;
    m_playlist.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, text);
    m_playlist.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kHidden, kArtistWidth, text);
    m_playlist.AddColumn("Index", "Index", EListView::ColumnVisibility::kHidden, -1, text);
    AddChild(&m_playlist);
    m_playlist.Materialize();
}

void BrowseFoldersWindow::LayOut() {
    if (m_laidOut) return;
    LoadBitmaps();
    const CascadeDims title = DialogImages::Size(m_bitmaps[kTitle]);
    m_titleRect = {GetDims().w - kTitleRightMargin - title.w, kTitleY, title.w, title.h};
    {
        std::lock_guard lock(m_dataLock);
        m_data.folderPaging.SetRowsPerPage(GetRowsPerPage());
        m_data.playlistPaging.SetRowsPerPage(GetRowsPerPage());
    }
    SetUpFolderList();
    SetUpPlaylistList();
    m_laidOut = true;
}

unsigned long BrowseFoldersWindow::GetRowsPerPage() const {
    return static_cast<unsigned long>(ListRect(kFolderPanel).h / RowHeight());
}

void BrowseFoldersWindow::OnMaterialize() {
    LayOut();
    m_focus.Remember();
    m_folders.SetFocus();
}

// Every showing starts at the top folder with an empty history.
void BrowseFoldersWindow::OnMaterialized() {
    {
        std::lock_guard lock(m_dataLock);
        m_data.folderPaging.Reset();
        m_data.playlistPaging.Reset();
        m_data.folderId = "";
        m_data.location = "";
        m_data.folderShown = false;
        m_data.history.clear();
    }
    m_folders.Clear(EListView::ClearMode::kRowsOnly);
    m_playlist.Clear(EListView::ClearMode::kRowsOnly);
    Queue("open", [this](ScreenLoader&) { LoadFolders("", 1, 0); });
    Queue("playlist", [this](ScreenLoader&) { LoadPlaylist(1, 0, 0); });
    m_registration.Register(m_context.listener);
}

void BrowseFoldersWindow::OnVanish() {
    m_registration.Unregister();
    m_loader.Cancel();
    m_focus.Restore();
}

void BrowseFoldersWindow::Queue(const char* command, ScreenLoader::Work work) {
    (void)m_loader.Start(command, std::move(work), ScreenLoader::PleaseWait::kNone);
}

// ---- loader thread ----

BrowseFoldersWindow::FolderPage BrowseFoldersWindow::FetchFolder(const CascadeString& folderId, unsigned long page) {
    FolderPage result;
    result.folderId = folderId;
    result.page = std::max(page, 1ul);
    const unsigned long rows = GetRowsPerPage();
    // The server pages exactly: the entries [start, start + rows) with no
    // entry standing for the folder itself, so a page asks for one list's worth.
    if (m_context.server)
        result.total = m_context.server->GetFolderItems(folderId.c_str(), rows * (result.page - 1), rows,
                                                        result.entries, result.location);
    return result;
}

void BrowseFoldersWindow::ShowFolder(FolderPage& page, int selection) {
    const unsigned long rows = GetRowsPerPage();
    const int previous = m_folders.GetSelectedIndex();
    m_folders.Clear(EListView::ClearMode::kRowsOnly);
    bool songs = false;
    for (std::size_t i = 0; i < page.entries.GetNumEntries() && i < rows; ++i) {
        const BrowseEntry* entry = page.entries.Item(i);
        if (!entry) continue;
        EListView::ListItem* item = m_folders.AddItem(entry->name.c_str());
        if (!item) continue;
        (void)item->SetCell(kId, entry->id.c_str());
        (void)item->SetCell(kUrl, entry->url.c_str());
        (void)item->SetCell(kEntryType, entry->type.c_str());
        const auto* song = dynamic_cast<const SongInfo*>(entry);
        if (song) {
            songs = true;
            (void)item->SetCell(kArtist, song->artist.c_str());
        }
        item->listIcon = &m_bitmaps[song ? kAudioIcon : kArrowIcon];
    }
    {
        std::lock_guard lock(m_dataLock);
        m_data.folderPaging.SetTotal(page.total);
        m_data.folderPaging.SetPage(long(page.page));
        m_data.folderLabel = m_data.folderPaging.GetLabel();
        m_data.folderId = page.folderId;
        m_data.location = page.location;
        m_data.folderShown = true;
        m_data.artistShown = songs;
    }
    const int count = int(m_folders.ItemCount());
    int select = selection == kKeepSelection ? std::max(previous, 0) : selection;
    if (selection == kLastRow) select = count - 1;
    m_folders.SetSelectedIndex(count == 0 ? -1 : std::min(select, count - 1), EListView::RedrawMode::kRedraw);
    Redraw();
}

// A page of `folderId`; a page the folder no longer has gives its first.
void BrowseFoldersWindow::LoadFolders(const CascadeString& folderId, long page, int selection) {
    unsigned long wanted = 1;
    {
        std::lock_guard lock(m_dataLock);
        // Another folder's page count says nothing about this one: a page
        // asked for by number (from the history) is asked for as it is.
        if (folderId == m_data.folderId && m_data.folderShown)
            wanted = m_data.folderPaging.Resolve(page);
        else
            wanted = page > 0 ? static_cast<unsigned long>(page) : 1;
    }
    FolderPage result = FetchFolder(folderId, wanted);
    if (result.entries.GetNumEntries() == 0 && wanted > 1 && result.total > 0) result = FetchFolder(folderId, 1);
    ShowFolder(result, selection);
}

void BrowseFoldersWindow::LoadFolderStep(int step, int selection) {
    CascadeString folderId;
    long page = 1;
    {
        std::lock_guard lock(m_dataLock);
        folderId = m_data.folderId;
        page = long(m_data.folderPaging.GetPage()) + step;
    }
    LoadFolders(folderId, page, selection);
}

void BrowseFoldersWindow::Open(const Target& target) {
    CascadeString child;
    {
        std::lock_guard lock(m_dataLock);
        // A second Right pressed before the first folder came is about a row
        // of the folder that was shown then.
        if (m_data.folderShown && !(target.type == "dir")) return;
        if (m_data.folderShown && !(m_data.folderId == target.folder)) {
            AppLog::WriteToLog("folders: \"%s\" is no longer shown, not opened\n", false, target.id.c_str());
            return;
        }
        const int row = m_folders.GetSelectedIndex();
        if (m_data.folderShown)
            m_data.history.push_back({m_data.folderPaging.GetPage(), std::max(row, 0)});
        child = m_folders.ItemCount() == 0 ? CascadeString() : ChildHierarchy(m_data.folderId, target.id);
    }
    LoadFolders(child, 1, 0);
}

void BrowseFoldersWindow::Back() {
    HistoryStep step{1, 0};
    CascadeString parent;
    {
        std::lock_guard lock(m_dataLock);
        if (m_data.history.empty()) return;
        step = m_data.history.back();
        m_data.history.pop_back();
        parent = ParentHierarchy(m_data.folderId);
    }
    LoadFolders(parent, long(step.page), step.row);
}

// Pages on until a page's last row starts with a later character than the
// last row shown now; the page before the last goes straight to the last.
void BrowseFoldersWindow::NextLetter() {
    CascadeString folderId;
    unsigned long page = 1, count = 1;
    {
        std::lock_guard lock(m_dataLock);
        folderId = m_data.folderId;
        page = m_data.folderPaging.GetPage();
        count = m_data.folderPaging.GetPageCount();
    }
    if (page + 1 >= count) {
        LoadFolders(folderId, long(count), kKeepSelection);
        return;
    }
    const int last = int(m_folders.ItemCount()) - 1;
    const EListView::ListItem* row = m_folders.GetItem(last);
    const signed char from = Initial(row ? row->GetCell(kItem) : "");
    FolderPage result;
    do {
        result = FetchFolder(folderId, ++page);
        const std::size_t n = std::min<std::size_t>(result.entries.GetNumEntries(), GetRowsPerPage());
        const BrowseEntry* entry = n ? result.entries.Item(n - 1) : nullptr;
        if (entry && Initial(entry->name.c_str()) > from) break;
    } while (page < count && !m_loader.IsStopping());
    ShowFolder(result, kKeepSelection);
}

// Pages back until a page's first row starts with an earlier character than
// the first row shown now; below page 3 goes straight to page 1.
void BrowseFoldersWindow::PreviousLetter() {
    CascadeString folderId;
    unsigned long page = 1;
    {
        std::lock_guard lock(m_dataLock);
        folderId = m_data.folderId;
        page = m_data.folderPaging.GetPage();
    }
    if (page < 3) {
        LoadFolders(folderId, 1, kKeepSelection);
        return;
    }
    const EListView::ListItem* row = m_folders.GetItem(0);
    const signed char from = Initial(row ? row->GetCell(kItem) : "");
    FolderPage result;
    do {
        result = FetchFolder(folderId, --page);
        const BrowseEntry* entry = result.entries.GetNumEntries() ? result.entries.Item(0) : nullptr;
        if (entry && Initial(entry->name.c_str()) < from) break;
    } while (page > 1 && !m_loader.IsStopping());
    ShowFolder(result, kKeepSelection);
}

void BrowseFoldersWindow::LoadPlaylist(long page, int step, int selection) {
    unsigned long resolved = 1, rows = 1;
    {
        std::lock_guard lock(m_dataLock);
        if (step != 0) page = long(m_data.playlistPaging.GetPage()) + step;
        resolved = m_data.playlistPaging.Resolve(page);
        rows = m_data.playlistPaging.GetRowsPerPage();
    }
    const unsigned long start = (resolved - 1) * rows;
    SongList songs;
    long total = 0;
    if (m_context.server) total = m_context.server->GetCurrentPlaylist(start, rows, songs, false);
    const int previous = m_playlist.GetSelectedIndex();
    m_playlist.Clear(EListView::ClearMode::kRowsOnly);
    bool artists = false;
    for (std::size_t i = 0; i < songs.GetNumEntries() && i < rows; ++i) {
        const auto* song = dynamic_cast<const SongInfo*>(songs.Item(i));
        if (!song || song->title.IsEmpty()) continue;
        EListView::ListItem* item = m_playlist.AddItem(song->title.c_str());
        if (!item) continue;
        (void)item->SetCell(kPlaylistArtist, song->artist.c_str());
        const bool indexed = !(song->playlistIndex == "-1") && !song->playlistIndex.IsEmpty();
        (void)item->SetCell(kIndex, indexed ? song->playlistIndex.c_str() : std::to_string(start + i).c_str());
        artists = artists || (!song->artist.IsEmpty() && !(song->artist == "N/A"));
    }
    {
        std::lock_guard lock(m_dataLock);
        m_data.playlistPaging.SetTotal(static_cast<unsigned long>(std::max(total, 0L)));
        m_data.playlistPaging.SetPage(long(resolved));
        m_data.playlistLabel = m_data.playlistPaging.GetLabel();
        m_data.playlistArtistShown = artists;
    }
    const int count = int(m_playlist.ItemCount());
    int select = selection == kKeepSelection ? std::max(previous, 0) : selection;
    if (selection == kLastRow) select = count - 1;
    m_playlist.SetSelectedIndex(count == 0 ? -1 : std::min(select, count - 1), EListView::RedrawMode::kRedraw);
    Redraw();
}

// ---- listener thread ----

void BrowseFoldersWindow::OnPlaylistChanged(const char* change) {
    if (!IsVisible() || (change && std::strcmp(change, "jump") == 0)) return;
    Queue("playlist", [this](ScreenLoader&) { LoadPlaylist(1, 0, kKeepSelection); });
}

void BrowseFoldersWindow::OnShuffleChanged(uint8_t) {
    if (!IsVisible()) return;
    Queue("playlist", [this](ScreenLoader&) { LoadPlaylist(1, 0, kKeepSelection); });
}

// ---- UI thread ----

BrowseFoldersWindow::Target BrowseFoldersWindow::TargetOf(const EListView& list) const {
    Target target;
    target.fromPlaylist = &list == &m_playlist;
    const EListView::ListItem* row = list.GetSelectedItem();
    if (!row) return target;
    if (target.fromPlaylist) {
        target.artist = row->GetCell(kPlaylistArtist);
        target.index = row->GetCell(kIndex);
        return target;
    }
    target.id = row->GetCell(kId);
    target.url = row->GetCell(kUrl);
    target.type = row->GetCell(kEntryType);
    target.artist = row->GetCell(kArtist);
    // The folder the row belongs to, so a late command can tell it is stale.
    std::lock_guard lock(m_dataLock);
    target.folder = m_data.folderId;
    return target;
}

void BrowseFoldersWindow::SendToServer(const char* name, std::function<void(SlimConnection&)> call) {
    SlimConnection* server = m_context.server;
    if (!server) return;
    if (m_context.app) {
        m_context.app->PostCommand(name, [server, call = std::move(call)] { call(*server); });
        return;
    }
    Queue(name, [server, call = std::move(call)](ScreenLoader&) { call(*server); });
}

void BrowseFoldersWindow::RunCommand(const CascadeString& command, const Target& target) {
    if (command == "open") {
        Queue("open", [this, target](ScreenLoader&) { Open(target); });
        return;
    }
    if (command == "clear") {
        SendToServer("clear", [](SlimConnection& s) { s.ClearCurrentPlaylist(); });
        return;
    }
    if (target.fromPlaylist) {
        const int64_t index = EUtils::ParseDecimal(target.index.View());
        if (target.index.IsEmpty() || index < 0) return;
        const auto at = static_cast<unsigned long>(index);
        if (command == "play") SendToServer("jump", [at](SlimConnection& s) { s.JumpToSongIndex(at); });
        if (command == "remove") SendToServer("remove", [at](SlimConnection& s) { s.RemoveFromCurrentPlaylist(at); });
        return;
    }
    if (target.url.IsEmpty()) {
        if (!target.id.IsEmpty())
            AppLog::WriteToLog("folders: entry %s has no address to %s\n", false, target.id.c_str(), command.c_str());
        return;
    }
    const std::string url = target.url.Std();
    if (command == "play")
        SendToServer("play", [url](SlimConnection& s) { s.ReplaceCurrentPlaylist(url.c_str()); });
    else if (command == "add")
        SendToServer("add", [url](SlimConnection& s) { s.AddToCurrentPlaylist(url.c_str()); });
    else if (command == "insert")
        SendToServer("insert", [url](SlimConnection& s) { s.InsertInCurrentPlaylist(url.c_str()); });
}

void BrowseFoldersWindow::OnManagePlaylistCommand(const CascadeString& command) {
    AppLog::WriteToLog("Manage Playlist Command: %s\n", false, command.c_str());
    RunCommand(command, m_dialogTarget);
}

void BrowseFoldersWindow::OpenDialog(const Target& target) {
    ManagePlaylistDialog::DialogType type = ManagePlaylistDialog::kPlaylistEntry;
    if (!target.fromPlaylist) {
        if (target.type == "dir")
            type = ManagePlaylistDialog::kFolder;
        else if (target.type == "song")
            type = ManagePlaylistDialog::kSong;
        else if (target.type == "playlist")
            type = ManagePlaylistDialog::kPlaylistFile;
        else
            return;
    }
    const EListView& list = target.fromPlaylist ? m_playlist : m_folders;
    const EListView::ListItem* row = list.GetSelectedItem();
    if (!row) return;
    m_dialogTarget = target;
    m_dialog.SetTitle(row->GetCell(target.fromPlaylist ? std::size_t(kTitle) : std::size_t(kItem)));
    m_dialog.SetArtist(type == ManagePlaylistDialog::kFolder || type == ManagePlaylistDialog::kPlaylistFile
                           ? ""
                           : target.artist.c_str());
    m_dialog.ShowDialog(type, this);
}

void BrowseFoldersWindow::MoveInList(EListView& list, bool playlist, unsigned long key) {
    const int count = int(list.ItemCount());
    if (count == 0) return;
    const int selected = list.GetSelectedIndex();
    const bool down = key == CascadeKeys::kDown;
    if (down ? selected + 1 < count : selected > 0) {
        list.SetSelectedIndex(selected + (down ? 1 : -1), EListView::RedrawMode::kRedraw);
        return;
    }
    if (g_wrapAround) {
        list.SetSelectedIndex(down ? 0 : count - 1, EListView::RedrawMode::kRedraw);
        return;
    }
    const int step = down ? 1 : -1;
    const int selection = down ? 0 : kLastRow;
    if (playlist)
        Queue("playlist", [this, step, selection](ScreenLoader&) { LoadPlaylist(0, step, selection); });
    else
        Queue("page", [this, step, selection](ScreenLoader&) { LoadFolderStep(step, selection); });
}

bool BrowseFoldersWindow::OnNavKey(unsigned long key, CascadeWindow*& next) {
    AppActivity::NotifyActivity(key);
    if (m_playlist.IsFocus()) {
        if (key == CascadeKeys::kUp || key == CascadeKeys::kDown) MoveInList(m_playlist, true, key);
        next = key == CascadeKeys::kLeft ? &m_folders : nullptr;
        return true;
    }
    if (!m_folders.IsFocus()) {
        next = &m_folders;
        return true;
    }
    next = nullptr;
    if (key == CascadeKeys::kUp || key == CascadeKeys::kDown) {
        MoveInList(m_folders, false, key);
    } else if (key == CascadeKeys::kLeft) {
        Queue("back", [this](ScreenLoader&) { Back(); });
    } else if (key == CascadeKeys::kRight) {
        const Target target = TargetOf(m_folders);
        if (target.type == "dir")
            RunCommand("open", target);
        else
            OpenDialog(target);
    }
    return true;
}

bool BrowseFoldersWindow::FolderKey(unsigned long key) {
    unsigned long page = 1, count = 1;
    {
        std::lock_guard lock(m_dataLock);
        page = m_data.folderPaging.GetPage();
        count = m_data.folderPaging.GetPageCount();
    }
    switch (key) {
        case CascadeKeys::kSelect: OpenDialog(TargetOf(m_folders)); return true;
        case CascadeKeys::kPlay:
        case CascadeKeys::kPlayPause: RunCommand("play", TargetOf(m_folders)); return true;
        case CascadeKeys::kNext:
            if (page < count) Queue("next", [this](ScreenLoader&) { NextLetter(); });
            return true;
        case CascadeKeys::kPrevious:
            if (page >= 2) Queue("previous", [this](ScreenLoader&) { PreviousLetter(); });
            return true;
        case CascadeKeys::kZoomIn:
        case CascadeKeys::kZoomOut: {
            const int step = key == CascadeKeys::kZoomIn ? -1 : 1;
            if (count >= 2) Queue("page", [this, step](ScreenLoader&) { LoadFolderStep(step, kKeepSelection); });
            return true;
        }
        case CascadeKeys::kRotate: m_playlist.SetFocus(); return true;
        default: return false;
    }
}

bool BrowseFoldersWindow::PlaylistKey(unsigned long key) {
    unsigned long count = 1;
    {
        std::lock_guard lock(m_dataLock);
        count = m_data.playlistPaging.GetPageCount();
    }
    switch (key) {
        case CascadeKeys::kSelect: OpenDialog(TargetOf(m_playlist)); return true;
        case CascadeKeys::kPlay:
        case CascadeKeys::kPlayPause: RunCommand("play", TargetOf(m_playlist)); return true;
        case CascadeKeys::kNext:
        case CascadeKeys::kPrevious: return true;
        case CascadeKeys::kZoomIn:
        case CascadeKeys::kZoomOut: {
            const int step = key == CascadeKeys::kZoomIn ? -1 : 1;
            if (count >= 2) Queue("playlist", [this, step](ScreenLoader&) { LoadPlaylist(0, step, kKeepSelection); });
            return true;
        }
        case CascadeKeys::kRotate: m_folders.SetFocus(); return true;
        default: return false;
    }
}

bool BrowseFoldersWindow::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    if (key == CascadeKeys::kExit) {
        Vanish();
        return true;
    }
    return m_playlist.IsFocus() ? PlaylistKey(key) : FolderKey(key);
}

// ---- painting and getters ----

void BrowseFoldersWindow::OnPaint(CascadeBitmap& target) {
    CascadeString folderLabel, playlistLabel, location;
    bool artist = false, playlistArtist = false;
    {
        std::lock_guard lock(m_dataLock);
        folderLabel = m_data.folderLabel;
        playlistLabel = m_data.playlistLabel;
        location = m_data.location;
        artist = m_data.artistShown;
        playlistArtist = m_data.playlistArtistShown;
    }
    // Column visibility is the lists' paint state: changed here, on the UI
    // thread, before the lists (children) paint.
    if (EListView::Column* column = m_folders.GetColumn(kArtist)) column->visible = artist;
    if (EListView::Column* column = m_playlist.GetColumn(kPlaylistArtist)) column->visible = playlistArtist;

    target.DrawBitmap(*g_config.GetFoldersBackground(), {0, 0});
    target.DrawBitmap(*g_config.GetLogo(), kLogoAt);
    if (m_bitmaps[kTitle].IsValid()) target.DrawBitmap(m_bitmaps[kTitle], m_titleRect.Origin());
    if (m_folderPanel.IsValid()) target.DrawBitmap(m_folderPanel, kFolderPanel.Origin());
    if (m_playlistPanel.IsValid()) target.DrawBitmap(m_playlistPanel, kPlaylistPanel.Origin());
    if (m_bitmaps[kFolderHeader].IsValid()) target.DrawBitmap(m_bitmaps[kFolderHeader], kFolderPanel.Origin());
    if (m_bitmaps[kPlaylistHeader].IsValid()) target.DrawBitmap(m_bitmaps[kPlaylistHeader], kPlaylistPanel.Origin());
    const unsigned long right = CascadeTextFlags::kCenterVertical | CascadeTextFlags::kAlignRight;
    EUtils::ShadowedDrawText(target, m_labelFont, LabelRect(kFolderPanel), folderLabel.c_str(), g_fgColor, right, 1,
                             kShadow, EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    EUtils::ShadowedDrawText(target, m_labelFont, LabelRect(kPlaylistPanel), playlistLabel.c_str(), g_fgColor, right,
                             1, kShadow, EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    EUtils::ShadowedDrawText(target, m_labelFont, kLocationLine, location.c_str(), g_fgColor,
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis, 1, kShadow,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}

CascadeString BrowseFoldersWindow::GetFolderId() const {
    std::lock_guard lock(m_dataLock);
    return m_data.folderId;
}

CascadeString BrowseFoldersWindow::GetLocation() const {
    std::lock_guard lock(m_dataLock);
    return m_data.location;
}

unsigned short BrowseFoldersWindow::GetFolderPage() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.folderPaging.GetPage());
}

unsigned short BrowseFoldersWindow::GetFolderPageCount() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.folderPaging.GetPageCount());
}

unsigned short BrowseFoldersWindow::GetPlaylistPage() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.playlistPaging.GetPage());
}

CascadeString BrowseFoldersWindow::GetFolderLabel() const {
    std::lock_guard lock(m_dataLock);
    return m_data.folderLabel;
}

std::size_t BrowseFoldersWindow::GetHistoryDepth() const {
    std::lock_guard lock(m_dataLock);
    return m_data.history.size();
}

bool BrowseFoldersWindow::IsArtistShown() const {
    std::lock_guard lock(m_dataLock);
    return m_data.artistShown;
}
