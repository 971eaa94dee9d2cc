#include "player/StatusPacket.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

using Wire = std::array<uint8_t, StatusPacket::kWireSize>;

}  // namespace

// The report the server's own documentation shows for a 41-byte STAT:
// STMt, 2 MiB buffer, 123456 waiting, 4567890 received, signal 0, 1234567 ms,
// output 3528000/1764000, 12 s played.
TEST(StatusPacketTest, SerialisesTheDocumentedReportByteForByte) {
    StatusPacket packet;
    packet.eventCode = {'S', 'T', 'M', 't'};
    packet.reserved = 0;
    packet.streamFormat = 0;
    packet.modeByte = 0;
    packet.size = 2097152;
    packet.fullness = 123456;
    packet.bytesRx = 4567890;
    packet.signalStrength = 0;
    packet.runningMilliseconds = 1234567;
    packet.outputSize = 3528000;
    packet.outputFullness = 1764000;
    packet.elapsedSeconds = 12;
    const Wire expected{0x53, 0x54, 0x4d, 0x74, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x01, 0xe2,
                        0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x45, 0xb3, 0x52, 0x00, 0x00, 0x00, 0x12, 0xd6,
                        0x87, 0x00, 0x35, 0xd5, 0x40, 0x00, 0x1a, 0xea, 0xa0, 0x00, 0x00, 0x00, 0x0c};
    EXPECT_EQ(SerializeStatusPacket(packet), expected);
}

// Every field gets distinct bytes so a field at the wrong offset, in the
// wrong order or of the wrong width shows.
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
    const Wire expected{'S',  'T',  'M',  'h',  0x01, 'p',  0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
                        0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                        0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24};
    EXPECT_EQ(SerializeStatusPacket(packet), expected);
}

TEST(StatusPacketTest, DefaultsAreModeOneAndFullSignal) {
    const Wire wire = SerializeStatusPacket(StatusPacket{});
    EXPECT_EQ(wire[6], 1);
    EXPECT_EQ(wire[23], 0);
    EXPECT_EQ(wire[24], 255);
}
