#include "server/EString.h"

#include "platform/CascadeTokenArray.h"
#include "server/ETokenArray.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

}  // namespace

EString EString::Trim() const {
    const std::string_view text = View();
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    std::size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) --last;
    return EString(text.substr(first, last - first));
}

EString EString::Substring(unsigned long start, unsigned long length) const {
    const std::string_view text = View();
    if (start >= text.size()) return EString();
    const std::string_view tail = text.substr(start);
    if (length != 0 && length < tail.size()) return EString(tail.substr(0, length));
    return EString(tail);
}

EString EString::Replace(const char* find, const char* replace, CascadeCase cs) const {
    if (!find) return *this;
    const std::string_view with = replace ? std::string_view(replace) : std::string_view();
    if (std::strlen(find) < 2) {
        const CascadeTokenArray pieces(View(), find);
        std::string joined;
        for (std::size_t i = 0; i < pieces.GetNumTokens(); ++i) {
            if (i > 0) joined += with;
            joined += pieces.TokenAt(i).View();
        }
        return EString(CascadeString(std::move(joined)));
    }
    const ETokenArray pieces(c_str(), find, cs);
    if (pieces.GetNumTokens() == 0) return *this;
    const std::string withText(with);
    return EString(pieces.Join(withText.c_str()));
}

long EString::IndexOf(const char* find, unsigned long start) const {
    if (!find) return -1;
    const std::string_view text = View();
    const std::string_view needle(find);
    for (std::size_t p = start; p <= text.size() && needle.size() <= text.size() - p; ++p) {
        if (text.compare(p, needle.size(), needle) == 0) return long(p);
    }
    return -1;
}

long EString::LastIndexOf(const char* find, unsigned long end) const {
    if (!find) return -1;
    const std::string_view text = View();
    const std::string_view needle(find);
    // An end past the text means the whole text, as 0 does.
    const std::size_t e = (end == 0 || end > text.size()) ? text.size() : end;
    if (needle.size() > text.size() || needle.size() > e + 1) return -1;
    // The first candidate ends at index e; candidates that would run past the
    // text cannot match, so the walk starts at the last one that fits.
    std::size_t p = std::min(e + 1 - needle.size(), text.size() - needle.size());
    for (;; --p) {
        if (text.compare(p, needle.size(), needle) == 0) return long(p);
        if (p == 0) return -1;
    }
}
