#include "app/Quendrel.h"

#include "app/AppPaths.h"
#include "app/FatalSignalExit.h"
#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeDirectory.h"
#include "platform/CascadeInput.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeSettings.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeTime.h"
#include "player/IRCode.h"
#include "server/EUtils.h"
#include "server/SlimCLIConnection.h"
#include "ui/Configuration.h"

#include <unistd.h>

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kSettingsName = "Tovrallisk.Quendrel";
constexpr unsigned long kIdleTickMs = 10000;
constexpr int kSignalSegv = SIGSEGV;
constexpr int kSignalPipe = SIGPIPE;
constexpr const char* kLinkLostMessage = "Lost connection to SlimServer. Reconnecting...";
// A second start that finds the ECP socket taken waits this long for the
// instance starting beside it to answer.
constexpr int kInstanceWaitRounds = 50;
constexpr unsigned long kInstanceWaitMs = 100;
// A volume key changes the volume as much as the server's own remote does.
constexpr double kVolumeStep = 2.5;

}  // namespace

Quendrel::Quendrel() {
    AppActivity::SetHandler([this](unsigned long key) { NotifyActivity(key); });
}

Quendrel::~Quendrel() {
    AppActivity::SetHandler({});
    m_player.GetServer().UnregisterClient(&m_linkWatcher);
    if (m_idleTimerId != 0) {
        KillTimer(m_idleTimerId);
        m_idleTimerId = 0;
    }
    // The goodbye first: with the links closed, a command or a screen's
    // request still waiting on the server ends at once.
    m_player.Disconnect();
    m_commands.Stop();
    m_nowPlaying.StopUpdate();
}

void Quendrel::WriteToLog(const char* format, bool echo, ...) const {
    va_list args;
    va_start(args, echo);
    AppLog::WriteToLogV(format, echo, args);
    va_end(args);
}

void Quendrel::OnAppInit() {
    if (CheckSingleInstance()) return;
    // Other programs (and a second start) reach this one from here on,
    // whatever the server does and however long the rest takes.
    RegisterECPCommand("Quendrel");
    if (!ServeECP()) return;
    CascadeInput::NotifyScreenActivity();
    RegisterForSignal(kSignalSegv);
    RegisterForSignal(kSignalPipe);
    TakeApplicationPath();
    const AppOptions options = AppOptions::Parse(GetArgc(), GetArgv());
    ApplyOptions(options);
    LoadChosenSkin();
    if (g_serverIP.IsEmpty()) {
        WriteToLog("No IP specified.  Searching for SlimServer...\n", true);
        g_serverIP = SlimServer::FindSlimServer();
    }
    const CascadeString message = BringUpScreens();
    if (!message.IsEmpty()) {
        WriteToLog("%s", true, message.c_str());
        m_nowPlaying.SetMessage(message.c_str());
    }
    if (!m_wormhole.Create(g_wormholeBase + ".wormhole"))
        WriteToLog("app: cannot create the wormhole %s.wormhole\n", false, g_wormholeBase.c_str());
}

// True when another instance answered and was asked to come to the front.
bool Quendrel::CheckSingleInstance() {
    CascadeString reply;
    if (!CascadeInput::DispatchECPCommand("Quendrel ping", reply)) return false;
    if (reply.GetLength() < 4 || reply.Compare("pong", CascadeCase::Insensitive, 4) != 0) return false;
    std::printf("Quendrel already running. Restoring...\n");
    std::fflush(stdout);
    CascadeString ignored;
    CascadeInput::DispatchECPCommand("Quendrel unhide", ignored);
    Terminate(0);
    return true;
}

