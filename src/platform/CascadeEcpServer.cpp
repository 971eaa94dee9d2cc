#include "platform/CascadeEcpServer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr int kClientIdleMs = 2000;

bool MakePrivateDir(const std::string& socketPath) {
    const std::string dir = socketPath.substr(0, socketPath.rfind('/'));
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    return chmod(dir.c_str(), 0700) == 0;
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SomeoneListens(const sockaddr_un& addr) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool live = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return live;
}

bool SendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += std::size_t(n);
    }
    return true;
}

}  // namespace

CascadeEcpServer::~CascadeEcpServer() { Stop(); }

CascadeEcpServer::StartResult CascadeEcpServer::Start(const std::string& path, Handler handler) {
    sockaddr_un addr{};
    if (!FillAddress(path, addr) || !MakePrivateDir(path)) {
        std::fprintf(stderr, "ecp: cannot use socket path %s\n", path.c_str());
        return StartResult::kFailed;
    }
    const std::string lockPath = path + ".lock";
    m_lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0) {
        std::fprintf(stderr, "ecp: cannot open %s: %s\n", lockPath.c_str(), std::strerror(errno));
        return StartResult::kFailed;
    }
    if (flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        if (!taken) std::fprintf(stderr, "ecp: cannot lock %s: %s\n", lockPath.c_str(), std::strerror(errno));
        Stop();
        return taken ? StartResult::kTaken : StartResult::kFailed;
    }
    if (SomeoneListens(addr)) {
        // A process that does not take the lock (an older build) serves it.
        std::fprintf(stderr, "ecp: %s is served by another running instance\n", path.c_str());
        Stop();
        return StartResult::kTaken;
    }
    unlink(path.c_str());
    m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const mode_t old = umask(0177);
    const bool bound = m_listenFd >= 0 && bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    umask(old);
    if (!bound || chmod(path.c_str(), 0600) != 0 || listen(m_listenFd, 8) != 0 || pipe2(m_wakePipe, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "ecp: cannot listen on %s: %s\n", path.c_str(), std::strerror(errno));
        Stop();
        return StartResult::kFailed;
    }
    m_path = path;
    m_handler = std::move(handler);
    m_stop = false;
    m_thread = std::thread([this] { Serve(); });
    return StartResult::kStarted;
}

void CascadeEcpServer::Stop() {
    m_stop = true;
    if (m_wakePipe[1] >= 0) {
        const char c = 'x';
        (void)!write(m_wakePipe[1], &c, 1);
    }
    if (m_thread.joinable()) m_thread.join();
    // The wake pipe ends the waiting connections; one inside the handler
    // ends when the handler returns.
    JoinClients(true);
    for (int* fd : {&m_listenFd, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    if (!m_path.empty()) unlink(m_path.c_str());
    m_path.clear();
    // The lock goes last: a new instance may bind only once the socket is gone.
    if (m_lockFd >= 0) close(m_lockFd);
    m_lockFd = -1;
}

void CascadeEcpServer::Serve() {
    pthread_setname_np(pthread_self(), "ecp");
    while (!m_stop) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "ecp: poll failed: %s\n", std::strerror(errno));
            return;
        }
        if (m_stop || (fds[1].revents & POLLIN)) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int client = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        StartClient(client);
    }
}

void CascadeEcpServer::StartClient(int fd) {
    JoinClients(false);
    if (m_clients.size() >= kMaxClients) {
        std::fprintf(stderr, "ecp: %zu connections under way; one more closed unanswered\n", kMaxClients);
        close(fd);
        return;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    try {
        std::thread thread([this, fd, done] {
            pthread_setname_np(pthread_self(), "ecp-client");
            ServeClient(fd);
            close(fd);
            done->store(true);
        });
        m_clients.push_back({std::move(thread), std::move(done)});
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "ecp: no thread for a connection (%s); served in turn\n", error.what());
        ServeClient(fd);
        close(fd);
    }
}

void CascadeEcpServer::JoinClients(bool all) {
    for (auto it = m_clients.begin(); it != m_clients.end();) {
        if (all || it->done->load()) {
            it->thread.join();
            it = m_clients.erase(it);
        } else {
            ++it;
        }
    }
}

// Answers each line of one client until it closes, goes quiet or sends a
// line longer than kMaxLine (refused, the connection is dropped).
void CascadeEcpServer::ServeClient(int fd) {
    std::string pending;
    char buffer[1024];
    while (!m_stop) {
        const std::size_t eol = pending.find('\n');
        if (eol != std::string::npos) {
            std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::string reply = m_handler(line);
            for (char& c : reply)
                if (c == '\n' || c == '\r') c = ' ';
            if (!SendAll(fd, reply + "\n")) return;
            continue;
        }
        if (pending.size() > kMaxLine) {
            std::fprintf(stderr, "ecp: command longer than %zu bytes refused\n", kMaxLine);
            return;
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (poll(fds, 2, kClientIdleMs) <= 0 || (fds[1].revents & POLLIN)) return;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        pending.append(buffer, std::size_t(n));
    }
}
