#include "screens/ManagePlaylistDialog.h"

#include "app/base/AppActivity.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeTextFlags.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

namespace {

// Indexed like the bitmaps: title, the five labels, then the button faces
// in Button order (open, add, play, insert, remove, clear).
constexpr const char* kImages[] = {
    "images/title_manageplaylist.png", "images/label_match.png",   "images/label_title.png",
    "images/label_artist.png",         "images/label_album.png",   "images/label_genre.png",
    "images/text_open.png",            "images/text_add.png",      "images/text_play.png",
    "images/text_playnext.png",        "images/text_remove.png",   "images/text_clear.png",
};

constexpr CascadePoint kTitleAt{17, 8};
// The label rows: a label image on the left, its text beside it.
constexpr int kFirstRowY = 72;
constexpr int kRowPitch = 40;
constexpr int kRowHeight = 34;
constexpr int kLabelX = 20;
constexpr int kLabelWidth = 130;
constexpr int kTextX = 160;
constexpr int kTextRightMargin = 24;
// The buttons: one row, 70 pixels above the bottom edge, from x 15, 5 apart.
constexpr int kButtonsFromBottom = 70;
constexpr int kButtonsX = 15;
constexpr int kButtonGap = 5;
constexpr CascadeColor kShadow{0x000000FFu};

}  // namespace

std::array<ManagePlaylistDialog::Button, 3> ManagePlaylistDialog::ButtonsOf(DialogType type) {
    switch (type) {
        case kPlaylistEntry: return {kRemove, kPlay, kClear};
        case kFolder: return {kOpen, kAdd, kPlay};
        default: return {kAdd, kPlay, kInsert};
    }
}

const char* ManagePlaylistDialog::CommandOf(Button button) {
    static constexpr const char* kCommands[kButtonCount] = {"open", "add", "play", "insert", "remove", "clear"};
    return button < kButtonCount ? kCommands[button] : "";
}

CascadeRect ManagePlaylistDialog::LabelRect(int row) {
    return {kLabelX, kFirstRowY + row * kRowPitch, kLabelWidth, kRowHeight};
}

CascadeRect ManagePlaylistDialog::TextRect(int row, int windowWidth) {
    return {kTextX, kFirstRowY + row * kRowPitch, windowWidth - kTextX - kTextRightMargin, kRowHeight};
}

void ManagePlaylistDialog::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    for (std::size_t i = 0; i < m_bitmaps.size(); ++i) DialogImages::Load(m_bitmaps[i], kImages[i]);
    m_titleRect = DialogImages::PlaceAt(m_bitmaps[kTitleImage], kTitleAt);
    for (int b = 0; b < kButtonCount; ++b) m_buttons[b].SetImage(&m_bitmaps[kFirstFace + b]);
    m_font = CascadeFont("system", CascadeFont::kBold, g_useLargeFont ? 22 : 20);
    m_bitmapsLoaded = true;
}

const CascadeBitmap* ManagePlaylistDialog::Background() const {
    return m_type == kLibrarySelection ? g_config.GetLargeDialogBackground() : g_config.GetMediumDialogBackground();
}

void ManagePlaylistDialog::ShowDialog(DialogType type, Client* client) {
    if (IsVisible()) Vanish();  // a second opening replaces the first, which tells no one
    m_type = (type >= kLibrarySelection && type <= kPlaylistFile) ? type : kSong;
    m_client = client;
    m_command = "";
    LoadBitmaps();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *Background()));
    Materialize(1);
}

void ManagePlaylistDialog::OnMaterialize() {
    // The buttons of this type, added anew at each showing.
    m_shown = ButtonsOf(m_type);
    const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
    const int y = GetDims().h - kButtonsFromBottom;
    int x = kButtonsX;
    for (Button b : m_shown) {
        EButton& button = m_buttons[b];
        button.SetRectRelative({x, y, face.w, face.h});
        AddChild(&button);
        button.Materialize();
        x += face.w + kButtonGap;
    }
    m_focus.Remember();
    m_buttons[m_shown[0]].SetFocus();
}

std::vector<ManagePlaylistDialog::Row> ManagePlaylistDialog::RowsOf(DialogType type) const {
    switch (type) {
        case kLibrarySelection: {
            CascadeString count;
            count.Format("%ld", long(m_matchCount));
            return {{kMatchLabel, count}, {kGenreLabel, m_genre}, {kArtistLabel, m_artist}, {kAlbumLabel, m_album}};
        }
        case kSong:
        case kPlaylistEntry: return {{kTitleLabel, m_title}, {kArtistLabel, m_artist}};
        default: return {{kTitleLabel, m_title}};
    }
}

void ManagePlaylistDialog::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*Background(), {0, 0});
    if (m_bitmaps[kTitleImage].IsValid()) target.DrawBitmap(m_bitmaps[kTitleImage], m_titleRect.Origin());
    const std::vector<Row> rows = RowsOf(m_type);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CascadeBitmap& label = m_bitmaps[rows[i].label];
        if (label.IsValid()) target.DrawBitmap(label, LabelRect(int(i)).Origin());
        EUtils::ShadowedDrawText(target, m_font, TextRect(int(i), GetDims().w), rows[i].text.c_str(), g_fgColor,
                                 CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis, 2, kShadow,
                                 EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    }
}

bool ManagePlaylistDialog::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    if (key == CascadeKeys::kExit) {
        m_command = "";
        Vanish();
    } else if (key == CascadeKeys::kSelect) {
        m_command = "";
        for (Button b : m_shown)
            if (m_buttons[b].IsFocus()) m_command = CommandOf(b);
        Vanish();
    }
    return true;  // the dialog keeps every other key while it is up
}

void ManagePlaylistDialog::OnVanish() {
    for (Button b : m_shown) RemoveChild(&m_buttons[b]);
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    if (client && !m_command.IsEmpty()) client->OnManagePlaylistCommand(m_command);
}
