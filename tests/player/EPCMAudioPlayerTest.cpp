#include "player/EPCMAudioPlayer.h"

#include "support/BufferedPlaybackDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Samples = std::vector<short>;

// An output that records what is queued, plays 32, 44.1 and 48 kHz only
// and has as many buffers free as the test says.
struct OutputState {
    std::vector<Samples> queued;
    unsigned long buffers = 0;
    long free = -1;  // -1: all; -2: the output cannot say
    unsigned long rate = 0;
    uint64_t played = 0;
};

class RecordingOutput : public BufferedPlaybackDevice {
public:
    explicit RecordingOutput(OutputState& s) : m_s(s) {}

    bool Open(unsigned long count, unsigned long size, void** buffers) override {
        m_s.buffers = count;
        return BufferedPlaybackDevice::Open(count, size, buffers);
    }
    bool QueueBuffer(short* samples, unsigned long count) override {
        m_s.queued.emplace_back(samples, samples + count);
        return true;
    }
    bool GetNumBuffersAvailable(unsigned long& n) override {
        n = m_s.free == -1 ? m_s.buffers : (unsigned long)m_s.free;
        return m_s.free != -2;
    }
    uint64_t GetBuffersPlayed() override { return m_s.played; }
    bool SetSampleRate(unsigned long r) override {
        m_s.rate = r;
        return BufferedPlaybackDevice::SetSampleRate(r);
    }
    bool IsSupportedSampleRate(unsigned long r) override { return r == 44100 || r == 48000 || r == 32000; }

private:
    OutputState& m_s;
};

class EPCMAudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_device.Open(4, 4096, m_buffers)); }
    short* Caller(int i) { return static_cast<short*>(m_buffers[i]); }

    OutputState m_out;
    EPCMAudioPlayer m_device{std::make_unique<RecordingOutput>(m_out)};
    void* m_buffers[4] = {};
};

// A rate the output has is copied as it is; 22,050 Hz plays at 44,100 with
// every stereo frame (not every value) repeated, in two output buffers that
// each fit the output's 4,096 bytes, also when the caller's buffer is full.
TEST_F(EPCMAudioPlayerTest, RatesTheOutputLacksAreDoubledFrameByFrame) {
    ASSERT_TRUE(m_device.SetSampleRate(44100));
    EXPECT_FALSE(m_device.IsDoubling());
    const Samples in{1, -1, 2, -2, 3, -3, 4, -4};  // four stereo frames
    std::copy(in.begin(), in.end(), Caller(0));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(0), 8));
    EXPECT_EQ(m_out.queued, std::vector<Samples>{in});

    ASSERT_TRUE(m_device.SetSampleRate(22050));
    EXPECT_TRUE(m_device.IsDoubling());
    EXPECT_EQ(m_out.rate, 44100u);
    EXPECT_EQ(m_device.GetSampleRate(), 22050u);
    std::copy(in.begin(), in.end(), Caller(1));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(1), 8));
    EXPECT_EQ(m_out.queued[1], (Samples{1, -1, 1, -1, 2, -2, 2, -2}));
    EXPECT_EQ(m_out.queued[2], (Samples{3, -3, 3, -3, 4, -4, 4, -4}));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(2), 2048));
    ASSERT_EQ(m_out.queued.size(), 5u);
    EXPECT_EQ(m_out.queued[3].size(), 2048u);
    EXPECT_EQ(m_out.queued[4].size(), 2048u);

    EXPECT_FALSE(m_device.QueueBuffer(Caller(0), 2050));  // larger than a buffer
    EXPECT_TRUE(m_device.IsSupportedSampleRate(16000));
    EXPECT_FALSE(m_device.IsSupportedSampleRate(15999));
    EPCMAudioPlayer closed{std::make_unique<RecordingOutput>(m_out)};
    EXPECT_FALSE(closed.QueueBuffer(Caller(0), 4));
}

// The device owns twice the caller's buffers; what it reports counts output
// bytes for the status reports and caller buffers for the audio player.
TEST_F(EPCMAudioPlayerTest, BufferInfoAndCountsAreInTheRightUnits) {
    EXPECT_EQ(m_out.buffers, 8u);
    unsigned long size = 0, fullness = 0, free = 0;
    m_out.free = 3;
    m_device.GetBufferInfo(size, fullness);
    EXPECT_EQ(size, 32768u);
    EXPECT_EQ(fullness, 20480u);
    m_out.free = 5;
    ASSERT_TRUE(m_device.GetNumBuffersAvailable(free));
    EXPECT_EQ(free, 2u);
    m_out.free = -2;  // the output cannot say: all free
    m_device.GetBufferInfo(size, fullness);
    EXPECT_EQ(fullness, 0u);

    ASSERT_TRUE(m_device.SetSampleRate(44100));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(0), 8));  // one output buffer
    ASSERT_TRUE(m_device.SetSampleRate(22050));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(1), 8));  // two output buffers
    m_out.played = 2;
    EXPECT_EQ(m_device.GetBuffersPlayed(), 1u);  // the doubled one is half played
    m_out.played = 3;
    EXPECT_EQ(m_device.GetBuffersPlayed(), 2u);
}

}  // namespace
