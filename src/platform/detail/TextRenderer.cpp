#include "platform/detail/TextRenderer.h"

#include "platform/detail/FontFace.h"
#include "platform/detail/PixelBlend.h"
#include "platform/detail/Utf8.h"

#include <algorithm>

namespace detail {
namespace {

// Where drawing goes: storage pixels, the view's origin and its clip in
// storage coordinates.
struct Surface {
    uint32_t* pixels;
    int stride;
    CascadePoint origin;
    CascadeRect clip;
};

// Blends one glyph whose pen sits at (penX, baseline) in view coordinates.
void DrawGlyph(const Surface& surface, const Glyph& glyph, int penX, int baseline, uint32_t rgb, uint32_t alpha) {
    if (glyph.width <= 0 || glyph.height <= 0) return;
    const CascadeRect ink{penX + glyph.left + surface.origin.x, baseline - glyph.top + surface.origin.y, glyph.width,
                          glyph.height};
    const CascadeRect visible = ink.MakeIntersectRect(surface.clip);
    if (visible.IsEmpty()) return;
    for (int y = visible.y; y < visible.Bottom(); ++y) {
        const uint8_t* coverage =
            &glyph.coverage[std::size_t(y - ink.y) * std::size_t(glyph.width) + std::size_t(visible.x - ink.x)];
        uint32_t* row = surface.pixels + std::size_t(y) * std::size_t(surface.stride) + visible.x;
        BlendCoverageRow(row, coverage, visible.w, rgb, alpha);
    }
}

int LineLeft(const CascadeRect& rect, int width, HorizontalAlign align) {
    switch (align) {
        case HorizontalAlign::kCenter: return rect.x + (rect.w - width) / 2;
        case HorizontalAlign::kRight: return rect.Right() - width;
        case HorizontalAlign::kLeft: break;
    }
    return rect.x;
}

int BlockTop(const CascadeRect& rect, int height, VerticalAlign align) {
    switch (align) {
        case VerticalAlign::kCenter: return rect.y + (rect.h - height) / 2;
        case VerticalAlign::kBottom: return rect.Bottom() - height;
        case VerticalAlign::kTop: break;
    }
    return rect.y;
}

}  // namespace

int RenderText(CascadeBitmap& target, const FontFace& face, const CascadeRect& rect, std::string_view utf8,
               const CascadeColor& color, const TextOptions& options) {
    if (utf8.empty()) return 0;
    const int lineHeight = std::max(1, face.LineHeight());
    const int maxLines = std::max(1, rect.h / lineHeight);
    const std::vector<TextLine> lines = LayoutText(DecodeUtf8(utf8), options, rect.w, maxLines, face);
    const int height = int(lines.size()) * lineHeight;
    const CascadeRect clip = target.GetClip();
    if (!target.IsValid() || clip.IsEmpty() || color.Alpha() == 0) return height;
    const CascadePoint origin = target.GetOrigin();
    const Surface surface{target.GetPixels(), target.GetStride(), origin, clip.Offset(origin.x, origin.y)};
    const uint32_t rgb = color.ToARGB() & 0xFFFFFFu;
    int baseline = BlockTop(rect, height, options.vertical) + face.Ascent();
    for (const TextLine& line : lines) {
        int pen = LineLeft(rect, line.width, options.horizontal);
        for (char32_t c : line.text) {
            const Glyph& glyph = face.GetGlyph(c);
            DrawGlyph(surface, glyph, pen, baseline, rgb, color.Alpha());
            pen += glyph.advance;
        }
        baseline += lineHeight;
    }
    return height;
}

}  // namespace detail