// False when this start must end: another instance owns the ECP socket.
bool Quendrel::ServeECP() {
    switch (StartECPService()) {
        case EcpStart::kStarted: return true;
        case EcpStart::kFailed:
            WriteToLog("app: no ECP socket; other programs cannot reach this instance\n", true);
            return true;
        case EcpStart::kTaken: break;
    }
    // Another instance took the socket a moment ago and answers as soon as
    // it listens.
    for (int round = 0; round < kInstanceWaitRounds; ++round) {
        if (CheckSingleInstance()) return false;
        CascadeThread::Sleep(kInstanceWaitMs);
    }
    WriteToLog("app: another instance owns the ECP socket but does not answer; ending\n", true);
    Terminate(0);
    return false;
}

// The application directory, the user's writable directories and the key map.
void Quendrel::TakeApplicationPath() {
    const AppPaths paths = AppPaths::Resolve(AppPaths::Inputs::FromProcess(GetArgc() > 0 ? GetArgv()[0] : nullptr));
    paths.ApplyToSettings();
    for (const std::string& line : paths.Prepare()) WriteToLog("%s", true, line.c_str());
    for (const std::string& problem : LoadKeyMap(paths.keyMapFiles))
        WriteToLog("keymap: %s (line skipped)\n", true, problem.c_str());
}

void Quendrel::ApplyOptions(const AppOptions& options) {
    if (options.debug) (void)AppLog::OpenLogFile(g_logFile.IsEmpty() ? g_appPath.Std() + "debug.txt" : g_logFile.Std());
    options.ApplyToSettings();
    m_startOptions = options;
    m_idleReload = m_idleCountdown = options.idleTicks;
    m_infoWhenHidden = options.infoWhenHidden;
    m_screenSaverWhenHidden = options.screenSaverWhenHidden;
}

void Quendrel::LoadChosenSkin() {
    CascadeSettings settings(kSettingsName);
    CascadeString name;
    if (!settings.ReadStringValue("SkinName", name) || name.IsEmpty()) name = "Default";
    SetSkinName(name.c_str());
}

void Quendrel::SetSkinName(const char* name) {
    const CascadeString path = g_appPath + "images/" + name + "/Configuration.xml";
    g_config.SetApplicationDirectory(g_appPath.Std());
    g_config.LoadConfiguration(path.c_str(), name);
    // Every window paints with the new skin at once, the player display
    // with its colours: nothing keeps a bitmap of the old one.
    GetDesktop().Invalidate({{0, 0}, m_screen.GetDims()});
    CascadeSettings settings(kSettingsName);
    if (!settings.WriteStringValue("SkinName", name)) WriteToLog("skin: cannot store the skin name %s\n", false, name);
    m_skinName = name;
}

namespace {

// Repeat and shuffle modes the server knows (0 off, 1 song/on, 2 all/album);
// other values from the command line are not sent.
constexpr uint8_t kLastMode = 2;

// Repeat, then shuffle, then the playlist to play, over the server's CLI.
void SendStartupChoices(SlimCLIConnection& cli, const AppOptions& options) {
    if (options.repeatMode && *options.repeatMode <= kLastMode) (void)cli.SetRepeat(*options.repeatMode);
    if (options.shuffleMode && *options.shuffleMode <= kLastMode) (void)cli.SetShuffle(*options.shuffleMode);
    if (options.playlistId > 0) cli.PlayPlaylist(static_cast<unsigned long>(options.playlistId));
}

// The ECP queries answered from the server's status; false for any other
// command. The ECP thread waits for the server here, never the UI thread.
bool AnswerServerQuery(SlimCLIConnection& cli, const CascadeString& command, CascadeString& reply) {
    auto is = [&](const char* text) { return command.Compare(text, CascadeCase::Insensitive) == 0; };
    if (is("Quendrel playbackposition")) {
        reply.Format("%i", int(cli.GetCurrentSongTime()));
    } else if (is("Quendrel currenttitle")) {
        reply = cli.GetCurrentSongTitle();
    } else if (is("Quendrel currentalbum")) {
        reply = cli.GetCurrentSongAlbum();
    } else if (is("Quendrel currentartist")) {
        reply = cli.GetCurrentSongArtist();
    } else if (is("Quendrel currentyear")) {
        reply = cli.GetCurrentSongYear();
    } else {
        return false;
    }
    return true;
}

}  // namespace

