#include "player/EPCMAudioPlayer.h"

#include "support/BufferedPlaybackDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// An output that records what is queued, plays 32, 44.1 and 48 kHz only
// and has as many buffers free as the test says.
class RecordingOutput : public BufferedPlaybackDevice {
public:
    struct State {
        std::vector<std::vector<short>> queued;
        std::size_t buffers = 0;
        unsigned long freeOverride = ~0ul;
        unsigned long rate = 0;
        uint64_t played = 0;
    };
    explicit RecordingOutput(State& s) : m_s(s) {}

    bool Open(unsigned long count, unsigned long size, void** buffers) override {
        m_s.buffers = count;
        return BufferedPlaybackDevice::Open(count, size, buffers);
    }
    bool QueueBuffer(short* samples, unsigned long count) override {
        m_s.queued.emplace_back(samples, samples + count);
        return true;
    }
    bool GetNumBuffersAvailable(unsigned long& n) override {
        if (m_s.freeOverride == ~0ul - 1) return false;
        n = m_s.freeOverride != ~0ul ? m_s.freeOverride : m_s.buffers;
        return true;
    }
    uint64_t GetBuffersPlayed() override { return m_s.played; }
    bool SetSampleRate(unsigned long r) override {
        m_s.rate = r;
        return true;
    }
    unsigned long GetSampleRate() override { return m_s.rate; }
    bool IsSupportedSampleRate(unsigned long r) override { return r == 44100 || r == 48000 || r == 32000; }

private:
    State& m_s;
};

class EPCMAudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_device.Open(4, 4096, m_callerBuffers));
    }
    short* Caller(int i) { return static_cast<short*>(m_callerBuffers[i]); }

    RecordingOutput::State m_out;
    EPCMAudioPlayer m_device{std::make_unique<RecordingOutput>(m_out)};
    void* m_callerBuffers[4] = {};
};

TEST_F(EPCMAudioPlayerTest, ASupportedRateIsCopiedAsItIs) {
    ASSERT_TRUE(m_device.SetSampleRate(44100));
    EXPECT_FALSE(m_device.IsDoubling());
    for (int i = 0; i < 8; ++i) Caller(0)[i] = short(i * 100 - 300);
    ASSERT_TRUE(m_device.QueueBuffer(Caller(0), 8));
    ASSERT_EQ(m_out.queued.size(), 1u);
    EXPECT_EQ(m_out.queued[0], std::vector<short>({-300, -200, -100, 0, 100, 200, 300, 400}));
}

TEST_F(EPCMAudioPlayerTest, A22050StreamPlaysAt44100WithEveryFrameRepeated) {
    ASSERT_TRUE(m_device.SetSampleRate(22050));
    EXPECT_TRUE(m_device.IsDoubling());
    EXPECT_EQ(m_out.rate, 44100u);
    EXPECT_EQ(m_device.GetSampleRate(), 22050u);
    const short in[8] = {1, -1, 2, -2, 3, -3, 4, -4};  // four stereo frames
    std::copy(in, in + 8, Caller(1));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(1), 8));
    ASSERT_EQ(m_out.queued.size(), 2u);
    // Left and right stay apart: frames repeat, not single values.
    EXPECT_EQ(m_out.queued[0], std::vector<short>({1, -1, 1, -1, 2, -2, 2, -2}));
    EXPECT_EQ(m_out.queued[1], std::vector<short>({3, -3, 3, -3, 4, -4, 4, -4}));
}

// A doubled buffer goes out as two output buffers, each inside the output's
// 4,096 bytes, also when the caller's buffer was full.
TEST_F(EPCMAudioPlayerTest, DoublingSplitsEachBufferInTwoThatFitTheOutput) {
    ASSERT_TRUE(m_device.SetSampleRate(24000));
    for (const unsigned long values : {1024ul, 2048ul}) {
        m_out.queued.clear();
        ASSERT_TRUE(m_device.QueueBuffer(Caller(0), values));
        ASSERT_EQ(m_out.queued.size(), 2u) << values;
        EXPECT_EQ(m_out.queued[0].size(), values) << values;
        EXPECT_EQ(m_out.queued[1].size(), values) << values;
    }
}

TEST_F(EPCMAudioPlayerTest, OversizedOrUnopenedQueuesAreRefused) {
    EXPECT_FALSE(m_device.QueueBuffer(Caller(0), 2050));
    EPCMAudioPlayer closed{std::make_unique<RecordingOutput>(m_out)};
    short samples[4] = {};
    EXPECT_FALSE(closed.QueueBuffer(samples, 4));
}

TEST_F(EPCMAudioPlayerTest, RatesFrom16000UpAreSupportedWithoutAskingTheOutput) {
    EXPECT_TRUE(m_device.IsSupportedSampleRate(16000));
    EXPECT_TRUE(m_device.IsSupportedSampleRate(22050));
    EXPECT_FALSE(m_device.IsSupportedSampleRate(15999));
}

TEST_F(EPCMAudioPlayerTest, BufferInfoCountsTheOutputBuffers) {
    EPCMAudioPlayer device{std::make_unique<RecordingOutput>(m_out)};
    void* buffers[4];
    ASSERT_TRUE(device.Open(4, 4096, buffers));
    EXPECT_EQ(m_out.buffers, 8u);  // twice the caller's buffers
    m_out.freeOverride = 3;
    unsigned long size = 0, fullness = 0;
    device.GetBufferInfo(size, fullness);
    EXPECT_EQ(size, 32768u);
    EXPECT_EQ(fullness, 20480u);
    m_out.freeOverride = ~0ul - 1;  // the output cannot say: all free
    device.GetBufferInfo(size, fullness);
    EXPECT_EQ(fullness, 0u);
}

TEST_F(EPCMAudioPlayerTest, FreeBuffersAreHalvedForTheCaller) {
    m_out.freeOverride = 5;
    unsigned long n = 0;
    ASSERT_TRUE(m_device.GetNumBuffersAvailable(n));
    EXPECT_EQ(n, 2u);
}

TEST_F(EPCMAudioPlayerTest, PlayedBuffersAreCountedInTheCallersBuffers) {
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
