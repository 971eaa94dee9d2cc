// skingen <images-dir>: writes the built-in skins ("Default" and "Night")
// and the shared images (titles, headers, labels, button words, icons, list
// arrows, the no-cover pictures) into <images-dir>.
// skingen --contact-sheet <images-dir> <out.png>: every image on one sheet. Every picture is drawn here, with
// the application's own renderer and fonts; nothing is copied from anywhere.
#include "ContactSheet.h"
#include "SkinPainter.h"

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using SkinPainter::Label;
using SkinPainter::LabelAlign;
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
    // The line stops short of x 262 (290 on the screen), where Now Playing
    // writes the application's version at the line's height.
    b.FillRect({0, 44, 256, 4}, kTextDim);
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

// The words of a button face or a field label, white on transparent.
bool Words(CascadeBitmap& b, int w, int h, const char* text, int size, CascadeColor color = kText) {
    if (!Make(b, w, h)) return false;
    Label(b, {0, 0, w, h}, text, size, true, color);
    return true;
}

// A screen title: large words with the accent bar under them.
bool Title(CascadeBitmap& b, const char* text) {
    if (!Make(b, 420, 56)) return false;
    const CascadeFont font("system", CascadeFont::kBold, 34);
    const int width = std::min(font.GetTextExtent(text).w, 400);
    Label(b, {0, 0, 420, 46}, text, 34, true, kText);
    RoundedRect(b, {(420 - width) / 2, 48, width, 5}, 2, kAccentTop);
    return true;
}

// A list header strip label, in the accent colour.
// A list header: the word at the left of the list's top strip, so the page
// text the screens draw right-aligned in the same strip never runs into it.
bool Header(CascadeBitmap& b, const char* text) {
    if (!Make(b, 260, 26)) return false;
    Label(b, {12, 0, 248, 26}, text, 20, true, kAccentTop, LabelAlign::kLeft);
    return true;
}

bool Arrow(CascadeBitmap& b, bool up) {
    if (!Make(b, 22, 14)) return false;
    for (int row = 0; row < 12; ++row) {
        const int y = up ? 1 + row : 12 - row;
        b.FillRect({11 - row, y, 2 * row, 1}, CascadeColor(255, 255, 255, 230));
    }
    return true;
}

bool IconAudio(CascadeBitmap& b) {
    if (!Make(b, 22, 22)) return false;
    Label(b, {0, 0, 22, 22}, "\u266B", 18, false, kAccentTop);
    return true;
}

bool IconRightArrow(CascadeBitmap& b) {
    if (!Make(b, 22, 22)) return false;
    for (int i = 0; i < 7; ++i) {
        b.FillRect({7 + i, 4 + i, 3, 1}, kText);
        b.FillRect({7 + i, 17 - i, 3, 1}, kText);
    }
    return true;
}

