#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeColor.h"
#include "platform/CascadeDims.h"
#include "platform/CascadePoint.h"
#include "platform/CascadeRect.h"

#include <cstdint>

class CascadeFont;

// Bitmap helpers of the UI toolkit; the text helpers of the same namespace
// live in server/EUtils.h. None of them keeps state or takes a lock: each may
// run on any thread that owns the bitmap it draws into.
namespace EUtils {

// Compass directions, clockwise from up. Shadows fall down-right; gradients
// run down.
enum Direction : unsigned {
    kUp = 0,
    kUpRight = 1,
    kRight = 2,
    kDownRight = 3,
    kDown = 4,
    kDownLeft = 5,
    kLeft = 6,
    kUpLeft = 7,
};

// Whether a text shadow is drawn at every step between the text and its
// farthest shadow, or only at the farthest.
enum class ShadowSteps { kFarthestOnly, kAll };

// The offset of one step of `distance` pixels towards `direction`; values of
// 8 and above act as down-right.
CascadePoint DirectionOffset(unsigned direction, int distance);

// Draws `text` into `rect` with `flags` (CascadeTextFlags), first its shadow
// `depth` pixels towards `direction` in `shadowColor` (and, with
// ShadowSteps::kAll, at every step nearer), then the text itself in `color`.
// A null text draws nothing.
void ShadowedDrawText(CascadeBitmap& target, const CascadeFont& font, const CascadeRect& rect, const char* text,
                      const CascadeColor& color, unsigned long flags, unsigned char depth,
                      const CascadeColor& shadowColor, unsigned direction, ShadowSteps steps);

// Fills `rect` one line at a time from `from` towards `to`: n = the height
// for the vertical directions (0, 1, 4, 5), the width for the others; line i
// gets from + (to - from) / n * i per channel, truncated, so the last line is
// one step short of `to`. The vertical directions draw rows going down, the
// others columns going right, so nothing lands outside `rect`. Directions of
// 8 and above and an empty rectangle draw nothing.
void FillRectGradient(CascadeBitmap& target, const CascadeRect& rect, const CascadeColor& from,
                      const CascadeColor& to, unsigned direction);

// Copies a buffer of 32-bit 0xAARRGGBB pixel words (as GetJpegBitmap makes
// with alphaFirst) of `size` into `target` at `at`, replacing pixels; a
// `source` of all zeros means the whole buffer. False (with an "image:" log
// line) for a null buffer, an empty size, a depth other than 32 or 24, or a
// source rectangle outside the buffer; `target` is then unchanged.
[[nodiscard]] bool BufferBlit(CascadeBitmap& target, const CascadePoint& at, const uint8_t* pixels,
                              const CascadeDims& size, unsigned long bitsPerPixel, const CascadeRect& source);

// Loads `path` into `bitmap` when that file exists and decodes (PNG or JPEG,
// chosen by content); otherwise `fallbackPath` the same way. When neither
// loads, `bitmap` is left empty (released) and false is returned; nothing is
// logged, since a skin that leaves an image out is normal. A null or empty
// path counts as a missing file. UI thread (or any thread that owns
// `bitmap`); the caller keeps owning `bitmap`.
[[nodiscard]] bool LoadBitmapFromFile(CascadeBitmap& bitmap, const char* path, const char* fallbackPath);

}  // namespace EUtils
