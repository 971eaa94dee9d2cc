#pragma once

#include "platform/CascadeBitmap.h"

// Bitmap helpers of the UI toolkit; the text helpers of the same namespace
// live in server/EUtils.h.
namespace EUtils {

// Loads `path` into `bitmap` when that file exists and decodes (PNG or JPEG,
// chosen by content); otherwise `fallbackPath` the same way. When neither
// loads, `bitmap` is left empty (released) and false is returned; nothing is
// logged, since a skin that leaves an image out is normal. A null or empty
// path counts as a missing file. UI thread (or any thread that owns
// `bitmap`); the caller keeps owning `bitmap`.
[[nodiscard]] bool LoadBitmapFromFile(CascadeBitmap& bitmap, const char* path, const char* fallbackPath);

}  // namespace EUtils
