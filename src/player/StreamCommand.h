#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// One "strm" command as the player reads it: the payload kept in a 280-byte
// area (a longer payload is cut, with the request text then ending at the
// area's end), the command letter, autostart, format letter, buffer
// threshold and the stream path (second blank-separated token of the HTTP
// request text at offset 24). Bytes a short payload lacks read as 0.
// Pure; any thread.
class StreamCommand {
public:
    static constexpr std::size_t kAreaSize = 280;
    static constexpr std::size_t kRequestOffset = 24;

    // `truncated` tells the caller to log the cut.
    static StreamCommand Parse(const uint8_t* data, std::size_t length);

    char command = 0;
    bool autostart = false;       // byte 1 is '1' or '3'
    uint8_t format = 0;           // byte 2
    uint32_t thresholdBytes = 0;  // byte 7 × 1,024
    std::string path;
    bool truncated = false;
    std::array<uint8_t, kAreaSize> area{};
};