// The screens get the server, the listener, the player and this object; the
// server's two whenever there is a server address (its links reconnect by themselves).
void Quendrel::AttachScreens(bool connected) {
    ScreenContext context;
    context.app = this;
    context.player = &m_player;
    context.serverAddress = g_serverIP;
    if (connected) {
        SlimCLIConnection* cli = m_player.GetServer().GetSlimCLIConnection();
        context.server = cli;
        // Notifications flow from the start, so the screens find them switched on.
        context.listener = m_player.GetServer().GetSlimCLIListener();
        m_cli = cli;
    }
    m_player.SetAppServices(this);
    m_nowPlaying.Attach(context);
    m_library.Attach(context);
    m_screenSaver.Attach(context);
    m_smallInfo.Attach(context);
    m_playlists.Attach(context);
    m_options.Attach(context);
    m_folders.Attach(context);
    m_radio.Attach(context);
    m_artwork.Attach(context);
}

// Connects and shows the Now Playing screen and the player display; returns
// the message to show when that fails. A link that comes up later (or goes
// and comes back) is handled by OnLinkChanged.
CascadeString Quendrel::BringUpScreens() {
    const CascadeDims dims = m_screen.GetDims();
    m_nowPlaying.SetRectAbsolute({0, 0, dims.w, dims.h});
    if (g_serverIP.IsEmpty()) {
        AttachScreens(false);
        m_nowPlaying.Materialize(1);
        return "Unable to locate SlimServer.";
    }
    m_player.SetRectAbsolute({352, 21, 320, 33});
    // No frame from the server yet: the strip stays dark until the link is up.
    m_player.SetDisplayVisible(false);
    const bool connected = m_player.Connect();
    // After the player, so the player has said hello when this one hears of
    // the link; a link that came up before this line is found by reading it.
    m_player.GetServer().RegisterClient(&m_linkWatcher);
    // The server's CLI links exist from the start and reconnect by themselves,
    // so the screens hold the same objects whether the server is there yet
    // or not.
    AttachScreens(true);
    m_nowPlaying.Materialize(1);
    m_player.Materialize(2);
    OnLinkChanged();
    if (!connected && !m_linkUp) return "Unable to connect to SlimServer.";
    return {};
}

void Quendrel::LinkWatcher::OnSlimServerConnected() {
    m_app.Post([app = &m_app] { app->OnLinkChanged(); });
}

void Quendrel::LinkWatcher::OnSlimServerDisconnected() {
    m_app.Post([app = &m_app] { app->OnLinkChanged(); });
}

void Quendrel::OnLinkChanged() {
    if (IsTerminating()) return;
    const bool up = m_player.GetServer().IsConnected();
    if (up == m_linkUp) return;
    m_linkUp = up;
    if (!up) {
        // The server's picture is no longer live: say so rather than freeze it.
        WriteToLog("%s\n", true, kLinkLostMessage);
        m_nowPlaying.SetMessage(kLinkLostMessage);
        m_player.SetDisplayVisible(false);
        return;
    }
    WriteToLog("app: connected to SlimServer at %s\n", true, g_serverIP.c_str());
    m_nowPlaying.SetMessage("");
    ShowPlayerDisplayIfDue();
    if (!m_serverWasUp) {
        OnServerFirstUp();
        return;
    }
    // Back after a loss: what changed meanwhile is read again.
    m_nowPlaying.RequestRefresh();
    CurrentSongInfo* panel = &m_nowPlaying.GetSongPanel();
    PostCommand("song after reconnect", [panel] { panel->UpdateSongInfo(); });
}

