#include "app/Quendrel.h"

#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeDirectory.h"
#include "platform/CascadeInput.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeSettings.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeTime.h"
#include "server/SlimCLIConnection.h"
#include "ui/Configuration.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kSettingsName = "Tovrallisk.Quendrel";
constexpr unsigned long kIdleTickMs = 10000;
constexpr int kSignalSegv = 11;
constexpr int kSignalPipe = 13;

}  // namespace

Quendrel::Quendrel() {
    AppActivity::SetHandler([this](unsigned long key) { NotifyActivity(key); });
}

Quendrel::~Quendrel() {
    AppActivity::SetHandler({});
    if (m_idleTimerId != 0) {
        KillTimer(m_idleTimerId);
        m_idleTimerId = 0;
    }
}

void Quendrel::WriteToLog(const char* format, bool echo, ...) const {
    va_list args;
    va_start(args, echo);
    AppLog::WriteToLogV(format, echo, args);
    va_end(args);
}

void Quendrel::OnAppInit() {
    if (CheckSingleInstance()) return;
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
    const CascadeString message = BringUpScreens(options);
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

void Quendrel::TakeApplicationPath() {
    g_appPath = CascadeDirectory::GetCWD();
    if (!g_appPath.View().ends_with('/')) g_appPath += "/";
    if (g_appPath.GetLength() > 1 || GetArgc() < 1 || !GetArgv()[0]) return;
    const std::string program = GetArgv()[0];
    const std::size_t slash = program.rfind('/');
    g_appPath = CascadeString(slash == std::string::npos ? std::string("./") : program.substr(0, slash + 1));
}

void Quendrel::ApplyOptions(const AppOptions& options) {
    if (options.debug) (void)AppLog::OpenLogFile(g_appPath.Std() + "debug.txt");
    options.ApplyToSettings();
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

// The ECP commands answered from the server's status or sent to it; false
// for any other command.
bool AnswerServerCommand(SlimCLIConnection& cli, const CascadeString& command, CascadeString& reply) {
    auto is = [&](const char* text) { return command.Compare(text, CascadeCase::Insensitive) == 0; };
    if (is("Quendrel stop")) {
        cli.Stop();
        reply = "OK";
    } else if (is("Quendrel playbackposition")) {
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

// Shows the Now Playing screen and the player display and connects; returns
// the message to show when that fails.
CascadeString Quendrel::BringUpScreens(const AppOptions& options) {
    const CascadeDims dims = m_screen.GetDims();
    m_nowPlaying.SetRectAbsolute({0, 0, dims.w, dims.h});
    m_nowPlaying.Materialize(1);
    if (g_serverIP.IsEmpty()) return "Unable to locate SlimServer.";
    m_player.SetRectAbsolute({352, 21, 320, 33});
    m_player.Materialize(2);
    if (!m_player.Connect()) return "Unable to connect to SlimServer.";
    m_player.SetFocus();
    m_player.SetDisplayVisible(true);
    SendStartupChoices(*m_player.GetServer().GetSlimCLIConnection(), options);
    // Notifications flow from the start, so the screens find them switched on.
    (void)m_player.GetServer().GetSlimCLIListener();
    m_idleTimerId = SetTimer(kIdleTickMs);
    RegisterECPCommand("Quendrel");
    return {};
}

void Quendrel::OnAppExit() { m_wormhole.Destroy(); }

void Quendrel::OnSignal(int signo) {
    // A crash inside a thread that Disconnect waits for must not hang the
    // process: the alarm ends it if the goodbye takes too long.
    alarm(3);
    WriteToLog("**************\nGot Signal: %i\n**************\n", true, signo);
    m_player.CloseAudioOutput();
    m_player.Disconnect();
    std::exit(signo);
}

void Quendrel::NotifyActivity(unsigned long key) {
    if (key != CascadeKeys::kNoActivity) m_idleCountdown = m_idleReload;
}

void Quendrel::OnKeyDown(unsigned long key) {
    NotifyActivity(key);
    // While audio plays (state 4) this is where the exit question would
    // open; until that dialog exists, exit ends the program either way.
    if (key == CascadeKeys::kExit) Terminate(0);
}

void Quendrel::OnKeyDownInactive(unsigned long key) {
    NotifyActivity(key);
    if (key != CascadeKeys::kMenu) return;
    const uint64_t now = CascadeTime::GetUptimeMilliseconds();
    const uint64_t since = now - m_lastKeyTime;
    if (m_lastKeyTime != 0 && since >= 1 && since <= 999) {
        Restore();
        return;
    }
    m_lastKeyTime = now;
}

void Quendrel::Restore() {
    Activate();
    const CascadeDims dims = m_screen.GetDims();
    m_nowPlaying.SetRectAbsolute({0, 0, dims.w, dims.h});
    m_nowPlaying.Materialize(1);
    m_player.SetDisplayVisible(true);
}

void Quendrel::OnDeactivate() {
    RegisterInactiveKeyInterest(true);
    m_nowPlaying.Vanish();
    m_player.SetDisplayVisible(false);
}

void Quendrel::OnExitCommand(const CascadeString& action) {
    if (action == "exit")
        Terminate(0);
    else if (action == "hide")
        Deactivate();
}

void Quendrel::OnTimer(unsigned long id) {
    if (id != m_idleTimerId) return;
    CascadeInput::NotifyScreenActivity();
    --m_idleCountdown;
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
            reply = "Quendrel is not hidden";
        } else {
            OnKeyDownInactive(CascadeKeys::kMenu);
            CascadeThread::Sleep(100);
            OnKeyDownInactive(CascadeKeys::kMenu);
            reply = "Quendrel restored";
        }
    } else if (is("Quendrel play")) {
        m_player.SendIR(0x768910EF);
        reply = "OK";
    } else if (is("Quendrel pause")) {
        m_player.SendIR(0x768920DF);
        reply = "OK";
    } else if (is("Quendrel next")) {
        m_player.SendIR(0x7689A05F);
        reply = "OK";
    } else if (is("Quendrel previous")) {
        m_player.SendIR(0x7689C03F);
        reply = "OK";
    } else if (is("Quendrel ping")) {
        reply = "pong";
    } else if (!g_serverIP.IsEmpty()) {
        (void)AnswerServerCommand(*m_player.GetServer().GetSlimCLIConnection(), command, reply);
    }
}
