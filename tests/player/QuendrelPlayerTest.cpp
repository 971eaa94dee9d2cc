#include "player/QuendrelPlayer.h"

#include "app/base/AppSettings.h"
#include "platform/CascadeThread.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedSlimPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Strm(char command, char autostart, char format = 'm', const std::string& request = "") {
    std::vector<uint8_t> p(24, 0);
    p.reserve(24 + request.size());
    p[0] = uint8_t(command);
    p[1] = uint8_t(autostart);
    p[2] = uint8_t(format);
    p[7] = 4;  // threshold 4 KiB
    p.insert(p.end(), request.begin(), request.end());
    return p;
}

// The player against a scripted server end; no audio plays here (SDL's
// dummy driver), these tests look at the reports only.
class QuendrelPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.Listen());
        ASSERT_TRUE(m_web.Start());
        g_portProto = std::to_string(m_peer.GetPort());
        g_portWeb = std::to_string(m_web.Port());
        g_serverIP = "127.0.0.1";
        (void)m_player.Connect("127.0.0.1");
        ASSERT_EQ(NextOpcode(), "HELO");
        ASSERT_EQ(NextOpcode(), "IR  ");
    }
    void TearDown() override { m_player.Disconnect(); }

    void Send(const std::vector<uint8_t>& payload) { ASSERT_TRUE(m_peer.SendRaw(ScriptedSlimPeer::ServerFrame("strm", payload))); }
    std::string NextOpcode() {
        m_last = m_peer.NextFrame(std::chrono::seconds(5));
        return m_last ? m_last->opcode : "";
    }
    // The next STAT's event code ("" when none comes within `ms`).
    std::string NextStat(int ms = 5000) {
        for (;;) {
            m_last = m_peer.NextFrame(std::chrono::milliseconds(ms));
            if (!m_last) return "";
            if (m_last->opcode == "STAT") return std::string(m_last->payload.begin(), m_last->payload.begin() + 4);
        }
    }

    // Starts raw PCM silence that plays for a while and then stalls (the
    // line stays open): enough for the audio player to begin playback.
    void PlaySilence(char autostart) {
        m_web.Route("/silence.wav", LocalHttpServer::Stalling(std::string(2000000, '\0'), 800000));
        Send(Strm('s', autostart, 'p', "GET /silence.wav HTTP/1.0\n\n"));
    }
    // Reads reports until one with `code` comes; false when none does.
    bool StatUntil(const std::string& code) {
        for (std::string got; !(got = NextStat()).empty();)
            if (got == code) return true;
        return false;
    }

    ScriptedSlimPeer m_peer;
    LocalHttpServer m_web;
    QuendrelPlayer m_player;
    std::optional<ScriptedSlimPeer::Frame> m_last;
};

TEST_F(QuendrelPlayerTest, StatusRequestWithoutAStreamReportsZeros) {
    Send(Strm('t', '0'));
    ASSERT_EQ(NextStat(), "STMt");
    const auto& p = m_last->payload;
    ASSERT_EQ(p.size(), 41u);
    EXPECT_EQ(p[5], 'm');
    for (int i = 7; i < 23; ++i) EXPECT_EQ(p[i], 0) << i;
}

TEST_F(QuendrelPlayerTest, PauseAndStopWhileStoppedSendNothing) {
    Send(Strm('p', '0'));
    Send(Strm('q', '1'));
    Send(Strm('t', '0'));  // a marker: the only report that comes
    EXPECT_EQ(NextStat(), "STMt");
    EXPECT_EQ(NextStat(200), "");
}

