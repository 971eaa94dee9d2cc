#include "platform/CascadeAudioPlayer.h"

#include "support/BufferedPlaybackDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Result = CascadeAudioPlayer::PlaybackResult;

class MemoryStream : public CascadeStream {
public:
    explicit MemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}
    long ReadBytes(void* buffer, std::size_t length) override {
        const std::size_t n = std::min(length, m_bytes.size() - m_at);
        std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return long(n);
    }

private:
    std::string m_bytes;
    std::size_t m_at = 0;
};

// Plays every buffer the moment it is queued and keeps the samples.
class InstantDevice : public BufferedPlaybackDevice {
public:
    bool QueueBuffer(short* s, unsigned long count) override {
        std::lock_guard guard(m_lock);
        m_samples.insert(m_samples.end(), s, s + count);
        ++m_queued;
        return true;
    }
    // All but the last `lag` queued buffers have been played.
    uint64_t GetBuffersPlayed() override {
        std::lock_guard guard(m_lock);
        return m_queued > lag ? m_queued - lag : 0;
    }
    std::vector<short> Samples() {
        std::lock_guard guard(m_lock);
        return m_samples;
    }
    std::atomic<uint64_t> lag{0};

private:
    std::mutex m_lock;
    std::vector<short> m_samples;
    uint64_t m_queued = 0;
};

class RecordingClient : public CascadeAudioPlayer::Client {
public:
    void OnAudioDecodeBegin(uint32_t id) override {
        if (closeOnDecodeBegin) {
            onAudioThread = player->IsAudioThread();
            closedFromAudioThread = player->Close();
        }
        Add("decode-begin", id);
    }
    void OnAudioBuffering(uint32_t id, unsigned long done, unsigned long total) override {
        Add(done == 0 ? "buffering" : done == total ? "buffered" : "buffering-step", id);
        if (done == total && pauseWhenBuffered.exchange(false)) player->Pause();
    }
    void OnAudioPlaybackBegin(uint32_t id) override { Add("playback-begin", id); }
    void OnAudioDecodeEnd(uint32_t id, Result) override { Add("decode-end", id); }
    void OnAudioPlaybackEnd(uint32_t id, Result result) override {
        lastResult = result;
        Add("playback-end", id);
    }
    void OnPlaybackPause() override { Add("pause", 0); }
    void OnPlaybackResume() override { Add("resume", 0); }
    void OnPlaybackStop() override { Add("stop", 0); }

    void Add(const std::string& what, uint32_t id) {
        {
            std::lock_guard guard(m_lock);
            events.push_back(what + (id ? " " + std::to_string(id) : ""));
        }
        m_changed.notify_all();
    }
    // Waits (bounded) until `what` was reported `times` times.
    bool WaitFor(const std::string& what, int times = 1) {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(10), [&] {
            int n = 0;
            for (const auto& e : events) n += e.rfind(what, 0) == 0;
            return n >= times;
        });
    }
    std::vector<std::string> Events() {
        std::lock_guard guard(m_lock);
        return events;
    }

    CascadeAudioPlayer* player = nullptr;
    std::atomic<bool> pauseWhenBuffered{false};
    std::atomic<bool> closeOnDecodeBegin{false};
    std::atomic<bool> onAudioThread{false};
    std::atomic<bool> closedFromAudioThread{true};
    std::atomic<Result> lastResult{Result::Success};

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> events;
};

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
    return s;
}

// 16-bit stereo samples: left a ramp, right its negation.
std::vector<short> Ramp(std::size_t frames) {
    std::vector<short> v;
    for (std::size_t i = 0; i < frames; ++i) {
        v.push_back(short(i * 7));
        v.push_back(short(-short(i * 7)));
    }
    return v;
}

std::string Wav(const std::vector<short>& samples, bool header = true) {
    const std::string data(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
    if (!header) return data;
    return "RIFF" + Le(36 + uint32_t(data.size()), 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(2, 2) + Le(44100, 4) +
           Le(176400, 4) + Le(4, 2) + Le(16, 2) + "data" + Le(uint32_t(data.size()), 4) + data;
}

class CascadeAudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_client.player = &m_player;
        m_player.AttachDevice(&m_device);
        ASSERT_TRUE(m_player.Open(&m_client));
    }
    void TearDown() override { m_player.Close(); }

    InstantDevice m_device;
    RecordingClient m_client;
    CascadeAudioPlayer m_player;
};

// Raw PCM without a header is read as 44.1 kHz stereo.
TEST_F(CascadeAudioPlayerTest, AWavStreamIsReportedInOrderAndPlayedSampleForSample) {
    const auto samples = Ramp(10000);
    MemoryStream wav(Wav(samples)), raw(Wav(samples, false));
    ASSERT_TRUE(m_player.QueueStream(&wav, "WAV", 3));
    ASSERT_TRUE(m_client.WaitFor("playback-end"));
    EXPECT_EQ(m_client.Events(), std::vector<std::string>({"decode-begin 1", "buffering 1", "buffered 1",
                                                           "playback-begin 1", "decode-end 1", "playback-end 1"}));
    EXPECT_EQ(m_device.Samples(), samples);
    EXPECT_EQ(m_device.rate, 44100u);
    EXPECT_FALSE(m_player.IsPlaying());
    ASSERT_TRUE(m_player.QueueStream(&raw, "WAV", 3));
    ASSERT_TRUE(m_client.WaitFor("playback-end", 2));
    EXPECT_EQ(m_device.Samples().size(), 2 * samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), m_device.Samples().begin() + long(samples.size())));
}

