#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "screens/KeyboardWindow.h"
#include "screens/ScreenContext.h"
#include "ui/EButton.h"
#include "ui/ESpinner.h"
#include "ui/FocusKeeper.h"
#include "ui/ScreenLoader.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The options dialog of the Options key: repeat, shuffle and skin spinners,
// "Save Playlist" (a name typed on the on-screen keyboard) and "Clear
// Playlist". Select applies: clears the playlist when "Clear Playlist" has
// the focus, sends the repeat mode always and the shuffle mode when it
// changed (or has the focus), switches the skin when another was chosen,
// and closes telling the client. Exit closes without a word.
//
// Threads: the UI thread shows, hides and keys it. The server's modes are
// read on the dialog's loader thread ("options") and set on the spinners
// back on the UI thread; everything sent to the server goes through the
// application's command queue, so no key waits for the server.
class PlaylistOptionsDialog : public CascadeWindow, public KeyboardWindow::Client {
public:
    class Client {
    public:
        // Called while the dialog closes after Select or a saved playlist.
        virtual void OnOptionsChanged() = 0;

    protected:
        ~Client() = default;
    };

    enum Spinner { kRepeat, kShuffle, kSkin, kSpinnerCount };
    enum Button { kSavePlaylist, kClearPlaylist, kButtonCount };
    static constexpr std::size_t kMaxSkins = 10;

    PlaylistOptionsDialog();
    ~PlaylistOptionsDialog() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // The small dialog background's size, centred, plane 1. `client` may be null.
    void ShowDialog(Client* client);

    // The skins under `imagesDir`: its subdirectories holding a
    // "Configuration.xml", in listing order, at most kMaxSkins.
    static std::vector<CascadeString> FindSkins(const CascadeString& imagesDir);

    ESpinner& GetSpinner(Spinner spinner) { return m_spinners[spinner]; }
    EButton& GetButton(Button button) { return m_buttons[button]; }
    // The keyboard of the last "Save Playlist"; null before the first.
    KeyboardWindow* GetKeyboard() { return m_keyboard.get(); }
    // Waits until the modes have been read (tests).
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_loader.WaitUntilIdle(timeoutMs); }

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;

    // KeyboardWindow::Client
    void OnKeyboardValue(const CascadeString& value) override;

private:
    void LoadBitmaps();
    void LayOut();
    void ReadModes();
    // UI thread: the modes the server reported for showing `showing`.
    void ApplyModes(uint64_t showing, uint8_t repeat, uint8_t shuffle);
    void Apply();

    ScreenContext m_context;
    FocusKeeper m_focus;
    Client* m_client = nullptr;
    // Title, the repeat, shuffle and skin labels, the keyboard's title.
    std::array<CascadeBitmap, 5> m_bitmaps;
    std::array<ESpinner, kSpinnerCount> m_spinners;
    std::array<EButton, kButtonCount> m_buttons;
    std::vector<CascadeString> m_skins;
    CascadeString m_currentSkin;
    uint8_t m_repeatAtOpening = 0, m_shuffleAtOpening = 0;  // what the spinners showed, as modes
    // The modes last read, shown until this showing's read comes back.
    uint8_t m_lastRepeat = 0, m_lastShuffle = 0;
    uint64_t m_showing = 0;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;
    bool m_cancelled = false;
    std::unique_ptr<KeyboardWindow> m_keyboard;
    // Posted UI tasks hold a weak reference: none runs once the dialog is gone.
    std::shared_ptr<PlaylistOptionsDialog*> m_self;
    ScreenLoader m_loader{"options"};  // last: joined before the members its work uses die
};
