#include "ui/EUtilsDrawing.h"

#include "app/base/AppLog.h"
#include "platform/CascadeFont.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

// A skin that leaves a file out is normal, so a missing file is passed over
// quietly; a file that is there but does not decode is logged by the loader.
bool LoadOne(CascadeBitmap& bitmap, const char* path) {
    if (!path || *path == '\0') return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    return bitmap.LoadFromFile(std::string_view(path));
}

// One channel of a gradient line: from + delta * i, truncated toward zero.
uint32_t GradientChannel(int from, int to, int steps, int i) {
    const double delta = double(to - from) / steps;
    return uint32_t(int(from + delta * i)) & 0xFF;
}

}  // namespace

namespace EUtils {

CascadePoint DirectionOffset(unsigned direction, int d) {
    switch (direction) {
        case kUp: return {0, -d};
        case kUpRight: return {d, -d};
        case kRight: return {d, 0};
        case kDown: return {0, d};
        case kDownLeft: return {-d, d};
        case kLeft: return {-d, 0};
        case kUpLeft: return {-d, -d};
        default: return {d, d};
    }
}

void ShadowedDrawText(CascadeBitmap& target, const CascadeFont& font, const CascadeRect& rect, const char* text,
                      const CascadeColor& color, unsigned long flags, unsigned char depth,
                      const CascadeColor& shadowColor, unsigned direction, ShadowSteps steps) {
    if (!text) return;
    for (int d = depth; d > 0; --d) {
        if (d != depth && steps == ShadowSteps::kFarthestOnly) break;
        const CascadePoint offset = DirectionOffset(direction, d);
        target.DrawText(font, rect.Offset(offset.x, offset.y), text, shadowColor, flags);
    }
    target.DrawText(font, rect, text, color, flags);
}

void FillRectGradient(CascadeBitmap& target, const CascadeRect& rect, const CascadeColor& from,
                      const CascadeColor& to, unsigned direction) {
    if (rect.w <= 0 || rect.h <= 0 || direction >= 8) return;
    const bool vertical = direction == kUp || direction == kUpRight || direction == kDown || direction == kDownLeft;
    const int steps = vertical ? rect.h : rect.w;
    for (int i = 0; i < steps; ++i) {
        const uint32_t r = GradientChannel(from.Red(), to.Red(), steps, i);
        const uint32_t g = GradientChannel(from.Green(), to.Green(), steps, i);
        const uint32_t b = GradientChannel(from.Blue(), to.Blue(), steps, i);
        const uint32_t a = GradientChannel(from.Alpha(), to.Alpha(), steps, i);
        const CascadeColor line(r << 24 | g << 16 | b << 8 | a);
        // Sideways directions step across the width, one column per step.
        if (vertical) target.DrawLine({rect.x, rect.y + i}, {rect.x + rect.w - 1, rect.y + i}, line);
        else target.DrawLine({rect.x + i, rect.y}, {rect.x + i, rect.y + rect.h - 1}, line);
    }
}

bool BufferBlit(CascadeBitmap& target, const CascadePoint& at, const uint8_t* pixels, const CascadeDims& size,
                unsigned long bitsPerPixel, const CascadeRect& source) {
    if (!pixels || size.IsEmpty() || (bitsPerPixel != 32 && bitsPerPixel != 24)) {
        AppLog::WriteToLog("image: cannot blit a %dx%d buffer of %lu bits per pixel\n", false, size.w, size.h,
                           bitsPerPixel);
        return false;
    }
    const CascadeRect whole(0, 0, size.w, size.h);
    const CascadeRect part = source == CascadeRect() ? whole : source;
    if (!whole.Contains(part)) {
        AppLog::WriteToLog("image: blit source %d,%d %dx%d lies outside a %dx%d buffer\n", false, part.x, part.y,
                           part.w, part.h, size.w, size.h);
        return false;
    }
    return target.CopyFromBuffer(pixels, size, int(bitsPerPixel), at, part);
}

bool LoadBitmapFromFile(CascadeBitmap& bitmap, const char* path, const char* fallbackPath) {
    if (LoadOne(bitmap, path) || LoadOne(bitmap, fallbackPath)) return true;
    bitmap.Release();
    return false;
}

}  // namespace EUtils
