#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeColor.h"

// Drawing helpers for generated skin images: gradients, rounded panels with
// soft edges, and text, on top of the platform renderer.
namespace SkinPainter {

// Vertical gradient over the whole bitmap.
void VerticalGradient(CascadeBitmap& b, CascadeColor top, CascadeColor bottom);
// A darkening towards the corners, for full-screen backgrounds.
void Vignette(CascadeBitmap& b, int strength);
// A filled rounded rectangle with anti-aliased corners, blended.
void RoundedRect(CascadeBitmap& b, const CascadeRect& r, int radius, CascadeColor fill);
// The same with a vertical gradient fill.
void RoundedGradient(CascadeBitmap& b, const CascadeRect& r, int radius, CascadeColor top, CascadeColor bottom);
// A rounded outline `width` pixels wide.
void RoundedFrame(CascadeBitmap& b, const CascadeRect& r, int radius, int width, CascadeColor color);
// Text centred in `r` with a soft drop shadow.
enum class LabelAlign { kCentre, kLeft };
void Label(CascadeBitmap& b, const CascadeRect& r, const char* text, int size, bool bold, CascadeColor color,
           LabelAlign align = LabelAlign::kCentre);

}  // namespace SkinPainter
