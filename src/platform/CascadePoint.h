#pragma once

// A position in pixels. Windows and bitmaps use the same integer space.
struct CascadePoint {
    int x = 0;
    int y = 0;

    constexpr CascadePoint() = default;
    constexpr CascadePoint(int px, int py) : x(px), y(py) {}
    constexpr bool operator==(const CascadePoint&) const = default;
    constexpr CascadePoint operator+(const CascadePoint& o) const { return {x + o.x, y + o.y}; }
    constexpr CascadePoint operator-(const CascadePoint& o) const { return {x - o.x, y - o.y}; }
};
