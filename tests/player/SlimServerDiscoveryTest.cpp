#include "player/SlimServer.h"

#include "player/EUtilsNetwork.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A discovery answerer on 127.0.0.1: takes one request and answers the
// sender with each of `replies` in turn.
class LoopbackResponder {
public:
    explicit LoopbackResponder(std::vector<Bytes> replies) : m_replies(std::move(replies)) {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { AnswerOne(); });
    }
    ~LoopbackResponder() {
        if (m_thread.joinable()) m_thread.join();
        if (m_fd >= 0) ::close(m_fd);
    }
    unsigned short GetPort() const { return m_port; }
    // The request as received; valid after the discovery returned.
    Bytes TakeRequest() {
        if (m_thread.joinable()) m_thread.join();
        return m_request;
    }

private:
    void AnswerOne() {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) return;
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        uint8_t buffer[512];
        const ssize_t n = recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
        if (n <= 0) return;
        m_request.assign(buffer, buffer + n);
        for (const Bytes& reply : m_replies)
            (void)sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&sender), length);
    }

    std::vector<Bytes> m_replies;
    int m_fd = -1;
    unsigned short m_port = 0;
    std::thread m_thread;
    Bytes m_request;
};

}  // namespace

// --- Discovery (aimed at loopback; the broadcast itself is tested in its
// own network namespace by tests/e2e) ---

TEST(SlimServerTest, DiscoverySkipsOtherRepliesAndTakesTheSenderOfTheFirstD) {
    Bytes named(18, 0);
    named[0] = 'D';
    std::copy_n("musicbox", 8, named.begin() + 1);
    LoopbackResponder responder({Text("Eno"), named, Text("Dlater")});
    ASSERT_NE(responder.GetPort(), 0);
    EXPECT_EQ(SlimServer::FindSlimServer("127.0.0.1", responder.GetPort()), "127.0.0.1");
    const Bytes request = responder.TakeRequest();
    ASSERT_EQ(request.size(), 18u);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 12), (Bytes{0x64, 0, 2, 0x17, 0, 0, 0, 0, 0, 0, 0, 0}));
    std::array<uint8_t, 6> mac{};
    (void)EUtils::GetMACAddress(mac.data());
    EXPECT_EQ(Bytes(request.begin() + 12, request.end()), Bytes(mac.begin(), mac.end()));
}

TEST(SlimServerTest, DiscoveryRefusesAnAddressThatIsNotDottedIpv4) {
    EXPECT_EQ(SlimServer::FindSlimServer("server.local", 3483), "");
    EXPECT_EQ(SlimServer::FindSlimServer(nullptr, 3483), "");
}
