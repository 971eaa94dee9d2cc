#pragma once

// A decoded picture as tightly packed 0xAARRGGBB words, rows top to bottom.
// Included only by platform sources.

#include <cstdint>
#include <vector>

namespace detail {

// Sides above this are refused by every decoder and by CascadeBitmap::Create.
constexpr int kMaxImageSide = 16384;
// Decoders refuse pictures of more pixels than this (a hostile header could
// otherwise ask for gigabytes).
constexpr int64_t kMaxImagePixels = int64_t(64) << 20;

struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // width * height words
};

// True when a decoder may allocate a picture of these sides.
constexpr bool IsAcceptableImageSize(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

}  // namespace detail
