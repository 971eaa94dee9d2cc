#include "platform/CascadeApp.h"

#include "platform/CascadeEcpServer.h"
#include "platform/CascadeEvdevInput.h"
#include "platform/CascadeInput.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeLircInput.h"
#include "platform/CascadeWormhole.h"
#include "platform/detail/SdlPresenter.h"
#include "platform/detail/SignalWatcher.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <sstream>

CascadeApp* CascadeApp::s_pTheApp = nullptr;

namespace {

constexpr auto kEcpReplyTimeout = std::chrono::seconds(30);

CascadeDims ScreenDimsFromEnvironment() {
    CascadeDims dims{1024, 576};
    if (const char* env = std::getenv("QUENDREL_SCREEN")) {
        int w = 0, h = 0;
        if (std::sscanf(env, "%dx%d", &w, &h) == 2 && w >= 320 && h >= 200 && w <= 7680 && h <= 4320)
            dims = {w, h};
        else
            std::fprintf(stderr, "screen: ignoring QUENDREL_SCREEN=%s (expected WxH)\n", env);
    }
    return dims;
}

void FatalSignalHandler(int signo) {
    if (CascadeApp* app = CascadeApp::s_pTheApp) app->OnSignal(signo);
    std::signal(signo, SIG_DFL);
    std::raise(signo);
}

std::string FirstWord(const std::string& line) { return line.substr(0, line.find(' ')); }

bool EqualNoCase(std::string a, std::string b) {
    auto lower = [](std::string& s) {
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    };
    lower(a);
    lower(b);
    return a == b;
}

}  // namespace

CascadeApp::CascadeApp() : m_desktop(std::make_unique<CascadeDesktop>(ScreenDimsFromEnvironment())) {
    s_pTheApp = this;
    m_desktop->SetWaker([this] { m_queue.Wake(); });
}

CascadeApp::~CascadeApp() {
    StopServices();
    m_desktop->SetWaker({});
    if (s_pTheApp == this) s_pTheApp = nullptr;
}

void CascadeApp::OnAppInit() {}
void CascadeApp::OnAppExit() {}
void CascadeApp::OnActivate() {}
void CascadeApp::OnDeactivate() {}
bool CascadeApp::OnKeyDownFirst(unsigned long) { return false; }
void CascadeApp::OnKeyDown(unsigned long) {}
void CascadeApp::OnKeyDownInactive(unsigned long) {}
void CascadeApp::OnKeyUp(unsigned long) {}
void CascadeApp::OnKeyUpInactive(unsigned long) {}
void CascadeApp::OnMountMessage() {}
void CascadeApp::OnPowerMessage() {}
void CascadeApp::OnScreenMessage() {}
void CascadeApp::OnWormholeMessage(const CascadeMessage&) {}
void CascadeApp::OnWidgetParametersChanged() {}
void CascadeApp::OnECPCommand(const CascadeString&, CascadeString&) {}
bool CascadeApp::OnECPCommandBackground(const CascadeString&, CascadeString&) { return false; }
void CascadeApp::OnSignal(int) {}

int CascadeApp::Run(int argc, char** argv) {
    m_argc = argc;
    m_argv = argv;
    m_signals = std::make_unique<detail::SignalWatcher>([this](int) { Terminate(0); });
    std::string error;
    m_presenter = detail::SdlPresenter::Create(m_desktop->GetDims(), error);
    if (!m_presenter) std::fprintf(stderr, "screen: no window (%s); running without one\n", error.c_str());
    else if (m_presenter->HasInput()) m_queue.SetExtraWaker([p = m_presenter.get()] { p->Wake(); });

    OnAppInit();
    if (!m_terminating) {
        (void)StartECPService();
        StartRemoteInput();
    }
    Loop();
    OnAppExit();
    StopServices();
    return m_exitCode;
}

