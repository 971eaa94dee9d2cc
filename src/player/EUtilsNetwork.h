#pragma once

// Network helpers of the EUtils namespace (the text helpers live in
// server/EUtils.h). Any thread; no state is kept.
namespace EUtils {

// Fills the 6 bytes at `address` with the hardware address of the first
// interface, in the kernel's interface list order, that is not the loopback
// interface and reports a hardware address. False, with `address` untouched,
// when no interface qualifies or the interfaces cannot be listed.
[[nodiscard]] bool GetMACAddress(unsigned char* address);

}  // namespace EUtils
