#include "screens/PlaylistOptionsDialog.h"

#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeDirectory.h"
#include "platform/CascadeFSObject.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"

#include <algorithm>
#include <cstdio>

namespace {

// Indexed like the bitmaps.
constexpr const char* kImages[] = {"images/title_options.png", "images/label_repeat.png", "images/label_shuffle.png",
                                   "images/label_skin.png", "images/title_saveplaylist.png"};
enum ImageIndex { kTitleImage, kRepeatLabel, kShuffleLabel, kSkinLabel, kKeyboardTitle };

constexpr CascadePoint kTitleAt{10, 8};
constexpr CascadePoint kRepeatAt{104, 47}, kShuffleAt{104, 99}, kSkinAt{104, 262};
constexpr int kSaveY = 151, kClearY = 203;
// The labels centre their words in 130 pixels: drawn from x -16 they end
// just left of the spinners.
constexpr int kLabelX = -16;
constexpr int kLabelDown = 5;
// The spinner options, in the server's mode order.
constexpr const char* kRepeatOptions[] = {"None", "Current Song", "All"};
constexpr const char* kShuffleOptions[] = {"None", "Song", "Album"};

// A mode the server reported, as a spinner index (an unknown mode shows the first).
int ModeIndex(uint8_t mode) { return mode <= 2 ? int(mode) : 0; }

bool FileExists(const CascadeString& path) { return CascadeFSObject::Exists(path.c_str()); }

}  // namespace

PlaylistOptionsDialog::PlaylistOptionsDialog() : m_self(std::make_shared<PlaylistOptionsDialog*>(this)) {}

PlaylistOptionsDialog::~PlaylistOptionsDialog() {
    m_self.reset();
    m_loader.Join();
}

void PlaylistOptionsDialog::Attach(const ScreenContext& context) { m_context = context; }

std::vector<CascadeString> PlaylistOptionsDialog::FindSkins(const CascadeString& imagesDir) {
    std::vector<CascadeString> skins;
    for (const CascadeString& name : CascadeDirectory::GetChildren(imagesDir.c_str())) {
        if (skins.size() == kMaxSkins) break;
        if (FileExists(imagesDir + "/" + name + "/Configuration.xml")) skins.push_back(name);
    }
    return skins;
}

void PlaylistOptionsDialog::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    for (std::size_t i = 0; i < m_bitmaps.size(); ++i) DialogImages::Load(m_bitmaps[i], kImages[i]);
    m_bitmapsLoaded = true;
}

void PlaylistOptionsDialog::ShowDialog(Client* client) {
    if (IsVisible()) Vanish();
    m_client = client;
    m_cancelled = false;
    LoadBitmaps();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetSmallDialogBackground()));
    Materialize(1);
}

void PlaylistOptionsDialog::LayOut() {
    if (m_laidOut) return;
    const CascadeDims spinner = DialogImages::Size(*g_config.GetSpinnerActive());
    const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
    const CascadePoint at[kSpinnerCount] = {kRepeatAt, kShuffleAt, kSkinAt};
    for (const char* option : kRepeatOptions) m_spinners[kRepeat].AddItem(option);
    for (const char* option : kShuffleOptions) m_spinners[kShuffle].AddItem(option);
    m_skins = FindSkins(g_appPath + "images");
    for (const CascadeString& skin : m_skins) m_spinners[kSkin].AddItem(skin.c_str());
    for (int s = 0; s < kSpinnerCount; ++s) {
        m_spinners[s].SetRectRelative({at[s], spinner});
        m_spinners[s].SetColor(g_fgColor);
        AddChild(&m_spinners[s]);
        m_spinners[s].Materialize();
    }
    // The buttons sit centred under the spinners.
    const int buttonX = kRepeatAt.x + (spinner.w - face.w) / 2;
    const CascadeFont font("system", CascadeFont::kBold, 24);
    m_buttons[kSavePlaylist].SetLabel("Save Playlist");
    m_buttons[kClearPlaylist].SetLabel("Clear Playlist");
    m_buttons[kSavePlaylist].SetRectRelative({buttonX, kSaveY, face.w, face.h});
    m_buttons[kClearPlaylist].SetRectRelative({buttonX, kClearY, face.w, face.h});
    for (EButton& button : m_buttons) {
        button.SetLabelFont(font);
        AddChild(&button);
        button.Materialize();
    }
    m_laidOut = true;
}

void PlaylistOptionsDialog::OnMaterialize() {
    LayOut();
    m_spinners[kRepeat].SetCurrentIndex(ModeIndex(m_lastRepeat));
    m_spinners[kShuffle].SetCurrentIndex(ModeIndex(m_lastShuffle));
    m_repeatAtOpening = m_lastRepeat;
    m_shuffleAtOpening = m_lastShuffle;
    m_currentSkin = m_context.app ? m_context.app->GetCurrentSkinName() : g_config.GetSkinName();
    for (std::size_t i = 0; i < m_skins.size(); ++i)
        if (m_skins[i] == m_currentSkin) m_spinners[kSkin].SetCurrentIndex(int(i));
    m_focus.Remember();
    m_spinners[kRepeat].SetFocus();
    ReadModes();
}

