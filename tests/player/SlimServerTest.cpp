#include "player/SlimServer.h"

#include "app/base/AppLog.h"
#include "player/EUtilsNetwork.h"
#include "support/ScriptedSlimPeer.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// Records what the link reports, in order. Optionally says hello on every
// connect, from the reader thread, the way the player does.
class RecordingClient : public SlimServer::Client {
public:
    struct Command {
        std::string opcode;
        Bytes payload;
    };

    explicit RecordingClient(SlimServer* helloOnConnect = nullptr) : m_server(helloOnConnect) {}

    void OnSlimServerCommand(const char* opcode, unsigned char* data, unsigned long length) override {
        std::lock_guard lock(m_lock);
        m_commands.push_back({opcode, Bytes(data, data + length)});
        m_events.push_back(std::string("command ") + opcode);
        m_changed.notify_all();
    }
    void OnSlimServerConnected() override {
        if (m_server) (void)m_server->SendHello(false);
        Record("connected");
    }
    void OnSlimServerDisconnected() override { Record("disconnected"); }

    bool WaitForEvents(std::size_t count, std::chrono::milliseconds timeout = 15s) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
    }
    bool WaitForCommands(std::size_t count, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return m_commands.size() >= count; });
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(m_lock);
        return m_events;
    }
    std::vector<Command> Commands() {
        std::lock_guard lock(m_lock);
        return m_commands;
    }

private:
    void Record(const char* event) {
        std::lock_guard lock(m_lock);
        m_events.emplace_back(event);
        m_changed.notify_all();
    }

    SlimServer* m_server;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_events;
    std::vector<Command> m_commands;
};

std::array<uint8_t, 6> ExpectedMac() {
    std::array<uint8_t, 6> mac{};
    (void)EUtils::GetMACAddress(mac.data());
    return mac;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A connected link with a client that has seen the connection.
class SlimServerLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.Listen());
        m_server.RegisterClient(&m_client);
        ASSERT_TRUE(m_server.Connect("127.0.0.1", m_peer.GetPort()));
        ASSERT_TRUE(m_peer.WaitForAcceptCount(1));
        ASSERT_TRUE(m_client.WaitForEvents(1));
    }
    void TearDown() override { m_server.Disconnect(); }

    void SayHello() {
        ASSERT_TRUE(m_server.SendHello(false));
        auto hello = m_peer.NextFrame();
        ASSERT_TRUE(hello);
        ASSERT_EQ(hello->opcode, "HELO");
    }

    ScriptedSlimPeer m_peer;
    RecordingClient m_client;
    SlimServer m_server;
};

// Echoed log lines of one test, read back from a temporary file.
class EchoCapture {
public:
    EchoCapture() : m_file(std::tmpfile()) { AppLog::SetEchoStream(m_file); }
    ~EchoCapture() {
        AppLog::SetEchoStream(stdout);
        std::fclose(m_file);
    }
    std::string Text() {
        std::string text;
        std::rewind(m_file);
        char chunk[512];
        while (std::size_t n = std::fread(chunk, 1, sizeof chunk, m_file)) text.append(chunk, n);
        return text;
    }

private:
    FILE* m_file;
};

}  // namespace

// --- Player to server: framing and message payloads ---

// The last word tells the server whether the player is playing.
TEST_F(SlimServerLinkTest, HelloFrameCarriesDeviceRevisionMacAndDisplayWord) {
    const auto mac = ExpectedMac();
    for (const bool playing : {false, true}) {
        ASSERT_TRUE(m_server.SendHello(playing));
        auto frame = m_peer.NextFrame();
        ASSERT_TRUE(frame);
        const Bytes expected{'H', 'E', 'L', 'O', 0, 0, 0, 10, 3, 0, mac[0], mac[1], mac[2], mac[3], mac[4], mac[5],
                             uint8_t(playing ? 0xC0 : 0x80), 0x00};
        EXPECT_EQ(frame->wire, expected);
    }
}

