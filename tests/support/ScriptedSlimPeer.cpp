#include "support/ScriptedSlimPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// The player counts only the payload in its 32-bit length.
constexpr std::size_t kPlayerHeaderBytes = 8;

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
    fd = -1;
}

}  // namespace

bool ScriptedSlimPeer::Listen(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{
        .sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_listenFd = fd;
    return true;
}

void ScriptedSlimPeer::StopListening() {
    CloseFd(m_listenFd);
    CloseLink();
}

void ScriptedSlimPeer::CloseLink() {
    CloseFd(m_linkFd);
    m_partial.clear();
}

std::optional<ScriptedSlimPeer::Frame> ScriptedSlimPeer::NextFrame(std::chrono::milliseconds timeout) {
    if (!PumpUntil([&] { return !m_frames.empty(); }, timeout)) return std::nullopt;
    Frame frame = std::move(m_frames.front());
    m_frames.pop_front();
    return frame;
}

bool ScriptedSlimPeer::WaitForPlayerClose(std::chrono::milliseconds timeout) {
    return PumpUntil([&] { return m_playerClosed; }, timeout);
}

bool ScriptedSlimPeer::SendRaw(const std::vector<uint8_t>& bytes) {
    PumpUntil([] { return false; }, std::chrono::milliseconds(0));
    // A blocking send queues the whole of a test's few kilobytes.
    return m_linkFd >= 0 && ::send(m_linkFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

std::vector<uint8_t> ScriptedSlimPeer::ServerFrame(std::string_view opcode, std::string_view payload) {
    const std::size_t length = opcode.size() + payload.size();
    std::vector<uint8_t> frame(2 + length);
    frame[0] = uint8_t(length >> 8);
    frame[1] = uint8_t(length);
    std::copy(payload.begin(), payload.end(), std::copy(opcode.begin(), opcode.end(), frame.begin() + 2));
    return frame;
}

bool ScriptedSlimPeer::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fds[2] = {{m_linkFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        const int ready = poll(fds, 2, int(std::max<long>(left.count(), 0)));
        if (ready < 0 && errno != EINTR) return false;
        if (ready == 0) return done();
        if (fds[0].revents && !ReadLink()) {
            CloseLink();
            m_playerClosed = true;
        }
        if (fds[1].revents) {
            const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            // What the old link still holds comes first.
            if (m_linkFd >= 0) (void)ReadLink();
            CloseLink();
            m_linkFd = fd;
            m_playerClosed = false;
        }
    }
}

bool ScriptedSlimPeer::ReadLink() {
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(m_linkFd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno == EAGAIN;
        if (n == 0) return false;
        m_partial.insert(m_partial.end(), buffer, buffer + n);
        while (m_partial.size() >= kPlayerHeaderBytes) {
            const std::size_t length = std::size_t(m_partial[4]) << 24 | std::size_t(m_partial[5]) << 16 |
                                       std::size_t(m_partial[6]) << 8 | m_partial[7];
            if (m_partial.size() < kPlayerHeaderBytes + length) break;
            const auto end = m_partial.begin() + std::ptrdiff_t(kPlayerHeaderBytes + length);
            m_frames.push_back({std::string(m_partial.begin(), m_partial.begin() + 4),
                                {m_partial.begin() + kPlayerHeaderBytes, end},
                                {m_partial.begin(), end}});
            m_partial.erase(m_partial.begin(), end);
        }
    }
}
