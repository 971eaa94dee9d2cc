#pragma once

// Picture scaling on ARGB words. Included only by platform sources; pure
// functions, any thread.

#include "platform/detail/PixelImage.h"

#include <cstdint>

namespace detail {

// Resizes by area averaging: each output pixel is the mean of the source
// area it covers (exact coverage weights, separable). Meant for opaque
// pictures such as decoded covers; channels are averaged as stored. An
// empty image comes back for sizes <= 0.
PixelImage ResizeArea(const PixelImage& source, int width, int height);

// Bilinear sample at (fx, fy) in 16.16 fixed point source coordinates
// (pixel centres at integer + 0.5 already subtracted), clamped to the
// `width` x `height` area of `pixels` (rows `stride` words apart).
// Translucent neighbours are weighted by their alpha so no dark fringes
// appear.
uint32_t SampleBilinear(const uint32_t* pixels, int stride, int width, int height, int64_t fx, int64_t fy);

}  // namespace detail
