#include "server/ETokenArray.h"

#include "platform/CascadeTokenArray.h"

#include <cstring>

ETokenArray::ETokenArray(const char* text, const char* separator, CascadeCase cs) {
    if (!text || !separator) return;
    const std::string_view textView(text);
    const std::string_view sepView(separator);
    if (CascadeString(textView).Compare(sepView, cs) == 0) {
        m_tokens.resize(2);
        return;
    }
    if (sepView.size() < 2) {
        const CascadeTokenArray pieces(textView, sepView);
        m_tokens.reserve(pieces.GetNumTokens());
        for (std::size_t i = 0; i < pieces.GetNumTokens(); ++i) m_tokens.push_back(pieces.TokenAt(i).Std());
        return;
    }
    SplitAtString(textView, sepView, cs);
}

void ETokenArray::SplitAtString(std::string_view text, std::string_view separator, CascadeCase cs) {
    // Lower-case copies are made once for the whole text, so a long reply with
    // many separators is cut in linear time; folding keeps byte offsets.
    std::string foldedText;
    std::string foldedSep;
    std::string_view hay = text;
    std::string_view sep = separator;
    if (cs == CascadeCase::Insensitive) {
        foldedText = CascadeString(text).ToLower().Std();
        foldedSep = CascadeString(separator).ToLower().Std();
        hay = foldedText;
        sep = foldedSep;
    }
    std::size_t cursor = 0;
    std::size_t found = hay.find(sep, cursor);
    while (found != std::string_view::npos) {
        m_tokens.emplace_back(text.substr(cursor, found - cursor));
        cursor = found + sep.size();
        found = hay.find(sep, cursor);
    }
    if (cursor > 0) m_tokens.emplace_back(text.substr(cursor));
}

const char* ETokenArray::TokenAt(unsigned long index) const {
    return index < m_tokens.size() ? m_tokens[index].c_str() : nullptr;
}

long ETokenArray::Contains(const char* token, CascadeCase cs, Order order) const {
    if (!token) return -1;
    return order == Order::Sorted ? FindSorted(token, cs) : FindLinear(token, cs);
}

long ETokenArray::FindLinear(std::string_view token, CascadeCase cs) const {
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
        if (CascadeString(m_tokens[i]).Compare(token, cs) == 0) return long(i);
    }
    return -1;
}

long ETokenArray::FindSorted(std::string_view token, CascadeCase cs) const {
    const long count = long(m_tokens.size());
    long lo = 0;
    long hi = count - 1;
    long probe = count / 2;
    while (lo <= hi) {
        const int order = CascadeString(m_tokens[std::size_t(probe)]).Compare(token, cs);
        if (order == 0) return probe;
        if (order > 0) {
            hi = probe - 1;
        } else {
            lo = probe + 1;
        }
        probe = (lo + hi) / 2;
    }
    return -1;
}

CascadeString ETokenArray::Join(const char* separator) const {
    const std::string_view sep = separator ? std::string_view(separator) : std::string_view();
    std::string joined;
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
        if (i > 0) joined += sep;
        joined += m_tokens[i];
    }
    return CascadeString(std::move(joined));
}
