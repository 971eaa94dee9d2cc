#include "platform/detail/FontFace.h"

#include "platform/detail/FontLocator.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>

namespace detail {
namespace {

constexpr int kMinSize = 1;
constexpr int kMaxSize = 512;
constexpr int kBoldWeight = 1;  // CascadeFont::kBold

int CeilPixels(FT_Pos value) { return int((value + 63) >> 6); }

// The process-wide face cache: faces by request (family, weight, size) and
// by what they open (file, size), so two names for one file share glyphs.
struct FaceCache {
    std::mutex mutex;  // guards both maps and the locator
    FontLocator locator;
    std::map<std::tuple<std::string, int, int>, std::shared_ptr<FontFace>> byRequest;
    std::map<std::pair<std::string, int>, std::shared_ptr<FontFace>> byFile;
};

FaceCache& Cache() {
    static FaceCache s_cache;
    return s_cache;
}

// Copies a rendered FreeType bitmap (grey or 1-bit) into 8-bit coverage.
void CopyCoverage(const FT_Bitmap& bitmap, Glyph& glyph) {
    glyph.width = int(bitmap.width);
    glyph.height = int(bitmap.rows);
    glyph.coverage.assign(std::size_t(glyph.width) * std::size_t(glyph.height), 0);
    const int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    for (int y = 0; y < glyph.height; ++y) {
        // A negative pitch means the rows are stored bottom-up.
        const int sourceRow = bitmap.pitch < 0 ? glyph.height - 1 - y : y;
        const unsigned char* row = bitmap.buffer + std::size_t(sourceRow) * std::size_t(pitch);
        uint8_t* out = &glyph.coverage[std::size_t(y) * std::size_t(glyph.width)];
        for (int x = 0; x < glyph.width; ++x) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            } else {
                out[x] = row[x];
            }
        }
    }
}

}  // namespace

struct FontFace::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

std::shared_ptr<FontFace> FontFace::Get(std::string_view family, int weight, int size) {
    size = std::clamp(size, kMinSize, kMaxSize);
    FaceCache& cache = Cache();
    std::lock_guard lock(cache.mutex);
    auto key = std::make_tuple(std::string(family), weight, size);
    if (auto found = cache.byRequest.find(key); found != cache.byRequest.end()) return found->second;
    const std::string file = cache.locator.FindFontFile(family, weight == kBoldWeight);
    std::shared_ptr<FontFace>& face = cache.byFile[{file, size}];
    if (!face) face = std::make_shared<FontFace>(file, size);
    cache.byRequest.emplace(std::move(key), face);
    return face;
}

FontFace::FontFace(const std::string& file, int size) : m_impl(std::make_unique<Impl>()) {
    m_ascent = size;
    m_lineHeight = size;
    if (file.empty() || FT_Init_FreeType(&m_impl->library) != 0 ||
        FT_New_Face(m_impl->library, file.c_str(), 0, &m_impl->face) != 0 ||
        FT_Set_Pixel_Sizes(m_impl->face, 0, FT_UInt(size)) != 0) {
        std::fprintf(stderr, "font: cannot open \"%s\" at %d px; text will not show\n", file.c_str(), size);
        if (m_impl->face) FT_Done_Face(m_impl->face);
        m_impl->face = nullptr;
        return;
    }
    const FT_Size_Metrics& metrics = m_impl->face->size->metrics;
    m_ascent = CeilPixels(metrics.ascender);
    m_descent = CeilPixels(-metrics.descender);
    m_lineHeight = std::max(CeilPixels(metrics.height), m_ascent + m_descent);
}

FontFace::~FontFace() = default;

const Glyph& FontFace::GetGlyph(char32_t c) const {
    if (c < m_ascii.size()) {
        if (const Glyph* glyph = m_ascii[c].load(std::memory_order_acquire)) return *glyph;
    }
    std::lock_guard lock(m_mutex);
    std::unique_ptr<Glyph>& slot = m_glyphs[c];
    if (!slot) slot = Render(c);
    if (c < m_ascii.size()) m_ascii[c].store(slot.get(), std::memory_order_release);
    return *slot;
}

int FontFace::Overhang(char32_t c) const {
    const Glyph& glyph = GetGlyph(c);
    return glyph.width > 0 ? std::max(0, glyph.left + glyph.width - glyph.advance) : 0;
}

// Called with m_mutex held: FreeType faces are not safe to share.
std::unique_ptr<Glyph> FontFace::Render(char32_t c) const {
    auto glyph = std::make_unique<Glyph>();
    FT_Face face = m_impl->face;
    if (!face) return glyph;
    const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
    glyph->present = index != 0;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_LIGHT) != 0) {
        glyph->present = false;
        return glyph;
    }
    const FT_GlyphSlot slot = face->glyph;
    glyph->advance = int((slot->advance.x + 32) >> 6);
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    if (slot->bitmap.buffer && (slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY || slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO))
        CopyCoverage(slot->bitmap, *glyph);
    return glyph;
}

}  // namespace detail