TEST_F(QuendrelPlayerTest, StopAnswersFlushedWithAutostartAndStatusWithout) {
    m_web.Route("/a.wav", LocalHttpServer::Stalling(std::string(100000, '\0'), 50000));
    Send(Strm('s', '1', 'p', "GET /a.wav HTTP/1.0\n\n"));
    EXPECT_EQ(NextStat(), "STMc");
    EXPECT_EQ(NextStat(), "STMh");
    Send(Strm('q', '1'));
    std::string code;
    while ((code = NextStat()) == "STMs" || code == "STMt") {}
    EXPECT_EQ(code, "STMf");
    Send(Strm('s', '1', 'p', "GET /a.wav HTTP/1.0\n\n"));
    EXPECT_EQ(NextStat(), "STMc");
    Send(Strm('q', '0'));
    while ((code = NextStat()) == "STMh" || code == "STMs") {}
    EXPECT_EQ(code, "STMt");
    // The state is stopped before the closing status leaves.
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kStopped);
}

// The state each report leaves behind is set before the report goes out, so
// the server (and this test) never sees a report ahead of the state.
TEST_F(QuendrelPlayerTest, PauseAndUnpauseMoveTheStateBeforeTheyReport) {
    PlaySilence('1');
    ASSERT_TRUE(StatUntil("STMs"));
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kPlaying);
    Send(Strm('p', '0'));
    ASSERT_TRUE(StatUntil("STMp"));
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kPaused);
    Send(Strm('p', '0'));  // paused already: nothing
    Send(Strm('u', '0'));  // playing again, without a report
    Send(Strm('t', '0'));
    EXPECT_EQ(NextStat(), "STMt");
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kPlaying);
}

// Without autostart the stream loads paused: "STMl" carries the threshold as
// fullness and bytes received (the state is buffering), and "u" starts it.
TEST_F(QuendrelPlayerTest, WithoutAutostartTheStreamLoadsPausedUntilUnpaused) {
    PlaySilence('0');
    EXPECT_EQ(NextStat(), "STMc");
    EXPECT_EQ(NextStat(), "STMh");
    ASSERT_EQ(NextStat(), "STMl");
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kBuffering);
    EXPECT_FALSE(m_player.IsPlaying());
    const auto& p = m_last->payload;
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 11, p.begin() + 15), (std::vector<uint8_t>{0, 0, 0x10, 0}));
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 19, p.begin() + 23), (std::vector<uint8_t>{0, 0, 0x10, 0}));
    Send(Strm('u', '0'));
    EXPECT_EQ(NextStat(), "STMs");  // the held playback begins
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kPlaying);
}

// News from the audio thread about a stream that "q" already let go of
// (it raced the stop) must not bring a stopped player back to life.
TEST_F(QuendrelPlayerTest, AudioNewsAfterAStopLeavesThePlayerStopped) {
    m_web.Route("/a.wav", LocalHttpServer::Stalling(std::string(100000, '\0'), 50000));
    Send(Strm('s', '1', 'p', "GET /a.wav HTTP/1.0\n\n"));
    ASSERT_TRUE(StatUntil("STMh"));
    Send(Strm('q', '0'));
    ASSERT_TRUE(StatUntil("STMt"));
    m_player.OnAudioBuffering(0, 0, 2);
    m_player.OnAudioPlaybackBegin(0);
    m_player.OnAudioDecodeEnd(0, CascadeAudioPlayer::PlaybackResult::Success);
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kStopped);
    Send(Strm('t', '0'));  // a marker: the only report that comes
    EXPECT_EQ(NextStat(), "STMt");
    EXPECT_EQ(NextStat(200), "");
}

// A playback that ends by itself with a failure shows it and reports "STMu"
// with both fullness fields 0; the clock starts again from 0.
TEST_F(QuendrelPlayerTest, APlaybackEndingInAFailureShowsItAndReportsUnderrun) {
    PlaySilence('1');
    ASSERT_TRUE(StatUntil("STMs"));
    // The stream stalls, so the audio thread waits for bytes; the end of the
    // decode and of the playback are played here.
    m_player.OnAudioDecodeEnd(0, CascadeAudioPlayer::PlaybackResult::Success);
    ASSERT_TRUE(StatUntil("STMd"));
    m_player.OnAudioPlaybackEnd(0, CascadeAudioPlayer::PlaybackResult::ErrorReadingStream);
    ASSERT_TRUE(StatUntil("STMu"));
    const auto& p = m_last->payload;
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 11, p.begin() + 15), (std::vector<uint8_t>(4, 0)));
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 33, p.begin() + 37), (std::vector<uint8_t>(4, 0)));
    EXPECT_EQ(m_player.GetErrorMessage(), "Error Reading Stream");
    EXPECT_EQ(m_player.GetElapsedSeconds(), 0u);
}

