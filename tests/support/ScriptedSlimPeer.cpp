#include "support/ScriptedSlimPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The player counts only the payload in its 32-bit length.
constexpr std::size_t kPlayerHeaderBytes = 8;

void Nudge(int fd) {
    const char byte = 1;
    (void)::write(fd, &byte, 1);
}

}  // namespace

ScriptedSlimPeer::ScriptedSlimPeer() {
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead = fds[0];
        m_wakeWrite = fds[1];
    }
    m_thread = std::thread([this] { Run(); });
}

ScriptedSlimPeer::~ScriptedSlimPeer() {
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    Nudge(m_wakeWrite);
    m_thread.join();
    StopListening();
    ::close(m_wakeRead);
    ::close(m_wakeWrite);
}

bool ScriptedSlimPeer::Listen(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return false;
    }
    m_port = ntohs(address.sin_port);
    {
        std::lock_guard lock(m_lock);
        m_listenFd = fd;
    }
    Nudge(m_wakeWrite);
    return true;
}

void ScriptedSlimPeer::StopListening() {
    std::lock_guard lock(m_lock);
    // The worker may be polling the descriptor, which keeps the socket alive
    // past close: shutdown stops it listening at once.
    if (m_listenFd >= 0) {
        ::shutdown(m_listenFd, SHUT_RDWR);
        ::close(m_listenFd);
    }
    m_listenFd = -1;
    CloseLinkLocked();
    Nudge(m_wakeWrite);
}

void ScriptedSlimPeer::CloseLink() {
    std::lock_guard lock(m_lock);
    CloseLinkLocked();
    Nudge(m_wakeWrite);
}

void ScriptedSlimPeer::CloseLinkLocked() {
    if (m_linkFd >= 0) {
        ::shutdown(m_linkFd, SHUT_RDWR);
        ::close(m_linkFd);
    }
    m_linkFd = -1;
    m_partial.clear();
}

int ScriptedSlimPeer::GetAcceptCount() {
    std::lock_guard lock(m_lock);
    return m_acceptCount;
}

bool ScriptedSlimPeer::WaitForAcceptCount(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, timeout, [&] { return m_acceptCount >= count; });
}

std::optional<ScriptedSlimPeer::Frame> ScriptedSlimPeer::NextFrame(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    if (!m_changed.wait_for(lock, timeout, [&] { return !m_frames.empty(); })) return std::nullopt;
    Frame frame = std::move(m_frames.front());
    m_frames.pop_front();
    return frame;
}

bool ScriptedSlimPeer::WaitForPlayerClose(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, timeout, [&] { return m_playerClosed; });
}

std::size_t ScriptedSlimPeer::PendingFrames() {
    std::lock_guard lock(m_lock);
    return m_frames.size();
}

bool ScriptedSlimPeer::SendRaw(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(m_lock);
    if (m_linkFd < 0) return false;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_linkFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += std::size_t(n);
    }
    return true;
}

std::vector<uint8_t> ScriptedSlimPeer::ServerFrame(const std::string& opcode, const std::vector<uint8_t>& payload) {
    const std::size_t length = opcode.size() + payload.size();
    std::vector<uint8_t> frame;
    frame.reserve(2 + length);
    frame.push_back(uint8_t(length >> 8));
    frame.push_back(uint8_t(length));
    for (char c : opcode) frame.push_back(uint8_t(c));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

void ScriptedSlimPeer::Run() {
    for (;;) {
        pollfd fds[3] = {{m_wakeRead, POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
        {
            std::lock_guard lock(m_lock);
            if (m_stop) return;
            fds[1].fd = m_listenFd;
            fds[2].fd = m_linkFd;
        }
        if (poll(fds, 3, 1000) < 0 && errno != EINTR) return;
        if (fds[0].revents) {
            char drain[64];
            while (::read(m_wakeRead, drain, sizeof drain) > 0) {
            }
            continue;  // descriptors may have changed
        }
        if (fds[1].revents) AcceptOne();
        if (fds[2].revents) ReadLink();
    }
}

void ScriptedSlimPeer::AcceptOne() {
    std::lock_guard lock(m_lock);
    if (m_listenFd < 0) return;
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    CloseLinkLocked();
    m_linkFd = fd;
    m_playerClosed = false;
    ++m_acceptCount;
    m_changed.notify_all();
}

void ScriptedSlimPeer::ReadLink() {
    std::lock_guard lock(m_lock);
    if (m_linkFd < 0) return;
    uint8_t buffer[4096];
    const ssize_t n = ::recv(m_linkFd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        CloseLinkLocked();
        m_playerClosed = true;
    } else {
        m_partial.insert(m_partial.end(), buffer, buffer + n);
        CutFramesLocked();
    }
    m_changed.notify_all();
}

void ScriptedSlimPeer::CutFramesLocked() {
    while (m_partial.size() >= kPlayerHeaderBytes) {
        const std::size_t length = (std::size_t(m_partial[4]) << 24) | (std::size_t(m_partial[5]) << 16) |
                                   (std::size_t(m_partial[6]) << 8) | std::size_t(m_partial[7]);
        if (m_partial.size() < kPlayerHeaderBytes + length) return;
        const auto end = m_partial.begin() + std::ptrdiff_t(kPlayerHeaderBytes + length);
        Frame frame;
        frame.opcode.assign(m_partial.begin(), m_partial.begin() + 4);
        frame.payload.assign(m_partial.begin() + kPlayerHeaderBytes, end);
        frame.wire.assign(m_partial.begin(), end);
        m_frames.push_back(std::move(frame));
        m_partial.erase(m_partial.begin(), end);
    }
}
