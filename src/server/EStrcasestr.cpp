#include "server/EStrcasestr.h"

#include <algorithm>
#include <cstring>

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

}  // namespace

const char* EStrCaseStr(const char* haystack, const char* needle) {
    if (!haystack || !needle) return nullptr;
    const char* hayEnd = haystack + std::strlen(haystack);
    const char* needleEnd = needle + std::strlen(needle);
    // Folding both sides byte by byte finds the same offset as searching a
    // lower-case copy of the needle in a lower-case copy of the haystack,
    // without the two copies.
    const char* found =
        std::search(haystack, hayEnd, needle, needleEnd, [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
    if (found == hayEnd && needle != needleEnd) return nullptr;
    return found;
}
