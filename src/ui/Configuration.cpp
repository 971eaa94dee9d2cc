#include "ui/Configuration.h"

#include "app/base/AppLog.h"
#include "server/EUtils.h"
#include "ui/EUtilsDrawing.h"

#include <tinyxml2.h>

#include <array>
#include <cstdio>
#include <utility>

Configuration g_config;

namespace {

struct ImageEntry {
    const char* key;
    const char* defaultPath;
};

// Indexed by SkinImage.
constexpr std::array<ImageEntry, std::size_t(SkinImage::Count)> kImages{{
    {"Logo", "images/Default/logo.png"},
    {"Button_Active", "images/Default/button_on.png"},
    {"Button_Inactive", "images/Default/button_off.png"},
    {"Spinner_Active", "images/Default/spinner_on.png"},
    {"Spinner_Inactive", "images/Default/spinner_off.png"},
    {"Key_Active", "images/Default/key_on.png"},
    {"Key_Inactive", "images/Default/key_off.png"},
    {"Key_Large_Active", "images/Default/key_large_on.png"},
    {"Key_Large_Inactive", "images/Default/key_large_off.png"},
    {"Background_NowPlaying", "images/Default/bg_nowplaying.png"},
    {"Background_Library", "images/Default/bg_library.png"},
    {"Background_Folders", "images/Default/bg_browsefolders.png"},
    {"Background_CoverArt", "images/Default/bg_coverart.png"},
    {"Background_Playlists", "images/Default/bg_playlists.png"},
    {"Background_InternetRadio", "images/Default/bg_internetradio.png"},
    {"Background_MiniMode", "images/Default/bg_minimode.png"},
    {"Background_Dialog_Keyboard", "images/Default/bg_dialog_keyboard.png"},
    {"Background_Dialog_Exit", "images/Default/bg_dialog_exit.png"},
    {"Background_Dialog_Info", "images/Default/bg_dialog_info.png"},
    {"Background_Dialog_Small", "images/Default/bg_dialog_small.png"},
    {"Background_Dialog_Medium", "images/Default/bg_dialog_medium.png"},
    {"Background_Dialog_Large", "images/Default/bg_dialog_large.png"},
    {"Background_Menu", "images/Default/bg_menu.png"},
    {"Background_PleaseWait", "images/Default/bg_pleasewait.png"},
}};

constexpr const char* kDefaultSkin = "Default";
constexpr CascadeColor kWhite{0xFFFFFFFFu};
constexpr CascadeColor kBlack{0x000000FFu};

// A colour component: its decimal value wrapped to 8 bits ("300" is 44). A
// missing attribute counts as 0 and is logged, since the skin author most
// likely misspelt it.
uint8_t ReadComponent(const tinyxml2::XMLElement& color, const char* key, const char* name) {
    const char* text = color.Attribute(name);
    if (!text) {
        AppLog::WriteToLog("skin: color \"%s\" (line %d) has no \"%s\"; using 0\n", true, key, color.GetLineNum(), name);
        return 0;
    }
    return uint8_t(uint64_t(EUtils::ParseDecimal(text)) & 0xFFu);
}

}  // namespace

Configuration::Configuration() : m_skin(std::make_shared<Skin>(CascadeString(kDefaultSkin), CascadeString())) {}

Configuration::Configuration(const char* configPath) : Configuration() {
    LoadConfiguration(configPath, kDefaultSkin);
}

Configuration::~Configuration() = default;

void Configuration::SetApplicationDirectory(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    m_appDir = CascadeString(std::move(dir));
    // The same description, its images to be read from the new directory.
    const std::shared_ptr<const Skin> current = GetSkin();
    auto skin = std::make_shared<Skin>(current->GetName(), m_appDir);
    for (const auto& [key, path] : current->m_paths) skin->m_paths.SetAt(key, path);
    for (const auto& [key, color] : current->m_colors) skin->m_colors.SetAt(key, color);
    Install(std::move(skin));
}

std::shared_ptr<const Configuration::Skin> Configuration::GetSkin() const {
    std::lock_guard lock(m_skinLock);
    return m_skin;
}

void Configuration::Install(std::shared_ptr<Skin> skin) {
    std::shared_ptr<Skin> old;
    {
        std::lock_guard lock(m_skinLock);
        old = std::exchange(m_skin, std::move(skin));
    }
    // `old` dies here, outside the lock, unless a holder keeps it.
}

void Configuration::LoadConfiguration(const char* configPath, const char* skinName) {
    if (!skinName || *skinName == '\0') {
        AppLog::WriteToLog("skin: no skin name given; using \"%s\"\n", true, kDefaultSkin);
        skinName = kDefaultSkin;
    }
    auto skin = std::make_shared<Skin>(CascadeString(skinName), m_appDir);
    std::printf("skin path: %s\n", configPath ? configPath : "");
    std::fflush(stdout);
    tinyxml2::XMLDocument document;
    if (!configPath) {
        // No description: every key at its default.
    } else if (document.LoadFile(configPath) != tinyxml2::XML_SUCCESS) {
        AppLog::WriteToLog("skin: cannot read \"%s\": %s; using the defaults\n", true, configPath, document.ErrorStr());
    } else if (const tinyxml2::XMLElement* root = document.FirstChildElement("skin"); !root) {
        AppLog::WriteToLog("skin: \"%s\" has no <skin> element; using the defaults\n", true, configPath);
    } else {
        ReadBitmaps(*skin, root);
        ReadColors(*skin, root);
    }
    Install(std::move(skin));
}

