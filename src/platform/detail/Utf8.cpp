#include "platform/detail/Utf8.h"

#include <cstdint>

namespace detail {
namespace {

// Length of the sequence a lead byte announces; 0 for bytes that cannot lead.
int SequenceLength(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// The range the second byte must fall in so the value is neither overlong,
// a surrogate nor above U+10FFFF.
bool SecondByteValid(uint8_t lead, uint8_t second) {
    switch (lead) {
        case 0xE0: return second >= 0xA0 && second <= 0xBF;
        case 0xED: return second >= 0x80 && second <= 0x9F;
        case 0xF0: return second >= 0x90 && second <= 0xBF;
        case 0xF4: return second >= 0x80 && second <= 0x8F;
        default: return IsContinuation(second);
    }
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = uint8_t(text[i]);
        const int length = SequenceLength(lead);
        if (length == 1) {
            out.push_back(lead);
            ++i;
            continue;
        }
        // Take as many valid bytes as the sequence has; a fault replaces the
        // bytes seen so far with one U+FFFD.
        int taken = 1;
        bool valid = length > 0;
        char32_t value = length > 0 ? char32_t(lead & (0xFF >> (length + 1))) : 0;
        while (valid && taken < length) {
            if (i + std::size_t(taken) >= text.size()) {
                valid = false;
                break;
            }
            const auto byte = uint8_t(text[i + std::size_t(taken)]);
            valid = taken == 1 ? SecondByteValid(lead, byte) : IsContinuation(byte);
            if (!valid) break;
            value = value << 6 | (byte & 0x3F);
            ++taken;
        }
        out.push_back(valid ? value : kReplacementCharacter);
        i += std::size_t(taken);
    }
    return out;
}

}  // namespace detail
