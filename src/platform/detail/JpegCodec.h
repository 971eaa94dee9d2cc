#pragma once

// JPEG reading and writing over libjpeg-turbo. Included only by platform
// sources. Every function may be called from any thread; nothing is shared.

#include "platform/detail/PixelImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace detail {

// True when the bytes start with a JPEG start-of-image marker.
bool IsJpeg(const uint8_t* data, std::size_t size);

struct JpegHeader {
    int width = 0;
    int height = 0;
};

// Reads only the header. Nothing (and one "image: <name>: " line on stderr)
// when the bytes are not a JPEG the decoder accepts.
std::optional<JpegHeader> ReadJpegHeader(const uint8_t* data, std::size_t size, std::string_view name);

// The smallest DCT scale numerator n (the picture is decoded at n/8 of its
// size, 1 <= n <= 16) whose output still covers `width` x `height`; 16 when
// even that does not.
int ChooseJpegScale(const JpegHeader& header, int width, int height);

// Decodes at `scaleNumerator`/8 of the picture's size into opaque ARGB words
// (grey, RGB, YCbCr and CMYK pictures). A picture cut short counts as
// broken. On failure prints one "image: <name>: <reason>" line.
std::optional<PixelImage> DecodeJpeg(const uint8_t* data, std::size_t size, std::string_view name,
                                     int scaleNumerator = 8);

// Writes ARGB words (rows `stride` words apart; alpha ignored) as a baseline
// JPEG of `quality` 1..100. False with one "image: " line on failure.
[[nodiscard]] bool EncodeJpeg(const std::string& path, const uint32_t* pixels, int width, int height, int stride,
                              int quality);

}  // namespace detail
