#pragma once

#include "platform/CascadeDims.h"
#include "platform/CascadePoint.h"

#include <algorithm>

// An axis-aligned rectangle: origin plus size. Empty when either side is <= 0.
struct CascadeRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    constexpr CascadeRect() = default;
    constexpr CascadeRect(int px, int py, int width, int height) : x(px), y(py), w(width), h(height) {}
    constexpr CascadeRect(const CascadePoint& p, const CascadeDims& d) : x(p.x), y(p.y), w(d.w), h(d.h) {}
    constexpr bool operator==(const CascadeRect&) const = default;

    constexpr int Right() const { return x + w; }    // one past the last column
    constexpr int Bottom() const { return y + h; }   // one past the last row
    constexpr bool IsEmpty() const { return w <= 0 || h <= 0; }
    constexpr CascadePoint Origin() const { return {x, y}; }
    constexpr CascadeDims Dims() const { return {w, h}; }
    constexpr bool Contains(const CascadePoint& p) const { return p.x >= x && p.y >= y && p.x < Right() && p.y < Bottom(); }
    constexpr bool Contains(const CascadeRect& r) const {
        return !r.IsEmpty() && r.x >= x && r.y >= y && r.Right() <= Right() && r.Bottom() <= Bottom();
    }

    // True when the two rectangles share at least one pixel.
    constexpr bool IntersectRect(const CascadeRect& o) const { return !MakeIntersectRect(o).IsEmpty(); }

    // The common part; an empty rectangle (all zero) when there is none.
    constexpr CascadeRect MakeIntersectRect(const CascadeRect& o) const {
        const int l = std::max(x, o.x), t = std::max(y, o.y);
        const int r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
        if (r <= l || b <= t) return {};
        return {l, t, r - l, b - t};
    }

    // The smallest rectangle holding both; an empty side is ignored.
    constexpr CascadeRect MakeUnionRect(const CascadeRect& o) const {
        if (o.IsEmpty()) return *this;
        if (IsEmpty()) return o;
        const int l = std::min(x, o.x), t = std::min(y, o.y);
        const int r = std::max(Right(), o.Right()), b = std::max(Bottom(), o.Bottom());
        return {l, t, r - l, b - t};
    }

    // Shrinks by dx on the left and right and dy on top and bottom (negative grows).
    constexpr void InsetRect(int dx, int dy) {
        x += dx;
        y += dy;
        w -= 2 * dx;
        h -= 2 * dy;
    }

    constexpr CascadeRect Offset(int dx, int dy) const { return {x + dx, y + dy, w, h}; }
};
