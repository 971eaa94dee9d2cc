#include "platform/CascadeFont.h"

#include "platform/detail/FontFace.h"
#include "platform/detail/Utf8.h"

CascadeFont::CascadeFont() : m_face(detail::FontFace::Get(m_attributes.face, m_attributes.weight, m_attributes.size)) {}

CascadeFont::CascadeFont(const char* face, int weight, int size) {
    SetAttributes({face ? face : "system", weight, size});
}

CascadeFont::~CascadeFont() = default;
CascadeFont::CascadeFont(const CascadeFont&) = default;
CascadeFont& CascadeFont::operator=(const CascadeFont&) = default;

void CascadeFont::SetAttributes(const Attributes& attributes) {
    m_attributes = attributes;
    m_face = detail::FontFace::Get(m_attributes.face, m_attributes.weight, m_attributes.size);
}

CascadeDims CascadeFont::GetTextExtent(std::string_view utf8) const {
    const std::u32string text = detail::DecodeUtf8(utf8);
    int width = 0;
    for (char32_t c : text) width += m_face->Advance(c);
    return {width, m_face->LineHeight()};
}

int CascadeFont::GetLineHeight() const { return m_face->LineHeight(); }

int CascadeFont::GetAscent() const { return m_face->Ascent(); }

detail::FontFace& CascadeFont::Face() const { return *m_face; }
