#include "player/EPCMAudioPlayer.h"

#include "support/BufferedPlaybackDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Samples = std::vector<short>;

// The output plays 32 kHz and up.
class EPCMAudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_out->minRate = 32000;
        ASSERT_TRUE(m_device.Open(4, 4096, m_buffers));
    }
    short* Caller(int i) { return static_cast<short*>(m_buffers[i]); }

    BufferedPlaybackDevice* m_out = new BufferedPlaybackDevice;
    EPCMAudioPlayer m_device{std::unique_ptr<CascadeAudioPlaybackDevice>(m_out)};
    void* m_buffers[4] = {};
};

// A rate the output has is copied as it is; 22,050 Hz plays at 44,100 with
// every stereo frame (not every value) repeated, in two output buffers that
// each fit the output's 4,096 bytes, also when the caller's buffer is full.
TEST_F(EPCMAudioPlayerTest, RatesTheOutputLacksAreDoubledFrameByFrame) {
    ASSERT_TRUE(m_device.SetSampleRate(44100));
    const Samples in{1, -1, 2, -2, 3, -3, 4, -4};  // four stereo frames
    std::copy(in.begin(), in.end(), Caller(0));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(0), 8));
    EXPECT_EQ(m_out->queued, std::vector<Samples>{in});

    ASSERT_TRUE(m_device.SetSampleRate(22050));
    EXPECT_EQ(m_out->rate, 44100u);
    EXPECT_EQ(m_device.GetSampleRate(), 22050u);
    std::copy(in.begin(), in.end(), Caller(1));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(1), 8));
    EXPECT_EQ(m_out->queued[1], (Samples{1, -1, 1, -1, 2, -2, 2, -2}));
    EXPECT_EQ(m_out->queued[2], (Samples{3, -3, 3, -3, 4, -4, 4, -4}));
    ASSERT_TRUE(m_device.QueueBuffer(Caller(2), 2048));
    ASSERT_EQ(m_out->queued.size(), 5u);
    EXPECT_EQ(m_out->queued[3].size(), 2048u);
    EXPECT_EQ(m_out->queued[4].size(), 2048u);
    // The audio player counts its own buffers: a doubled one is done once
    // both its halves have played.
    m_out->played = 2;
    EXPECT_EQ(m_device.GetBuffersPlayed(), 1u);
    m_out->played = 3;
    EXPECT_EQ(m_device.GetBuffersPlayed(), 2u);

    EXPECT_FALSE(m_device.QueueBuffer(Caller(0), 2050));  // larger than a buffer
    EXPECT_TRUE(m_device.IsSupportedSampleRate(16000));
    EXPECT_FALSE(m_device.IsSupportedSampleRate(15999));
    EXPECT_FALSE(EPCMAudioPlayer(std::make_unique<BufferedPlaybackDevice>()).QueueBuffer(Caller(0), 4));  // not open
}

// The device owns twice the caller's buffers; what it reports counts output
// bytes for the status reports and caller buffers for the audio player.
TEST_F(EPCMAudioPlayerTest, BufferInfoCountsOutputBytesAndFreeCallerBuffers) {
    EXPECT_EQ(m_out->BufferCount(), 8u);
    unsigned long size = 0, fullness = 0, free = 0;
    m_out->freeBuffers = 3;
    m_device.GetBufferInfo(size, fullness);
    EXPECT_EQ(size, 32768u);
    EXPECT_EQ(fullness, 20480u);
    m_out->freeBuffers = 5;
    ASSERT_TRUE(m_device.GetNumBuffersAvailable(free));
    EXPECT_EQ(free, 2u);
    m_out->freeBuffers = -2;  // the output cannot say: all free
    m_device.GetBufferInfo(size, fullness);
    EXPECT_EQ(fullness, 0u);
}

}  // namespace