CascadeApp::EcpStart CascadeApp::StartECPService() {
    if (m_ecpStart) return *m_ecpStart;
    auto server = std::make_unique<CascadeEcpServer>();
    const auto started = server->Start(CascadeInput::GetSocketPath(), [this](const std::string& line) {
        if (m_terminating) return std::string();
        if (HasECPPrefix(line)) {
            CascadeString answer;
            if (OnECPCommandBackground(CascadeString(line), answer)) return answer.Std();
        }
        auto reply = std::make_shared<std::promise<std::string>>();
        std::future<std::string> result = reply->get_future();
        Post([this, line, reply] { reply->set_value(HandleECPLine(line)); });
        if (result.wait_for(kEcpReplyTimeout) != std::future_status::ready) return std::string();
        return result.get();
    });
    switch (started) {
        case CascadeEcpServer::StartResult::kStarted:
            m_ecpServer = std::move(server);
            m_ecpStart = EcpStart::kStarted;
            break;
        case CascadeEcpServer::StartResult::kTaken: m_ecpStart = EcpStart::kTaken; break;
        case CascadeEcpServer::StartResult::kFailed: m_ecpStart = EcpStart::kFailed; break;
    }
    return *m_ecpStart;
}

// LIRC remotes, unless QUENDREL_LIRC=0, and the remote buttons of kernel
// devices, unless QUENDREL_EVDEV=0; their keys come in as from the keyboard.
void CascadeApp::StartRemoteInput() {
    auto post = [this](unsigned long key) { Post([this, key] { InjectKey(key); }); };
    auto wanted = [](const char* variable) {
        const char* value = std::getenv(variable);
        return !value || std::strcmp(value, "0") != 0;
    };
    if (CascadeLircInput::IsBuiltIn() && wanted("QUENDREL_LIRC")) {
        auto input = std::make_unique<CascadeLircInput>(m_keyMap, post);
        if (input->Start("")) m_lirc = std::move(input);
    }
    if (CascadeEvdevInput::IsBuiltIn() && wanted("QUENDREL_EVDEV")) {
        auto input = std::make_unique<CascadeEvdevInput>(m_keyMap, post);
        if (input->Start("/dev/input")) m_evdev = std::move(input);
    }
}

void CascadeApp::StopServices() {
    m_lirc.reset();       // joins the lirc thread
    m_evdev.reset();      // joins the evdev thread
    m_ecpServer.reset();  // joins the ECP thread before the presenter goes
    m_queue.SetExtraWaker({});
    m_presenter.reset();
    m_signals.reset();
}

void CascadeApp::Loop() {
    detail::SdlPresenter::Events events;
    events.key = [this](const char* name, bool shift, bool down, bool repeat) {
        HandleReportedKey(name, shift, down, repeat);
    };
    events.quit = [this] { Terminate(0); };
    while (!m_terminating) {
        const int timeout = m_queue.RunPending();
        if (m_presenter) m_presenter->PollEvents(events);
        PaintNow();
        if (m_terminating) break;
        const int wait = m_desktop->HasWork() ? 0 : timeout;
        if (m_presenter && m_presenter->HasInput())
            m_presenter->WaitEvents(wait, events);
        else if (wait != 0)
            m_queue.Wait(wait);
    }
}

void CascadeApp::PaintNow() {
    const std::vector<CascadeRect> rects = m_desktop->PaintDirty();
    if (rects.empty() || !m_presenter) return;
    CascadeBitmap& screen = m_desktop->LockScreen();
    m_presenter->Present(screen, rects);
    m_desktop->UnlockScreen();
    if (!m_firstFramePresented) {
        m_firstFramePresented = true;
        // For the start-up benchmark, which times the way to the first frame.
        if (std::getenv("QUENDREL_REPORT_FIRST_FRAME")) std::fprintf(stderr, "screen: first frame presented\n");
    }
}

void CascadeApp::Terminate(int code) {
    m_exitCode = code;
    m_terminating = true;
    m_queue.Wake();
}

void CascadeApp::Activate() {
    if (m_active.exchange(true)) return;
    if (m_presenter) m_presenter->Restore();
    OnActivate();
}

void CascadeApp::BringToFront() {
    if (m_active.load() && m_presenter) m_presenter->Restore();
}

void CascadeApp::Deactivate() {
    if (!m_active.exchange(false)) return;
    if (m_presenter) m_presenter->Minimize();
    OnDeactivate();
}

void CascadeApp::RegisterECPCommand(const CascadeString& prefix) {
    std::lock_guard lock(m_ecpPrefixLock);
    if (std::none_of(m_ecpPrefixes.begin(), m_ecpPrefixes.end(),
                     [&](const std::string& p) { return EqualNoCase(p, prefix.Std()); }))
        m_ecpPrefixes.push_back(prefix.Std());
}

void CascadeApp::RegisterForSignal(int signo) {
    struct sigaction action {};
    action.sa_handler = FatalSignalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signo, &action, nullptr);
}

