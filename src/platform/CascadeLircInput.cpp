#include "platform/CascadeLircInput.h"

#include <fcntl.h>
#include <pthread.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef QUENDREL_HAVE_LIRC
#include <lirc_client.h>
#endif

namespace {

constexpr std::size_t kMaxLine = 1024;
constexpr const char* kDefaultSocket = "/run/lirc/lircd";  // where Debian's lircd listens
constexpr std::size_t kMaxUnmappedNames = 64;

bool IsHex(std::string_view text) {
    return !text.empty() && text.size() <= 16 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::string_view NextWord(std::string_view& text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    std::size_t end = 0;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

std::string Printable(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 80)) out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    return out;
}

}  // namespace

std::optional<CascadeLircInput::Button> CascadeLircInput::ParseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view code = NextWord(line);
    const std::string_view repeat = NextWord(line);
    const std::string_view name = NextWord(line);
    const std::string_view remote = NextWord(line);
    if (!IsHex(code) || !IsHex(repeat) || repeat.size() > 8 || name.empty() || remote.empty()) return std::nullopt;
    if (!NextWord(line).empty()) return std::nullopt;
    Button button;
    (void)std::from_chars(repeat.data(), repeat.data() + repeat.size(), button.repeat, 16);
    button.name = std::string(name);
    button.remote = std::string(remote);
    return button;
}

bool CascadeLircInput::IsBuiltIn() {
#ifdef QUENDREL_HAVE_LIRC
    return true;
#else
    return false;
#endif
}

CascadeLircInput::CascadeLircInput(const CascadeKeyMap& keyMap, KeyHandler handler, int retryMs)
    : m_keyMap(keyMap), m_handler(std::move(handler)), m_retryMs(retryMs) {}

CascadeLircInput::~CascadeLircInput() { Stop(); }

bool CascadeLircInput::Start(const std::string& socketPath) {
    if (!IsBuiltIn()) {
        std::fprintf(stderr, "lirc: built without liblirc-client; LIRC remotes are not read\n");
        return false;
    }
    if (m_thread.joinable()) return true;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "lirc: cannot make a pipe (%s)\n", std::strerror(errno));
        return false;
    }
    m_wakeRead.Reset(fds[0]);
    m_wakeWrite.Reset(fds[1]);
    m_socketPath = socketPath;
    m_stopping = false;
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "lirc");
        Run();
    });
    return true;
}

void CascadeLircInput::Stop() {
    if (!m_thread.joinable()) return;
    m_stopping = true;
    const char byte = 0;
    (void)!::write(m_wakeWrite.Get(), &byte, 1);
    m_thread.join();
}

bool CascadeLircInput::WaitForStop(int ms) const {
    pollfd wake{m_wakeRead.Get(), POLLIN, 0};
    (void)::poll(&wake, 1, ms);
    return m_stopping;
}

std::string CascadeLircInput::SocketPath() const {
    const char* env = std::getenv("LIRC_SOCKET_PATH");
    return !m_socketPath.empty() ? m_socketPath : env && *env ? env : kDefaultSocket;
}

CascadeFileDescriptor CascadeLircInput::Connect() const {
#ifdef QUENDREL_HAVE_LIRC
    const std::string path = SocketPath();
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "lirc: socket path too long: %s\n", Printable(path).c_str());
        return {};
    }
    // liblirc-client opens the link, but its lirc_get_local_socket keeps its
    // socket open when the connect fails: without lircd every retry would
    // cost a descriptor for the rest of the run. So a connect of our own
    // first shows that lircd listens, and only then is the library asked.
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    {
        const CascadeFileDescriptor probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!probe.IsValid() || ::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
            return {};
    }
    CascadeFileDescriptor fd(lirc_get_local_socket(path.c_str(), 1));
    if (!fd.IsValid()) return {};
    (void)::fcntl(fd.Get(), F_SETFD, FD_CLOEXEC);  // the library opens it without
    return fd;
#else
    return {};
#endif
}

void CascadeLircInput::Run() {
    const std::string shown = SocketPath();
    bool saidMissing = false;
    while (!m_stopping) {
        CascadeFileDescriptor fd = Connect();
        if (!fd.IsValid()) {
            if (!saidMissing)
                std::fprintf(stderr, "lirc: no lircd at %s; trying again every %d ms\n", shown.c_str(), m_retryMs);
            saidMissing = true;
            if (WaitForStop(m_retryMs)) break;
            continue;
        }
        std::fprintf(stderr, "lirc: reading remote keys from %s\n", shown.c_str());
        saidMissing = false;
        ReadUntilClosed(fd.Get());
        if (!m_stopping) std::fprintf(stderr, "lirc: lircd closed the link; reconnecting\n");
    }
}

void CascadeLircInput::ReadUntilClosed(int fd) {
    m_inBlock = false;
    m_saidBadLine = false;
    std::string pending;
    char buffer[512];
    while (!m_stopping) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeRead.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return;
        pending.append(buffer, std::size_t(n));
        std::size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            HandleLine(std::string_view(pending).substr(0, newline));
            pending.erase(0, newline + 1);
        }
        if (pending.size() > kMaxLine) {
            std::fprintf(stderr, "lirc: a line of more than %zu bytes from lircd dropped\n", kMaxLine);
            pending.clear();
        }
    }
}

void CascadeLircInput::HandleLine(std::string_view line) {
    // lircd answers commands and announces reloads in BEGIN ... END blocks;
    // Quendrel sends none, so the blocks are skipped whole.
    if (line == "BEGIN") m_inBlock = true;
    if (m_inBlock) {
        if (line == "END") m_inBlock = false;
        return;
    }
    const std::optional<Button> button = ParseLine(line);
    if (!button) {
        if (!m_saidBadLine) std::fprintf(stderr, "lirc: unreadable line from lircd: \"%s\"\n", Printable(line).c_str());
        m_saidBadLine = true;
        return;
    }
    const std::optional<unsigned long> key = m_keyMap.Lookup(button->name);
    if (!key) {
        if (m_unmapped.size() < kMaxUnmappedNames && m_unmapped.insert(button->name).second)
            std::fprintf(stderr, "lirc: button %s of remote %s is not in the key map\n", Printable(button->name).c_str(),
                         Printable(button->remote).c_str());
        return;
    }
    if (button->repeat > 0 && !CascadeKeyMap::Repeats(*key)) return;
    m_handler(*key);
}
