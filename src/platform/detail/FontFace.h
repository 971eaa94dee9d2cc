#pragma once

// A FreeType face at one pixel size with its glyph cache. Included only by
// platform sources.

#include "platform/detail/TextLayout.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace detail {

// One rendered glyph: 8-bit coverage rows, placed relative to the pen on
// the baseline.
struct Glyph {
    int advance = 0;  // pixels the pen moves
    int left = 0;     // ink's left edge from the pen
    int top = 0;      // ink's top edge above the baseline
    int width = 0;
    int height = 0;
    bool present = false;  // the face has this character (not the missing-glyph box)
    std::vector<uint8_t> coverage;  // width * height bytes, rows top to bottom
};

class FontFace final : public GlyphMetrics {
public:
    // The face for a family name ("system" is DejaVu Sans), weight
    // (CascadeFont::Weight) and pixel size. Never null: a face whose file
    // cannot be opened measures and draws nothing (one "font: " line).
    // Faces are shared through a process-wide cache keyed by file and size;
    // it is the framework's own internal state, a function-local static
    // behind a mutex, so any thread may call this.
    static std::shared_ptr<FontFace> Get(std::string_view family, int weight, int size);

    // Opens `file` at `size` pixels; use Get() instead (public for make_shared).
    FontFace(const std::string& file, int size);
    ~FontFace() override;
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Any thread. The reference stays valid for the face's lifetime: glyphs
    // are rendered once and never evicted.
    const Glyph& GetGlyph(char32_t c) const;

    int Ascent() const { return m_ascent; }
    int Descent() const { return m_descent; }
    int LineHeight() const { return m_lineHeight; }

    int Advance(char32_t c) const override { return GetGlyph(c).advance; }
    int Overhang(char32_t c) const override;
    bool HasGlyph(char32_t c) const override { return GetGlyph(c).present; }

private:
    std::unique_ptr<Glyph> Render(char32_t c) const;

    struct Impl;  // FreeType library and face
    std::unique_ptr<Impl> m_impl;
    int m_ascent = 0;
    int m_descent = 0;
    int m_lineHeight = 0;

    // Shared by every thread that measures or draws with this face.
    mutable std::mutex m_mutex;  // guards the FreeType face and m_glyphs
    mutable std::unordered_map<char32_t, std::unique_ptr<Glyph>> m_glyphs;
    // Lock-free lookups for ASCII once rendered; entries point into m_glyphs.
    mutable std::array<std::atomic<const Glyph*>, 128> m_ascii{};
};

}  // namespace detail
