#pragma once

#include <string>

// Lays every image under an images directory (PNG and .thm JPEG, skins
// included) out on one PNG, each scaled into its tile on a checkerboard (so
// transparency shows) and named under it, for reviewing a skin at a glance.
// False (with a "skingen:" line) when nothing was found or the file could not
// be written.
[[nodiscard]] bool MakeContactSheet(const std::string& imagesDir, const std::string& outPath);