std::vector<Image> SharedImages() {
    std::vector<Image> images = {
        {"nocover.thm", "", [](CascadeBitmap& b) { return Cover(b, "\u266A", "No Cover"); }},
        {"radiocover.thm", "", [](CascadeBitmap& b) { return Cover(b, "\u25C9", "Internet Radio"); }},
        {"arrow_up.png", "", [](CascadeBitmap& b) { return Arrow(b, true); }},
        {"arrow_down.png", "", [](CascadeBitmap& b) { return Arrow(b, false); }},
        {"icon_audio.png", "", IconAudio},
        {"icon_rightarrow.png", "", IconRightArrow},
    };
    const std::pair<const char*, const char*> words[] = {
        {"text_add.png", "Add"}, {"text_addtofavorites.png", "Add to Favorites"}, {"text_apply.png", "Apply"},
        {"text_browsefolders.png", "Browse Folders"}, {"text_clear.png", "Clear"}, {"text_coverart.png", "Cover Art"},
        {"text_exit.png", "Exit"}, {"text_hide.png", "Hide"}, {"text_musiclibrary.png", "Music Library"},
        {"text_open.png", "Open"}, {"text_play.png", "Play"}, {"text_playlists.png", "Playlists"},
        {"text_playnext.png", "Play Next"}, {"text_radio.png", "Internet Radio"}, {"text_remove.png", "Remove"},
    };
    for (const auto& [file, text] : words)
        images.push_back({file, "", [text](CascadeBitmap& b) { return Words(b, 190, 36, text, 20); }});
    const std::pair<const char*, const char*> labels[] = {
        {"label_album.png", "Album"}, {"label_artist.png", "Artist"}, {"label_genre.png", "Genre"},
        {"label_match.png", "Match"}, {"label_repeat.png", "Repeat"}, {"label_shuffle.png", "Shuffle"},
        {"label_skin.png", "Skin"}, {"label_title.png", "Title"},
    };
    for (const auto& [file, text] : labels)
        images.push_back({file, "", [text](CascadeBitmap& b) { return Words(b, 130, 34, text, 20, kTextDim); }});
    const std::pair<const char*, const char*> headers[] = {
        {"header_albums.png", "Albums"}, {"header_artists.png", "Artists"}, {"header_folders.png", "Folders"},
        {"header_genres.png", "Genres"}, {"header_playlist.png", "Playlist"}, {"header_tracks.png", "Tracks"},
        {"header_upcomingsongs.png", "Upcoming Songs"},
    };
    for (const auto& [file, text] : headers) images.push_back({file, "", [text](CascadeBitmap& b) { return Header(b, text); }});
    const std::pair<const char*, const char*> titles[] = {
        {"title_albumInfo.png", "Album Info"}, {"title_browsefolders.png", "Browse Folders"},
        {"title_coverart.png", "Cover Art"}, {"title_exit.png", "Exit"}, {"title_filter.png", "Filter"},
        {"title_internetradio.png", "Internet Radio"}, {"title_library.png", "Music Library"},
        {"title_manageplaylist.png", "Manage Playlist"}, {"title_menu.png", "Menu"},
        {"title_nowplaying.png", "Now Playing"}, {"title_options.png", "Options"}, {"title_playlists.png", "Playlists"},
        {"title_saveplaylist.png", "Save Playlist"}, {"title_songInfo.png", "Song Info"},
    };
    for (const auto& [file, text] : titles) images.push_back({file, "", [text](CascadeBitmap& b) { return Title(b, text); }});
    return images;
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
        {"bg_playlists.png", "Background_Playlists", [](CascadeBitmap& b) { return Dialog(b, 460, 400); }},
        {"bg_internetradio.png", "Background_InternetRadio", [](CascadeBitmap& b) { return Dialog(b, 920, 530); }},
        {"bg_minimode.png", "Background_MiniMode", [](CascadeBitmap& b) { return Dialog(b, 380, 120); }},
        {"bg_dialog_keyboard.png", "Background_Dialog_Keyboard", [](CascadeBitmap& b) { return Dialog(b, 576, 360); }},
        {"bg_dialog_exit.png", "Background_Dialog_Exit", [](CascadeBitmap& b) { return Dialog(b, 440, 220); }},
        {"bg_dialog_info.png", "Background_Dialog_Info", [](CascadeBitmap& b) { return Dialog(b, 800, 500); }},
        {"bg_dialog_small.png", "Background_Dialog_Small", [](CascadeBitmap& b) { return Dialog(b, 440, 330); }},
        {"bg_dialog_medium.png", "Background_Dialog_Medium", [](CascadeBitmap& b) { return Dialog(b, 640, 300); }},
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
    if (argc == 4 && std::string(argv[1]) == "--contact-sheet") return MakeContactSheet(argv[2], argv[3]) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen <images-dir> | skingen --contact-sheet <images-dir> <out.png>\n");
        return 2;
    }
    const fs::path root = argv[1];
    std::error_code error;
    fs::create_directories(root / "Default", error);
    fs::create_directories(root / "Night", error);
    const std::vector<Image> shared = SharedImages();
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
