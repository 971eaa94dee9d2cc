#pragma once

// PNG reading and writing over libpng. Included only by platform sources.
// Every function may be called from any thread; nothing is shared.

#include "platform/detail/PixelImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace detail {

// True when the bytes start with the PNG signature.
bool IsPng(const uint8_t* data, std::size_t size);

// Decodes any PNG (palette, grey, 16-bit, with or without alpha or tRNS,
// interlaced) into ARGB words. On failure prints one line "image: <name>:
// <reason>" to stderr and returns nothing.
std::optional<PixelImage> DecodePng(const uint8_t* data, std::size_t size, std::string_view name);

// Writes `height` rows of `width` ARGB words (rows `stride` words apart) as
// an 8-bit RGBA PNG. False with one "image: " line when the file cannot be
// written.
[[nodiscard]] bool EncodePng(const std::string& path, const uint32_t* pixels, int width, int height, int stride);

}  // namespace detail