TEST_F(QuendrelPlayerTest, AStreamThatDoesNotOpenSendsDsco3AndNoHeaders) {
    Send(Strm('s', '1', 'm', "GET /missing HTTP/1.0\n\n"));
    EXPECT_EQ(NextStat(), "STMc");
    std::string op;
    while ((op = NextOpcode()) == "STAT") EXPECT_NE(std::string(m_last->payload.begin(), m_last->payload.begin() + 4), "STMh");
    ASSERT_EQ(op, "DSCO");
    EXPECT_EQ(m_last->payload, std::vector<uint8_t>{3});
    EXPECT_EQ(m_player.GetState(), QuendrelPlayer::kOpening);
}

// The reader thread is stuck opening a stream whose server never answers;
// Disconnect must not wait out the open's 30 s time-out before it can stop
// the link, and still says goodbye.
TEST_F(QuendrelPlayerTest, DisconnectDuringAStalledOpenSaysGoodbyeWithoutWaitingForTheOpen) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    m_web.Route("/held.mp3", [released](const LocalHttpServer::Request&) {
        released.wait_for(std::chrono::seconds(60));
        return LocalHttpServer::Body("late");
    });
    Send(Strm('s', '1', 'm', "GET /held.mp3 HTTP/1.0\n\n"));
    EXPECT_EQ(NextStat(), "STMc");
    for (int i = 0; i < 500 && m_web.RequestCount("/held.mp3") == 0; ++i) CascadeThread::Sleep(10);
    ASSERT_EQ(m_web.RequestCount("/held.mp3"), 1u);

    std::future<bool> done = std::async(std::launch::async, [&] { return m_player.Disconnect(); });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    release.set_value();
    std::vector<ScriptedSlimPeer::Frame> frames;
    while (auto frame = m_peer.NextFrame(std::chrono::seconds(1))) frames.push_back(*frame);
    // The cancelled open reports its DSCO from the reader thread, so it may
    // land anywhere before the goodbye; the power-off IR and BYE! close it.
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames.back().opcode, "BYE!");
    auto ir = std::find_if(frames.rbegin(), frames.rend(), [](const auto& f) { return f.opcode == "IR  "; });
    ASSERT_NE(ir, frames.rend());
    ASSERT_EQ(ir->payload.size(), 10u);
    EXPECT_EQ(std::vector<uint8_t>(ir->payload.begin() + 6, ir->payload.end()), (std::vector<uint8_t>{0, 0, 0xF7, 0}));
}

TEST_F(QuendrelPlayerTest, AnOversizedStrmIsCutAndStillObeyed) {
    std::vector<uint8_t> big = Strm('t', '0');
    big.resize(2000, 'x');
    Send(big);
    EXPECT_EQ(NextStat(), "STMt");
}

TEST_F(QuendrelPlayerTest, CheckResultShowsFailuresOnly) {
    using R = CascadeAudioPlayer::PlaybackResult;
    EXPECT_TRUE(m_player.CheckResult(R::Success));
    EXPECT_TRUE(m_player.CheckResult(R::Stopped));
    EXPECT_TRUE(m_player.CheckResult(static_cast<R>(17)));
    EXPECT_TRUE(m_player.CheckResult(static_cast<R>(0xFFFFFFFFu)));
    EXPECT_TRUE(m_player.GetErrorMessage().IsEmpty());
    EXPECT_FALSE(m_player.CheckResult(R::UnknownError));
    EXPECT_EQ(m_player.GetErrorMessage(), "Unknown Error");
    EXPECT_FALSE(m_player.CheckResult(R::UnsupportedOutputFlags));
    EXPECT_EQ(m_player.GetErrorMessage(), "Unsupported Output Flags");
}

}  // namespace
