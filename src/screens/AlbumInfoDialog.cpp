#include "screens/AlbumInfoDialog.h"

#include "app/base/AppActivity.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeTextFlags.h"
#include "server/EUtils.h"
#include "server/SongList.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

namespace {

using namespace InfoDialogLayout;

// Indexed like the bitmaps: title, then the faces of play, add, insert.
constexpr const char* kImages[] = {"images/title_albumInfo.png", "images/text_play.png", "images/text_add.png",
                                   "images/text_playnext.png"};
constexpr int kArtistColumnWidth = 140;
constexpr CascadeRect kAlbumTitle{20, 312, 230, 60};
constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kShadow{0x000000FFu};

int RowHeight() { return g_useLargeFont ? 25 : 20; }

}  // namespace

AlbumInfoDialog::AlbumInfoDialog() = default;

AlbumInfoDialog::~AlbumInfoDialog() { m_loader.Join(); }

void AlbumInfoDialog::Attach(const ScreenContext& context) {
    m_context = context;
    m_cover.SetConnection(context.server);
}

void AlbumInfoDialog::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    for (std::size_t i = 0; i < m_bitmaps.size(); ++i) DialogImages::Load(m_bitmaps[i], kImages[i]);
    m_titleRect = DialogImages::PlaceAt(m_bitmaps[0], kTitleAt);
    for (int b = 0; b < kButtonCount; ++b) m_buttons[b].SetImage(&m_bitmaps[1 + b]);
    m_itemFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 22 : 18);
    m_labelFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 16 : 14);
    m_titleFont = CascadeFont("system", CascadeFont::kBold, 24);
    m_bitmapsLoaded = true;
}

void AlbumInfoDialog::ShowDialog(const char* title, const char* albumId, ManagePlaylistDialog::Client* client) {
    if (IsVisible()) Vanish();
    {
        std::lock_guard lock(m_dataLock);
        m_data.title = title ? title : "";
        m_data.albumId = albumId ? albumId : "";
        m_data.paging = ListPaging(GetRowsPerPage());
        m_data.label = m_data.paging.GetLabel();
    }
    m_client = client;
    m_command = "";
    LoadBitmaps();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetInfoDialogBackground()));
    Materialize(2);
}

void AlbumInfoDialog::LayOut() {
    if (m_laidOut) return;
    m_cover.SetRectRelative(kCover);
    m_cover.ShowTitle(false);
    m_cover.SetNoCoverJpeg((g_appPath + "images/nocover.thm").c_str());
    AddChild(&m_cover);
    m_cover.Materialize();

    if (m_panel.Create(kPanel.Dims(), CascadeBitmap::kRamVideo)) m_panel.Clear(kPanelColor);
    m_list.SetRectRelative(kList);
    m_list.ShowHeaders(false);
    m_list.SetRowHeight(RowHeight());
    m_list.SetItemFont(m_itemFont);
    m_list.AddColumn("Track", "Track", EListView::ColumnVisibility::kVisible, g_useLargeFont ? 30 : 25,
                     CascadeTextFlags::kCenterVertical);
    m_list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1,
                     CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis);
    m_list.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kVisible, kArtistColumnWidth,
                     CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis);
    AddChild(&m_list);
    m_list.Materialize();
    m_labelRect = kPageLabel;
    m_albumTitleRect = kAlbumTitle;
    m_laidOut = true;
}

void AlbumInfoDialog::OnMaterialize() {
    LayOut();
    const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
    const int y = GetDims().h - kButtonsFromBottom;
    int x = kButtonsX;
    for (EButton& button : m_buttons) {
        button.SetRectRelative({x, y, face.w, face.h});
        AddChild(&button);
        button.Materialize();
        x += face.w + kButtonGap;
    }
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    m_command = "";
    m_focus.Remember();
    m_buttons[kPlay].SetFocus();
}

void AlbumInfoDialog::OnMaterialized() {
    CascadeString albumId;
    {
        std::lock_guard lock(m_dataLock);
        albumId = m_data.albumId;
    }
    m_cover.SetAlbumId(albumId.c_str(), AlbumButton::RedrawMode::kRedraw);
    m_cover.LoadAlbumArt(AlbumButton::LoadMode::kAsync);
    LoadTracks(1);
}

