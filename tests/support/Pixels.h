#pragma once

#include "platform/CascadeBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

// Pixel checks on off-screen bitmaps and the composed screen.

// A bitmap of `dims` cleared to `color`.
inline CascadeBitmap FilledBitmap(CascadeDims dims, const CascadeColor& color) {
    CascadeBitmap bitmap;
    EXPECT_TRUE(bitmap.Create(dims));
    bitmap.Clear(color);
    return bitmap;
}

// The pixel words of `r` (all of the bitmap when empty), row by row.
inline std::vector<uint32_t> PixelWords(const CascadeBitmap& bitmap, CascadeRect r = {}) {
    if (r.IsEmpty()) r = CascadeRect({0, 0}, bitmap.GetDims());
    std::vector<uint32_t> words;
    for (int y = r.y; y < r.Bottom(); ++y)
        for (int x = r.x; x < r.Right(); ++x) words.push_back(bitmap.GetPixel(x, y));
    return words;
}

// How many pixels of `r` (all of the bitmap when empty) are `color`.
inline int CountPixels(const CascadeBitmap& bitmap, const CascadeColor& color, CascadeRect r = {}) {
    const std::vector<uint32_t> words = PixelWords(bitmap, r);
    return int(std::count(words.begin(), words.end(), color.ToARGB()));
}
