#include "player/SlimServer.h"

#include "player/EUtilsNetwork.h"
#include "support/KeyLog.h"
#include "support/ScriptedSlimPeer.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Events = std::vector<std::string>;

// Records what the link reports, in order ("connected", "disconnected", or
// the opcode and payload of a command).
class RecordingClient : public SlimServer::Client {
public:
    void OnSlimServerCommand(const char* opcode, unsigned char* data, unsigned long length) override {
        events.Add(opcode + std::string(": ") + std::string(data, data + length));
    }
    void OnSlimServerConnected() override { events.Add("connected"); }
    void OnSlimServerDisconnected() override { events.Add("disconnected"); }

    EventLog<std::string> events;
};

// A connected link with a client that has seen the connection.
class SlimServerLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.Listen());
        m_server.RegisterClient(&m_client);
        ASSERT_TRUE(m_server.Connect("127.0.0.1", m_peer.GetPort()));
        ASSERT_EQ(m_client.events.WaitFor(1).size(), 1u);
    }
    void TearDown() override { m_server.Disconnect(); }
    Bytes Wire() {
        auto frame = m_peer.NextFrame();
        return frame ? frame->wire : Bytes{};
    }

    ScriptedSlimPeer m_peer;
    RecordingClient m_client;
    SlimServer m_server;
};

}  // namespace

// Every message the player sends, in the order a session may send them.
TEST_F(SlimServerLinkTest, PlayerFramesCountOnlyThePayloadAndNothingButHelloGoesFirst) {
    StatusPacket status;  // none of these goes out before HELO
    EXPECT_FALSE(m_server.SendStatus(status) || m_server.SendIR(0xF701) || m_server.SendDSCO(0) ||
                 m_server.SendANIC() || m_server.SendBye());

    // Device 3, revision 0, the MAC, and a last word that says whether the
    // player is playing.
    std::array<uint8_t, 6> mac{};
    (void)EUtils::GetMACAddress(mac.data());
    for (const bool playing : {false, true}) {
        ASSERT_TRUE(m_server.SendHello(playing));
        EXPECT_EQ(Wire(), (Bytes{'H', 'E', 'L', 'O', 0, 0, 0, 10, 3, 0, mac[0], mac[1], mac[2], mac[3], mac[4], mac[5],
                                 uint8_t(playing ? 0xC0 : 0x80), 0x00}));
    }

    // The STAT frame carries the packet's wire form unchanged behind a
    // length of 41, also when several threads send at once.
    status.eventCode = {'S', 'T', 'M', 's'};
    status.bytesRx = 0x0102030405060708ull;
    const auto packet = SerializeStatusPacket(status);
    Bytes stat{'S', 'T', 'A', 'T', 0, 0, 0, 41};
    stat.insert(stat.end(), packet.begin(), packet.end());
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([&] {
            for (int i = 0; i < 100; ++i) EXPECT_TRUE(m_server.SendStatus(status));
        });
    for (auto& s : senders) s.join();
    for (int i = 0; i < 400; ++i) ASSERT_EQ(Wire(), stat) << "frame " << i;

    // IR: time stamp, two ones, the code.
    ASSERT_TRUE(m_server.SendIR(0x768910EF));
    const unsigned long after = m_server.GetRunningMilliseconds();
    Bytes ir = Wire();
    ASSERT_EQ(ir.size(), 18u);
    EXPECT_LE((unsigned long)ir[8] << 24 | ir[9] << 16 | ir[10] << 8 | ir[11], after);
    ir.erase(ir.begin() + 8, ir.begin() + 12);
    EXPECT_EQ(ir, (Bytes{'I', 'R', ' ', ' ', 0, 0, 0, 10, 1, 1, 0x76, 0x89, 0x10, 0xEF}));
    ASSERT_TRUE(m_server.SendDSCO(3));
    EXPECT_EQ(Wire(), (Bytes{'D', 'S', 'C', 'O', 0, 0, 0, 1, 3}));
    ASSERT_TRUE(m_server.SendANIC());
    EXPECT_EQ(Wire(), (Bytes{'A', 'N', 'I', 'C', 0, 0, 0, 0}));

    // BYE! goes out, then the link closes for good.
    ASSERT_TRUE(m_server.SendBye());
    EXPECT_EQ(Wire(), (Bytes{'B', 'Y', 'E', '!', 0, 0, 0, 0}));
    EXPECT_TRUE(m_peer.WaitForPlayerClose());
    EXPECT_FALSE(m_server.IsConnected());
    EXPECT_FALSE(m_server.SendIR(1));
}

