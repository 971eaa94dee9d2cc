#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeDims.h"
#include "platform/CascadeRect.h"

// Small helpers the dialogs share for their images and placement.
namespace DialogImages {

// Loads `relativePath` of the application directory into `bitmap`; a
// missing file leaves it empty (logged once) and the dialog draws nothing there.
void Load(CascadeBitmap& bitmap, const char* relativePath);
// The bitmap's size, or 0 x 0 when it is empty.
CascadeDims Size(const CascadeBitmap& bitmap);
// `bitmap`'s rectangle with its top-left at `at`.
CascadeRect PlaceAt(const CascadeBitmap& bitmap, const CascadePoint& at);
// A rectangle of `background`'s size centred on a screen of `screen`.
CascadeRect CentredOn(const CascadeDims& screen, const CascadeBitmap& background);
// Draws the part of `bitmap` (placed at `where`) that meets the repaint
// `area`, for OnPaint; an empty bitmap or no overlap draws nothing.
void DrawPart(CascadeBitmap& target, const CascadeBitmap& bitmap, const CascadeRect& where, const CascadeRect& area);

}  // namespace DialogImages
