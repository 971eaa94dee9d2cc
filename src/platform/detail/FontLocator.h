#pragma once

// Finds font files with fontconfig. Included only by platform sources.

#include <string>
#include <string_view>

namespace detail {

// The family name every "system" font and every unknown family resolves to.
constexpr std::string_view kSystemFamily = "DejaVu Sans";

// The file of `family` ("system" means DejaVu Sans) in the given weight
// (bold when `bold`). A family fontconfig does not have falls back to
// DejaVu Sans with one "font: " line; empty when nothing is found at all.
// Not thread-safe by itself: callers serialise (FontFace::Get does).
std::string FindFontFile(std::string_view family, bool bold);

}  // namespace detail
