// The change listener: notification lines from a socketpair, status reads
// against the simulator, and reconnection after the server drops listeners.
#include "server/SlimCLIListener.h"

#include "server/SlimCLIConnection.h"
#include "support/SlimSimulator.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kMac = "00:04:20:12:34:56";
constexpr const char* kEscaped = "00%3A04%3A20%3A12%3A34%3A56";

// Records every call as one text, e.g. "song Coffee & Rain", "shuffle 1".
class Recorder : public SlimCLIListener::Client {
public:
    explicit Recorder(SlimSimulator* sim = nullptr) : m_sim(sim) {}
    void OnSongChanged(const SongInfo& song) override {
        // The status was read before the client hears of the change.
        if (m_sim) statusReadFirst = !SlimSimulator::JsonStrings(m_sim->Control("cli-lines"), "line").empty();
        Add("song " + std::string(song.title.c_str()));
    }
    void OnPlaylistChanged(const char* change) override { Add(std::string("playlist ") + change); }
    void OnRepeatChanged(uint8_t mode) override { Add("repeat " + std::to_string(mode)); }
    void OnShuffleChanged(uint8_t mode) override { Add("shuffle " + std::to_string(mode)); }

    bool WaitFor(std::size_t count) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return calls.size() >= count; });
    }
    std::vector<std::string> Calls() {
        std::lock_guard lock(m_lock);
        return calls;
    }
    bool statusReadFirst = false;

private:
    void Add(const std::string& call) {
        std::lock_guard lock(m_lock);
        calls.push_back(call);
        m_changed.notify_all();
    }
    SlimSimulator* m_sim;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> calls;
};

class SlimCLIListenerLines : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
        m_server = fds[0];
        m_listener.SetPlayerId(kMac);
        m_listener.RegisterClient(&m_first);
        m_listener.RegisterClient(&m_second);
        m_listener.RegisterClient(&m_first);
        ASSERT_TRUE(m_listener.Attach(fds[1]));
        EXPECT_EQ("listen 1\n", Read(9));
    }
    void TearDown() override {
        m_listener.Disconnect();
        ::close(m_server);
    }
    void Send(const std::string& text) { ASSERT_EQ(ssize_t(text.size()), ::send(m_server, text.data(), text.size(), 0)); }
    std::string Read(std::size_t count) {
        std::string bytes(count, '\0');
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = ::recv(m_server, bytes.data() + got, count - got, 0);
            if (n <= 0) break;
            got += std::size_t(n);
        }
        bytes.resize(got);
        return bytes;
    }
    std::string Line(const std::string& rest) { return std::string(kEscaped) + " " + rest + "\n"; }

    SlimCLIConnection m_unconnected;
    SlimCLIListener m_listener{m_unconnected};
    Recorder m_first, m_second;
    int m_server = -1;
};

using Calls = std::vector<std::string>;

TEST_F(SlimCLIListenerLines, ModesReachEveryClientOnceInOrder) {
    Send(Line("playlist shuffle 1") + Line("playlist repeat 2") + Line("playlist shuffle 0"));
    ASSERT_TRUE(m_second.WaitFor(3));
    EXPECT_EQ((Calls{"shuffle 1", "repeat 2", "shuffle 0"}), m_first.Calls());
    EXPECT_EQ(m_first.Calls(), m_second.Calls());
}

TEST_F(SlimCLIListenerLines, OtherPlayersAndOtherCommandsAreIgnored) {
    Send("00%3A04%3A20%3A99%3A99%3A99 playlist shuffle 1\n");
    Send(Line("mixer volume 50") + Line("power 0") + "rescan done\n" + Line("playlist") + "garbage\n");
    Send("00%3a04%3a20%3a12%3a34%3a56 playlist delete 3\n");
    ASSERT_TRUE(m_second.WaitFor(2));
    EXPECT_EQ((Calls{"playlist ", "playlist delete"}), m_first.Calls());
}

TEST_F(SlimCLIListenerLines, ALineSplitOverTwoReceivesIsHandledOnce) {
    Send(std::string(kEscaped) + " playlist sh");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Send("uffle 2\n");
    ASSERT_TRUE(m_second.WaitFor(1));
    EXPECT_EQ((Calls{"shuffle 2"}), m_first.Calls());
}

TEST_F(SlimCLIListenerLines, AnUnregisteredClientHearsNothingMore) {
    m_listener.UnregisterClient(&m_first);
    Recorder unknown;
    m_listener.UnregisterClient(&unknown);
    Send(Line("playlist repeat 1"));
    ASSERT_TRUE(m_second.WaitFor(1));
    EXPECT_TRUE(m_first.Calls().empty());
}

TEST_F(SlimCLIListenerLines, DisconnectSaysGoodbyeAndReturnsPromptly) {
    const auto before = std::chrono::steady_clock::now();
    m_listener.Disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_EQ("listen 0\nexit\n", Read(14));
}

TEST(SlimCLIListenerSimulator, ASongChangeReadsTheStatusThenTellsEveryClient) {
    SlimSimulator sim;
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(sim.ConnectPlayer(kMac));
    SlimCLIConnection cli;
    cli.SetPlayerId(kMac);
    ASSERT_TRUE(cli.Connect("127.0.0.1", sim.GetPorts().cli));
    cli.PlayPlaylist("14");
    SlimCLIListener listener(cli);
    Recorder first(&sim), second;
    listener.RegisterClient(&first);
    listener.RegisterClient(&second);
    listener.SetPlayerId(kMac);
    ASSERT_TRUE(listener.Connect("127.0.0.1", sim.GetPorts().cli));
    ASSERT_TRUE(sim.WaitForCliLine("listen 1"));
    sim.Control("reset");
    // A command from another connection is notified to listeners.
    sim.Control(std::string("cli ") + kMac + " playlist newsong");
    ASSERT_TRUE(second.WaitFor(1));
    EXPECT_TRUE(first.statusReadFirst);
    EXPECT_EQ((Calls{"song Coffee & Rain"}), first.Calls());
    EXPECT_EQ((Calls{"song Coffee & Rain"}), second.Calls());

    // The server drops its listeners: the listener comes back and listens again.
    sim.Control("reset");
    sim.Control("fault close-listeners");
    ASSERT_TRUE(sim.WaitForCliLine("listen 1"));
    sim.Control(std::string("cli ") + kMac + " playlist shuffle 1");
    ASSERT_TRUE(second.WaitFor(2));
    EXPECT_EQ("shuffle 1", second.Calls().back());

    // A mode toggled elsewhere is notified without its value: the listener
    // reads it from the status.
    sim.Control(std::string("cli ") + kMac + " playlist shuffle 0");
    ASSERT_TRUE(second.WaitFor(3));
    sim.Control(std::string("cli ") + kMac + " playlist shuffle");
    sim.Control(std::string("cli ") + kMac + " playlist repeat");
    ASSERT_TRUE(second.WaitFor(5));
    SlimConnection::PlayerStatus status;
    cli.GetPlayerStatus(status, 0);
    ASSERT_NE(0, status.shuffle);  // both toggles moved their mode on from 0
    ASSERT_NE(0, status.repeat);
    EXPECT_EQ("shuffle " + std::to_string(status.shuffle), second.Calls()[3]);
    EXPECT_EQ("repeat " + std::to_string(status.repeat), second.Calls()[4]);
    listener.Disconnect();
    EXPECT_TRUE(sim.WaitForCliLine("exit"));
}

}  // namespace
