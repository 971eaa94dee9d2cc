#include "platform/CascadeClientSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

namespace {

// A listening TCP socket on 127.0.0.1 at a free port.
class Listener {
public:
    Listener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(m_fd, 4) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            m_port = ntohs(a.sin_port);
    }
    ~Listener() {
        if (m_peer >= 0) ::close(m_peer);
        if (m_fd >= 0) ::close(m_fd);
    }
    unsigned short Port() const { return m_port; }
    // The accepted connection (waits for it).
    int Peer() {
        if (m_peer < 0) m_peer = ::accept(m_fd, nullptr, nullptr);
        return m_peer;
    }
    void ClosePeer() {
        ::close(Peer());
        m_peer = -1;
    }

private:
    int m_fd = -1;
    int m_peer = -1;
    unsigned short m_port = 0;
};

class CascadeClientSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_listener.Port(), 0);
        ASSERT_TRUE(m_socket.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", m_listener.Port(), 5000));
        ASSERT_GE(m_listener.Peer(), 0);
    }

    Listener m_listener;
    CascadeClientSocket m_socket;
};

// --- receiving ---

// A time-out returns 0 without an error; a receive takes no more than asked.
TEST_F(CascadeClientSocketTest, ReceiveTimesOutQuietlyAndTakesNoMoreThanAsked) {
    char buffer[16] = {};
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer, 20), 0);
    EXPECT_EQ(m_socket.GetLastError(), 0);
    EXPECT_TRUE(m_socket.IsOpen());
    ASSERT_EQ(::send(m_listener.Peer(), "0123456789", 10, 0), 10);
    ASSERT_EQ(m_socket.Receive(buffer, 4, 5000), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    long got = 0;
    while (got < 6) got += m_socket.Receive(buffer + got, sizeof buffer - std::size_t(got), 5000);
    EXPECT_EQ(std::string(buffer, 6), "456789");
}

TEST_F(CascadeClientSocketTest, ClosedPeerReturnsZeroWithAnError) {
    ASSERT_EQ(::send(m_listener.Peer(), "ab", 2, 0), 2);
    m_listener.ClosePeer();
    char buffer[8];
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer, 5000), 2) << "bytes before the close still arrive";
    EXPECT_EQ(m_socket.GetLastError(), 0);
    EXPECT_EQ(m_socket.Receive(buffer, sizeof buffer, 5000), 0);
    EXPECT_NE(m_socket.GetLastError(), 0);
}

TEST_F(CascadeClientSocketTest, ShutdownFromAnotherThreadUnblocksReceive) {
    std::atomic<long> result{-1};
    std::thread reader([&] {
        char buffer[8];
        result = m_socket.Receive(buffer, sizeof buffer, 60000);
    });
    m_socket.Shutdown();
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_NE(m_socket.GetLastError(), 0) << "a shut link must not look like a time-out";
}

TEST_F(CascadeClientSocketTest, OpenAfterShutdownFailsUntilClose) {
    m_socket.Shutdown();
    EXPECT_FALSE(m_socket.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", m_listener.Port(), 5000));
    m_socket.Close();
    EXPECT_TRUE(m_socket.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", m_listener.Port(), 5000));
}

// --- sending ---

TEST_F(CascadeClientSocketTest, SendDeliversEveryByte) {
    std::string frame(200000, '\0');
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = char(i * 7);
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        while (received.size() < frame.size()) {
            const ssize_t n = ::recv(m_listener.Peer(), buffer, sizeof buffer, 0);
            if (n <= 0) break;
            received.append(buffer, std::size_t(n));
        }
    });
    EXPECT_EQ(m_socket.Send(frame.data(), frame.size(), 5000), long(frame.size()));
    reader.join();
    EXPECT_TRUE(received == frame);
}

TEST_F(CascadeClientSocketTest, SendToAPeerThatDoesNotReadTimesOut) {
    const std::string lots(16 * 1024 * 1024, 'x');
    EXPECT_EQ(m_socket.Send(lots.data(), lots.size(), 50), -1);
    EXPECT_EQ(m_socket.GetLastError(), ETIMEDOUT);
}

