#pragma once

// The one text drawing routine behind CascadeBitmap::DrawText. Included only
// by platform sources.

#include "platform/CascadeBitmap.h"
#include "platform/detail/TextLayout.h"

#include <string_view>

namespace detail {

class FontFace;

// Lays out `utf8` in `rect` (view coordinates of `target`) and blends the
// glyph coverage in `color` into `target`, clipped to its clip. Rows that do
// not fit a wrapped text are not drawn; one line is always laid out. Returns
// the height of the laid-out lines (0 for empty text). Called by whichever
// thread draws into `target`; the face may be shared with other threads.
int RenderText(CascadeBitmap& target, const FontFace& face, const CascadeRect& rect, std::string_view utf8,
               const CascadeColor& color, const TextOptions& options);

}  // namespace detail
