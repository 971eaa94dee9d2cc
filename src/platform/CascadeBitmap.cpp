#include "platform/CascadeBitmap.h"

#include "platform/CascadeFont.h"
#include "platform/detail/BitmapStorage.h"
#include "platform/detail/PixelBlend.h"
#include "platform/detail/TextRenderer.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kMaxSide = 16384;
// Lines longer than this are first cut to the clip so a wild end point
// cannot make the pixel walk run for billions of steps.
constexpr int64_t kLongLine = 1 << 16;

// The common part of a rectangle given in 64-bit edges and `clip`; edges
// are computed wide so far-away coordinates cannot overflow.
CascadeRect IntersectWide(int64_t left, int64_t top, int64_t right, int64_t bottom, const CascadeRect& clip) {
    left = std::max<int64_t>(left, clip.x);
    top = std::max<int64_t>(top, clip.y);
    right = std::min<int64_t>(right, clip.Right());
    bottom = std::min<int64_t>(bottom, clip.Bottom());
    if (right <= left || bottom <= top) return {};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

// Liang-Barsky: cuts the segment to `box` (inclusive pixel edges); false
// when nothing of it is inside.
bool CutLine(int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1, const CascadeRect& box) {
    const double dx = double(x1 - x0), dy = double(y1 - y0);
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {double(x0 - box.x), double(box.Right() - 1 - x0), double(y0 - box.y),
                         double(box.Bottom() - 1 - y0)};
    double t0 = 0.0, t1 = 1.0;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double sx = double(x0), sy = double(y0);
    x0 = std::llround(sx + t0 * dx), y0 = std::llround(sy + t0 * dy);
    x1 = std::llround(sx + t1 * dx), y1 = std::llround(sy + t1 * dy);
    return true;
}

}  // namespace

CascadeBitmap::CascadeBitmap() = default;
CascadeBitmap::~CascadeBitmap() = default;
CascadeBitmap::CascadeBitmap(CascadeBitmap&&) noexcept = default;
CascadeBitmap& CascadeBitmap::operator=(CascadeBitmap&&) noexcept = default;

bool CascadeBitmap::Create(const CascadeDims& dims, int /*ramType*/) {
    if (dims.w <= 0 || dims.h <= 0 || dims.w > kMaxSide || dims.h > kMaxSide) {
        Release();
        return false;
    }
    Adopt(std::vector<uint32_t>(std::size_t(dims.w) * std::size_t(dims.h), 0u), dims);
    return true;
}

void CascadeBitmap::Release() {
    m_storage.reset();
    m_origin = {};
    m_clip = {};
}

bool CascadeBitmap::IsValid() const { return m_storage != nullptr; }

CascadeDims CascadeBitmap::GetDims() const { return GetStorageDims(); }

void CascadeBitmap::Adopt(std::vector<uint32_t>&& pixels, const CascadeDims& dims) {
    auto storage = std::make_shared<Storage>();
    storage->width = dims.w;
    storage->height = dims.h;
    storage->pixels = std::move(pixels);
    m_storage = std::move(storage);
    m_origin = {};
    m_clip = {0, 0, dims.w, dims.h};
}

CascadeBitmap CascadeBitmap::View(const CascadePoint& origin, const CascadeRect& clip) {
    CascadeBitmap view;
    view.m_storage = m_storage;
    view.m_origin = m_origin + origin;
    view.m_clip = IntersectWide(int64_t(clip.x) + m_origin.x, int64_t(clip.y) + m_origin.y,
                                int64_t(clip.x) + clip.w + m_origin.x, int64_t(clip.y) + clip.h + m_origin.y, m_clip);
    return view;
}

CascadeRect CascadeBitmap::GetClip() const {
    if (m_clip.IsEmpty()) return {};
    return m_clip.Offset(-m_origin.x, -m_origin.y);
}

CascadePoint CascadeBitmap::GetOrigin() const { return m_origin; }

uint32_t* CascadeBitmap::GetPixels() { return m_storage ? m_storage->pixels.data() : nullptr; }
const uint32_t* CascadeBitmap::GetPixels() const { return m_storage ? m_storage->pixels.data() : nullptr; }
int CascadeBitmap::GetStride() const { return m_storage ? m_storage->width : 0; }

CascadeDims CascadeBitmap::GetStorageDims() const {
    return m_storage ? CascadeDims{m_storage->width, m_storage->height} : CascadeDims{};
}

