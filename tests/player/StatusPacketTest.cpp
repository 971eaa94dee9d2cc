#include "player/StatusPacket.h"

#include <gtest/gtest.h>

// The one check of the STAT wire layout. Every field gets distinct bytes so
// a field at the wrong offset, in the wrong order or of the wrong width shows.
TEST(StatusPacketTest, EachFieldLandsAtItsOffsetMostSignificantByteFirst) {
    StatusPacket packet;
    packet.eventCode = {'S', 'T', 'M', 'h'};
    packet.reserved = 0x01;
    packet.streamFormat = 'p';
    packet.modeByte = 0x02;
    packet.size = 0x03040506;
    packet.fullness = 0x0708090A;
    packet.bytesRx = 0x0B0C0D0E0F101112ull;
    packet.signalStrength = 0x1314;
    packet.runningMilliseconds = 0x15161718;
    packet.outputSize = 0x191A1B1C;
    packet.outputFullness = 0x1D1E1F20;
    packet.elapsedSeconds = 0x21222324;
    const std::array<uint8_t, StatusPacket::kWireSize> expected{
        'S',  'T',  'M',  'h',  0x01, 'p',  0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
        0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
        0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24};
    EXPECT_EQ(SerializeStatusPacket(packet), expected);
}
