#include "ContactSheet.h"

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeTextFlags.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kColumns = 6;
constexpr CascadeDims kTile{300, 190};
constexpr CascadeDims kPicture{280, 150};

std::vector<fs::path> FindImages(const fs::path& root) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const fs::path ext = it->path().extension();
        if (it->is_regular_file() && (ext == ".png" || ext == ".thm")) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

void Checker(CascadeBitmap& sheet, const CascadeRect& r) {
    for (int y = r.y; y < r.Bottom(); y += 10)
        for (int x = r.x; x < r.Right(); x += 10) {
            const bool dark = ((x - r.x) / 10 + (y - r.y) / 10) % 2 == 0;
            sheet.FillRect({x, y, std::min(10, r.Right() - x), std::min(10, r.Bottom() - y)},
                           dark ? CascadeColor(58, 58, 64) : CascadeColor(80, 80, 88));
        }
}

void DrawTile(CascadeBitmap& sheet, const CascadeBitmap& image, const CascadeRect& tile, const std::string& name) {
    const CascadeRect area(tile.x + 10, tile.y + 8, kPicture.w, kPicture.h);
    Checker(sheet, area);
    const CascadeDims d = image.GetDims();
    const double scale = std::min({1.0, double(kPicture.w) / d.w, double(kPicture.h) / d.h});
    const int w = std::max(1, int(d.w * scale)), h = std::max(1, int(d.h * scale));
    const CascadeRect at(area.x + (area.w - w) / 2, area.y + (area.h - h) / 2, w, h);
    if (scale < 1.0) sheet.DrawBitmapScaled(image, at);
    else sheet.DrawBitmap(image, at.Origin());
    const CascadeFont font("system", CascadeFont::kNormal, 13);
    char size[32];
    std::snprintf(size, sizeof size, " (%dx%d)", d.w, d.h);
    sheet.DrawText(font, {tile.x + 4, tile.y + 160, tile.w - 8, 24}, name + size, CascadeColor(230, 230, 235),
                   CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kEllipsis);
}

}  // namespace

bool MakeContactSheet(const std::string& imagesDir, const std::string& outPath) {
    const std::vector<fs::path> images = FindImages(imagesDir);
    if (images.empty()) {
        std::fprintf(stderr, "skingen: no images under %s\n", imagesDir.c_str());
        return false;
    }
    const int rows = int(images.size() + kColumns - 1) / kColumns;
    CascadeBitmap sheet;
    if (!sheet.Create({kColumns * kTile.w, rows * kTile.h})) return false;
    sheet.Clear(CascadeColor(24, 24, 28));
    for (std::size_t i = 0; i < images.size(); ++i) {
        CascadeBitmap image;
        const CascadeRect tile(int(i % kColumns) * kTile.w, int(i / kColumns) * kTile.h, kTile.w, kTile.h);
        const std::string name = fs::relative(images[i], imagesDir).string();
        if (image.LoadFromFile(images[i].string())) DrawTile(sheet, image, tile, name);
    }
    if (!sheet.SaveAsPNG(outPath)) {
        std::fprintf(stderr, "skingen: cannot write %s\n", outPath.c_str());
        return false;
    }
    return true;
}