CascadeRect CascadeBitmap::ClipToStorage(const CascadeRect& rect) const {
    if (!m_storage || rect.IsEmpty()) return {};
    const int64_t left = int64_t(rect.x) + m_origin.x, top = int64_t(rect.y) + m_origin.y;
    return IntersectWide(left, top, left + rect.w, top + rect.h, m_clip);
}

uint32_t* CascadeBitmap::StorageRow(int y) const {
    return m_storage->pixels.data() + std::size_t(y) * std::size_t(m_storage->width);
}

uint32_t CascadeBitmap::GetPixel(int x, int y) const {
    if (!m_storage) return 0;
    const int64_t sx = int64_t(x) + m_origin.x, sy = int64_t(y) + m_origin.y;
    if (sx < 0 || sy < 0 || sx >= m_storage->width || sy >= m_storage->height) return 0;
    return StorageRow(int(sy))[sx];
}

void CascadeBitmap::SetPixel(int x, int y, const CascadeColor& color) {
    const CascadeRect r = ClipToStorage({x, y, 1, 1});
    if (r.IsEmpty()) return;
    uint32_t& pixel = StorageRow(r.y)[r.x];
    pixel = detail::BlendPixel(pixel, color.ToARGB(), color.Alpha());
}

void CascadeBitmap::Clear(const CascadeColor& color) {
    if (!m_storage || m_clip.IsEmpty()) return;
    const uint32_t word = color.ToARGB();
    for (int y = m_clip.y; y < m_clip.Bottom(); ++y) std::fill_n(StorageRow(y) + m_clip.x, m_clip.w, word);
}

void CascadeBitmap::FillRect(const CascadeRect& rect, const CascadeColor& color) {
    const CascadeRect r = ClipToStorage(rect);
    if (r.IsEmpty() || color.Alpha() == 0) return;
    const uint32_t rgb = color.ToARGB() & 0xFFFFFFu;
    for (int y = r.y; y < r.Bottom(); ++y) detail::FillRow(StorageRow(y) + r.x, r.w, rgb, color.Alpha());
}

void CascadeBitmap::FrameRect(const CascadeRect& rect, const CascadeColor& color, int thickness) {
    if (rect.IsEmpty() || thickness <= 0) return;
    if (thickness * 2 >= rect.w || thickness * 2 >= rect.h) {
        FillRect(rect, color);
        return;
    }
    // Four bands that do not overlap, so a translucent frame blends once.
    FillRect({rect.x, rect.y, rect.w, thickness}, color);
    FillRect({rect.x, rect.Bottom() - thickness, rect.w, thickness}, color);
    FillRect({rect.x, rect.y + thickness, thickness, rect.h - 2 * thickness}, color);
    FillRect({rect.Right() - thickness, rect.y + thickness, thickness, rect.h - 2 * thickness}, color);
}

void CascadeBitmap::DrawLine(const CascadePoint& from, const CascadePoint& to, const CascadeColor& color) {
    if (!m_storage || m_clip.IsEmpty() || color.Alpha() == 0) return;
    int64_t x0 = int64_t(from.x) + m_origin.x, y0 = int64_t(from.y) + m_origin.y;
    int64_t x1 = int64_t(to.x) + m_origin.x, y1 = int64_t(to.y) + m_origin.y;
    if (std::max(x0, x1) < m_clip.x || std::min(x0, x1) >= m_clip.Right() || std::max(y0, y1) < m_clip.y ||
        std::min(y0, y1) >= m_clip.Bottom())
        return;
    if (std::max(std::llabs(x1 - x0), std::llabs(y1 - y0)) > kLongLine && !CutLine(x0, y0, x1, y1, m_clip)) return;
    DrawLineClipped({int(x0), int(y0)}, {int(x1), int(y1)}, color.ToARGB() & 0xFFFFFFu, color.Alpha());
}

void CascadeBitmap::DrawLineClipped(CascadePoint from, CascadePoint to, uint32_t rgb, uint32_t alpha) {
    // Bresenham over storage coordinates; every pixel of the line once, both
    // end points included, each tested against the clip.
    const int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
    const int stepX = from.x < to.x ? 1 : -1, stepY = from.y < to.y ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        if (m_clip.Contains(from)) {
            uint32_t& pixel = StorageRow(from.y)[from.x];
            pixel = detail::BlendPixel(pixel, rgb, alpha);
        }
        if (from == to) break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            from.x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            from.y += stepY;
        }
    }
}

int CascadeBitmap::DrawText(const CascadeFont& font, const CascadeRect& rect, std::string_view utf8,
                            const CascadeColor& color, unsigned long flags) {
    return detail::RenderText(*this, font.Face(), rect, utf8, color, detail::TextOptions::FromFlags(flags));
}
