#pragma once

#include "platform/CascadeDims.h"

#include <memory>
#include <string>
#include <string_view>

namespace detail {
class FontFace;
}

// A font: a face name, a weight and a pixel size. Face "system" is DejaVu
// Sans, found with fontconfig; other names are looked up with fontconfig too
// and fall back to "system". Glyphs are rendered with FreeType and cached per
// face and size, shared by every CascadeFont with the same attributes.
// Thread-safe: fonts may be measured and drawn with from loader threads.
class CascadeFont {
public:
    enum Weight { kNormal = 0, kBold = 1 };

    struct Attributes {
        std::string face = "system";
        int weight = kNormal;
        int size = 16;  // pixel height of the em square
    };

    CascadeFont();
    CascadeFont(const char* face, int weight, int size);
    ~CascadeFont();
    CascadeFont(const CascadeFont&);
    CascadeFont& operator=(const CascadeFont&);

    void SetAttributes(const Attributes& attributes);
    const Attributes& GetAttributes() const { return m_attributes; }

    // Width of the whole text on one line, and the font's line height.
    CascadeDims GetTextExtent(std::string_view utf8) const;
    int GetLineHeight() const;
    int GetAscent() const;

    // For the renderer inside the platform layer; never null.
    detail::FontFace& Face() const;

private:
    Attributes m_attributes;
    std::shared_ptr<detail::FontFace> m_face;
};
