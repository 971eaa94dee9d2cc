#include "platform/PCMAudioPlayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

// SDL's dummy driver (set for every test program) plays into nothing at
// real-time pace.
class PCMAudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_output.Open(4, 4096, m_buffers)); }
    short* Buffer(int i) { return static_cast<short*>(m_buffers[i]); }

    PCMAudioPlayer m_output;
    void* m_buffers[4] = {};
};

TEST_F(PCMAudioPlayerTest, QueuedBuffersArePlayedAndFreedInOrder) {
    ASSERT_TRUE(m_output.QueueBuffer(Buffer(0), 2048));
    ASSERT_TRUE(m_output.QueueBuffer(Buffer(1), 2048));
    unsigned long free = 0;
    ASSERT_TRUE(m_output.GetNumBuffersAvailable(free));
    EXPECT_EQ(free, 2u);
    ASSERT_TRUE(m_output.Play());
    for (int i = 0; i < 1000 && m_output.GetBuffersPlayed() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(m_output.GetBuffersPlayed(), 2u);
    EXPECT_EQ(m_output.GetBytesPlayed(), 2u * 4096u);
    EXPECT_EQ(m_output.WaitForBuffer(), 4);
}

// Buffers not handed out by Open, too large ones and any past a full queue
// are refused; Flush frees every buffer and counts them played.
TEST_F(PCMAudioPlayerTest, ForeignOversizedOrSurplusBuffersAreRefusedAndFlushFreesAll) {
    std::vector<short> mine(2048);
    EXPECT_FALSE(m_output.QueueBuffer(mine.data(), 2048));
    EXPECT_FALSE(m_output.QueueBuffer(Buffer(0), 2049));
    EXPECT_TRUE(m_output.QueueBuffer(Buffer(0), 2048));
    for (int i = 1; i < 4; ++i) ASSERT_TRUE(m_output.QueueBuffer(Buffer(i), 16));
    EXPECT_FALSE(m_output.QueueBuffer(Buffer(0), 16));
    ASSERT_TRUE(m_output.Flush());
    unsigned long free = 0;
    ASSERT_TRUE(m_output.GetNumBuffersAvailable(free));
    EXPECT_EQ(free, 4u);
    EXPECT_EQ(m_output.GetBuffersPlayed(), 4u);
}

TEST_F(PCMAudioPlayerTest, CloseReleasesAWriterWaitingOnAFullPausedOutput) {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(m_output.QueueBuffer(Buffer(i), 16));
    long result = 0;
    std::thread writer([&] { result = m_output.WaitForBuffer(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_output.Close();
    writer.join();
    EXPECT_EQ(result, -1);
}

// Only the digital input's rates are supported; buffers queued before a
// rate change survive it.
TEST_F(PCMAudioPlayerTest, OnlyTheDigitalInputRatesAreSupported) {
    for (unsigned long rate : {32000ul, 44100ul, 48000ul, 88200ul, 96000ul}) EXPECT_TRUE(m_output.IsSupportedSampleRate(rate));
    for (unsigned long rate : {8000ul, 11025ul, 16000ul, 22050ul, 24000ul, 192000ul})
        EXPECT_FALSE(m_output.IsSupportedSampleRate(rate));
    ASSERT_TRUE(m_output.QueueBuffer(Buffer(0), 16));
    EXPECT_FALSE(m_output.SetSampleRate(22050));
    EXPECT_TRUE(m_output.SetSampleRate(96000));
    EXPECT_EQ(m_output.GetSampleRate(), 96000u);
    unsigned long free = 0;
    ASSERT_TRUE(m_output.GetNumBuffersAvailable(free));
    EXPECT_EQ(free, 3u);
}

TEST(PCMAudioPlayerOpenTest, BadBufferShapesAreRefused) {
    PCMAudioPlayer output;
    void* buffers[100] = {};
    EXPECT_FALSE(output.Open(1, 4096, buffers));
    EXPECT_FALSE(output.Open(100, 4096, buffers));
    EXPECT_FALSE(output.Open(4, 10, buffers));
    EXPECT_FALSE(output.Open(4, 4096, nullptr));
    short s[4] = {};
    EXPECT_FALSE(output.QueueBuffer(s, 4));
    EXPECT_EQ(output.WaitForBuffer(), -1);
}

}  // namespace