TEST_F(SlimServerLinkTest, NothingButHelloGoesOutBeforeASuccessfulHello) {
    StatusPacket status;
    EXPECT_FALSE(m_server.SendStatus(status));
    EXPECT_FALSE(m_server.SendIR(0xF701));
    EXPECT_FALSE(m_server.SendDSCO(0));
    EXPECT_FALSE(m_server.SendANIC());
    EXPECT_FALSE(m_server.SendBye());
    SayHello();  // the first frame on the wire is the HELO
    EXPECT_TRUE(m_server.SendStatus(status));
    auto frame = m_peer.NextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->opcode, "STAT");
}

TEST(SlimServerTest, AnEmptyHostIsRefusedAndNothingGoesOutWithoutALink) {
    SlimServer server;
    EXPECT_FALSE(server.Connect("", 3483));
    EXPECT_FALSE(server.Connect(nullptr, 3483));
    EXPECT_FALSE(server.IsConnected());
    EXPECT_FALSE(server.SendHello(false));
    EXPECT_FALSE(server.SendIR(1));
    EXPECT_TRUE(server.Disconnect());
}

// The frame carries the packet's wire form unchanged (its layout is
// StatusPacketTest's) behind a length of 41.
TEST_F(SlimServerLinkTest, StatusFrameCarriesThePacketsFortyOneBytes) {
    SayHello();
    StatusPacket status;
    status.eventCode = {'S', 'T', 'M', 's'};
    status.bytesRx = 0x0102030405060708ull;
    status.elapsedSeconds = 0x0A0B0C0D;
    ASSERT_TRUE(m_server.SendStatus(status));
    auto frame = m_peer.NextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(Bytes(frame->wire.begin(), frame->wire.begin() + 8), Text(std::string("STAT\0\0\0\x29", 8)));
    const auto wire = SerializeStatusPacket(status);
    EXPECT_EQ(frame->payload, Bytes(wire.begin(), wire.end()));
}

TEST_F(SlimServerLinkTest, IrPayloadIsTimeThenTwoOnesThenCode) {
    SayHello();
    ASSERT_TRUE(m_server.SendIR(0x768910EF));
    const unsigned long after = m_server.GetRunningMilliseconds();
    auto frame = m_peer.NextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->opcode, "IR  ");
    ASSERT_EQ(frame->payload.size(), 10u);
    const auto& p = frame->payload;
    const unsigned long stamp = (unsigned long)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3];
    EXPECT_LE(stamp, after);
    EXPECT_EQ(Bytes(p.begin() + 4, p.end()), (Bytes{1, 1, 0x76, 0x89, 0x10, 0xEF}));
}

TEST_F(SlimServerLinkTest, DscoCarriesTheReasonAndAnicIsEmpty) {
    SayHello();
    EchoCapture echo;
    ASSERT_TRUE(m_server.SendDSCO(3));
    ASSERT_TRUE(m_server.SendANIC());
    auto dsco = m_peer.NextFrame();
    auto anic = m_peer.NextFrame();
    ASSERT_TRUE(dsco && anic);
    EXPECT_EQ(dsco->wire, (Bytes{'D', 'S', 'C', 'O', 0, 0, 0, 1, 3}));
    EXPECT_EQ(anic->wire, (Bytes{'A', 'N', 'I', 'C', 0, 0, 0, 0}));
    EXPECT_NE(echo.Text().find("sending DSCO: 3\n"), std::string::npos);
}

TEST_F(SlimServerLinkTest, ByeIsSentThenTheLinkClosesForGood) {
    SayHello();
    ASSERT_TRUE(m_server.SendBye());
    auto bye = m_peer.NextFrame();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->wire, (Bytes{'B', 'Y', 'E', '!', 0, 0, 0, 0}));
    EXPECT_TRUE(m_peer.WaitForPlayerClose());
    EXPECT_FALSE(m_server.IsConnected());
    EXPECT_FALSE(m_server.SendIR(1));
}