void Configuration::ReadBitmaps(Skin& target, const tinyxml2::XMLElement* skin) {
    const tinyxml2::XMLElement* bitmaps = skin->FirstChildElement("bitmaps");
    if (!bitmaps) return;
    for (const tinyxml2::XMLElement* bitmap = bitmaps->FirstChildElement("bitmap"); bitmap;
         bitmap = bitmap->NextSiblingElement("bitmap")) {
        const char* key = bitmap->Attribute("key");
        const char* path = bitmap->Attribute("path");
        if (!key || !path) {
            AppLog::WriteToLog("skin: bitmap at line %d lacks \"%s\"; skipped\n", true, bitmap->GetLineNum(),
                         key ? "path" : "key");
            continue;
        }
        target.m_paths.SetAt(CascadeString(key), CascadeString("images/") + target.m_name + "/" + path);
    }
}

void Configuration::ReadColors(Skin& target, const tinyxml2::XMLElement* skin) {
    const tinyxml2::XMLElement* colors = skin->FirstChildElement("colors");
    if (!colors) return;
    for (const tinyxml2::XMLElement* color = colors->FirstChildElement("color"); color;
         color = color->NextSiblingElement("color")) {
        const char* key = color->Attribute("key");
        if (!key) {
            AppLog::WriteToLog("skin: color at line %d has no \"key\"; skipped\n", true, color->GetLineNum());
            continue;
        }
        const uint8_t red = ReadComponent(*color, key, "red");
        const uint8_t green = ReadComponent(*color, key, "green");
        const uint8_t blue = ReadComponent(*color, key, "blue");
        target.m_colors.SetAt(CascadeString(key), CascadeColor(red, green, blue, 255));
    }
}

void Configuration::Reset() { Install(std::make_shared<Skin>(GetSkinName(), m_appDir)); }

CascadeString Configuration::Skin::ResolvePath(const char* key, const char* defaultPath) const {
    if (const CascadeString* path = m_paths.Find(CascadeString(key))) return *path;
    if (!defaultPath || *defaultPath == '\0') return {};
    return CascadeString(defaultPath);
}

CascadeString Configuration::Skin::FullPath(const CascadeString& relative) const {
    // An empty relative path names no file; the application directory alone
    // must not be tried as an image.
    return relative.IsEmpty() ? CascadeString() : m_appDir + relative;
}

CascadeBitmap* Configuration::Skin::GetBitmap(const char* key, const char* defaultPath) const {
    const CascadeString path = ResolvePath(key, defaultPath);
    std::lock_guard lock(m_cacheLock);
    CascadeBitmap* cached = nullptr;
    if (m_bitmapCache.GetAt(path, cached)) return cached;
    auto bitmap = std::make_unique<CascadeBitmap>();
    const CascadeString fallback = FullPath(CascadeString(defaultPath));
    if (!EUtils::LoadBitmapFromFile(*bitmap, FullPath(path).c_str(), fallback.c_str())) {
        // Cached empty until the next skin load, so this is said once.
        AppLog::WriteToLog("skin: no image for \"%s\" (tried \"%s\" and \"%s\")\n", true, key ? key : "", path.c_str(),
                     defaultPath ? defaultPath : "");
    }
    cached = bitmap.get();
    m_bitmapCache.SetAt(path, cached);
    m_ownedBitmaps.push_back(std::move(bitmap));
    return cached;
}

bool Configuration::Skin::GetBitmap(CascadeBitmap& target, const char* key, const char* defaultPath) const {
    const CascadeString path = ResolvePath(key, defaultPath);
    const CascadeString fallback = FullPath(CascadeString(defaultPath));
    return EUtils::LoadBitmapFromFile(target, FullPath(path).c_str(), fallback.c_str());
}

CascadeBitmap* Configuration::GetBitmap(const char* key, const char* defaultPath) {
    return GetSkin()->GetBitmap(key, defaultPath);
}

bool Configuration::GetBitmap(CascadeBitmap& target, const char* key, const char* defaultPath) {
    return GetSkin()->GetBitmap(target, key, defaultPath);
}

const char* Configuration::KeyOf(SkinImage image) {
    const auto index = std::size_t(image);
    return index < kImages.size() ? kImages[index].key : nullptr;
}

const char* Configuration::DefaultPathOf(SkinImage image) {
    const auto index = std::size_t(image);
    return index < kImages.size() ? kImages[index].defaultPath : nullptr;
}

CascadeBitmap* Configuration::GetImage(SkinImage image) {
    return GetBitmap(KeyOf(image), DefaultPathOf(image));
}

bool Configuration::GetImage(CascadeBitmap& target, SkinImage image) {
    return GetBitmap(target, KeyOf(image), DefaultPathOf(image));
}

CascadeColor Configuration::Skin::ColorOr(const char* key, CascadeColor fallback) const {
    CascadeColor color;
    return m_colors.GetAt(CascadeString(key), color) ? color : fallback;
}

CascadeColor Configuration::Skin::GetDisplayColor() const { return ColorOr("Display_Foreground", kWhite); }
CascadeColor Configuration::Skin::GetDisplayBackgroundColor() const { return ColorOr("Display_Background", kBlack); }
CascadeColor Configuration::Skin::GetDisplayLinesColor() const { return ColorOr("Display_Lines", kBlack); }