// After the goodbye nothing goes out, so a sender on another thread cannot
// break the link: the server's answers still arrive, and the link ends with
// the player's FIN behind BYE!, not with a reset that could cost the goodbye.
TEST(SlimServerGoodbyeTest, SendsAreRefusedAfterTheGoodbyeAndTheLinkWaitsForTheServer) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    SlimServer server;
    RecordingClient client;
    server.RegisterClient(&client);
    ASSERT_TRUE(server.Connect("127.0.0.1", ntohs(address.sin_port)));
    const int link = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_EQ(client.events.WaitFor(1).size(), 1u);
    ASSERT_TRUE(server.SendHello(false));

    std::thread goodbye([&] { EXPECT_TRUE(server.SendBye()); });
    std::thread sender([&] {
        while (server.SendIR(0x768910EF)) std::this_thread::sleep_for(1ms);
    });
    sender.join();  // refused from the goodbye on
    std::size_t events = 1;
    for (const char* version : {"7.0", "7.1"}) {  // the reader reads on until the server closes
        const Bytes vers = ScriptedSlimPeer::ServerFrame("vers", version);
        ASSERT_EQ(::send(link, vers.data(), vers.size(), MSG_NOSIGNAL), ssize_t(vers.size()));
        EXPECT_EQ(client.events.WaitFor(++events).back(), "vers: " + std::string(version));
    }
    std::string received;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(link, buffer, sizeof buffer, 0)) > 0) received.append(buffer, std::size_t(n));
    EXPECT_EQ(n, 0) << "the link was reset";
    EXPECT_TRUE(received.ends_with(std::string("BYE!\0\0\0\0", 8)));
    ::close(link);
    goodbye.join();
    EXPECT_EQ(client.events.WaitFor(4), (Events{"connected", "vers: 7.0", "vers: 7.1", "disconnected"}));
    server.Disconnect();
    ::close(listener);
}

// In one write: a frame of length 0 (skipped), one larger than the 2,048-byte
// buffer (skipped, the link stays), two commands, one filling the buffer
// exactly, the version in capitals; then a frame in pieces and the version
// in lower case. A second client sees the same.
TEST_F(SlimServerLinkTest, ServerFramesAreCutSkippedOrDeliveredToEveryClient) {
    RecordingClient second;
    m_server.RegisterClient(&second);
    const std::string full(2048 - 4, 'f');
    Bytes bytes{0, 0};
    for (const auto& [opcode, payload] :
         {std::pair("big!", std::string(3000 - 4, 'Z')), std::pair("aude", std::string("\x01\x01")),
          std::pair("strm", std::string("t0m????")), std::pair("grfe", full),
          std::pair("VERS", std::string("6.5.5"))}) {
        const Bytes frame = ScriptedSlimPeer::ServerFrame(opcode, payload);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(m_peer.SendRaw(bytes));
    EXPECT_EQ(m_client.events.WaitFor(5).size(), 5u);
    EXPECT_EQ(m_server.GetServerVersion(), "6.5.5");

    const Bytes frame = ScriptedSlimPeer::ServerFrame("setd", "Living Room");
    for (std::size_t at = 0; at < frame.size(); at += 3) {
        ASSERT_TRUE(m_peer.SendRaw(Bytes(frame.begin() + at, frame.begin() + std::min(at + 3, frame.size()))));
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(m_peer.SendRaw(ScriptedSlimPeer::ServerFrame("vers", "7.0")));
    const Events expected{"connected",   "aude: \x01\x01",    "strm: t0m????", "grfe: " + full,
                          "VERS: 6.5.5", "setd: Living Room", "vers: 7.0"};
    EXPECT_EQ(m_client.events.WaitFor(7), expected);
    EXPECT_EQ(m_server.GetServerVersion(), "7.0");
    EXPECT_EQ(second.events.WaitFor(6), Events(expected.begin() + 1, expected.end()));
    m_server.UnregisterClient(&second);
}

// A frame holding only its opcode, or one cut short by the server closing,
// drops the link and it is rebuilt. The peer going away leads to the 5 s
// retry wait, not a reader spinning on empty reads; the link comes back when
// the peer listens again; Disconnect during the retry wait returns at once.
TEST_F(SlimServerLinkTest, TheLinkIsRebuiltAfterMalformedFramesAndPeerRestartsWithoutSpinning) {
    ASSERT_TRUE(m_peer.SendRaw(ScriptedSlimPeer::ServerFrame("strm", "")));
    EXPECT_EQ(m_client.events.WaitFor(3), (Events{"connected", "disconnected", "connected"}));
    ASSERT_TRUE(m_peer.SendRaw(Bytes{0, 10, 's', 't', 'r', 'm', 'q', '0', 'm'}));  // 7 of 10
    m_peer.CloseLink();
    EXPECT_EQ(m_client.events.WaitFor(5).back(), "connected");

    const unsigned short port = m_peer.GetPort();
    m_peer.StopListening();
    EXPECT_EQ(m_client.events.WaitFor(6).back(), "disconnected");
    const std::clock_t before = std::clock();  // the process's CPU time
    std::this_thread::sleep_for(1s);
    EXPECT_LT(std::clock() - before, CLOCKS_PER_SEC / 10);
    EXPECT_EQ(m_client.events.WaitFor(0).size(), 6u);
    ASSERT_TRUE(m_peer.Listen(port));
    EXPECT_EQ(m_client.events.WaitFor(7).back(), "connected");
    ASSERT_TRUE(m_server.SendHello(true));
    EXPECT_EQ(Wire().at(16), 0xC0);

    m_peer.StopListening();
    EXPECT_EQ(m_client.events.WaitFor(8).back(), "disconnected");
    std::this_thread::sleep_for(200ms);  // the reader is now waiting out its 5 s delay
    const auto start = std::chrono::steady_clock::now();
    m_server.Disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}