TEST_F(SlimServerLinkTest, FramesFromManyThreadsNeverInterleave) {
    SayHello();
    constexpr int kThreads = 4;
    constexpr int kFramesEach = 150;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([this, t] {
            StatusPacket status;
            status.eventCode = {'S', 'T', 'M', char('a' + t)};
            for (int i = 0; i < kFramesEach; ++i) EXPECT_TRUE(m_server.SendStatus(status));
        });
    }
    for (auto& s : senders) s.join();
    for (int i = 0; i < kThreads * kFramesEach; ++i) {
        auto frame = m_peer.NextFrame();
        ASSERT_TRUE(frame) << "frame " << i;
        ASSERT_EQ(frame->opcode, "STAT");
        ASSERT_EQ(frame->payload.size(), 41u);
        ASSERT_EQ(std::string(frame->payload.begin(), frame->payload.begin() + 3), "STM");
    }
}

// --- Server to player: frames, delivery and the link's life ---

TEST_F(SlimServerLinkTest, CommandsReachEveryClientInOrderWithTheirPayload) {
    RecordingClient second;
    m_server.RegisterClient(&second);
    Bytes burst = ScriptedSlimPeer::ServerFrame("aude", {1, 1});
    const Bytes strm = ScriptedSlimPeer::ServerFrame("strm", Text("t0m????"));
    const Bytes empty = ScriptedSlimPeer::ServerFrame("visu", {});
    burst.insert(burst.end(), strm.begin(), strm.end());
    burst.insert(burst.end(), empty.begin(), empty.end());
    ASSERT_TRUE(m_peer.SendRaw(burst));  // one write: the reader must cut it
    ASSERT_TRUE(m_client.WaitForCommands(2));
    ASSERT_TRUE(second.WaitForCommands(2));
    const auto commands = m_client.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].opcode, "aude");
    EXPECT_EQ(commands[0].payload, (Bytes{1, 1}));
    EXPECT_EQ(commands[1].opcode, "strm");
    EXPECT_EQ(commands[1].payload, Text("t0m????"));
    EXPECT_EQ(second.Commands().size(), 2u);
    m_server.UnregisterClient(&second);
}

TEST_F(SlimServerLinkTest, FrameArrivingInPiecesIsDeliveredWhole) {
    const Bytes frame = ScriptedSlimPeer::ServerFrame("setd", Text("Living Room"));
    for (std::size_t at = 0; at < frame.size(); at += 3) {
        ASSERT_TRUE(m_peer.SendRaw(Bytes(frame.begin() + at, frame.begin() + std::min(at + 3, frame.size()))));
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(m_client.WaitForCommands(1));
    EXPECT_EQ(m_client.Commands()[0].payload, Text("Living Room"));
}

// In one write: a frame of length 0 (skipped), one larger than the
// 2,048-byte buffer (skipped, logged, the link stays), one filling the buffer
// exactly, and the version in either case.
TEST_F(SlimServerLinkTest, OddSizedFramesAreSkippedOrDeliveredAndTheVersionIsKept) {
    EchoCapture echo;
    const Bytes full(2048 - 4, 0xAB);
    Bytes bytes{0, 0};
    for (const Bytes& frame : {ScriptedSlimPeer::ServerFrame("big!", Bytes(3000 - 4, 0x5A)),
                               ScriptedSlimPeer::ServerFrame("grfe", full),
                               ScriptedSlimPeer::ServerFrame("VERS", Text("6.5.5"))})
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    ASSERT_TRUE(m_peer.SendRaw(bytes));
    ASSERT_TRUE(m_client.WaitForCommands(2));
    auto commands = m_client.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].opcode, "grfe");
    EXPECT_EQ(commands[0].payload, full);
    EXPECT_EQ(commands[1].opcode, "VERS");
    EXPECT_EQ(m_server.GetServerVersion(), "6.5.5");
    EXPECT_NE(echo.Text().find("slimproto: skipping frame \"big!\" of 3000 bytes"), std::string::npos);
    ASSERT_TRUE(m_peer.SendRaw(ScriptedSlimPeer::ServerFrame("vers", Text("7.0"))));
    ASSERT_TRUE(m_client.WaitForCommands(3));
    EXPECT_EQ(m_server.GetServerVersion(), "7.0");
    EXPECT_EQ(m_client.Events().size(), 4u);  // connected and the three commands; no disconnect
}

