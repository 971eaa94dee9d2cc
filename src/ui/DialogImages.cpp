#include "ui/DialogImages.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"

namespace DialogImages {

void Load(CascadeBitmap& bitmap, const char* relativePath) {
    const CascadeString path = g_appPath + relativePath;
    if (!bitmap.LoadFromFile(path.View())) AppLog::WriteToLog("screens: no image %s\n", false, path.c_str());
}

CascadeDims Size(const CascadeBitmap& bitmap) { return bitmap.IsValid() ? bitmap.GetDims() : CascadeDims{0, 0}; }

CascadeRect PlaceAt(const CascadeBitmap& bitmap, const CascadePoint& at) { return {at, Size(bitmap)}; }

CascadeRect CentredOn(const CascadeDims& screen, const CascadeBitmap& background) {
    const CascadeDims size = Size(background);
    return {(screen.w - size.w) / 2, (screen.h - size.h) / 2, size.w, size.h};
}

void DrawPart(CascadeBitmap& target, const CascadeBitmap& bitmap, const CascadeRect& where, const CascadeRect& area) {
    if (!bitmap.IsValid()) return;
    const CascadeRect meet = where.MakeIntersectRect(area);
    if (meet.IsEmpty()) return;
    target.DrawBitmap(bitmap, meet.Origin(), meet.Offset(-where.x, -where.y));
}

}  // namespace DialogImages
