#pragma once

#include "platform/CascadeString.h"

#include <cstdint>
#include <functional>

// What the screens ask of the application. The application object
// implements it and hands it to every screen it attaches; no screen reaches
// for the application object itself.
class AppServices {
public:
    // Wormhole messages to the application around slow work: show the
    // please-wait window, set its text, name the window that gets the focus
    // back when it closes, hide it.
    static constexpr uint32_t kShowPleaseWait = 0xFACE;
    static constexpr uint32_t kSetPleaseWaitText = 0xFACED;
    static constexpr uint32_t kSetPleaseWaitFocus = 0xDEFACED;
    static constexpr uint32_t kHidePleaseWait = 0xDEFACE;

    // The numbers that name a window in kSetPleaseWaitFocus.
    enum WindowId : long {
        kNoWindow = 0,
        kNowPlayingWindow = 1,
        kLibraryWindow = 2,
        kFoldersWindow = 3,
        kCoverArtWindow = 4,
        kRadioWindow = 5,
        kPlaylistsWindow = 6,
    };

    AppServices() = default;
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    // Runs `command` on the application's command thread, after every
    // command posted before it, and returns at once. Key handlers send their
    // server commands (play, pause, stop, add, playlist edits) this way so
    // the UI thread never waits on the server. `name` names it in the log.
    // Any thread.
    virtual void PostCommand(const char* name, std::function<void()> command) = 0;
    // Posts one of the messages above to the application's wormhole. Any
    // thread; the application handles it on the UI thread.
    virtual void PostAppMessage(uint32_t id, const void* data, std::size_t length) = 0;
    // Loads and stores the skin `name`; every window repaints with it. UI thread.
    virtual void ChangeSkin(const char* name) = 0;
    // The skin in use. UI thread.
    virtual CascadeString GetCurrentSkinName() const = 0;
    // Ends the application / hides it. UI thread.
    virtual void ExitApplication() = 0;
    virtual void HideApplication() = 0;

protected:
    ~AppServices() = default;
};
