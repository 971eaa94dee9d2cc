#pragma once

#include "platform/CascadeDesktop.h"
#include "platform/CascadeEventQueue.h"
#include "platform/CascadeKeyMap.h"
#include "platform/CascadeMessage.h"
#include "platform/CascadeString.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CascadeEcpServer;
class CascadeEvdevInput;
class CascadeLircInput;
class CascadeWormhole;
namespace detail {
class SdlPresenter;
class SignalWatcher;
}  // namespace detail

// The application: owns the UI thread's event loop, the composed screen and
// its presenter (an SDL window, full screen unless QUENDREL_WINDOWED=1), the
// ECP socket and the wormholes. Exactly one exists; s_pTheApp points to it
// from construction to destruction.
//
// Every On... callback runs on the UI thread. Run blocks the calling thread
// (which becomes the UI thread) until Terminate.
class CascadeApp {
public:
    static CascadeApp* s_pTheApp;

    CascadeApp();
    CascadeApp(const CascadeApp&) = delete;
    CascadeApp& operator=(const CascadeApp&) = delete;
    virtual ~CascadeApp();

    // Runs the event loop until Terminate; returns the code given to it.
    int Run(int argc, char** argv);
    // Ends the event loop after the current callback. Any thread.
    void Terminate(int code);
    bool IsTerminating() const { return m_terminating.load(); }

    virtual void OnAppInit();
    virtual void OnAppExit();
    virtual void OnActivate();
    virtual void OnDeactivate();
    // A key pressed while shown, before the focused window sees it: true
    // when the application took it (the windows then never see it). For
    // keys that act the same on every screen.
    virtual bool OnKeyDownFirst(unsigned long key);
    virtual void OnKeyDown(unsigned long key);
    virtual void OnKeyDownInactive(unsigned long key);
    virtual void OnKeyUp(unsigned long key);
    virtual void OnKeyUpInactive(unsigned long key);
    virtual void OnMountMessage();
    virtual void OnPowerMessage();
    virtual void OnScreenMessage();
    virtual void OnWormholeMessage(const CascadeMessage& message);
    virtual void OnWidgetParametersChanged();
    // A command whose first word is a registered prefix. `reply` arrives
    // empty; what is left in it goes back to the sender.
    virtual void OnECPCommand(const CascadeString& command, CascadeString& reply);
    // The same command, first offered on the ECP thread, for answers that
    // must wait on something slow (a server) without holding up the UI
    // thread. True when answered here (the UI thread then never sees it).
    virtual bool OnECPCommandBackground(const CascadeString& command, CascadeString& reply);
    // A registered signal. Called from the signal handler itself for fatal
    // signals (the process is going down; only last words are possible).
    virtual void OnSignal(int signo);

    // Shows (restores, raises) and hides (iconifies) the application.
    void Activate();
    void Deactivate();
    bool IsActive() const { return m_active.load(); }
    // Raises the shown window above the desktop's other windows. UI thread.
    void BringToFront();

    // Serves the ECP socket from now on instead of from the end of
    // OnAppInit, so other programs (and a second start) reach this instance
    // while it is still starting. kTaken: another instance owns the socket.
    // UI thread; later calls return the first call's result.
    enum class EcpStart { kStarted, kTaken, kFailed };
    EcpStart StartECPService();

    // UI thread, before the event loop (from OnAppInit): reads key map files
    // over the built-in map, in order (later files win); files that do not
    // exist are skipped. Returns one message per bad line.
    std::vector<std::string> LoadKeyMap(const std::vector<std::string>& files);
    const CascadeKeyMap& GetKeyMap() const { return m_keyMap; }

    // Any thread. Prefixes are compared without regard to case.
    void RegisterECPCommand(const CascadeString& prefix);
    bool HasECPPrefix(const std::string& line) const;
    void RegisterForSignal(int signo);
    void RegisterInactiveKeyInterest(bool interested);

    int GetArgc() const { return m_argc; }
    char** GetArgv() const { return m_argv; }

    CascadeDesktop& GetDesktop() { return *m_desktop; }
    CascadeEventQueue& GetQueue() { return m_queue; }
    // Runs `task` on the UI thread. Any thread.
    void Post(CascadeEventQueue::Task task) { m_queue.Post(std::move(task)); }

    // UI thread: a key as if pressed on the remote (down then up).
    void InjectKey(unsigned long key);
    // UI thread: the whole ECP handling of one command line; returns the reply.
    std::string HandleECPLine(const std::string& line);
    // UI thread: writes the composed screen as a PNG file.
    [[nodiscard]] bool SaveScreenshot(const std::string& path);
    // UI thread: paints what is dirty and presents it (the loop does this by itself).
    void PaintNow();
    // Keeps the desktop's screen blanker away. Any thread.
    void NotifyScreenActivity();

    // Wormhole registry (CascadeWormhole uses these).
    bool RegisterWormhole(const CascadeString& address, CascadeWormhole* hole);
    void UnregisterWormhole(const CascadeString& address, CascadeWormhole* hole);
    void PostWormholeMessage(const CascadeString& address, CascadeMessage message);

private:
    void StopServices();
    void StartRemoteInput();
    void Loop();
    void HandleKeyEvent(unsigned long key, bool down);
    void HandleReportedKey(const char* name, bool shift, bool down, bool repeat);
    std::string DispatchFrameworkCommand(const std::string& line);

    CascadeEventQueue m_queue;
    std::unique_ptr<CascadeDesktop> m_desktop;
    std::unique_ptr<detail::SdlPresenter> m_presenter;
    CascadeKeyMap m_keyMap;                     // set before the event loop, then only read
    std::unique_ptr<CascadeEcpServer> m_ecpServer;
    std::unique_ptr<CascadeLircInput> m_lirc;
    std::unique_ptr<CascadeEvdevInput> m_evdev;
    std::unique_ptr<detail::SignalWatcher> m_signals;

    int m_argc = 0;
    char** m_argv = nullptr;
    std::atomic<bool> m_terminating{false};
    std::atomic<int> m_exitCode{0};
    std::atomic<bool> m_active{true};
    bool m_inactiveKeys = false;                // UI thread
    bool m_firstFramePresented = false;         // UI thread
    std::optional<EcpStart> m_ecpStart;         // UI thread
    mutable std::mutex m_ecpPrefixLock;         // the prefixes: the ECP thread reads them
    std::vector<std::string> m_ecpPrefixes;
    std::unordered_map<std::string, CascadeWormhole*> m_wormholes;  // UI thread
};
