#include "screens/BrowseMusicMenu.h"

#include "app/base/AppActivity.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"

namespace {

// Indexed like the bitmaps: title, library, playlists, folders, cover art, radio.
constexpr const char* kImages[] = {"images/title_menu.png",     "images/text_musiclibrary.png",
                                   "images/text_playlists.png", "images/text_browsefolders.png",
                                   "images/text_coverart.png",  "images/text_radio.png"};

}  // namespace

void BrowseMusicMenu::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    for (std::size_t i = 0; i < m_bitmaps.size(); ++i) DialogImages::Load(m_bitmaps[i], kImages[i]);
    m_bitmapsLoaded = true;
}

void BrowseMusicMenu::ShowDialog(Client* client) {
    m_client = client;
    m_command = "";
    LoadBitmaps();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetMenuBackground()));
    Materialize(1);
}

void BrowseMusicMenu::OnMaterialize() {
    if (!m_laidOut) {
        m_titleRect = DialogImages::PlaceAt(m_bitmaps[0], {11, 9});
        const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
        // Top to bottom: library, playlists, folders, cover art, radio.
        const Button order[] = {kLibrary, kPlaylists, kFolders, kCoverArt, kRadio};
        const std::size_t image[] = {1, 2, 3, 4, 5};
        for (int i = 0; i < kButtonCount; ++i) {
            EButton& button = m_buttons[order[i]];
            button.SetImage(&m_bitmaps[image[i]]);
            button.SetRectRelative({25, 50 + 50 * i, face.w, face.h});
            AddChild(&button);
            button.Materialize();
        }
        m_laidOut = true;
    }
    m_focus.Remember();
    m_buttons[kLibrary].SetFocus();
}

void BrowseMusicMenu::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetMenuBackground(), {0, 0});
    if (m_bitmaps[0].IsValid()) target.DrawBitmap(m_bitmaps[0], m_titleRect.Origin());
}

bool BrowseMusicMenu::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    if (key == CascadeKeys::kExit) {
        m_command = "";
        Vanish();
        return true;
    }
    if (key != CascadeKeys::kSelect) return true;  // the menu keeps every other key
    static constexpr const char* kCommands[kButtonCount] = {"library", "playlists", "coverart", "folders", "radio"};
    for (int i = 0; i < kButtonCount; ++i) {
        if (!m_buttons[i].IsFocus()) continue;
        m_command = kCommands[i];
        Vanish();
        return true;
    }
    return true;
}

void BrowseMusicMenu::OnVanish() {
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    // The window is still closing: the client runs after it is gone.
    if (client) client->OnMenuCommand(m_command);
}
