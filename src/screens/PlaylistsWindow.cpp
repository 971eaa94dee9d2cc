#include "screens/PlaylistsWindow.h"

#include "app/base/AppActivity.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeTextFlags.h"
#include "server/BrowseEntryList.h"
#include "server/EUtils.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

#include <algorithm>

namespace {

// Indexed like the bitmaps: title, then the faces of add and play.
constexpr const char* kImages[] = {"images/title_playlists.png", "images/text_add.png", "images/text_play.png"};
// The title image centres its words: drawn from x -75 they end left of the page label.
constexpr CascadePoint kTitleAt{-75, 8};
constexpr CascadeRect kPanel{30, 65, 388, 245};
constexpr CascadeRect kList{40, 75, 359, 225};
constexpr CascadeRect kPageLabel{267, 18, 160, 25};
constexpr int kButtonsFromBottom = 78;
constexpr int kAddX = 35;
constexpr int kPlayX = 235;
constexpr int kIndexColumnWidth = 65;
constexpr std::size_t kTitleColumn = 0, kIndexColumn = 1;
constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kShadow{0x000000FFu};

int RowHeight() { return g_useLargeFont ? 25 : 20; }

}  // namespace

PlaylistsWindow::PlaylistsWindow() = default;

PlaylistsWindow::~PlaylistsWindow() { m_loader.Join(); }

void PlaylistsWindow::Attach(const ScreenContext& context) { m_context = context; }

void PlaylistsWindow::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    for (std::size_t i = 0; i < m_bitmaps.size(); ++i) DialogImages::Load(m_bitmaps[i], kImages[i]);
    m_titleRect = DialogImages::PlaceAt(m_bitmaps[0], kTitleAt);
    for (int b = 0; b < kButtonCount; ++b) m_buttons[b].SetImage(&m_bitmaps[1 + b]);
    m_itemFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 22 : 18);
    m_labelFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 16 : 14);
    if (m_panel.Create(kPanel.Dims(), CascadeBitmap::kRamVideo)) m_panel.Clear(kPanelColor);
    m_bitmapsLoaded = true;
}

void PlaylistsWindow::ShowDialog(Client* client) {
    if (IsVisible()) Vanish();
    m_client = client;
    m_command = "";
    LoadBitmaps();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetPlaylistsBackground()));
    Materialize(2);
}

void PlaylistsWindow::LayOut() {
    if (m_laidOut) return;
    {
        std::lock_guard lock(m_dataLock);
        m_data.paging.SetRowsPerPage(GetRowsPerPage());
    }
    m_list.SetRectRelative(kList);
    m_list.ShowHeaders(false);
    m_list.SetRowHeight(RowHeight());
    m_list.SetItemFont(m_itemFont);
    m_list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1,
                     CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis);
    m_list.AddColumn("Index", "Index", EListView::ColumnVisibility::kHidden, kIndexColumnWidth,
                     CascadeTextFlags::kCenterVertical | CascadeTextFlags::kAlignRight);
    AddChild(&m_list);
    m_list.Materialize();
    const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
    const int y = GetDims().h - kButtonsFromBottom;
    m_buttons[kAdd].SetRectRelative({kAddX, y, face.w, face.h});
    m_buttons[kPlay].SetRectRelative({kPlayX, y, face.w, face.h});
    for (EButton& button : m_buttons) {
        AddChild(&button);
        button.Materialize();
    }
    m_laidOut = true;
}

void PlaylistsWindow::OnMaterialize() {
    LayOut();
    m_focus.Remember();
    m_list.SetFocus();
}

void PlaylistsWindow::OnMaterialized() { LoadPlaylists(1); }

unsigned long PlaylistsWindow::GetRowsPerPage() const { return static_cast<unsigned long>(kList.h / RowHeight()); }

void PlaylistsWindow::LoadPlaylists(unsigned short page) { RequestPage(page, 0, kKeepSelection); }

void PlaylistsWindow::RequestPage(long page, int step, int selection) {
    m_loader.Start(
        "page", [this, page, step, selection](ScreenLoader&) { Load(page, step, selection); },
        ScreenLoader::PleaseWait::kNone);
}