TEST_F(CascadeClientSocketTest, SendToAClosedPeerFailsWithoutKillingTheProcess) {
    m_listener.ClosePeer();
    const std::string chunk(65536, 'y');
    long result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) result = m_socket.Send(chunk.data(), chunk.size(), 1000);
    EXPECT_EQ(result, -1);
    EXPECT_NE(m_socket.GetLastError(), 0);
}

// --- opening ---

TEST(CascadeClientSocketOpen, ClosedPortFailsAtOnceAndHostNamesAreLookedUp) {
    unsigned short port = 0;
    {
        Listener gone;
        port = gone.Port();
    }
    CascadeClientSocket socket;
    EXPECT_FALSE(socket.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", port, 60000));
    EXPECT_EQ(socket.GetLastError(), ECONNREFUSED);
    EXPECT_FALSE(socket.IsOpen());
    Listener listener;
    EXPECT_TRUE(socket.Open(CascadeClientSocket::kTypeStream, "localhost", listener.Port(), 5000));
}

TEST(CascadeClientSocketOpen, BadArgumentsFail) {
    CascadeClientSocket socket;
    EXPECT_FALSE(socket.Open(2, "127.0.0.1", 1, 100));
    EXPECT_FALSE(socket.Open(CascadeClientSocket::kTypeStream, nullptr, 1, 100));
    EXPECT_FALSE(socket.Open(CascadeClientSocket::kTypeStream, "", 1, 100));
    EXPECT_FALSE(socket.Attach(-1));
    EXPECT_FALSE(socket.IsOpen());
    char byte = 0;
    EXPECT_EQ(socket.Receive(&byte, 1, 0), 0);
    EXPECT_NE(socket.GetLastError(), 0);
    EXPECT_EQ(socket.Send(&byte, 1, 0), -1);
}

// --- attached descriptors ---

TEST(CascadeClientSocketAttach, CarriesBytesBothWaysOverASocketPair) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    CascadeClientSocket socket;
    ASSERT_TRUE(socket.Attach(fds[0]));
    const unsigned char frame[] = {0x00, 0x05, 'v', 'e', 'r', 's', 0x00};
    ASSERT_EQ(socket.Send(frame, sizeof frame, 1000), long(sizeof frame));
    unsigned char seen[16];
    ASSERT_EQ(::recv(fds[1], seen, sizeof seen, 0), ssize_t(sizeof frame));
    EXPECT_EQ(0, std::memcmp(seen, frame, sizeof frame));

    ASSERT_EQ(::send(fds[1], "\xff\x00", 2, 0), 2);
    ASSERT_EQ(socket.Receive(seen, sizeof seen, 1000), 2);
    EXPECT_EQ(seen[0], 0xff);
    EXPECT_EQ(seen[1], 0x00);
    ::close(fds[1]);
    EXPECT_EQ(socket.Receive(seen, sizeof seen, 1000), 0);
    EXPECT_NE(socket.GetLastError(), 0);
}

// Between exchanges: a quiet link and one with bytes waiting are alive; a
// closed one is noticed without waiting and without losing any byte.
TEST(CascadeClientSocketAttach, HasPeerClosedTellsAClosedLinkFromAQuietOne) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    CascadeClientSocket socket;
    ASSERT_TRUE(socket.Attach(fds[0]));
    EXPECT_FALSE(socket.HasPeerClosed()) << "quiet";
    ASSERT_EQ(::write(fds[1], "late\n", 5), 5);
    ::close(fds[1]);
    EXPECT_FALSE(socket.HasPeerClosed()) << "bytes still wait to be read";
    char buffer[8] = {};
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer, 1000), 5);
    EXPECT_EQ(std::string(buffer, 5), "late\n");
    EXPECT_TRUE(socket.HasPeerClosed());
    EXPECT_NE(socket.GetLastError(), 0);
    EXPECT_TRUE(socket.HasPeerClosed()) << "stays closed";
}

TEST(CascadeClientSocketAttach, CloseGivesTheDescriptorBackAndClearsTheError) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    CascadeClientSocket socket;
    ASSERT_TRUE(socket.Attach(fds[0]));
    ::close(fds[1]);
    char byte;
    EXPECT_EQ(socket.Receive(&byte, 1, 1000), 0);
    ASSERT_NE(socket.GetLastError(), 0);
    socket.Close();
    EXPECT_EQ(socket.GetLastError(), 0);
    EXPECT_FALSE(socket.IsOpen());
    errno = 0;
    EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
}

}  // namespace
