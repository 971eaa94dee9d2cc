#pragma once

// A size in pixels.
struct CascadeDims {
    int w = 0;
    int h = 0;

    constexpr CascadeDims() = default;
    constexpr CascadeDims(int width, int height) : w(width), h(height) {}
    constexpr bool operator==(const CascadeDims&) const = default;
    constexpr bool IsEmpty() const { return w <= 0 || h <= 0; }
};
