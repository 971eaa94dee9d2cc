#include "ui/EUtilsDrawing.h"

#include <string_view>

namespace {

bool LoadOne(CascadeBitmap& bitmap, const char* path) {
    if (!path || *path == '\0') return false;
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
