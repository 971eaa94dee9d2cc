#pragma once

// Row operations on 0xAARRGGBB pixel words (straight, not premultiplied
// alpha). Included only by platform sources. All functions are pure and may
// be called from any thread on memory the caller owns.

#include <algorithm>
#include <cstdint>

namespace detail {

// x / 255 rounded to nearest, exact for 0 <= x <= 255 * 255 + 127.
constexpr uint32_t Div255(uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// Source over an opaque pixel: (source * a + destination * (255 - a)) / 255
// per channel, rounded exactly like Div255. Red and blue share one 32-bit
// multiply (each lane stays below 65536, so no carry crosses lanes).
constexpr uint32_t BlendOverOpaque(uint32_t dst, uint32_t rgb, uint32_t a) {
    const uint32_t inv = 255 - a;
    uint32_t rb = (rgb & 0x00FF00FFu) * a + (dst & 0x00FF00FFu) * inv + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t g = ((rgb >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * inv + 0x80u;
    g = ((g + (g >> 8)) >> 8) & 0xFF;
    return 0xFF000000u | rb | g << 8;
}

// "Source over" of one pixel: `rgb` (low 24 bits used) with alpha `sa`
// (0..255) onto the word `dst`. Exact for every destination alpha: an opaque
// destination takes the plain weighted mean, a transparent one becomes the
// source, anything between uses the full straight-alpha formula.
constexpr uint32_t BlendPixel(uint32_t dst, uint32_t rgb, uint32_t sa) {
    if (sa == 0) return dst;
    if (sa >= 255) return 0xFF000000u | (rgb & 0xFFFFFFu);
    const uint32_t da = dst >> 24;
    if (da == 0) return sa << 24 | (rgb & 0xFFFFFFu);
    const uint32_t inv = 255 - sa;
    if (da == 255) return BlendOverOpaque(dst, rgb, sa);
    // Weights scaled by 255: the source counts sa * 255, the destination
    // da * (255 - sa); their sum is the result alpha times 255.
    const uint32_t ws = sa * 255, wd = da * inv, total = ws + wd;
    auto channel = [&](int shift) {
        return (((rgb >> shift) & 0xFF) * ws + ((dst >> shift) & 0xFF) * wd + total / 2) / total;
    };
    return Div255(total) << 24 | channel(16) << 16 | channel(8) << 8 | channel(0);
}

// Fills `count` words with an opaque or translucent colour.
inline void FillRow(uint32_t* row, int count, uint32_t rgb, uint32_t alpha) {
    if (alpha == 0 || count <= 0) return;
    if (alpha >= 255) {
        std::fill_n(row, count, 0xFF000000u | (rgb & 0xFFFFFFu));
        return;
    }
    // Screens are opaque: check the row once, then blend without branches
    // so the compiler can vectorise the loop.
    bool opaque = true;
    for (int i = 0; i < count; ++i) opaque &= row[i] >= 0xFF000000u;
    if (!opaque) {
        for (int i = 0; i < count; ++i) row[i] = BlendPixel(row[i], rgb, alpha);
        return;
    }
    const uint32_t inv = 255 - alpha;
    const uint32_t sourceRb = (rgb & 0x00FF00FFu) * alpha + 0x00800080u;
    const uint32_t sourceG = ((rgb >> 8) & 0xFF) * alpha + 0x80u;
    for (int i = 0; i < count; ++i) {
        const uint32_t d = row[i];
        uint32_t rb = sourceRb + (d & 0x00FF00FFu) * inv;
        rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
        uint32_t g = sourceG + ((d >> 8) & 0xFF) * inv;
        g = ((g + (g >> 8)) >> 8) & 0xFF;
        row[i] = 0xFF000000u | rb | g << 8;
    }
}

// Blends `count` source words over the destination by each source alpha.
inline void BlendRow(uint32_t* dst, const uint32_t* src, int count) {
    for (int i = 0; i < count; ++i) {
        const uint32_t s = src[i];
        const uint32_t sa = s >> 24;
        if (sa == 255) {
            dst[i] = s;
        } else if (sa != 0) {
            dst[i] = BlendPixel(dst[i], s, sa);
        }
    }
}

// Blends a colour through 8-bit coverage (a glyph row): each pixel takes
// the colour with alpha coverage * alpha / 255.
inline void BlendCoverageRow(uint32_t* dst, const uint8_t* coverage, int count, uint32_t rgb, uint32_t alpha) {
    const uint32_t opaque = 0xFF000000u | (rgb & 0xFFFFFFu);
    for (int i = 0; i < count; ++i) {
        const uint32_t c = coverage[i];
        if (c == 0) continue;
        const uint32_t a = alpha >= 255 ? c : Div255(c * alpha);
        const uint32_t d = dst[i];
        if (a >= 255) {
            dst[i] = opaque;
        } else if (d >= 0xFF000000u) {
            dst[i] = BlendOverOpaque(d, rgb, a);
        } else {
            dst[i] = BlendPixel(d, rgb, a);
        }
    }
}

}  // namespace detail
