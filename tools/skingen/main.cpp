// skingen <images-dir>: writes the built-in skins ("Default" and "Night")
// and the shared images into <images-dir>. Every picture is drawn here, with
// the application's own renderer and fonts; nothing is copied from anywhere.
#include "SkinPainter.h"

#include "platform/CascadeBitmap.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using SkinPainter::Label;
using SkinPainter::RoundedFrame;
using SkinPainter::RoundedGradient;
using SkinPainter::RoundedRect;

// The Default palette: deep navy, a teal accent, light text.
constexpr CascadeColor kBgTop(22, 38, 61);
constexpr CascadeColor kBgBottom(7, 11, 20);
constexpr CascadeColor kAccentTop(64, 214, 198);
constexpr CascadeColor kAccentBottom(26, 143, 134);
constexpr CascadeColor kPanel(10, 16, 28, 215);
constexpr CascadeColor kPanelEdge(255, 255, 255, 46);
constexpr CascadeColor kText(242, 245, 249);
constexpr CascadeColor kTextDim(200, 214, 229);

struct Image {
    std::string file;  // relative to the skin directory (or images/)
    std::string key;   // Configuration.xml key; empty for shared images
    std::function<bool(CascadeBitmap&)> draw;
};

bool Make(CascadeBitmap& b, int w, int h) { return b.Create({w, h}); }

bool Background(CascadeBitmap& b, CascadeColor top, CascadeColor bottom) {
    if (!Make(b, 1024, 576)) return false;
    SkinPainter::VerticalGradient(b, top, bottom);
    SkinPainter::Vignette(b, 110);
    return true;
}

bool Dialog(CascadeBitmap& b, int w, int h) {
    if (!Make(b, w, h)) return false;
    RoundedRect(b, {0, 0, w, h}, 18, kPanel);
    RoundedGradient(b, {2, 2, w - 4, 46}, 16, CascadeColor(255, 255, 255, 26), CascadeColor(255, 255, 255, 0));
    RoundedFrame(b, {0, 0, w, h}, 18, 2, kPanelEdge);
    return true;
}

bool Button(CascadeBitmap& b, int w, int h, bool active, const char* text = nullptr) {
    if (!Make(b, w, h)) return false;
    if (active) {
        RoundedGradient(b, {0, 0, w, h}, h / 4, kAccentTop, kAccentBottom);
        RoundedFrame(b, {0, 0, w, h}, h / 4, 2, CascadeColor(255, 255, 255, 220));
    } else {
        RoundedRect(b, {0, 0, w, h}, h / 4, CascadeColor(255, 255, 255, 28));
        RoundedFrame(b, {0, 0, w, h}, h / 4, 1, CascadeColor(255, 255, 255, 70));
    }
    if (text) Label(b, {0, 0, w, h}, text, h / 2, true, active ? kText : kTextDim);
    return true;
}

bool Logo(CascadeBitmap& b) {
    if (!Make(b, 300, 60)) return false;
    Label(b, {0, 0, 260, 42}, "Quendrel", 36, true, kText);
    RoundedRect(b, {262, 14, 14, 14}, 7, kAccentTop);
    // Screens read the colour of their secondary text from pixel (125, 45).
    b.FillRect({0, 44, 300, 4}, kTextDim);
    return true;
}

bool Cover(CascadeBitmap& b, const char* glyph, const char* caption) {
    if (!Make(b, 300, 300)) return false;
    SkinPainter::VerticalGradient(b, CascadeColor(40, 58, 86), CascadeColor(14, 22, 36));
    RoundedFrame(b, {10, 10, 280, 280}, 20, 3, CascadeColor(255, 255, 255, 60));
    Label(b, {0, 40, 300, 170}, glyph, 120, false, kTextDim);
    Label(b, {0, 210, 300, 50}, caption, 26, true, kTextDim);
    return true;
}

