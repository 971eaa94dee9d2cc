#include "screens/SongInfoDialog.h"

#include "app/base/AppActivity.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeTextFlags.h"
#include "server/EUtils.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

namespace {

using namespace InfoDialogLayout;

// Indexed like the bitmaps: title, then the faces of play, add, insert.
constexpr const char* kImages[] = {"images/title_songInfo.png", "images/text_play.png", "images/text_add.png",
                                   "images/text_playnext.png"};
constexpr int kFieldColumnWidth = 120;
constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kShadow{0x000000FFu};

}  // namespace

SongInfoDialog::SongInfoDialog() = default;

SongInfoDialog::~SongInfoDialog() { m_loader.Join(); }

void SongInfoDialog::Attach(const ScreenContext& context) {
    m_context = context;
    m_cover.SetConnection(context.server);
}

std::vector<SongInfoDialog::Field> SongInfoDialog::FieldsOf(const SongInfo& song) {
    std::vector<Field> fields = {{"Title:", song.title}, {"Artist:", song.artist}, {"Album:", song.album}};
    auto addUnless = [&fields](bool hidden, const char* label, const CascadeString& value) {
        if (!hidden) fields.push_back({label, value});
    };
    addUnless(song.composer.IsEmpty(), "Composer:", song.composer);
    addUnless(song.band.IsEmpty(), "Band:", song.band);
    addUnless(song.genre == "N/A", "Genre:", song.genre);
    addUnless(song.year.IsEmpty(), "Year:", song.year);
    addUnless(song.trackNum == "0", "Track:", song.trackNum);
    addUnless(song.duration == "0", "Duration:", song.duration);
    fields.push_back({"Bit Rate:", song.bitrate});
    addUnless(song.contentType.IsEmpty(), "File Type:", song.contentType);
    addUnless(song.fileSize.IsEmpty(), "File Size:", song.fileSize);
    const CascadeString& where = song.path.IsEmpty() ? song.url : song.path;
    addUnless(where.IsEmpty(), "Path:", where);
    addUnless(song.tagVersion.IsEmpty(), "Tag Version:", song.tagVersion);
    return fields;
}

void SongInfoDialog::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    for (std::size_t i = 0; i < m_bitmaps.size(); ++i) DialogImages::Load(m_bitmaps[i], kImages[i]);
    m_titleRect = DialogImages::PlaceAt(m_bitmaps[0], kTitleAt);
    for (int b = 0; b < kButtonCount; ++b) m_buttons[b].SetImage(&m_bitmaps[1 + b]);
    m_labelFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 16 : 14);
    m_bitmapsLoaded = true;
}

void SongInfoDialog::ShowDialog(const char* trackId, DialogType type, ManagePlaylistDialog::Client* client) {
    if (IsVisible()) Vanish();
    {
        std::lock_guard lock(m_dataLock);
        m_data = Data();
        m_data.trackId = trackId ? trackId : "";
    }
    m_type = type;
    m_client = client;
    m_command = "";
    LoadBitmaps();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetInfoDialogBackground()));
    Materialize(2);
}

void SongInfoDialog::LayOut() {
    if (m_laidOut) return;
    m_cover.SetRectRelative(kCover);
    m_cover.ShowTitle(false);
    m_cover.SetNoCoverJpeg((g_appPath + "images/nocover.thm").c_str());
    AddChild(&m_cover);
    m_cover.Materialize();

    m_panelRect = kPanel;
    if (m_panel.Create(kPanel.Dims(), CascadeBitmap::kRamVideo)) m_panel.Clear(kPanelColor);
    m_list.SetRectRelative(kList);
    m_list.ShowHeaders(false);
    m_list.SetRowHeight(g_useLargeFont ? 25 : 20);
    m_list.AddColumn("Field", "Field", EListView::ColumnVisibility::kVisible, kFieldColumnWidth,
                     CascadeTextFlags::kCenterVertical);
    m_list.AddColumn("Value", "Value", EListView::ColumnVisibility::kVisible, -1,
                     CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis);
    AddChild(&m_list);
    m_list.Materialize();
    m_labelRect = kPageLabel;
    m_laidOut = true;
}

std::vector<SongInfoDialog::Button> SongInfoDialog::ShownButtons() const {
    if (m_type == kPlayOnly) return {kPlay};
    return {kPlay, kAdd, kInsert};
}

void SongInfoDialog::OnMaterialize() {
    LayOut();
    const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
    const int y = GetDims().h - kButtonsFromBottom;
    int x = kButtonsX;
    for (Button b : ShownButtons()) {
        m_buttons[b].SetRectRelative({x, y, face.w, face.h});
        AddChild(&m_buttons[b]);
        m_buttons[b].Materialize();
        x += face.w + kButtonGap;
    }
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    m_focus.Remember();
    m_buttons[kPlay].SetFocus();
}

