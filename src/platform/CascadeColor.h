#pragma once

#include <cstdint>

// A colour as one 32-bit word: red << 24 | green << 16 | blue << 8 | alpha.
// Alpha 0 is fully transparent, 255 opaque.
struct CascadeColor {
    uint32_t value = 0;

    constexpr CascadeColor() = default;
    constexpr explicit CascadeColor(uint32_t rgba) : value(rgba) {}
    constexpr CascadeColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
        : value(uint32_t(r) << 24 | uint32_t(g) << 16 | uint32_t(b) << 8 | a) {}
    constexpr bool operator==(const CascadeColor&) const = default;

    constexpr uint8_t Red() const { return uint8_t(value >> 24); }
    constexpr uint8_t Green() const { return uint8_t(value >> 16); }
    constexpr uint8_t Blue() const { return uint8_t(value >> 8); }
    constexpr uint8_t Alpha() const { return uint8_t(value); }

    // The pixel word of a CascadeBitmap: 0xAARRGGBB in native byte order.
    constexpr uint32_t ToARGB() const { return uint32_t(Alpha()) << 24 | value >> 8; }
    static constexpr CascadeColor FromARGB(uint32_t argb) { return CascadeColor(argb << 8 | argb >> 24); }
};
