#include "platform/CascadeTokenArray.h"

CascadeTokenArray::CascadeTokenArray(std::string_view text, std::string_view separators) {
    if (text.empty()) return;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (separators.find(text[i]) != std::string_view::npos) {
            m_tokens.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    m_tokens.emplace_back(text.substr(start));
}

const CascadeString& CascadeTokenArray::TokenAt(std::size_t index) const {
    static const CascadeString kEmpty;
    return index < m_tokens.size() ? m_tokens[index] : kEmpty;
}
