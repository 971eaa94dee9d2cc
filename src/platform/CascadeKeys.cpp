#include "platform/CascadeKeys.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace CascadeKeys {
namespace {

constexpr std::array<std::pair<std::string_view, unsigned long>, 27> kNames{{
    {"Select", kSelect},     {"Up", kUp},           {"Down", kDown},         {"Left", kLeft},
    {"Right", kRight},       {"Play", kPlay},       {"Play/Pause", kPlayPause}, {"Stop", kStop},
    {"Next", kNext},         {"Previous", kPrevious}, {"Zoom In", kZoomIn},  {"Zoom Out", kZoomOut},
    {"Rotate", kRotate},     {"Menu", kMenu},       {"Options", kOptions},   {"Exit", kExit},
    {"2", 0x10027},          {"3", 0x10028},        {"4", 0x10029},          {"5", 0x1002A},
    {"6", 0x1002B},          {"7", 0x1002C},        {"8", 0x1002D},          {"9", 0x1002E},
    {"Volume Up", kVolumeUp}, {"Volume Down", kVolumeDown}, {"Mute", kMute},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<unsigned long> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<unsigned long> Parse(std::string_view text) {
    for (const auto& [name, code] : kNames)
        if (EqualNoCase(name, text)) return code;
    if (text.empty() || text.size() == 1) return std::nullopt;  // single digits are names above
    return ParseNumber(text);
}

std::string_view Name(unsigned long key) {
    for (const auto& [name, code] : kNames)
        if (code == key) return name;
    return {};
}

}  // namespace CascadeKeys
