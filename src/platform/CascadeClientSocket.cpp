#include "platform/CascadeClientSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineAfter(unsigned long timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : int(left);
}

// 1 when `fd` is ready for `events`, 0 when the deadline passed, -1 on an
// error (errno set). Signals do not cut the wait short.
int WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = poll(&p, 1, MillisecondsLeft(deadline));
        if (r > 0) return 1;
        if (r == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

}  // namespace

CascadeClientSocket::~CascadeClientSocket() { Close(); }

bool CascadeClientSocket::Open(int type, const char* host, unsigned short port, unsigned long timeoutMs) {
    // Unlike Close, a pending Shutdown stays in force.
    CloseDescriptor();
    if (type != kTypeStream || !host || !*host) {
        std::fprintf(stderr, "socket: cannot open type %d to \"%s\": only TCP to a named host is supported\n",
                     type, host ? host : "");
        Fail(EINVAL);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int lookup = getaddrinfo(host, service.c_str(), &hints, &found);
    AddrInfoList list(found);
    if (lookup != 0) {
        std::fprintf(stderr, "socket: %s: %s\n", host, gai_strerror(lookup));
        Fail(EHOSTUNREACH);
        return false;
    }
    const auto deadline = DeadlineAfter(timeoutMs);
    int error = ETIMEDOUT;
    for (addrinfo* a = list.get(); a; a = a->ai_next) {
        error = ConnectOne(a->ai_addr, unsigned(a->ai_addrlen), a->ai_family,
                           (unsigned long)MillisecondsLeft(deadline));
        if (error == 0) {
            m_lastOpenError = 0;
            return true;
        }
        if (error == ECANCELED) break;
    }
    // An owner that retries every few seconds hears about each new reason once.
    if (error != m_lastOpenError)
        std::fprintf(stderr, "socket: %s port %u: %s\n", host, unsigned(port), std::strerror(error));
    m_lastOpenError = error;
    Fail(error);
    return false;
}

// 0 when connected (the descriptor is then ours), else the errno value.
int CascadeClientSocket::ConnectOne(const void* address, unsigned addressLength, int family,
                                    unsigned long timeoutMs) {
    const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    {
        std::lock_guard<std::mutex> lock(m_fdLock);
        m_connectingFd.store(fd);
    }
    int error = 0;
    if (m_shutdown.load()) {
        error = ECANCELED;
    } else if (connect(fd, static_cast<const sockaddr*>(address), socklen_t(addressLength)) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            const int ready = WaitFor(fd, POLLOUT, DeadlineAfter(timeoutMs));
            socklen_t size = sizeof error;
            if (ready == 0) error = ETIMEDOUT;
            else if (ready < 0) error = errno;
            else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        }
    }
    // A Shutdown during the wait can leave a socket that reports no error
    // but is no longer connected.
    if (error == 0 && m_shutdown.load()) error = ECANCELED;
    {
        std::lock_guard<std::mutex> lock(m_fdLock);
        m_connectingFd.store(-1);
    }
    if (error != 0) {
        ::close(fd);
        return error;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    SetDescriptor(fd);
    return 0;
}

bool CascadeClientSocket::Attach(int fd) {
    Close();
    if (fd < 0) {
        std::fprintf(stderr, "socket: cannot attach descriptor %d\n", fd);
        Fail(EBADF);
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    SetDescriptor(fd);
    return true;
}

void CascadeClientSocket::SetDescriptor(int fd) {
    std::lock_guard<std::mutex> lock(m_fdLock);
    m_fd.store(fd);
    m_lastError.store(0);
}

long CascadeClientSocket::Send(const void* buffer, std::size_t length, unsigned long timeoutMs) {
    const int fd = m_fd.load();
    if (fd < 0) {
        Fail(ENOTCONN);
        return -1;
    }
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const auto deadline = DeadlineAfter(timeoutMs);
    std::size_t sent = 0;
    while (sent < length) {
        const ssize_t n = ::send(fd, bytes + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            Fail(errno);
            return -1;
        }
        const int ready = WaitFor(fd, POLLOUT, deadline);
        if (ready <= 0) {
            Fail(ready == 0 ? ETIMEDOUT : errno);
            return -1;
        }
    }
    return long(length);
}

long CascadeClientSocket::Receive(void* buffer, std::size_t length, unsigned long timeoutMs) {
    const int fd = m_fd.load();
    if (fd < 0) {
        Fail(ENOTCONN);
        return 0;
    }
    if (length == 0) return 0;
    const auto deadline = DeadlineAfter(timeoutMs);
    for (;;) {
        const int ready = WaitFor(fd, POLLIN, deadline);
        if (ready == 0) return 0;
        if (ready < 0) {
            Fail(errno);
            return 0;
        }
        const ssize_t n = ::recv(fd, buffer, length, MSG_DONTWAIT);
        if (n > 0) return long(n);
        if (n == 0) {
            Fail(ECONNRESET);
            return 0;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            Fail(errno);
            return 0;
        }
    }
}

bool CascadeClientSocket::HasPeerClosed() {
    const int fd = m_fd.load();
    if (fd < 0 || m_lastError.load() != 0) return m_lastError.load() != 0;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return false;  // nothing waiting: the link is quiet, not closed
    if (p.revents & (POLLERR | POLLNVAL)) {
        Fail(ECONNRESET);
        return true;
    }
    char byte = 0;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        Fail(n == 0 ? ECONNRESET : errno);
        return true;
    }
    return false;  // bytes wait to be read: the link is alive
}

void CascadeClientSocket::Close() {
    CloseDescriptor();
    m_shutdown.store(false);
}

void CascadeClientSocket::CloseDescriptor() {
    std::lock_guard<std::mutex> lock(m_fdLock);
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) ::close(fd);
    m_lastError.store(0);
}

void CascadeClientSocket::ShutdownSending() {
    std::lock_guard<std::mutex> lock(m_fdLock);
    if (const int fd = m_fd.load(); fd >= 0) ::shutdown(fd, SHUT_WR);
}

void CascadeClientSocket::Shutdown() {
    m_shutdown.store(true);
    // shutdown() does not block, so holding the lock across it is harmless.
    std::lock_guard<std::mutex> lock(m_fdLock);
    if (const int fd = m_fd.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
    if (const int fd = m_connectingFd.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
}
