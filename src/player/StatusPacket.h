#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The player's status report (the STAT payload) in host byte order. The
// player fills one per report; SerializeStatusPacket turns it into the 41
// bytes the server parses, every multi-byte field big-endian.
struct StatusPacket {
    static constexpr std::size_t kWireSize = 41;

    std::array<char, 4> eventCode{};  // four ASCII letters, e.g. "STMt"
    uint8_t reserved = 0;
    uint8_t streamFormat = 0;  // format letter of the last strm command, 0 before any
    uint8_t modeByte = 1;
    uint32_t size = 0;       // read-ahead buffer size
    uint32_t fullness = 0;   // bytes waiting in the read-ahead buffer
    uint64_t bytesRx = 0;    // bytes received of the current stream
    uint16_t signalStrength = 255;
    uint32_t runningMilliseconds = 0;
    uint32_t outputSize = 0;
    uint32_t outputFullness = 0;
    uint32_t elapsedSeconds = 0;
};

namespace StatusPacketDetail {

template <typename T>
constexpr std::size_t PutBigEndian(std::array<uint8_t, StatusPacket::kWireSize>& out, std::size_t at, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out[at + i] = uint8_t(uint64_t(value) >> (8 * (sizeof(T) - 1 - i)));
    return at + sizeof(T);
}

}  // namespace StatusPacketDetail

// The wire form of `packet`: event code at 0, reserved 4, format 5, mode 6,
// size 7, fullness 11, bytesRx 15, signal 23, running ms 25, output size 29,
// output fullness 33, elapsed seconds 37. Pure; any thread.
constexpr std::array<uint8_t, StatusPacket::kWireSize> SerializeStatusPacket(const StatusPacket& packet) {
    using StatusPacketDetail::PutBigEndian;
    std::array<uint8_t, StatusPacket::kWireSize> out{};
    std::size_t at = 0;
    for (char c : packet.eventCode) out[at++] = uint8_t(c);
    at = PutBigEndian(out, at, packet.reserved);
    at = PutBigEndian(out, at, packet.streamFormat);
    at = PutBigEndian(out, at, packet.modeByte);
    at = PutBigEndian(out, at, packet.size);
    at = PutBigEndian(out, at, packet.fullness);
    at = PutBigEndian(out, at, packet.bytesRx);
    at = PutBigEndian(out, at, packet.signalStrength);
    at = PutBigEndian(out, at, packet.runningMilliseconds);
    at = PutBigEndian(out, at, packet.outputSize);
    at = PutBigEndian(out, at, packet.outputFullness);
    PutBigEndian(out, at, packet.elapsedSeconds);
    return out;
}
