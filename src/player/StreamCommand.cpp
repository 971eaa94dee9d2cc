#include "player/StreamCommand.h"

#include <algorithm>
#include <cstring>
#include <string_view>

StreamCommand StreamCommand::Parse(const uint8_t* data, std::size_t length) {
    StreamCommand c;
    if (!data) length = 0;
    // The last byte of the area stays 0 so the request text always ends.
    const std::size_t kept = std::min(length, kAreaSize - 1);
    c.truncated = length > kept;
    if (kept > 0) std::memcpy(c.area.data(), data, kept);
    c.command = char(c.area[0]);
    c.autostart = c.area[1] == '1' || c.area[1] == '3';
    c.format = c.area[2];
    c.thresholdBytes = uint32_t(c.area[7]) * 1024u;
    const auto* text = reinterpret_cast<const char*>(c.area.data() + kRequestOffset);
    std::string_view request(text, strnlen(text, kAreaSize - kRequestOffset));
    // The second token, with blanks as the only separator (the line end of
    // "GET /path HTTP/1.0\n" stays inside the third token).
    std::size_t at = request.find_first_not_of(' ');
    at = at == std::string_view::npos ? at : request.find(' ', at);
    at = at == std::string_view::npos ? at : request.find_first_not_of(' ', at);
    if (at != std::string_view::npos) c.path = std::string(request.substr(at, request.find(' ', at) - at));
    return c;
}
