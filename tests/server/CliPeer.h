#pragma once

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <string>

// The server's end of a socketpair whose other end a CLI connection or
// listener was given, driven by the test.
class CliPeer {
public:
    template <typename Link>
    explicit CliPeer(Link& link) {
        int fds[2];
        EXPECT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
        m_fd = fds[0];
        EXPECT_TRUE(link.Attach(fds[1]));
    }
    ~CliPeer() { Close(); }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(ssize_t(bytes.size()), ::send(m_fd, bytes.data(), bytes.size(), 0));
    }
    // One line as the other end wrote it, or whatever is waiting when `wait`
    // is false.
    std::string Read(bool wait = true) {
        std::string bytes;
        char c;
        while (::recv(m_fd, &c, 1, wait ? 0 : MSG_DONTWAIT) == 1) {
            bytes += c;
            if (wait && c == '\n') break;
        }
        return bytes;
    }

private:
    int m_fd = -1;
};
