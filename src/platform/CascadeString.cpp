#include "platform/CascadeString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

int CascadeString::Compare(std::string_view text, CascadeCase cs, std::size_t length) const {
    std::string_view mine = m_text;
    if (length != kUnlimited) {
        mine = mine.substr(0, std::min(length, mine.size()));
        text = text.substr(0, std::min(length, text.size()));
    }
    const std::size_t n = std::min(mine.size(), text.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char a = mine[i], b = text[i];
        if (cs == CascadeCase::Insensitive) {
            a = FoldAscii(char(a));
            b = FoldAscii(char(b));
        }
        if (a != b) return a < b ? -1 : 1;
    }
    if (mine.size() == text.size()) return 0;
    return mine.size() < text.size() ? -1 : 1;
}

bool CascadeString::Contains(std::string_view text, CascadeCase cs) const {
    if (cs == CascadeCase::Sensitive) return m_text.find(text) != std::string::npos;
    auto it = std::search(m_text.begin(), m_text.end(), text.begin(), text.end(),
                          [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
    return it != m_text.end() || text.empty();
}

bool CascadeString::StartsWith(std::string_view text, CascadeCase cs) const {
    return m_text.size() >= text.size() && Compare(text, cs, text.size()) == 0;
}

CascadeString& CascadeString::ToLower() {
    for (char& c : m_text) c = FoldAscii(c);
    return *this;
}

void CascadeString::Truncate(std::size_t length) {
    if (length < m_text.size()) m_text.resize(length);
}

CascadeString& CascadeString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_text.clear();
    } else {
        std::vector<char> buffer(std::size_t(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        m_text.assign(buffer.data(), std::size_t(needed));
    }
    va_end(args);
    return *this;
}