void PlaylistsWindow::Load(long page, int step, int selection) {
    unsigned long resolved = 1, rows = 1;
    {
        std::lock_guard lock(m_dataLock);
        if (step != 0) page = long(m_data.paging.GetPage()) + step;
        resolved = m_data.paging.Resolve(page);
        rows = m_data.paging.GetRowsPerPage();
    }
    BrowseEntryList playlists;
    if (m_context.server) (void)m_context.server->GetPlaylists((resolved - 1) * rows, rows, playlists);
    {
        std::lock_guard lock(m_dataLock);
        m_data.paging.SetTotal(playlists.GetTotalCount());
        m_data.paging.SetPage(long(resolved));
        m_data.label = m_data.paging.GetLabel();
    }
    const int previous = m_list.GetSelectedIndex();
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    for (std::size_t i = 0; i < playlists.GetNumEntries(); ++i) {
        const BrowseEntry* entry = playlists.Item(i);
        if (!entry) continue;
        EListView::ListItem* item = m_list.AddItem(entry->name.c_str());
        if (item) (void)item->SetCell(kIndexColumn, entry->id.c_str());
    }
    int select = selection == kKeepSelection ? std::max(previous, 0) : selection;
    if (selection == kLastRow) select = int(m_list.ItemCount()) - 1;
    m_list.SetSelectedIndex(m_list.ItemCount() == 0 ? -1 : select, EListView::RedrawMode::kRedraw);
    Redraw();
}

unsigned short PlaylistsWindow::GetPage() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.paging.GetPage());
}

unsigned short PlaylistsWindow::GetPageCount() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.paging.GetPageCount());
}

CascadeString PlaylistsWindow::GetPageLabel() const {
    std::lock_guard lock(m_dataLock);
    return m_data.label;
}

bool PlaylistsWindow::IsIndexShown() const {
    const EListView::Column* column = m_list.GetColumn(kIndexColumn);
    return column && column->visible;
}

void PlaylistsWindow::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetPlaylistsBackground(), {0, 0});
    if (m_bitmaps[0].IsValid()) target.DrawBitmap(m_bitmaps[0], m_titleRect.Origin());
    if (m_panel.IsValid()) target.DrawBitmap(m_panel, kPanel.Origin());
    const CascadeString label = GetPageLabel();
    EUtils::ShadowedDrawText(target, m_labelFont, kPageLabel, label.c_str(), g_fgColor,
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kAlignRight, 1, kShadow,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}

bool PlaylistsWindow::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    switch (key) {
        case CascadeKeys::kSelect:
            m_command = "";
            if (m_buttons[kPlay].IsFocus()) m_command = "play";
            if (m_buttons[kAdd].IsFocus()) m_command = "add";
            Vanish();
            break;
        case CascadeKeys::kZoomIn: RequestPage(0, -1, kKeepSelection); break;
        case CascadeKeys::kZoomOut: RequestPage(0, 1, kKeepSelection); break;
        case CascadeKeys::kOptions:
            if (EListView::Column* column = m_list.GetColumn(kIndexColumn)) {
                column->visible = !column->visible;
                m_list.Redraw();
            }
            break;
        case CascadeKeys::kExit:
            m_command = "";
            Vanish();
            break;
        default:
            break;
    }
    return true;
}

// Up and Down move in the list; with wrap-around they wrap inside the page,
// without it they go on to the neighbouring page.
void PlaylistsWindow::MoveInList(unsigned long key) {
    const int count = int(m_list.ItemCount());
    if (count == 0) return;
    const int selected = m_list.GetSelectedIndex();
    if (key == CascadeKeys::kDown) {
        if (selected + 1 < count)
            m_list.SetSelectedIndex(selected + 1, EListView::RedrawMode::kRedraw);
        else if (g_wrapAround)
            m_list.SetSelectedIndex(0, EListView::RedrawMode::kRedraw);
        else
            RequestPage(0, 1, 0);
    } else {
        if (selected > 0)
            m_list.SetSelectedIndex(selected - 1, EListView::RedrawMode::kRedraw);
        else if (g_wrapAround)
            m_list.SetSelectedIndex(count - 1, EListView::RedrawMode::kRedraw);
        else
            RequestPage(0, -1, kLastRow);
    }
}

bool PlaylistsWindow::OnNavKey(unsigned long key, CascadeWindow*& next) {
    if (key != CascadeKeys::kUp && key != CascadeKeys::kDown) return false;
    AppActivity::NotifyActivity(key);
    if (m_list.IsFocus()) {
        MoveInList(key);
        next = nullptr;
    } else {
        next = &m_list;
    }
    return true;
}

void PlaylistsWindow::OnVanish() {
    m_loader.Cancel();
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    const EListView::ListItem* row = m_list.GetSelectedItem();
    if (m_command.IsEmpty() || !client || !row) return;
    const int64_t id = EUtils::ParseDecimal(row->GetCell(kIndexColumn));
    client->OnPlaylistsCommand(m_command, static_cast<unsigned long>(std::max<int64_t>(id, 0)));
}