// The server's modes, read off the UI thread; the spinners show the last
// known ones until the answer is back.
void PlaylistOptionsDialog::ReadModes() {
    SlimConnection* server = m_context.server;
    if (!server) return;
    const uint64_t showing = ++m_showing;
    std::weak_ptr<PlaylistOptionsDialog*> self = m_self;
    m_loader.Start(
        "modes",
        [server, showing, self](ScreenLoader&) {
            const uint8_t repeat = server->GetRepeat();
            const uint8_t shuffle = server->GetShuffle();
            CascadeApp* app = CascadeApp::s_pTheApp;
            if (!app) return;
            app->Post([self, showing, repeat, shuffle] {
                if (auto dialog = self.lock()) (*dialog)->ApplyModes(showing, repeat, shuffle);
            });
        },
        ScreenLoader::PleaseWait::kNone);
}

void PlaylistOptionsDialog::ApplyModes(uint64_t showing, uint8_t repeat, uint8_t shuffle) {
    m_lastRepeat = repeat;
    m_lastShuffle = shuffle;
    if (showing != m_showing || !IsVisible()) return;
    // A spinner the user already moved keeps the user's choice.
    if (m_spinners[kRepeat].GetCurrentIndex() == ModeIndex(m_repeatAtOpening))
        m_spinners[kRepeat].SetCurrentIndex(ModeIndex(repeat));
    if (m_spinners[kShuffle].GetCurrentIndex() == ModeIndex(m_shuffleAtOpening))
        m_spinners[kShuffle].SetCurrentIndex(ModeIndex(shuffle));
    m_repeatAtOpening = repeat;
    m_shuffleAtOpening = shuffle;
}

void PlaylistOptionsDialog::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetSmallDialogBackground(), {0, 0});
    // The title stops where the repeat spinner starts.
    const CascadeBitmap& title = m_bitmaps[kTitleImage];
    if (title.IsValid()) target.DrawBitmap(title, kTitleAt, {0, 0, title.GetDims().w, kRepeatAt.y - kTitleAt.y});
    const std::pair<ImageIndex, CascadePoint> labels[] = {
        {kRepeatLabel, kRepeatAt}, {kShuffleLabel, kShuffleAt}, {kSkinLabel, kSkinAt}};
    for (const auto& [image, at] : labels)
        if (m_bitmaps[image].IsValid()) target.DrawBitmap(m_bitmaps[image], {kLabelX, at.y + kLabelDown});
}

void PlaylistOptionsDialog::Apply() {
    if (m_buttons[kSavePlaylist].IsFocus()) {
        if (!m_keyboard || !m_keyboard->IsVisible()) m_keyboard = std::make_unique<KeyboardWindow>();
        m_keyboard->ShowDialog(&m_bitmaps[kKeyboardTitle], this);
        return;
    }
    const bool clear = m_buttons[kClearPlaylist].IsFocus();
    const int repeat = std::max(m_spinners[kRepeat].GetCurrentIndex(), 0);
    const int shuffle = std::max(m_spinners[kShuffle].GetCurrentIndex(), 0);
    const bool sendShuffle = m_spinners[kShuffle].IsFocus() || shuffle != ModeIndex(m_shuffleAtOpening);
    m_lastRepeat = uint8_t(repeat);
    if (sendShuffle) m_lastShuffle = uint8_t(shuffle);
    if (SlimConnection* server = m_context.server; server && m_context.app) {
        m_context.app->PostCommand("options", [server, clear, repeat, shuffle, sendShuffle] {
            if (clear) server->ClearCurrentPlaylist();
            (void)server->SetRepeat(uint8_t(repeat));
            if (sendShuffle) (void)server->SetShuffle(uint8_t(shuffle));
        });
    }
    const CascadeString skin = m_spinners[kSkin].GetCurrentText();
    if (!skin.IsEmpty() && skin != m_currentSkin && m_context.app) {
        std::printf("resettings skin\n");
        std::fflush(stdout);
        m_context.app->ChangeSkin(skin.c_str());
    }
    Vanish();
}

bool PlaylistOptionsDialog::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    if (key == CascadeKeys::kSelect) {
        m_cancelled = false;
        Apply();
    } else if (key == CascadeKeys::kExit) {
        m_cancelled = true;
        Vanish();
    }
    return true;
}

void PlaylistOptionsDialog::OnKeyboardValue(const CascadeString& value) {
    if (value.IsEmpty()) return;  // an empty name does not save
    if (SlimConnection* server = m_context.server; server && m_context.app) {
        const CascadeString name = value;
        m_context.app->PostCommand("save playlist", [server, name] { server->SaveCurrentPlaylist(name.c_str()); });
    }
    m_cancelled = false;
    Vanish();
}

void PlaylistOptionsDialog::OnVanish() {
    ++m_showing;  // a read still under way no longer touches the spinners
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    if (client && !m_cancelled) client->OnOptionsChanged();
}
