#pragma once

#include "app/AppOptions.h"
#include "app/base/AppServices.h"
#include "app/base/CommandQueue.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWormhole.h"
#include "player/QuendrelPlayer.h"
#include "screens/BrowseArtworkWindow.h"
#include "screens/BrowseFoldersWindow.h"
#include "screens/BrowseMusicMenu.h"
#include "screens/ExitDialog.h"
#include "screens/IRadioWindow.h"
#include "screens/MusicLibraryWindow.h"
#include "screens/NowPlayingWindow.h"
#include "screens/PlaylistOptionsDialog.h"
#include "screens/PlaylistsWindow.h"
#include "screens/PleaseWaitWindow.h"
#include "screens/ScreenSaverWindow.h"
#include "screens/SmallInfoWindow.h"

#include <atomic>
#include <cstdint>

class SlimCLIConnection;

// The application object: start-up, options, skin, the player's connection,
// ECP commands, keys, hiding and restoring, the main-menu choices, the exit
// question, the idle screen saver, the worker requests and shutdown. One
// instance, made by the process entry; every callback runs on the UI thread
// except OnECPCommandBackground (the ECP thread) and the commands it runs on
// its command thread.
class Quendrel : public CascadeApp,
                 public CascadeTimer,
                 public AppServices,
                 public ExitDialog::Client,
                 public BrowseMusicMenu::Client,
                 public ScreenSaverWindow::Client,
                 public IRadioWindow::Client,
                 public PlaylistsWindow::Client,
                 public PlaylistOptionsDialog::Client {
public:
    Quendrel();
    ~Quendrel() override;

    void OnAppInit() override;
    void OnAppExit() override;
    void OnDeactivate() override;
    // The volume keys on every screen: in the player window they go to the
    // server as its remote's volume codes (the player does that), elsewhere
    // and while hidden as CLI mixer commands on the command thread.
    bool OnKeyDownFirst(unsigned long key) override;
    void OnKeyDown(unsigned long key) override;
    void OnKeyDownInactive(unsigned long key) override;
    void OnWormholeMessage(const CascadeMessage& message) override;
    void OnECPCommand(const CascadeString& command, CascadeString& reply) override;
    bool OnECPCommandBackground(const CascadeString& command, CascadeString& reply) override;
    void OnSignal(int signo) override;
    void OnTimer(unsigned long id) override;

    // Loads the skin `name` and stores it as the chosen one.
    void SetSkinName(const char* name);
    const CascadeString& GetSkinName() const { return m_skinName; }

    // The one logging call; any thread.
    void WriteToLog(const char* format, bool echo, ...) const __attribute__((format(printf, 2, 4)));
    // Every key handler reports the key: it keeps the screen saver away.
    void NotifyActivity(unsigned long key);

    // ExitDialog::Client, BrowseMusicMenu::Client, ScreenSaverWindow::Client
    void OnExitCommand(const CascadeString& action) override;
    void OnMenuCommand(const CascadeString& choice) override;
    void OnScreenSaverCleared() override;
    // Worker requests from the playlist and radio screens and the options
    // dialog: each runs on the command thread, one after another, with the
    // please-wait window up while it runs.
    void OnPlaylistsCommand(const CascadeString& action, unsigned long playlistId) override;
    void OnIRadioCommand(const CascadeString& action, const CascadeString& url) override;
    void OnOptionsChanged() override;

    // AppServices
    void PostCommand(const char* name, std::function<void()> command) override;
    void PostAppMessage(uint32_t id, const void* data, std::size_t length) override;
    void ChangeSkin(const char* name) override { SetSkinName(name); }
    CascadeString GetCurrentSkinName() const override { return m_skinName; }
    void ExitApplication() override { OnExitCommand("exit"); }
    void HideApplication() override { OnExitCommand("hide"); }

    QuendrelPlayer& GetPlayer() { return m_player; }
    NowPlayingWindow& GetNowPlayingWindow() { return m_nowPlaying; }
    MusicLibraryWindow& GetLibraryWindow() { return m_library; }
    bool IsScreenSaverShown() const { return m_screenSaverShown; }

private:
    // Hears the player's link to the server come and go on the SlimProto
    // reader thread and hands each change to the UI thread, never waiting.
    class LinkWatcher : public SlimServer::Client {
    public:
        explicit LinkWatcher(Quendrel& app) : m_app(app) {}
        void OnSlimServerCommand(const char*, unsigned char*, unsigned long) override {}
        void OnSlimServerConnected() override;
        void OnSlimServerDisconnected() override;

    private:
        Quendrel& m_app;
    };

    bool CheckSingleInstance();
    [[nodiscard]] bool ServeECP();
    void TakeApplicationPath();
    void ApplyOptions(const AppOptions& options);
    void LoadChosenSkin();
    CascadeString BringUpScreens();
    void AttachScreens(bool connected);
    // UI thread: the link came up or went down (read again, not taken from
    // the event, so events that pass each other cannot leave it wrong).
    void OnLinkChanged();
    void OnServerFirstUp();
    void ShowPlayerDisplayIfDue();
    void Restore();
    void ShowScreenSaver();
    // Gives `window` the whole screen in plane 1.
    void ShowFullScreen(CascadeWindow& window);
    void RunWorkerRequest(const CascadeString& command, const CascadeString& argument);
    // Puts a volume key on the command thread; steps that come while one is
    // waiting there go out with it, so a held key on a slow server never
    // piles up commands.
    void PostVolumeKey(unsigned long key);
    CascadeWindow* WindowForId(long id);

    CascadeScreen m_screen;
    uint32_t m_idleReload = 60;
    uint32_t m_idleCountdown = 60;
    unsigned long m_idleTimerId = 0;
    uint64_t m_lastKeyTime = 0;
    bool m_screenSaverShown = false;
    bool m_screenSaverWhenHidden = true;
    bool m_infoWhenHidden = true;
    bool m_linkUp = false;          // UI thread: the player's link, as last handled
    bool m_serverWasUp = false;     // UI thread: the start-up choices went out
    AppOptions m_startOptions;      // UI thread: the command line, for the start-up choices
    int m_pleaseWaitDepth = 0;  // overlapping requests keep the window up
    CascadeString m_skinName;
    CascadeWormhole m_wormhole;
    std::atomic<SlimCLIConnection*> m_cli{nullptr};  // set on the UI thread once connected
    // Volume steps not yet sent, and whether a command to send them waits on
    // the command thread (UI thread adds, command thread takes).
    std::atomic<int> m_volumeSteps{0};
    std::atomic<bool> m_volumePosted{false};
    LinkWatcher m_linkWatcher{*this};  // outlives the player, whose link calls it
    QuendrelPlayer m_player;
    NowPlayingWindow m_nowPlaying;
    MusicLibraryWindow m_library;
    BrowseMusicMenu m_menu;
    ExitDialog m_exitDialog;
    IRadioWindow m_radio;
    ScreenSaverWindow m_screenSaver;
    PleaseWaitWindow m_pleaseWait;
    SmallInfoWindow m_smallInfo;
    PlaylistsWindow m_playlists;
    PlaylistOptionsDialog m_options;
    BrowseFoldersWindow m_folders;
    BrowseArtworkWindow m_artwork;
    // Last: stopped first, so no command outlives what it uses.
    CommandQueue m_commands{"commands"};
};