void CascadeApp::RegisterInactiveKeyInterest(bool interested) { m_inactiveKeys = interested; }

void CascadeApp::HandleKeyEvent(unsigned long key, bool down) {
    if (!m_active) {
        if (!m_inactiveKeys) return;
        down ? OnKeyDownInactive(key) : OnKeyUpInactive(key);
        return;
    }
    NotifyScreenActivity();
    if (down) {
        if (OnKeyDownFirst(key)) return;
        if (!m_desktop->DispatchKeyDown(key)) OnKeyDown(key);
    } else if (!m_desktop->DispatchKeyUp(key)) {
        OnKeyUp(key);
    }
}

void CascadeApp::HandleReportedKey(const char* name, bool shift, bool down, bool repeat) {
    const std::optional<unsigned long> key = m_keyMap.Lookup(name, shift);
    if (!key || (repeat && !CascadeKeyMap::Repeats(*key))) return;
    HandleKeyEvent(*key, down);
}

std::vector<std::string> CascadeApp::LoadKeyMap(const std::vector<std::string>& files) {
    std::vector<std::string> problems;
    for (const std::string& file : files) (void)m_keyMap.ReadFile(file, problems);
    return problems;
}

void CascadeApp::InjectKey(unsigned long key) {
    HandleKeyEvent(key, true);
    HandleKeyEvent(key, false);
}

bool CascadeApp::HasECPPrefix(const std::string& line) const {
    const std::string word = FirstWord(line);
    std::lock_guard lock(m_ecpPrefixLock);
    return std::any_of(m_ecpPrefixes.begin(), m_ecpPrefixes.end(),
                       [&](const std::string& prefix) { return EqualNoCase(word, prefix); });
}

std::string CascadeApp::HandleECPLine(const std::string& line) {
    if (HasECPPrefix(line)) {
        CascadeString reply;
        OnECPCommand(CascadeString(line), reply);
        return reply.Std();
    }
    return DispatchFrameworkCommand(line);
}

std::string CascadeApp::DispatchFrameworkCommand(const std::string& line) {
    std::istringstream in(line);
    std::string word, argument;
    in >> word;
    std::getline(in >> std::ws, argument);
    if (EqualNoCase(word, "keypress")) {
        const auto key = CascadeKeys::Parse(argument);
        if (!key) {
            std::fprintf(stderr, "ecp: unknown key \"%s\"\n", argument.c_str());
            return "unknown key";
        }
        InjectKey(*key);
        return "OK";
    }
    if (EqualNoCase(word, "screenshot")) {
        if (argument.empty()) return "no file";
        // Anyone who can reach the socket may name the file: only PNG names,
        // so that a mistyped command cannot overwrite a document or a script.
        if (argument.size() < 5 || !EqualNoCase(argument.substr(argument.size() - 4), ".png")) {
            std::fprintf(stderr, "ecp: screenshot refused: \"%s\" does not end in .png\n", argument.c_str());
            return "not a .png file";
        }
        PaintNow();
        return SaveScreenshot(argument) ? "OK" : "failed";
    }
    return {};
}

bool CascadeApp::SaveScreenshot(const std::string& path) {
    CascadeBitmap& screen = m_desktop->LockScreen();
    const bool saved = screen.SaveAsPNG(path);
    m_desktop->UnlockScreen();
    if (!saved) std::fprintf(stderr, "screen: cannot write screenshot %s\n", path.c_str());
    return saved;
}

void CascadeApp::NotifyScreenActivity() {
    Post([this] {
        if (m_presenter) m_presenter->KeepAwake();
    });
}

bool CascadeApp::RegisterWormhole(const CascadeString& address, CascadeWormhole* hole) {
    return m_wormholes.emplace(address.Std(), hole).second;
}

void CascadeApp::UnregisterWormhole(const CascadeString& address, CascadeWormhole* hole) {
    auto it = m_wormholes.find(address.Std());
    if (it != m_wormholes.end() && it->second == hole) m_wormholes.erase(it);
}

void CascadeApp::PostWormholeMessage(const CascadeString& address, CascadeMessage message) {
    Post([this, address, message = std::move(message)] {
        auto it = m_wormholes.find(address.Std());
        if (it == m_wormholes.end()) {
            std::fprintf(stderr, "wormhole: message 0x%X to unknown address %s dropped\n", message.GetMessageID(),
                         address.c_str());
            return;
        }
        it->second->Deliver(message);
    });
}