unsigned long AlbumInfoDialog::GetRowsPerPage() const { return static_cast<unsigned long>(kList.h / RowHeight()); }

void AlbumInfoDialog::LoadTracks(unsigned short page) {
    m_loader.Start("tracks", [this, page](ScreenLoader&) { Load(page, 0); }, ScreenLoader::PleaseWait::kNone);
}

void AlbumInfoDialog::Load(long page, int step) {
    CascadeString albumId;
    unsigned long resolved = 1, rows = 1;
    {
        std::lock_guard lock(m_dataLock);
        albumId = m_data.albumId;
        if (step != 0) page = long(m_data.paging.GetPage()) + step;
        resolved = m_data.paging.Resolve(page);
        rows = m_data.paging.GetRowsPerPage();
    }
    SongList songs;
    if (m_context.server)
        (void)m_context.server->GetTracks(0, 0, static_cast<unsigned long>(EUtils::ParseDecimal(albumId.View())),
                                          (resolved - 1) * rows, rows, songs);
    {
        std::lock_guard lock(m_dataLock);
        if (m_data.albumId != albumId) return;  // another album was asked for meanwhile
        m_data.paging.SetTotal(songs.GetTotalCount());
        m_data.paging.SetPage(long(resolved));
        m_data.label = m_data.paging.GetLabel();
    }
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    for (std::size_t i = 0; i < songs.GetNumEntries(); ++i) {
        const SongInfo* song = songs.Item(i);
        if (!song) continue;
        EListView::ListItem* item = m_list.AddItem(song->trackNum.c_str());
        if (!item) continue;
        (void)item->SetCell(1, song->title.c_str());
        (void)item->SetCell(2, song->artist.c_str());
    }
    Redraw();
}

unsigned short AlbumInfoDialog::GetPage() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.paging.GetPage());
}

unsigned short AlbumInfoDialog::GetPageCount() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.paging.GetPageCount());
}

CascadeString AlbumInfoDialog::GetPageLabel() const {
    std::lock_guard lock(m_dataLock);
    return m_data.label;
}

void AlbumInfoDialog::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetInfoDialogBackground(), {0, 0});
    if (m_bitmaps[0].IsValid()) target.DrawBitmap(m_bitmaps[0], m_titleRect.Origin());
    if (m_panel.IsValid()) target.DrawBitmap(m_panel, kPanel.Origin());
    CascadeString label, title;
    {
        std::lock_guard lock(m_dataLock);
        label = m_data.label;
        title = m_data.title;
    }
    EUtils::ShadowedDrawText(target, m_labelFont, m_labelRect, label.c_str(), g_fgColor,
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kAlignRight, 1, kShadow,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    EUtils::ShadowedDrawText(target, m_titleFont, m_albumTitleRect, title.c_str(), g_fgColor,
                             CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kWordWrap, 2, kShadow,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}

bool AlbumInfoDialog::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    switch (key) {
        case CascadeKeys::kSelect:
            m_command = "";
            if (m_buttons[kPlay].IsFocus()) m_command = "play";
            if (m_buttons[kAdd].IsFocus()) m_command = "add";
            if (m_buttons[kInsert].IsFocus()) m_command = "insert";
            Vanish();
            break;
        case CascadeKeys::kZoomIn:
        case CascadeKeys::kZoomOut: {
            const int step = key == CascadeKeys::kZoomIn ? -1 : 1;
            m_loader.Start("tracks", [this, step](ScreenLoader&) { Load(0, step); }, ScreenLoader::PleaseWait::kNone);
            break;
        }
        case CascadeKeys::kExit:
            m_command = "";
            Vanish();
            break;
        default:
            break;
    }
    return true;
}

bool AlbumInfoDialog::OnNavKey(unsigned long key, CascadeWindow*& next) {
    if (key == CascadeKeys::kUp || key == CascadeKeys::kDown) {
        next = nullptr;
        return true;
    }
    return false;
}

void AlbumInfoDialog::OnVanish() {
    m_loader.Cancel();
    for (EButton& button : m_buttons) RemoveChild(&button);
    m_focus.Restore();
    ManagePlaylistDialog::Client* client = m_client;
    m_client = nullptr;
    if (client && !m_command.IsEmpty()) client->OnManagePlaylistCommand(m_command);
}
