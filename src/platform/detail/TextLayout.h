#pragma once

// Line breaking and placement of text, apart from pixels. Included only by
// platform sources; pure, any thread.

#include <string>
#include <string_view>
#include <vector>

namespace detail {

enum class HorizontalAlign { kLeft, kCenter, kRight };
enum class VerticalAlign { kTop, kCenter, kBottom };
enum class LineMode { kSingleLine, kWordWrap };
enum class Overflow { kVisible, kEllipsis };

// The draw-text flag word turned into typed options once, at the edge.
struct TextOptions {
    HorizontalAlign horizontal = HorizontalAlign::kLeft;
    VerticalAlign vertical = VerticalAlign::kTop;
    LineMode lines = LineMode::kSingleLine;
    Overflow overflow = Overflow::kVisible;

    // Centre wins over right and over bottom when both are set.
    static TextOptions FromFlags(unsigned long flags);
};

// What the layout needs to know of a face.
class GlyphMetrics {
public:
    virtual ~GlyphMetrics() = default;
    virtual int Advance(char32_t c) const = 0;
    // Pixels the ink of `c` reaches past its advance (0 when none).
    virtual int Overhang(char32_t c) const = 0;
    virtual bool HasGlyph(char32_t c) const = 0;
};

struct TextLine {
    std::u32string text;
    int width = 0;  // advances plus the last glyph's overhang
};

// Width of a run as the layout counts it.
int MeasureRun(std::u32string_view text, const GlyphMetrics& metrics);

// Breaks `text` into lines no wider than `maxWidth` (single-line mode: one
// line; newlines then count as spaces). Word wrap breaks at spaces, or
// inside a word longer than a line, and keeps at most `maxLines` (>= 1)
// lines. With the ellipsis, text that does not fit ends in U+2026 (or "..."
// when the face lacks it) and no line is wider than `maxWidth`.
std::vector<TextLine> LayoutText(std::u32string_view text, const TextOptions& options, int maxWidth, int maxLines,
                                 const GlyphMetrics& metrics);

}  // namespace detail
