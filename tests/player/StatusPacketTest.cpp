#include "player/StatusPacket.h"

#include <gtest/gtest.h>

// The one check of the STAT wire layout. Every field gets distinct bytes so
// a field at the wrong offset, in the wrong order or of the wrong width shows:
// after the event code and the format letter, the bytes run 0x01 to 0x24.
TEST(StatusPacketTest, EachFieldLandsAtItsOffsetMostSignificantByteFirst) {
    const StatusPacket packet{.eventCode = {'S', 'T', 'M', 'h'}, .reserved = 0x01, .streamFormat = 'p', .modeByte = 0x02,
                              .size = 0x03040506, .fullness = 0x0708090A, .bytesRx = 0x0B0C0D0E0F101112ull,
                              .signalStrength = 0x1314, .runningMilliseconds = 0x15161718, .outputSize = 0x191A1B1C,
                              .outputFullness = 0x1D1E1F20, .elapsedSeconds = 0x21222324};
    std::array<uint8_t, StatusPacket::kWireSize> expected{'S', 'T', 'M', 'h', 0x01, 'p'};
    for (std::size_t i = 6; i < expected.size(); ++i) expected[i] = uint8_t(i - 4);
    EXPECT_EQ(SerializeStatusPacket(packet), expected);
}
