#include "SkinPainter.h"

#include "platform/CascadeFont.h"
#include "platform/CascadeTextFlags.h"

#include <algorithm>
#include <cmath>

namespace SkinPainter {

namespace {

uint8_t Mix(uint8_t a, uint8_t b, double t) { return uint8_t(std::lround(a + (b - a) * t)); }

CascadeColor Lerp(CascadeColor a, CascadeColor b, double t) {
    return CascadeColor(Mix(a.Red(), b.Red(), t), Mix(a.Green(), b.Green(), t), Mix(a.Blue(), b.Blue(), t),
                        Mix(a.Alpha(), b.Alpha(), t));
}

CascadeColor WithAlpha(CascadeColor c, double coverage) {
    return CascadeColor(c.Red(), c.Green(), c.Blue(), uint8_t(std::lround(c.Alpha() * std::clamp(coverage, 0.0, 1.0))));
}

// Coverage of pixel (x, y) by a rounded rectangle, anti-aliased at the corners.
double Coverage(const CascadeRect& r, int radius, int x, int y) {
    const double px = x + 0.5, py = y + 0.5;
    const double cx = std::clamp(px, double(r.x + radius), double(r.Right() - radius));
    const double cy = std::clamp(py, double(r.y + radius), double(r.Bottom() - radius));
    const double d = std::hypot(px - cx, py - cy);
    return std::clamp(radius + 0.5 - d, 0.0, 1.0);
}

template <typename ColorAt>
void FillRounded(CascadeBitmap& b, const CascadeRect& r, int radius, ColorAt colorAt) {
    for (int y = r.y; y < r.Bottom(); ++y) {
        const CascadeColor rowColor = colorAt(y);
        for (int x = r.x; x < r.Right(); ++x) {
            const double c = Coverage(r, radius, x, y);
            if (c > 0) b.SetPixel(x, y, WithAlpha(rowColor, c));
        }
    }
}

}  // namespace

void VerticalGradient(CascadeBitmap& b, CascadeColor top, CascadeColor bottom) {
    const CascadeDims d = b.GetDims();
    for (int y = 0; y < d.h; ++y) b.FillRect({0, y, d.w, 1}, Lerp(top, bottom, d.h > 1 ? double(y) / (d.h - 1) : 0));
}

void Vignette(CascadeBitmap& b, int strength) {
    const CascadeDims d = b.GetDims();
    const double cx = d.w / 2.0, cy = d.h / 2.0, max = std::hypot(cx, cy);
    for (int y = 0; y < d.h; ++y)
        for (int x = 0; x < d.w; x += 1) {
            const double t = std::pow(std::hypot(x - cx, y - cy) / max, 2.2);
            b.SetPixel(x, y, CascadeColor(0, 0, 0, uint8_t(std::clamp(t * strength, 0.0, 255.0))));
        }
}

void RoundedRect(CascadeBitmap& b, const CascadeRect& r, int radius, CascadeColor fill) {
    FillRounded(b, r, radius, [&](int) { return fill; });
}

void RoundedGradient(CascadeBitmap& b, const CascadeRect& r, int radius, CascadeColor top, CascadeColor bottom) {
    FillRounded(b, r, radius, [&](int y) { return Lerp(top, bottom, r.h > 1 ? double(y - r.y) / (r.h - 1) : 0); });
}

void RoundedFrame(CascadeBitmap& b, const CascadeRect& r, int radius, int width, CascadeColor color) {
    CascadeRect inner = r;
    inner.InsetRect(width, width);
    const int innerRadius = std::max(radius - width, 0);
    for (int y = r.y; y < r.Bottom(); ++y)
        for (int x = r.x; x < r.Right(); ++x) {
            const double c = Coverage(r, radius, x, y) - Coverage(inner, innerRadius, x, y);
            if (c > 0) b.SetPixel(x, y, WithAlpha(color, c));
        }
}

void Label(CascadeBitmap& b, const CascadeRect& r, const char* text, int size, bool bold, CascadeColor color,
           LabelAlign align) {
    const CascadeFont font("system", bold ? CascadeFont::kBold : CascadeFont::kNormal, size);
    const unsigned long flags = CascadeTextFlags::kCenterVertical |
        (align == LabelAlign::kLeft ? CascadeTextFlags::kAlignLeft : CascadeTextFlags::kCenterHorizontal);
    b.DrawText(font, r.Offset(1, 2), text, CascadeColor(0, 0, 0, 150), flags);
    b.DrawText(font, r, text, color, flags);
}

}  // namespace SkinPainter