std::vector<Image> DefaultSkin() {
    return {
        {"logo.png", "Logo", Logo},
        {"button_on.png", "Button_Active", [](CascadeBitmap& b) { return Button(b, 200, 44, true); }},
        {"button_off.png", "Button_Inactive", [](CascadeBitmap& b) { return Button(b, 200, 44, false); }},
        {"spinner_on.png", "Spinner_Active", [](CascadeBitmap& b) { return Button(b, 260, 44, true, "\u2039            \u203A"); }},
        {"spinner_off.png", "Spinner_Inactive", [](CascadeBitmap& b) { return Button(b, 260, 44, false, "\u2039            \u203A"); }},
        {"key_on.png", "Key_Active", [](CascadeBitmap& b) { return Button(b, 48, 48, true); }},
        {"key_off.png", "Key_Inactive", [](CascadeBitmap& b) { return Button(b, 48, 48, false); }},
        {"key_large_on.png", "Key_Large_Active", [](CascadeBitmap& b) { return Button(b, 120, 48, true); }},
        {"key_large_off.png", "Key_Large_Inactive", [](CascadeBitmap& b) { return Button(b, 120, 48, false); }},
        {"bg_nowplaying.png", "Background_NowPlaying", [](CascadeBitmap& b) { return Background(b, kBgTop, kBgBottom); }},
        {"bg_library.png", "Background_Library", [](CascadeBitmap& b) { return Background(b, CascadeColor(24, 44, 58), kBgBottom); }},
        {"bg_browsefolders.png", "Background_Folders", [](CascadeBitmap& b) { return Background(b, CascadeColor(30, 38, 62), kBgBottom); }},
        {"bg_coverart.png", "Background_CoverArt", [](CascadeBitmap& b) { return Background(b, CascadeColor(36, 32, 58), kBgBottom); }},
        {"bg_playlists.png", "Background_Playlists", [](CascadeBitmap& b) { return Dialog(b, 620, 440); }},
        {"bg_internetradio.png", "Background_InternetRadio", [](CascadeBitmap& b) { return Dialog(b, 920, 530); }},
        {"bg_minimode.png", "Background_MiniMode", [](CascadeBitmap& b) { return Dialog(b, 380, 120); }},
        {"bg_dialog_keyboard.png", "Background_Dialog_Keyboard", [](CascadeBitmap& b) { return Dialog(b, 660, 400); }},
        {"bg_dialog_exit.png", "Background_Dialog_Exit", [](CascadeBitmap& b) { return Dialog(b, 440, 220); }},
        {"bg_dialog_info.png", "Background_Dialog_Info", [](CascadeBitmap& b) { return Dialog(b, 800, 500); }},
        {"bg_dialog_small.png", "Background_Dialog_Small", [](CascadeBitmap& b) { return Dialog(b, 440, 330); }},
        {"bg_dialog_medium.png", "Background_Dialog_Medium", [](CascadeBitmap& b) { return Dialog(b, 540, 390); }},
        {"bg_dialog_large.png", "Background_Dialog_Large", [](CascadeBitmap& b) { return Dialog(b, 740, 490); }},
        {"bg_menu.png", "Background_Menu", [](CascadeBitmap& b) { return Dialog(b, 380, 440); }},
        {"bg_pleasewait.png", "Background_PleaseWait", [](CascadeBitmap& b) { return Dialog(b, 380, 170); }},
    };
}

// Night changes the display colours and two images; everything else falls
// back to Default.
std::vector<Image> NightSkin() {
    return {
        {"bg_nowplaying.png", "Background_NowPlaying",
         [](CascadeBitmap& b) { return Background(b, CascadeColor(40, 14, 18), CascadeColor(4, 2, 4)); }},
        {"button_on.png", "Button_Active", [](CascadeBitmap& b) {
             if (!Make(b, 200, 44)) return false;
             RoundedGradient(b, {0, 0, 200, 44}, 11, CascadeColor(244, 162, 97), CascadeColor(190, 100, 50));
             RoundedFrame(b, {0, 0, 200, 44}, 11, 2, CascadeColor(255, 240, 220, 220));
             return true;
         }},
    };
}

struct ColorEntry {
    const char* key;
    int r, g, b;
};

bool WriteConfiguration(const fs::path& dir, const std::vector<Image>& images, const std::vector<ColorEntry>& colors) {
    std::ofstream out(dir / "Configuration.xml");
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<skin>\n  <bitmaps>\n";
    for (const Image& image : images)
        out << "    <bitmap key=\"" << image.key << "\" path=\"" << image.file << "\"/>\n";
    out << "  </bitmaps>\n  <colors>\n";
    for (const ColorEntry& c : colors)
        out << "    <color key=\"" << c.key << "\" red=\"" << c.r << "\" green=\"" << c.g << "\" blue=\"" << c.b
            << "\"/>\n";
    out << "  </colors>\n</skin>\n";
    return bool(out);
}

bool WriteImages(const fs::path& dir, const std::vector<Image>& images) {
    for (const Image& image : images) {
        CascadeBitmap b;
        const fs::path path = dir / image.file;
        const bool jpeg = path.extension() == ".thm";
        if (!image.draw(b) || !(jpeg ? b.SaveAsJPEG(path.string(), 92) : b.SaveAsPNG(path.string()))) {
            std::fprintf(stderr, "skingen: cannot make %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen <images-dir>\n");
        return 2;
    }
    const fs::path root = argv[1];
    std::error_code error;
    fs::create_directories(root / "Default", error);
    fs::create_directories(root / "Night", error);
    const std::vector<Image> shared = {
        {"nocover.thm", "", [](CascadeBitmap& b) { return Cover(b, "\u266A", "No Cover"); }},
        {"radiocover.thm", "", [](CascadeBitmap& b) { return Cover(b, "\u25C9", "Internet Radio"); }},
    };
    const bool ok = WriteImages(root, shared) && WriteImages(root / "Default", DefaultSkin()) &&
                    WriteConfiguration(root / "Default", DefaultSkin(),
                                       {{"Display_Foreground", 232, 241, 255},
                                        {"Display_Background", 8, 12, 20},
                                        {"Display_Lines", 8, 12, 20}}) &&
                    WriteImages(root / "Night", NightSkin()) &&
                    WriteConfiguration(root / "Night", NightSkin(),
                                       {{"Display_Foreground", 255, 150, 70},
                                        {"Display_Background", 0, 0, 0},
                                        {"Display_Lines", 0, 0, 0}});
    return ok ? 0 : 1;
}
