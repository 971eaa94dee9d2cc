#pragma once

#include "app/AppOptions.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWormhole.h"
#include "player/QuendrelPlayer.h"
#include "screens/NowPlayingWindow.h"

#include <cstdint>

// The application object: start-up, options, skin, the player's connection,
// ECP commands, hiding and restoring, and shutdown. One instance, made by
// the process entry; every callback runs on the UI thread.
class Quendrel : public CascadeApp, public CascadeTimer {
public:
    Quendrel();
    ~Quendrel() override;

    void OnAppInit() override;
    void OnAppExit() override;
    void OnDeactivate() override;
    void OnKeyDown(unsigned long key) override;
    void OnKeyDownInactive(unsigned long key) override;
    void OnECPCommand(const CascadeString& command, CascadeString& reply) override;
    void OnSignal(int signo) override;
    void OnTimer(unsigned long id) override;

    // Loads the skin `name` and stores it as the chosen one.
    void SetSkinName(const char* name);
    const CascadeString& GetSkinName() const { return m_skinName; }

    // The one logging call; any thread.
    void WriteToLog(const char* format, bool echo, ...) const __attribute__((format(printf, 2, 4)));
    // Every key handler reports the key: it keeps the screen saver away.
    void NotifyActivity(unsigned long key);
    void OnExitCommand(const CascadeString& action);

    QuendrelPlayer& GetPlayer() { return m_player; }
    NowPlayingWindow& GetNowPlayingWindow() { return m_nowPlaying; }

private:
    bool CheckSingleInstance();
    void TakeApplicationPath();
    void ApplyOptions(const AppOptions& options);
    void LoadChosenSkin();
    CascadeString BringUpScreens(const AppOptions& options);
    void Restore();

    CascadeScreen m_screen;
    uint32_t m_idleReload = 60;
    uint32_t m_idleCountdown = 60;
    unsigned long m_idleTimerId = 0;
    uint64_t m_lastKeyTime = 0;
    bool m_screenSaverShown = false;
    bool m_screenSaverWhenHidden = true;
    bool m_infoWhenHidden = true;
    CascadeString m_skinName;
    CascadeWormhole m_wormhole;
    QuendrelPlayer m_player;
    NowPlayingWindow m_nowPlaying;
};
