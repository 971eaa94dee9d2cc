#pragma once

// Bits of the draw-text flags word. The values are the ones the screens pass.
namespace CascadeTextFlags {
constexpr unsigned long kCenterVertical = 0x001;
constexpr unsigned long kCenterHorizontal = 0x002;
constexpr unsigned long kAlignLeft = 0x004;  // the default when neither centre nor right is set
constexpr unsigned long kAlignBottom = 0x008;
constexpr unsigned long kAlignRight = 0x020;
constexpr unsigned long kWordWrap = 0x040;   // wrap words over as many lines as fit
constexpr unsigned long kEllipsis = 0x100;   // one line, cut with "..." when too long
}  // namespace CascadeTextFlags