void SongInfoDialog::OnMaterialized() {
    CascadeString trackId;
    {
        std::lock_guard lock(m_dataLock);
        trackId = m_data.trackId;
    }
    m_cover.SetSongId(trackId.c_str(), AlbumButton::RedrawMode::kRedraw);
    m_cover.LoadAlbumArt(AlbumButton::LoadMode::kAsync);
    LoadSongInfo(1);
}

unsigned long SongInfoDialog::GetRowsPerPage() const {
    const int rowHeight = g_useLargeFont ? 25 : 20;
    return static_cast<unsigned long>(kList.h / rowHeight);
}

void SongInfoDialog::LoadSongInfo(unsigned short page) {
    m_loader.Start("info", [this, page](ScreenLoader&) { Load(page, 0); }, ScreenLoader::PleaseWait::kNone);
}

void SongInfoDialog::Load(long page, int step) {
    CascadeString trackId;
    {
        std::lock_guard lock(m_dataLock);
        trackId = m_data.trackId;
        if (step != 0) page = long(m_data.page) + step;
    }
    // Left empty, the always-shown fields stay empty when the server does not answer.
    SongInfo song;
    song.title = song.artist = song.album = "";
    if (m_context.server) m_context.server->GetTrackInfo(static_cast<unsigned long>(EUtils::ParseDecimal(trackId.View())), song);

    if (page >= 3) page = 1;
    if (page <= 0) page = 2;
    const std::vector<Field> fields = FieldsOf(song);
    const unsigned long rows = GetRowsPerPage();
    const unsigned short pageCount = fields.size() > rows ? 2 : 1;
    {
        std::lock_guard lock(m_dataLock);
        if (m_data.trackId != trackId) return;  // another track was asked for meanwhile
        m_data.page = static_cast<unsigned short>(page);
        m_data.pageCount = pageCount;
        m_data.label.Format("Page %i of %i", int(page), int(pageCount));
        m_data.song = song;
    }
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool onPageOne = i < rows;
        if (onPageOne != (page == 1)) continue;
        EListView::ListItem* item = m_list.AddItem(fields[i].label);
        if (item) (void)item->SetCell(1, fields[i].value.c_str());
    }
    Redraw();
}

unsigned short SongInfoDialog::GetPage() const {
    std::lock_guard lock(m_dataLock);
    return m_data.page;
}

unsigned short SongInfoDialog::GetPageCount() const {
    std::lock_guard lock(m_dataLock);
    return m_data.pageCount;
}

CascadeString SongInfoDialog::GetPageLabel() const {
    std::lock_guard lock(m_dataLock);
    return m_data.label;
}

void SongInfoDialog::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetInfoDialogBackground(), {0, 0});
    if (m_bitmaps[0].IsValid()) target.DrawBitmap(m_bitmaps[0], m_titleRect.Origin());
    if (m_panel.IsValid()) target.DrawBitmap(m_panel, m_panelRect.Origin());
    const CascadeString label = GetPageLabel();
    EUtils::ShadowedDrawText(target, m_labelFont, m_labelRect, label.c_str(), g_fgColor,
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kAlignRight, 1, kShadow,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}

bool SongInfoDialog::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    switch (key) {
        case CascadeKeys::kSelect:
            m_command = "";
            if (m_buttons[kPlay].IsFocus()) m_command = "play";
            if (m_type != kPlayOnly && m_buttons[kAdd].IsFocus()) m_command = "add";
            if (m_type != kPlayOnly && m_buttons[kInsert].IsFocus()) m_command = "insert";
            Vanish();
            break;
        case CascadeKeys::kZoomIn:
        case CascadeKeys::kZoomOut:
            if (GetPageCount() == 2) {
                const int step = key == CascadeKeys::kZoomIn ? -1 : 1;
                m_loader.Start("info", [this, step](ScreenLoader&) { Load(0, step); }, ScreenLoader::PleaseWait::kNone);
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

bool SongInfoDialog::OnNavKey(unsigned long key, CascadeWindow*& next) {
    if (key == CascadeKeys::kUp || key == CascadeKeys::kDown) {
        next = nullptr;  // the table does not scroll
        return true;
    }
    return false;
}

void SongInfoDialog::OnVanish() {
    m_loader.Cancel();
    for (Button b : ShownButtons()) RemoveChild(&m_buttons[b]);
    m_focus.Restore();
    ManagePlaylistDialog::Client* client = m_client;
    m_client = nullptr;
    if (client && !m_command.IsEmpty()) client->OnManagePlaylistCommand(m_command);
}
