#pragma once

#include <optional>
#include <string_view>

// The remote's key codes as the application receives them.
namespace CascadeKeys {
constexpr unsigned long kSelect = 0x1000B;
constexpr unsigned long kUp = 0x1000C;
constexpr unsigned long kDown = 0x1000D;
constexpr unsigned long kLeft = 0x1000E;
constexpr unsigned long kRight = 0x1000F;
// The player's volume on the server; codes the remote of the box never sent.
constexpr unsigned long kVolumeUp = 0x10010;
constexpr unsigned long kVolumeDown = 0x10011;
constexpr unsigned long kMute = 0x10012;
constexpr unsigned long kPlay = 0x10016;
constexpr unsigned long kPlayPause = 0x10018;
constexpr unsigned long kStop = 0x10019;
constexpr unsigned long kNext = 0x1001B;
constexpr unsigned long kPrevious = 0x1001C;
constexpr unsigned long kZoomIn = 0x1001D;
constexpr unsigned long kZoomOut = 0x1001E;
constexpr unsigned long kRotate = 0x1001F;
constexpr unsigned long kMenu = 0x10020;
constexpr unsigned long kOptions = 0x10021;
constexpr unsigned long kExit = 0x10022;
constexpr unsigned long kNoActivity = 0x10024;  // never counts as user activity
constexpr unsigned long kDigit2 = 0x10027;      // digits 2..9 are 0x10027..0x1002E
constexpr unsigned long kDigit9 = 0x1002E;

constexpr bool IsArrow(unsigned long key) { return key >= kUp && key <= kRight; }
constexpr bool IsVolume(unsigned long key) { return key >= kVolumeUp && key <= kMute; }

// A key given as text: "0x1000B", "65547", or a name such as "Select",
// "Play/Pause", "Zoom In", "Volume Up" or "2" (names without regard to case).
std::optional<unsigned long> Parse(std::string_view text);
// The name of a key code, or "" for codes without one.
std::string_view Name(unsigned long key);
}  // namespace CascadeKeys