// The first time the link is up, at start or later: what the start-up does
// once the server is there.
void Quendrel::OnServerFirstUp() {
    m_serverWasUp = true;
    m_player.SetFocus();
    SlimCLIConnection* cli = m_cli.load();
    if (cli) PostCommand("start-up choices", [cli, options = m_startOptions] { SendStartupChoices(*cli, options); });
    if (m_idleTimerId == 0) m_idleTimerId = SetTimer(kIdleTickMs);
    // A screen shown without the server fetched nothing: read it now.
    m_nowPlaying.RequestRefresh();
}

void Quendrel::ShowPlayerDisplayIfDue() {
    m_player.SetDisplayVisible(m_linkUp && IsActive() && !m_screenSaverShown);
}

void Quendrel::OnAppExit() { m_wormhole.Destroy(); }

void Quendrel::OnSignal(int signo) { FatalSignalExit::Run(signo, m_player); }

void Quendrel::NotifyActivity(unsigned long key) {
    if (key != CascadeKeys::kNoActivity) m_idleCountdown = m_idleReload;
}

void Quendrel::OnKeyDown(unsigned long key) {
    NotifyActivity(key);
    switch (key) {
        case CascadeKeys::kSelect:
            if (!m_screenSaverShown) ShowScreenSaver();
            break;
        case CascadeKeys::kMenu:
            m_menu.ShowDialog(this);
            break;
        case CascadeKeys::kOptions:
            m_options.ShowDialog(this);
            break;
        case CascadeKeys::kExit:
            // Leaving while music plays asks first: exit or only hide.
            if (m_player.GetState() == QuendrelPlayer::kPlaying && m_player.IsPlaying())
                m_exitDialog.ShowDialog(this);
            else
                Terminate(0);
            break;
        default:
            break;
    }
}

bool Quendrel::OnKeyDownFirst(unsigned long key) {
    if (!CascadeKeys::IsVolume(key) || GetDesktop().GetFocus() == &m_player) return false;
    NotifyActivity(key);
    PostVolumeKey(key);
    return true;
}

void Quendrel::PostVolumeKey(unsigned long key) {
    SlimCLIConnection* cli = m_cli.load();
    if (!cli) return;
    if (key == CascadeKeys::kMute) {
        PostCommand("mute", [cli] { cli->ToggleMuting(); });
        return;
    }
    m_volumeSteps += key == CascadeKeys::kVolumeUp ? 1 : -1;
    if (m_volumePosted.exchange(true)) return;
    PostCommand("volume", [this, cli] {
        m_volumePosted = false;  // before taking the steps: a later key posts again
        if (const int steps = m_volumeSteps.exchange(0)) cli->ChangeVolume(steps * kVolumeStep);
    });
}

void Quendrel::ShowScreenSaver() {
    m_screenSaverShown = true;
    m_player.SetDisplayVisible(false);
    m_player.Redraw();
    m_screenSaver.Show(this);
}

void Quendrel::OnScreenSaverCleared() {
    m_idleCountdown = m_idleReload;
    m_screenSaverShown = false;
    ShowPlayerDisplayIfDue();
}

void Quendrel::OnKeyDownInactive(unsigned long key) {
    NotifyActivity(key);
    if (CascadeKeys::IsVolume(key)) {
        PostVolumeKey(key);
        return;
    }
    if (key != CascadeKeys::kMenu) return;
    const uint64_t now = CascadeTime::GetUptimeMilliseconds();
    const uint64_t since = now - m_lastKeyTime;
    if (m_lastKeyTime != 0 && since >= 1 && since <= 999) {
        m_lastKeyTime = 0;
        Restore();
        return;
    }
    m_lastKeyTime = now;
}

void Quendrel::Restore() {
    Activate();
    m_smallInfo.Vanish();
    const CascadeDims dims = m_screen.GetDims();
    m_nowPlaying.SetRectAbsolute({0, 0, dims.w, dims.h});
    m_nowPlaying.Materialize(1);
    ShowPlayerDisplayIfDue();
}

