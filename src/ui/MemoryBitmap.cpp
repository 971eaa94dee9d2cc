#include "ui/MemoryBitmap.h"

#include "platform/CascadeBitmap.h"

#include <algorithm>
#include <utility>

MemoryBitmap::~MemoryBitmap() { Close(); }

void MemoryBitmap::Init(const CascadeRect& region) {
    if (!IsOpen()) m_region = region;
}

bool MemoryBitmap::Open() {
    if (IsOpen()) return true;
    if (m_region.x < 0 || m_region.y < 0 || m_region.IsEmpty()) return false;
    m_screen.LockScreen();
    CascadeBitmap* screen = m_screen.GetMemory();
    uint32_t* base = screen ? screen->GetPixels() : nullptr;
    const CascadeDims dims = screen ? screen->GetStorageDims() : CascadeDims{};
    if (!base || m_region.x >= dims.w || m_region.y >= dims.h) {
        m_screen.UnlockScreen();
        return false;
    }
    m_stride = screen->GetStride();
    m_drawable = {std::min(m_region.w, dims.w - m_region.x), std::min(m_region.h, dims.h - m_region.y)};
    m_pixels = base + std::size_t(m_region.y) * std::size_t(m_stride) + std::size_t(m_region.x);
    return true;
}

void MemoryBitmap::Close() {
    if (!IsOpen()) return;
    m_pixels = nullptr;
    m_screen.UnlockScreen();
    m_screen.SwapBuffers(m_region);
}

void MemoryBitmap::SetPixel(const CascadePoint& p, uint32_t value) {
    if (!m_pixels || p.x < 0 || p.y < 0 || p.x >= m_drawable.w || p.y >= m_drawable.h) return;
    m_pixels[std::size_t(p.y) * std::size_t(m_stride) + std::size_t(p.x)] = value;
}

void MemoryBitmap::DrawLine(const CascadePoint& from, const CascadePoint& to, uint32_t value) {
    CascadePoint a = from, b = to;
    if (b.x < a.x || b.y < a.y) std::swap(a, b);
    const int dx = b.x - a.x, dy = b.y - a.y;
    if (dx == 0 && dy == 0) {
        SetPixel(a, value);
        return;
    }
    // The slope is added before each pixel, the first one included, as the
    // box's own surface does; the far end is then reached one step early.
    if (dx < dy) {
        const double slope = double(dx) / dy;
        double x = a.x;
        for (int y = a.y; y <= b.y; ++y) {
            x += slope;
            SetPixel({int(x), y}, value);
        }
        return;
    }
    const double slope = double(dy) / dx;
    double y = a.y;
    for (int x = a.x; x <= b.x; ++x) {
        y += slope;
        SetPixel({x, int(y)}, value);
    }
}

void MemoryBitmap::FrameRect(const CascadeRect& r, uint32_t value) {
    const int right = r.x + r.w - 1, bottom = r.y + r.h - 1;
    DrawLine({r.x, r.y}, {right, r.y}, value);
    DrawLine({right, r.y}, {right, bottom}, value);
    DrawLine({right, bottom}, {r.x, bottom}, value);
    DrawLine({r.x, bottom}, {r.x, r.y}, value);
}

void MemoryBitmap::FillRect(const CascadeRect& r, uint32_t value) {
    if (!m_pixels) return;
    // Rows are cut to the drawable part first, so a large rectangle costs
    // only what it covers.
    const CascadeRect part = r.MakeIntersectRect({0, 0, m_drawable.w, m_drawable.h});
    for (int y = part.y; y < part.Bottom(); ++y) {
        uint32_t* row = m_pixels + std::size_t(y) * std::size_t(m_stride) + std::size_t(part.x);
        std::fill(row, row + part.w, value);
    }
}

void MemoryBitmap::Clear(const CascadeColor& color) { FillRect({0, 0, m_region.w, m_region.h}, color); }
