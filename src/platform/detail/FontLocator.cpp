#include "platform/detail/FontLocator.h"

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <memory>
#include <strings.h>

namespace detail {
namespace {

struct PatternDestroyer {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDestroyer>;

struct Match {
    std::string file;
    std::string family;
};

Match MatchFamily(FcConfig* config, const std::string& family, bool bold) {
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) return {};
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(config, pattern.get(), &result));
    if (!match) return {};
    FcChar8* file = nullptr;
    FcChar8* matched = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file) return {};
    if (FcPatternGetString(match.get(), FC_FAMILY, 0, &matched) != FcResultMatch || !matched) matched = file;
    return {reinterpret_cast<const char*>(file), reinterpret_cast<const char*>(matched)};
}

}  // namespace

struct FontLocator::Impl {
    FcConfig* config = FcInitLoadConfigAndFonts();
    ~Impl() {
        if (config) FcConfigDestroy(config);
    }
};

FontLocator::FontLocator() : m_impl(std::make_unique<Impl>()) {}
FontLocator::~FontLocator() = default;

std::string FontLocator::FindFontFile(std::string_view family, bool bold) {
    const std::string wanted = family.empty() || family == "system" ? std::string(kSystemFamily) : std::string(family);
    Match match = MatchFamily(m_impl->config, wanted, bold);
    // fontconfig always offers something; a different family means ours is missing.
    if (wanted != kSystemFamily && strcasecmp(match.family.c_str(), wanted.c_str()) != 0) {
        std::fprintf(stderr, "font: no family \"%s\", using %s\n", wanted.c_str(), std::string(kSystemFamily).c_str());
        match = MatchFamily(m_impl->config, std::string(kSystemFamily), bold);
    }
    if (match.file.empty()) std::fprintf(stderr, "font: fontconfig found no file for \"%s\"\n", wanted.c_str());
    return match.file;
}

}  // namespace detail