void Quendrel::OnDeactivate() {
    RegisterInactiveKeyInterest(true);
    m_nowPlaying.Vanish();
    m_player.SetDisplayVisible(false);
    m_player.Redraw();
    if (m_infoWhenHidden) m_smallInfo.Show();
}

void Quendrel::OnExitCommand(const CascadeString& action) {
    if (action == "exit")
        Terminate(0);
    else if (action == "hide")
        Deactivate();
}

void Quendrel::OnMenuCommand(const CascadeString& choice) {
    if (choice == "library") {
        ShowFullScreen(m_library);
        return;
    }
    if (choice == "playlists") {
        m_playlists.ShowDialog(this);
        return;
    }
    if (choice == "folders") {
        ShowFullScreen(m_folders);
        return;
    }
    if (choice == "radio") {
        m_radio.ShowDialog(this);
        return;
    }
    if (choice == "coverart") {
        ShowFullScreen(m_artwork);
        return;
    }
    if (!choice.IsEmpty()) WriteToLog("menu: unknown choice \"%s\"\n", false, choice.c_str());
}

void Quendrel::ShowFullScreen(CascadeWindow& window) {
    const CascadeDims dims = m_screen.GetDims();
    window.SetRectAbsolute({0, 0, dims.w, dims.h});
    window.Materialize(1);
}

void Quendrel::OnTimer(unsigned long id) {
    if (id != m_idleTimerId) return;
    CascadeInput::NotifyScreenActivity();
    --m_idleCountdown;
    if (m_idleReload == 0) return;  // no screen saver
    if (m_idleCountdown != 0) return;
    if (!IsActive() && !m_screenSaverWhenHidden) return;
    if (m_screenSaverShown) return;
    ShowScreenSaver();
}

void Quendrel::PostCommand(const char* name, std::function<void()> command) {
    if (!m_commands.Post(name, std::move(command)))
        WriteToLog("app: command \"%s\" not run: shutting down\n", false, name ? name : "");
}

void Quendrel::PostAppMessage(uint32_t id, const void* data, std::size_t length) {
    if (!m_wormhole.IsCreated()) return;
    (void)CascadeWormhole::PostMessage(m_wormhole.GetAddress(), id, data, length);
}

void Quendrel::OnPlaylistsCommand(const CascadeString& action, unsigned long playlistId) {
    CascadeString argument;
    argument.Format("%ld", long(playlistId));
    RunWorkerRequest(CascadeString("playlist") + action, argument);
}

void Quendrel::OnIRadioCommand(const CascadeString& action, const CascadeString& url) {
    RunWorkerRequest(CascadeString("iradio") + action, url);
}

void Quendrel::OnOptionsChanged() { RunWorkerRequest("updateplaylist", ""); }

// A second request while one runs waits behind it on the command thread:
// each keeps its own command and argument.
void Quendrel::RunWorkerRequest(const CascadeString& command, const CascadeString& argument) {
    PostCommand(command.c_str(), [this, command, argument] {
        PostAppMessage(AppServices::kShowPleaseWait, nullptr, 0);
        SlimCLIConnection* cli = m_cli.load();
        auto is = [&](const char* text) { return command.Compare(text, CascadeCase::Insensitive) == 0; };
        if (cli && !command.IsEmpty()) {
            if (is("playlistadd"))
                cli->AddPlaylist(static_cast<unsigned long>(EUtils::ParseDecimal(argument.View())));
            else if (is("playlistplay"))
                cli->PlayPlaylist(static_cast<unsigned long>(EUtils::ParseDecimal(argument.View())));
            else if (is("iradioadd"))
                cli->AddToCurrentPlaylist(argument.c_str());
            else if (is("iradioplay"))
                cli->ReplaceCurrentPlaylist(argument.c_str());
        }
        PostAppMessage(AppServices::kHidePleaseWait, nullptr, 0);
    });
}

