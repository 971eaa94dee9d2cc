#include "ui/EUtilsDrawing.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

// A skin that leaves a file out is normal, so a missing file is passed over
// quietly; a file that is there but does not decode is logged by the loader.
bool LoadOne(CascadeBitmap& bitmap, const char* path) {
    if (!path || *path == '\0') return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    return bitmap.LoadFromFile(std::string_view(path));
}

}  // namespace

namespace EUtils {

bool LoadBitmapFromFile(CascadeBitmap& bitmap, const char* path, const char* fallbackPath) {
    if (LoadOne(bitmap, path) || LoadOne(bitmap, fallbackPath)) return true;
    bitmap.Release();
    return false;
}

}  // namespace EUtils
