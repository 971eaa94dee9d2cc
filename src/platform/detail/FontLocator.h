#pragma once

// Finds font files with fontconfig. Included only by platform sources.

#include <memory>
#include <string>
#include <string_view>

namespace detail {

// The family name every "system" font and every unknown family resolves to.
constexpr std::string_view kSystemFamily = "DejaVu Sans";

// Owns one fontconfig configuration (released with the locator, so no
// library state outlives it). Not thread-safe: the face cache calls it under
// its mutex.
class FontLocator {
public:
    FontLocator();
    ~FontLocator();
    FontLocator(const FontLocator&) = delete;
    FontLocator& operator=(const FontLocator&) = delete;

    // The file of `family` ("system" means DejaVu Sans) in the given weight
    // (bold when `bold`). A family fontconfig does not have falls back to
    // DejaVu Sans with one "font: " line; empty when nothing is found.
    std::string FindFontFile(std::string_view family, bool bold);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace detail
