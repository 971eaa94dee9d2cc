#include "support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;

const char* ReasonPhrase(int status) {
    return status == 200 ? "OK" : status == 206 ? "Partial Content" : status == 404 ? "Not Found" : "Status";
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

}  // namespace

LocalHttpServer::Response LocalHttpServer::Body(std::string body, std::string contentType) {
    Response r;
    r.body = std::move(body);
    r.contentType = std::move(contentType);
    return r;
}

LocalHttpServer::Response LocalHttpServer::Chunked(std::string body, std::size_t chunkSize) {
    Response r = Body(std::move(body));
    r.framing = Framing::Chunked;
    r.chunkSize = chunkSize;
    return r;
}

LocalHttpServer::Response LocalHttpServer::Redirect(std::string location, int status) {
    Response r = Status(status);
    r.headers.emplace_back("Location", std::move(location));
    return r;
}

LocalHttpServer::Response LocalHttpServer::Status(int status) {
    Response r = Body(std::string(ReasonPhrase(status)) + "\n", "text/plain");
    r.status = status;
    return r;
}

LocalHttpServer::Response LocalHttpServer::Stalling(std::string body, std::size_t sentBytes) {
    Response r = Body(std::move(body));
    r.stallAfter = sentBytes;
    return r;
}

LocalHttpServer::Response LocalHttpServer::Ranged(std::string body) {
    Response r = Body(std::move(body));
    r.acceptRanges = true;
    return r;
}

LocalHttpServer::Response LocalHttpServer::Trickle(std::string body, std::size_t pieceSize, unsigned delayMs) {
    Response r = Body(std::move(body));
    r.chunkSize = pieceSize;
    r.trickleDelayMs = delayMs;
    return r;
}

LocalHttpServer::~LocalHttpServer() {
    Stop();
}

bool LocalHttpServer::Start() {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0 || ::pipe2(m_wakeFds, O_CLOEXEC) != 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 16) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void LocalHttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
    }
    m_stopSignal.notify_all();
    if (m_wakeFds[1] >= 0) (void)!::write(m_wakeFds[1], "x", 1);
    if (m_acceptThread.joinable()) m_acceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (int fd : m_connectionFds) ::shutdown(fd, SHUT_RDWR);
        threads.swap(m_connectionThreads);
    }
    for (auto& t : threads) t.join();
    for (int* fd : {&m_listenFd, &m_wakeFds[0], &m_wakeFds[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
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
    return std::size_t(
        std::count_if(m_requests.begin(), m_requests.end(), [&](const Request& r) { return r.path == path; }));
}

void LocalHttpServer::AcceptLoop() {
    while (!m_stopping) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFds[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents != 0 || m_stopping) return;
        if (fds[0].revents == 0) continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(m_lock);
        m_connectionFds.push_back(fd);
        m_connectionThreads.emplace_back([this, fd] { Serve(fd); });
    }
}

void LocalHttpServer::Serve(int fd) {
    Request request;
    if (ReadRequest(fd, request)) {
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_requests.push_back(request);
            if (auto it = m_routes.find(request.path); it != m_routes.end()) handler = it->second;
        }
        Respond(fd, request, handler ? handler(request) : Status(404));
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_connectionFds.erase(std::remove(m_connectionFds.begin(), m_connectionFds.end(), fd), m_connectionFds.end());
    ::close(fd);
}

bool LocalHttpServer::ReadRequest(int fd, Request& request) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kMaxRequestHead) return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        head.append(buffer, std::size_t(n));
    }
    std::istringstream in(head);
    std::string target, line;
    if (!(in >> request.method >> target)) return false;
    request.path = target.substr(0, target.find('?'));
    if (const auto mark = target.find('?'); mark != std::string::npos) request.query = target.substr(mark + 1);
    std::getline(in, line);  // the rest of the request line
    while (std::getline(in, line) && line != "\r") {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
        request.headers[name] = std::string(Trim(std::string_view(line).substr(colon + 1)));
    }
    // "Range: bytes=N-"
    if (auto it = request.headers.find("range"); it != request.headers.end() && it->second.starts_with("bytes="))
        request.rangeStart = std::atoll(it->second.c_str() + 6);
    return true;
}

void LocalHttpServer::Respond(int fd, const Request& request, Response response) {
    std::string_view body = response.body;
    std::string extra;
    if (response.acceptRanges) {
        extra += "Accept-Ranges: bytes\r\n";
        const std::size_t size = response.body.size();
        if (request.rangeStart >= 0 && std::size_t(request.rangeStart) < size) {
            response.status = 206;
            body.remove_prefix(std::size_t(request.rangeStart));
            extra += "Content-Range: bytes " + std::to_string(request.rangeStart) + "-" + std::to_string(size - 1) +
                     "/" + std::to_string(size) + "\r\n";
        } else if (request.rangeStart >= 0) {
            response.status = 416;
            body = {};
            extra += "Content-Range: bytes */" + std::to_string(size) + "\r\n";
        }
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + ReasonPhrase(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\nConnection: close\r\n" + extra;
    if (response.framing == Framing::ContentLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (response.framing == Framing::Chunked) head += "Transfer-Encoding: chunked\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    head += "\r\n";
    if (SendAll(fd, head) && request.method != "HEAD") (void)SendBody(fd, response, body);
}

bool LocalHttpServer::SendBody(int fd, const Response& response, std::string_view body) {
    const bool chunked = response.framing == Framing::Chunked;
    const std::size_t limit = std::min(response.stallAfter, body.size());
    const std::size_t piece = response.chunkSize == 0 ? std::max<std::size_t>(limit, 1) : response.chunkSize;
    for (std::size_t pos = 0; pos < limit;) {
        const std::size_t n = std::min(piece, limit - pos);
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        if (chunked && !SendAll(fd, size)) return false;
        if (!SendAll(fd, body.substr(pos, n))) return false;
        if (chunked && !SendAll(fd, "\r\n")) return false;
        pos += n;
        if (response.trickleDelayMs > 0 && pos < limit && !Pause(response.trickleDelayMs)) return false;
    }
    if (limit < body.size()) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_stopSignal.wait(lock, [this] { return m_stopping.load(); });
        return false;
    }
    return !chunked || SendAll(fd, "0\r\n\r\n");
}

bool LocalHttpServer::SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

bool LocalHttpServer::Pause(unsigned ms) {
    std::unique_lock<std::mutex> lock(m_lock);
    return !m_stopSignal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping.load(); });
}