// A frame holding only its opcode, or one cut short by the server closing.
TEST_F(SlimServerLinkTest, OpcodeOnlyFrameDropsAndRebuildsTheLink) {
    ASSERT_TRUE(m_peer.SendRaw(ScriptedSlimPeer::ServerFrame("strm", {})));
    ASSERT_TRUE(m_client.WaitForEvents(3));
    EXPECT_EQ(m_client.Events(), (std::vector<std::string>{"connected", "disconnected", "connected"}));
    EXPECT_TRUE(m_peer.WaitForAcceptCount(2));
    ASSERT_TRUE(m_peer.SendRaw(Bytes{0, 10, 's', 't', 'r', 'm', 'q', '0', 'm'}));  // 7 of 10
    m_peer.CloseLink();
    ASSERT_TRUE(m_client.WaitForEvents(5));
    EXPECT_EQ(m_client.Events().back(), "connected");
    EXPECT_TRUE(m_client.Commands().empty());
}

TEST_F(SlimServerLinkTest, ClosedPeerLeadsToTheRetryPathNotASpin) {
    m_peer.StopListening();
    ASSERT_TRUE(m_client.WaitForEvents(2));
    EXPECT_EQ(m_client.Events().back(), "disconnected");
    // A reader spinning on empty reads would burn a whole core here.
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(1s);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    auto cpuMs = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000L + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000L;
    };
    EXPECT_LT(cpuMs(after) - cpuMs(before), 300L);
    EXPECT_EQ(m_client.Events().size(), 2u);
}

TEST_F(SlimServerLinkTest, ReconnectsAndSaysHelloAgainAfterThePeerRestarts) {
    RecordingClient greeter(&m_server);
    // A callback under way may outlast UnregisterClient: only Disconnect
    // makes it safe for the greeter to die.
    struct DisconnectFirst {
        SlimServer& server;
        ~DisconnectFirst() { server.Disconnect(); }
    } disconnectFirst{m_server};
    m_server.RegisterClient(&greeter);
    const unsigned short port = m_peer.GetPort();
    m_peer.StopListening();
    ASSERT_TRUE(m_client.WaitForEvents(2));
    ASSERT_TRUE(m_peer.Listen(port));
    ASSERT_TRUE(m_client.WaitForEvents(3));
    EXPECT_EQ(m_client.Events().back(), "connected");
    auto hello = m_peer.NextFrame();
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->opcode, "HELO");
}

// A first open that fails keeps the reader retrying; Disconnect during its
// 5 s wait returns at once, and once a server is there the link comes up.
TEST(SlimServerTest, AFailedFirstOpenKeepsRetryingAndDisconnectEndsTheWaitPromptly) {
    ScriptedSlimPeer peer;
    ASSERT_TRUE(peer.Listen());
    const unsigned short port = peer.GetPort();
    peer.StopListening();
    SlimServer waiting;
    EXPECT_FALSE(waiting.Connect("127.0.0.1", port));
    std::this_thread::sleep_for(200ms);  // the reader is now waiting out its 5 s delay
    const auto start = std::chrono::steady_clock::now();
    waiting.Disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

    RecordingClient client;
    SlimServer server;
    server.RegisterClient(&client);
    EXPECT_FALSE(server.Connect("127.0.0.1", port));
    ASSERT_TRUE(peer.Listen(port));
    ASSERT_TRUE(client.WaitForEvents(1));
    EXPECT_EQ(client.Events().front(), "connected");
    server.Disconnect();
}

TEST_F(SlimServerLinkTest, DisconnectWhileTheReaderWaitsForDataReturnsPromptly) {
    const auto start = std::chrono::steady_clock::now();
    m_server.Disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(m_peer.WaitForPlayerClose());
    EXPECT_FALSE(m_server.IsConnected());
}

TEST_F(SlimServerLinkTest, PlayerIdIsTheMacInLowerCaseHex) {
    const auto mac = ExpectedMac();
    char expected[18];
    std::snprintf(expected, sizeof expected, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    EXPECT_EQ(m_server.GetPlayerId(), expected);
}
