// The change listener: notification lines from a socketpair, and the
// status reads of a song change or a mode toggled elsewhere against the
// simulator.
#include "server/SlimCLIListener.h"

#include "server/CliPeer.h"
#include "server/SimulatorFixture.h"
#include "support/KeyLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kEscaped = "00%3A04%3A20%3A12%3A34%3A56";
using Calls = std::vector<std::string>;

// Records every call as one text, e.g. "song Coffee & Rain", "shuffle 1".
class Recorder : public SlimCLIListener::Client, public EventLog<std::string> {
public:
    void OnSongChanged(const SongInfo& song) override { Add("song " + std::string(song.title.c_str())); }
    void OnPlaylistChanged(const char* change) override { Add(std::string("playlist ") + change); }
    void OnRepeatChanged(uint8_t mode) override { Add("repeat " + std::to_string(mode)); }
    void OnShuffleChanged(uint8_t mode) override { Add("shuffle " + std::to_string(mode)); }
};

TEST(SlimCLIListenerLines, ThisPlayersChangesReachEveryClientOnceInOrder) {
    SlimCLIConnection unconnected;
    SlimCLIListener listener(unconnected);
    Recorder first, second;
    listener.SetPlayerId(kMac);
    listener.RegisterClient(&first);
    listener.RegisterClient(&second);
    listener.RegisterClient(&first);
    CliPeer peer(listener);
    EXPECT_EQ("listen 1\n", peer.Read());
    const auto line = [](const std::string& rest) { return std::string(kEscaped) + " " + rest + "\n"; };
    peer.Send(line("playlist shuffle 1") + line("playlist repeat 2") +
              "00%3A04%3A20%3A99%3A99%3A99 playlist shuffle 1\n");
    peer.Send(line("mixer volume 50") + line("power 0") + "rescan done\n" + line("playlist") + "garbage\n");
    peer.Send("00%3a04%3a20%3a12%3a34%3a56 playlist delete 3\n" + std::string(kEscaped) + " playlist sh");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.Send("uffle 0\n");
    const Calls expected = {"shuffle 1", "repeat 2", "playlist ", "playlist delete", "shuffle 0"};
    EXPECT_EQ(expected, second.WaitFor(5));
    EXPECT_EQ(expected, first.WaitFor(5));

    // An unregistered client hears nothing more; an unknown one changes nothing.
    listener.UnregisterClient(&first);
    listener.UnregisterClient(nullptr);
    peer.Send(line("playlist repeat 1"));
    EXPECT_EQ("repeat 1", second.WaitFor(6).back());
    EXPECT_EQ(5u, first.WaitFor(0).size());

    const auto before = std::chrono::steady_clock::now();
    listener.Disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_EQ("listen 0\n", peer.Read());
    EXPECT_EQ("exit\n", peer.Read());
}

// A song change hands every client the song of a status read first; a mode
// toggled elsewhere is notified without its value, so it is read from the
// status too.
using SlimCLIListenerSimulator = SlimCLISimulator;

TEST_F(SlimCLIListenerSimulator, ChangesMadeElsewhereAreReadFromTheStatus) {
    m_cli.PlayPlaylist("14");
    SlimCLIListener listener(m_cli);
    Recorder recorder;
    listener.RegisterClient(&recorder);
    listener.SetPlayerId(kMac);
    ASSERT_TRUE(listener.Connect("127.0.0.1", m_sim.GetPorts().cli));
    ASSERT_TRUE(m_sim.WaitForCliLine("listen 1"));
    for (const char* command : {" playlist newsong", " playlist shuffle", " playlist repeat"})
        m_sim.Control(std::string("cli ") + kMac + command);
    const Calls calls = recorder.WaitFor(3);
    SlimConnection::PlayerStatus status;
    m_cli.GetPlayerStatus(status, 0);
    ASSERT_NE(0, status.shuffle);  // both toggles moved their mode on from 0
    ASSERT_NE(0, status.repeat);
    EXPECT_EQ((Calls{"song Coffee & Rain", "shuffle " + std::to_string(status.shuffle),
                     "repeat " + std::to_string(status.repeat)}),
              calls);
    listener.Disconnect();
    EXPECT_TRUE(m_sim.WaitForCliLine("exit"));
}

}  // namespace
