#include "player/QuendrelPlayer.h"

#include "app/base/AppSettings.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedSlimPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using R = CascadeAudioPlayer::PlaybackResult;

// The player against a scripted server end; no audio plays here (SDL's
// dummy driver), these tests look at the reports and the state only.
class QuendrelPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.Listen());
        ASSERT_TRUE(m_web.Start());
        // Raw PCM that stalls after a while with the line open: enough for
        // the audio player to begin playback.
        m_web.Route("/a.wav", LocalHttpServer::Stalling(std::string(2000000, '\0'), 800000));
        g_portProto = std::to_string(m_peer.GetPort());
        g_portWeb = std::to_string(m_web.Port());
        g_serverIP = "127.0.0.1";
        (void)m_player.Connect("127.0.0.1");
        ASSERT_EQ(NextOpcode(), "HELO");
        ASSERT_EQ(NextOpcode(), "IR  ");
    }
    void TearDown() override { m_player.Disconnect(); }

    // A strm command for raw PCM with a threshold of 4 KiB, padded to `size` bytes.
    void Strm(char command, char autostart, const std::string& request = "", std::size_t size = 24) {
        std::string p{command, autostart, 'p', 0, 0, 0, 0, 4};  // the threshold in KiB at 7
        p.resize(24, '\0');
        p += request;
        p.resize(std::max(size, p.size()), 'x');
        ASSERT_TRUE(m_peer.SendRaw(ScriptedSlimPeer::ServerFrame("strm", p)));
    }
    void Play(char autostart) { Strm('s', autostart, "GET /a.wav HTTP/1.0\n\n"); }
    std::string NextOpcode(int ms = 5000) {
        m_last = m_peer.NextFrame(std::chrono::milliseconds(ms));
        return m_last ? m_last->opcode : "";
    }
    // The next STAT's event code, skipping `skipped` ones ("" when none
    // other comes within `ms`).
    std::string NextStat(std::vector<std::string> skipped = {}, int ms = 5000) {
        while (!NextOpcode(ms).empty()) {
            if (m_last->opcode != "STAT") continue;
            const std::string code(m_last->payload.begin(), m_last->payload.begin() + 4);
            if (std::find(skipped.begin(), skipped.end(), code) == skipped.end()) return code;
        }
        return "";
    }
    Bytes Field(std::size_t at) const { return Bytes(m_last->payload.begin() + at, m_last->payload.begin() + at + 4); }

    ScriptedSlimPeer m_peer;
    LocalHttpServer m_web;
    QuendrelPlayer m_player;
    std::optional<ScriptedSlimPeer::Frame> m_last;
};

// The state each report leaves behind is set before the report goes out, so
// the server (and this test) never sees a report ahead of the state.
TEST_F(QuendrelPlayerTest, StopAnswersByAutostartAndLeavesThePlayerStoppedForGood) {
    Strm('p', '0');  // pause and stop while stopped: nothing
    Strm('q', '1');
    Strm('t', '0', "", 2000);  // oversized: cut and still obeyed
    ASSERT_EQ(NextStat(), "STMt");
    // No stream: size, fullness and bytes received are 0.
    EXPECT_EQ(Bytes(m_last->payload.begin() + 7, m_last->payload.begin() + 23), Bytes(16, 0));
    EXPECT_EQ(NextStat({}, 200), "");

    Play('1');
    EXPECT_EQ(NextStat(), "STMc");
    EXPECT_EQ(NextStat(), "STMh");
    Strm('q', '3');  // '1' and '3' are both autostart
    EXPECT_EQ(NextStat({"STMs", "STMt"}), "STMf");
    Play('1');
    EXPECT_EQ(NextStat(), "STMc");
    Strm('q', '0');
    EXPECT_EQ(NextStat({"STMh", "STMs"}), "STMt");
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kStopped);

    // News from the audio thread about a stream that "q" already let go of
    // (it raced the stop) must not bring the player back to life.
    m_player.OnAudioBuffering(0, 0, 2);
    m_player.OnAudioPlaybackBegin(0);
    m_player.OnAudioDecodeEnd(0, R::Success);
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kStopped);
    Strm('t', '0');  // a marker: the only report that comes
    EXPECT_EQ(NextStat({}), "STMt");
    EXPECT_EQ(NextStat({}, 200), "");
}

// Without autostart the stream loads paused: "STMl" carries the threshold as
// fullness and bytes received, and "u" starts it. Pause and unpause move the
// state before they report; a failed end reports "STMu" with both fullness
// fields 0 and shows the failure.
TEST_F(QuendrelPlayerTest, AHeldStreamStartsOnUnpauseThenPausesAndEndsInAFailure) {
    Play('0');
    EXPECT_EQ(NextStat(), "STMc");
    EXPECT_EQ(NextStat(), "STMh");
    ASSERT_EQ(NextStat(), "STMl");
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kBuffering);
    EXPECT_FALSE(m_player.IsPlaying());
    EXPECT_EQ(Field(11), (Bytes{0, 0, 0x10, 0}));
    EXPECT_EQ(Field(19), (Bytes{0, 0, 0x10, 0}));
    Strm('u', '0');
    EXPECT_EQ(NextStat(), "STMs");
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kPlaying);
    Strm('p', '0');
    ASSERT_EQ(NextStat({"STMt"}), "STMp");
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kPaused);
    Strm('p', '0');  // paused already: nothing
    Strm('u', '0');  // playing again, without a report
    Strm('t', '0');
    EXPECT_EQ(NextStat(), "STMt");
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kPlaying);

    // The stream stalls, so the audio thread waits for bytes; the ends of the
    // decode and of the playback are played here.
    m_player.OnAudioDecodeEnd(0, R::Success);
    ASSERT_EQ(NextStat({"STMt"}), "STMd");
    m_player.OnAudioPlaybackEnd(0, R::ErrorReadingStream);
    ASSERT_EQ(NextStat({"STMt"}), "STMu");
    EXPECT_EQ(Field(11), Bytes(4, 0));
    EXPECT_EQ(Field(33), Bytes(4, 0));
    EXPECT_EQ(m_player.GetErrorMessage(), "Error Reading Stream");
    EXPECT_EQ(m_player.GetElapsedSeconds(), 0u);
}

// Only failures show a message, each with its own text.
TEST_F(QuendrelPlayerTest, CheckResultShowsFailuresOnly) {
    for (const uint32_t ok : {0u, 1u, 17u, 0xFFFFFFFFu}) EXPECT_TRUE(m_player.CheckResult(R(ok))) << ok;
    EXPECT_TRUE(m_player.GetErrorMessage().IsEmpty());
    const std::pair<uint32_t, const char*> failures[] = {
        {2, "Unknown Error"}, {12, "Error Reading Stream"}, {16, "Unsupported Output Flags"}};
    for (const auto& [code, text] : failures) {
        EXPECT_FALSE(m_player.CheckResult(R(code)));
        EXPECT_EQ(m_player.GetErrorMessage(), text);
    }
}

}  // namespace