// A fatal-signal handler (or a careless callback) on the audio thread that
// closes the player must not make the thread wait for itself.
TEST_F(CascadeAudioPlayerTest, CloseOnTheAudioThreadIsRefusedAndPlaybackGoesOn) {
    m_client.closeOnDecodeBegin = true;
    const auto samples = Ramp(3000);
    MemoryStream stream(Wav(samples));
    ASSERT_TRUE(m_player.QueueStream(&stream, "WAV", 3));
    ASSERT_TRUE(m_client.WaitFor("playback-end"));
    EXPECT_TRUE(m_client.onAudioThread.load());
    EXPECT_FALSE(m_client.closedFromAudioThread.load());
    EXPECT_FALSE(m_player.IsAudioThread());
    EXPECT_EQ(m_device.Samples(), samples);
}

TEST_F(CascadeAudioPlayerTest, PausingWhenBufferedHoldsPlaybackUntilResume) {
    m_client.pauseWhenBuffered = true;
    MemoryStream stream(Wav(Ramp(20000)));
    ASSERT_TRUE(m_player.QueueStream(&stream, "WAV", 3));
    ASSERT_TRUE(m_client.WaitFor("pause"));
    EXPECT_TRUE(m_player.IsPaused());
    EXPECT_FALSE(m_player.IsPlaying());
    for (const auto& e : m_client.Events()) EXPECT_NE(e, "playback-begin 1");
    ASSERT_TRUE(m_player.Resume());
    ASSERT_TRUE(m_client.WaitFor("playback-end"));
    const auto events = m_client.Events();
    // A held start is a beginning, not a resume.
    EXPECT_EQ(std::count(events.begin(), events.end(), "resume"), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "playback-begin 1"), 1);
}

TEST_F(CascadeAudioPlayerTest, AStreamQueuedBehindAnotherFollowsWithoutBuffering) {
    m_device.lag = 2;  // the device still holds the first stream's end
    MemoryStream first(Wav(Ramp(9000))), second(Wav(Ramp(3000)));
    ASSERT_TRUE(m_player.QueueStream(&first, "WAV", 3));
    ASSERT_TRUE(m_player.QueueStream(&second, "WAV", 3));
    ASSERT_TRUE(m_client.WaitFor("decode-end 2"));
    m_device.lag = 0;
    ASSERT_TRUE(m_client.WaitFor("playback-end", 2));
    const auto events = m_client.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "buffering 2"), 0);
    const auto end1 = std::find(events.begin(), events.end(), "playback-end 1");
    const auto begin2 = std::find(events.begin(), events.end(), "playback-begin 2");
    ASSERT_NE(end1, events.end());
    EXPECT_EQ(begin2, end1 + 1);
    EXPECT_EQ(m_device.Samples().size(), 2u * 12000u);
}

// Types it has no decoder for and null arguments are refused at once; data
// that is not the named type ends its playback with UnknownAudioType.
TEST_F(CascadeAudioPlayerTest, UnknownTypesAreRefusedAndForeignDataEndsWithUnknownAudioType) {
    MemoryStream empty("");
    EXPECT_FALSE(m_player.QueueStream(&empty, "OGG", 3));
    EXPECT_FALSE(m_player.QueueStream(nullptr, "MP3", 3));
    EXPECT_FALSE(m_player.QueueStream(&empty, nullptr, 3));
    MemoryStream stream(std::string(5000, 'x'));
    ASSERT_TRUE(m_player.QueueStream(&stream, "FLAC", 3));
    ASSERT_TRUE(m_client.WaitFor("playback-end"));
    EXPECT_EQ(m_client.lastResult.load(), Result::UnknownAudioType);
    EXPECT_TRUE(m_device.Samples().empty());
}

TEST_F(CascadeAudioPlayerTest, StopDropsQueuedStreamsAndReportsTheStop) {
    m_client.pauseWhenBuffered = true;
    MemoryStream first(Wav(Ramp(20000))), second(Wav(Ramp(20000)));
    ASSERT_TRUE(m_player.QueueStream(&first, "WAV", 3));
    ASSERT_TRUE(m_player.QueueStream(&second, "WAV", 3));
    ASSERT_TRUE(m_client.WaitFor("pause"));
    ASSERT_TRUE(m_player.Stop());
    EXPECT_FALSE(m_player.IsStreamQueued(&first));
    EXPECT_FALSE(m_player.IsStreamQueued(&second));
    EXPECT_FALSE(m_player.IsPaused());
    EXPECT_TRUE(m_client.WaitFor("stop"));
}

}  // namespace
