#include "support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

}  // namespace

bool LocalHttpServer::Start() {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listenFd, 16) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void LocalHttpServer::Stop() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
        // On Linux a shut-down listening socket ends a waiting accept.
        if (m_listenFd >= 0) ::shutdown(m_listenFd, SHUT_RDWR);
        for (int fd : m_connectionFds) ::shutdown(fd, SHUT_RDWR);
    }
    m_stopSignal.notify_all();
    if (m_acceptThread.joinable()) m_acceptThread.join();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        threads.swap(m_connectionThreads);
    }
    for (auto& t : threads) t.join();
    if (m_listenFd >= 0) ::close(m_listenFd);
    m_listenFd = -1;
}

std::string LocalHttpServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

void LocalHttpServer::Route(const std::string& path, Response response) {
    Route(path, Handler([response](const Request&) { return response; }));
}

void LocalHttpServer::Route(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_routes[path] = std::move(handler);
}

std::vector<LocalHttpServer::Request> LocalHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
}

std::size_t LocalHttpServer::RequestCount(std::string_view path) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return std::size_t(std::count_if(m_requests.begin(), m_requests.end(), [&](auto& r) { return r.path == path; }));
}

void LocalHttpServer::AcceptLoop() {
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_stopping) {
            if (fd >= 0) ::close(fd);
            return;
        }
        if (fd < 0) continue;
        m_connectionFds.push_back(fd);
        m_connectionThreads.emplace_back([this, fd] { Serve(fd); });
    }
}

// Reads the request head (the path and query are all the routes need) and
// answers it.
void LocalHttpServer::Serve(int fd) {
    std::string head;
    char buffer[4096];
    for (ssize_t n; head.find("\r\n\r\n") == std::string::npos && head.size() < 65536;) {
        if ((n = ::recv(fd, buffer, sizeof buffer, 0)) < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        head.append(buffer, std::size_t(n));
    }
    const std::size_t start = head.find(' ') + 1, end = head.find(' ', start);
    if (head.find("\r\n\r\n") != std::string::npos && start > 0 && end != std::string::npos) {
        const std::string target = head.substr(start, end - start), path = target.substr(0, target.find('?'));
        const Request request{path, path.size() < target.size() ? target.substr(path.size() + 1) : ""};
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_requests.push_back(request);
            if (auto it = m_routes.find(request.path); it != m_routes.end()) handler = it->second;
        }
        Respond(fd, handler ? handler(request) : Status(404));
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_connectionFds.erase(std::remove(m_connectionFds.begin(), m_connectionFds.end(), fd), m_connectionFds.end());
    ::close(fd);
}

void LocalHttpServer::Respond(int fd, const Response& r) {
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + (r.status == 200 ? " OK" : " Status") +
                       "\r\nContent-Type: " + r.contentType + "\r\nConnection: close\r\n";
    head += r.chunked ? "Transfer-Encoding: chunked\r\n" : "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    if (!r.location.empty()) head += "Location: " + r.location + "\r\n";
    if (!SendAll(fd, head + "\r\n")) return;
    const std::size_t limit = std::min(r.stallAfter, r.body.size());
    const std::size_t piece = r.pieceSize ? r.pieceSize : std::max<std::size_t>(limit, 1);
    for (std::size_t pos = 0; pos < limit; pos += piece) {
        const std::string bytes = r.body.substr(pos, std::min(piece, limit - pos));
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
        if (!SendAll(fd, r.chunked ? size + bytes + "\r\n" : bytes)) return;
        if (pos + piece < limit && !Pause(std::chrono::milliseconds(r.trickleDelayMs))) return;
    }
    if (limit < r.body.size())
        (void)Pause(std::chrono::hours(24));
    else if (r.chunked)
        (void)SendAll(fd, "0\r\n\r\n");
}

bool LocalHttpServer::Pause(std::chrono::milliseconds time) {
    std::unique_lock<std::mutex> lock(m_lock);
    return !m_stopSignal.wait_for(lock, time, [this] { return m_stopping.load(); });
}