CascadeWindow* Quendrel::WindowForId(long id) {
    switch (id) {
        case AppServices::kNowPlayingWindow: return &m_nowPlaying;
        case AppServices::kFoldersWindow: return &m_folders.GetFolderList();
        case AppServices::kCoverArtWindow: return &m_artwork;
        default: return nullptr;
    }
}

void Quendrel::OnWormholeMessage(const CascadeMessage& message) {
    const char* text = static_cast<const char*>(message.GetData());
    switch (message.GetMessageID()) {
        case AppServices::kShowPleaseWait:
            if (m_pleaseWaitDepth++ == 0) m_pleaseWait.Show();
            break;
        case AppServices::kSetPleaseWaitText:
            std::printf("data: %s\n", text ? text : "");
            m_pleaseWait.SetText(text ? text : "");
            break;
        case AppServices::kSetPleaseWaitFocus: {
            long id = 0;
            if (text && message.GetDataLength() == sizeof id) std::memcpy(&id, text, sizeof id);
            std::printf("data: %ld\n", id);
            m_pleaseWait.SetFocusToRestore(WindowForId(id));
            break;
        }
        case AppServices::kHidePleaseWait:
            if (m_pleaseWaitDepth > 0 && --m_pleaseWaitDepth == 0) {
                m_pleaseWait.SetText("");
                m_pleaseWait.Vanish();
            }
            break;
        default:
            WriteToLog("app: unknown wormhole message 0x%X\n", false, message.GetMessageID());
            break;
    }
    std::fflush(stdout);
}

bool Quendrel::OnECPCommandBackground(const CascadeString& command, CascadeString& reply) {
    auto is = [&](const char* text) { return command.Compare(text, CascadeCase::Insensitive) == 0; };
    // Answered here, so a second start finds this one even while the UI
    // thread is busy (a slow start-up, a server that does not answer).
    if (is("Quendrel ping")) {
        WriteToLog("ECP Command: %s", true, command.c_str());
        reply = "pong";
        return true;
    }
    SlimCLIConnection* cli = m_cli.load();
    if (!cli) return false;
    if (is("Quendrel stop")) {
        WriteToLog("ECP Command: %s", true, command.c_str());
        PostCommand("stop", [cli] { cli->Stop(); });
        reply = "OK";
        return true;
    }
    CascadeString answer;
    if (!AnswerServerQuery(*cli, command, answer)) return false;
    WriteToLog("ECP Command: %s", true, command.c_str());
    reply = answer;
    return true;
}

void Quendrel::OnECPCommand(const CascadeString& command, CascadeString& reply) {
    WriteToLog("ECP Command: %s", true, command.c_str());
    auto is = [&](const char* text) { return command.Compare(text, CascadeCase::Insensitive) == 0; };
    if (is("Quendrel quit") || is("Quendrel exit")) {
        std::printf("exiting\n");
        OnExitCommand("exit");
        reply = "Quendrel closed";
    } else if (is("Quendrel hide")) {
        reply = IsActive() ? "Quendrel hidden" : "Quendrel already hidden";
        if (IsActive()) OnExitCommand("hide");
    } else if (is("Quendrel unhide")) {
        if (IsActive()) {
            BringToFront();
            reply = "Quendrel is not hidden";
        } else {
            OnKeyDownInactive(CascadeKeys::kMenu);
            CascadeThread::Sleep(100);
            OnKeyDownInactive(CascadeKeys::kMenu);
            reply = "Quendrel restored";
        }
    } else if (is("Quendrel play")) {
        m_player.SendIR(IRCode::kPlay);
        reply = "OK";
    } else if (is("Quendrel pause")) {
        m_player.SendIR(IRCode::kPause);
        reply = "OK";
    } else if (is("Quendrel next")) {
        m_player.SendIR(IRCode::kNext);
        reply = "OK";
    } else if (is("Quendrel previous")) {
        m_player.SendIR(IRCode::kPrevious);
        reply = "OK";
    } else if (is("Quendrel ping")) {
        reply = "pong";
    }
}
