#include "player/PlayerStatus.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

PlayerStatus::Inputs Playing() {
    PlayerStatus::Inputs in;
    in.code = "STMt";
    in.format = 'f';
    in.state = 4;
    in.hasStream = true;
    in.streamFullness = 0x01020304;
    in.bytesReceived = 0xA0B0C0D0;
    in.thresholdBytes = 255 * 1024;
    in.runningMilliseconds = 0x11223344;
    in.outputSize = 131072;
    in.outputFullness = 0x00ABCDEF;
    in.elapsedSeconds = 0x0102;
    return in;
}

uint32_t Word(const std::array<uint8_t, 41>& w, int at) {
    return uint32_t(w[at]) << 24 | uint32_t(w[at + 1]) << 16 | uint32_t(w[at + 2]) << 8 | w[at + 3];
}

TEST(PlayerStatusTest, EveryFieldSitsAtItsOffsetBigEndian) {
    const auto w = SerializeStatusPacket(PlayerStatus::Build(Playing()));
    EXPECT_EQ(std::memcmp(w.data(), "STMt", 4), 0);
    EXPECT_EQ(w[4], 0);
    EXPECT_EQ(w[5], 'f');
    EXPECT_EQ(w[6], 1);
    EXPECT_EQ(Word(w, 7), 262144u);
    EXPECT_EQ(Word(w, 11), 0x01020304u);
    EXPECT_EQ(Word(w, 15), 0u);  // high half of bytes received
    EXPECT_EQ(Word(w, 19), 0xA0B0C0D0u);
    EXPECT_EQ(w[23], 0);
    EXPECT_EQ(w[24], 255);
    EXPECT_EQ(Word(w, 25), 0x11223344u);
    EXPECT_EQ(Word(w, 29), 131072u);
    EXPECT_EQ(Word(w, 33), 0x00ABCDEFu);
    EXPECT_EQ(Word(w, 37), 0x0102u);
}

TEST(PlayerStatusTest, WhileBufferingTheThresholdStandsForFullnessAndBytesReceived) {
    PlayerStatus::Inputs in = Playing();
    in.state = 3;
    const auto w = SerializeStatusPacket(PlayerStatus::Build(in));
    EXPECT_EQ(Word(w, 11), 255u * 1024u);
    EXPECT_EQ(Word(w, 19), 255u * 1024u);
    EXPECT_EQ(Word(w, 7), 262144u);
}

TEST(PlayerStatusTest, TheThresholdAppliesInState3EvenWithoutAStream) {
    PlayerStatus::Inputs in = Playing();
    in.state = 3;
    in.hasStream = false;
    const auto w = SerializeStatusPacket(PlayerStatus::Build(in));
    EXPECT_EQ(Word(w, 7), 0u);
    EXPECT_EQ(Word(w, 11), 255u * 1024u);
}

TEST(PlayerStatusTest, UnderrunReportsZeroFullnessOnBothBuffers) {
    PlayerStatus::Inputs in = Playing();
    in.code = "STMu";
    const auto w = SerializeStatusPacket(PlayerStatus::Build(in));
    EXPECT_EQ(Word(w, 11), 0u);
    EXPECT_EQ(Word(w, 33), 0u);
    EXPECT_EQ(Word(w, 19), 0xA0B0C0D0u);  // bytes received stay
    EXPECT_EQ(Word(w, 29), 131072u);
}

TEST(PlayerStatusTest, WithoutAStreamTheReadAheadFieldsAreZero) {
    PlayerStatus::Inputs in = Playing();
    in.hasStream = false;
    const auto w = SerializeStatusPacket(PlayerStatus::Build(in));
    EXPECT_EQ(Word(w, 7), 0u);
    EXPECT_EQ(Word(w, 11), 0u);
    EXPECT_EQ(Word(w, 19), 0u);
}

TEST(PlayerStatusTest, AShortCodeIsPaddedNotOverread) {
    PlayerStatus::Inputs in = Playing();
    in.code = "ST";
    const auto w = SerializeStatusPacket(PlayerStatus::Build(in));
    EXPECT_EQ(std::memcmp(w.data(), "ST  ", 4), 0);
}

TEST(PlayerStatusTest, ResultCodesGiveTheirMessages) {
    EXPECT_EQ(PlayerStatus::ResultMessage(0), nullptr);
    EXPECT_EQ(PlayerStatus::ResultMessage(1), nullptr);
    EXPECT_STREQ(PlayerStatus::ResultMessage(2), "Unknown Error");
    EXPECT_STREQ(PlayerStatus::ResultMessage(4), "Unsupported Sample Rate");
    EXPECT_STREQ(PlayerStatus::ResultMessage(10), "Unknown Audio Type");
    EXPECT_STREQ(PlayerStatus::ResultMessage(12), "Error Reading Stream");
    EXPECT_STREQ(PlayerStatus::ResultMessage(16), "Unsupported Output Flags");
    EXPECT_EQ(PlayerStatus::ResultMessage(17), nullptr);
    EXPECT_EQ(PlayerStatus::ResultMessage(0xFFFFFFFFu), nullptr);
}

}  // namespace
