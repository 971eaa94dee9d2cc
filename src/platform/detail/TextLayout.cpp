#include "platform/detail/TextLayout.h"

#include "platform/CascadeTextFlags.h"

#include <algorithm>

namespace detail {
namespace {

constexpr char32_t kEllipsisCharacter = 0x2026;

// Tabs become spaces, newlines stay only where they break lines, other
// control characters have no glyph worth drawing and are dropped.
std::u32string Normalise(std::u32string_view text, LineMode mode) {
    std::u32string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c == '\n') {
            out.push_back(mode == LineMode::kWordWrap ? U'\n' : U' ');
        } else if (c == '\t') {
            out.push_back(U' ');
        } else if (c >= 0x20 && c != 0x7F) {
            out.push_back(c);
        }
    }
    return out;
}

std::u32string_view TrimTrailingSpaces(std::u32string_view text) {
    while (!text.empty() && text.back() == U' ') text.remove_suffix(1);
    return text;
}

TextLine MakeLine(std::u32string_view text, const GlyphMetrics& metrics) {
    return {std::u32string(text), MeasureRun(text, metrics)};
}

// `text` cut so that it and the ellipsis fit `maxWidth`; `forced` adds the
// ellipsis even when the text itself fits (more text followed it).
TextLine Ellipsize(std::u32string_view text, int maxWidth, const GlyphMetrics& metrics, bool forced) {
    const int width = MeasureRun(text, metrics);
    if (!forced && width <= maxWidth) return {std::u32string(text), width};
    const std::u32string ellipsis = metrics.HasGlyph(kEllipsisCharacter) ? std::u32string(1, kEllipsisCharacter) : U"...";
    const int ellipsisWidth = MeasureRun(ellipsis, metrics);
    if (ellipsisWidth > maxWidth) return {};
    int pen = 0;
    std::size_t count = 0;
    while (count < text.size() && pen + metrics.Advance(text[count]) + ellipsisWidth <= maxWidth)
        pen += metrics.Advance(text[count++]);
    std::u32string line(TrimTrailingSpaces(text.substr(0, count)));
    line += ellipsis;
    return MakeLine(line, metrics);
}

// Greedy breaking of one paragraph (no newlines) into `lines`; stops once
// there is one line more than `maxLines` so the caller knows text was left.
void WrapParagraph(std::u32string_view text, int maxWidth, std::size_t maxLines, const GlyphMetrics& metrics,
                   std::vector<TextLine>& lines) {
    std::size_t position = 0;
    for (bool first = true; lines.size() <= maxLines; first = false) {
        if (!first) {
            while (position < text.size() && text[position] == U' ') ++position;
            if (position >= text.size()) return;
        } else if (text.empty()) {
            lines.emplace_back();  // an empty paragraph is an empty line
            return;
        }
        int pen = 0;
        std::size_t end = position, lastSpace = std::u32string_view::npos;
        for (; end < text.size(); ++end) {
            const char32_t c = text[end];
            if (c == U' ') {
                if (end > position) lastSpace = end;
            } else if (pen + metrics.Advance(c) + metrics.Overhang(c) > maxWidth) {
                break;  // spaces may hang past the edge; ink may not
            }
            pen += metrics.Advance(c);
        }
        std::size_t next = end;
        if (end < text.size()) {
            next = lastSpace != std::u32string_view::npos ? lastSpace : std::max(end, position + 1);
        }
        lines.push_back(MakeLine(TrimTrailingSpaces(text.substr(position, next - position)), metrics));
        position = next;
        if (position >= text.size()) return;
    }
}

std::vector<TextLine> LayoutWrapped(std::u32string_view text, const TextOptions& options, int maxWidth,
                                    std::size_t maxLines, const GlyphMetrics& metrics) {
    std::vector<TextLine> lines;
    std::size_t start = 0;
    while (lines.size() <= maxLines) {
        const std::size_t newline = text.find(U'\n', start);
        WrapParagraph(text.substr(start, newline == std::u32string_view::npos ? newline : newline - start), maxWidth,
                      maxLines, metrics, lines);
        if (newline == std::u32string_view::npos) break;
        start = newline + 1;
    }
    const bool cut = lines.size() > maxLines;
    if (cut) lines.resize(maxLines);
    if (options.overflow == Overflow::kEllipsis) {
        for (TextLine& line : lines)
            if (line.width > maxWidth) line = Ellipsize(line.text, maxWidth, metrics, false);
        if (cut && !lines.empty()) lines.back() = Ellipsize(lines.back().text, maxWidth, metrics, true);
    }
    return lines;
}

}  // namespace

TextOptions TextOptions::FromFlags(unsigned long flags) {
    namespace flag = CascadeTextFlags;
    TextOptions options;
    if (flags & flag::kCenterHorizontal) {
        options.horizontal = HorizontalAlign::kCenter;
    } else if (flags & flag::kAlignRight) {
        options.horizontal = HorizontalAlign::kRight;
    }
    if (flags & flag::kCenterVertical) {
        options.vertical = VerticalAlign::kCenter;
    } else if (flags & flag::kAlignBottom) {
        options.vertical = VerticalAlign::kBottom;
    }
    if (flags & flag::kWordWrap) options.lines = LineMode::kWordWrap;
    if (flags & flag::kEllipsis) options.overflow = Overflow::kEllipsis;
    return options;
}

int MeasureRun(std::u32string_view text, const GlyphMetrics& metrics) {
    int width = 0;
    for (char32_t c : text) width += metrics.Advance(c);
    if (!text.empty()) width += std::max(0, metrics.Overhang(text.back()));
    return width;
}

std::vector<TextLine> LayoutText(std::u32string_view text, const TextOptions& options, int maxWidth, int maxLines,
                                 const GlyphMetrics& metrics) {
    const std::u32string clean = Normalise(text, options.lines);
    if (options.lines == LineMode::kWordWrap)
        return LayoutWrapped(clean, options, maxWidth, std::size_t(std::max(1, maxLines)), metrics);
    if (options.overflow == Overflow::kEllipsis) return {Ellipsize(clean, maxWidth, metrics, false)};
    return {MakeLine(clean, metrics)};
}

}  // namespace detail
