#pragma once

#include "platform/CascadeString.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Small helpers for reading CLI reply lines without copying them: views into
// the reply text, and decoding of the server's %-escaped words. Free
// functions without state; any thread.
namespace CliText {

// The pieces of `text` between occurrences of `separator` (case-sensitive,
// left to right, never overlapping). Like the reply tokenizer of the text
// toolkit, a text in which `separator` does not occur gives no pieces at all.
// The views point into `text`.
std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separator);

// Calls `visit(word)` for every word of `text` cut at single spaces, in order
// (empty words between two spaces included).
template <typename Visit>
void ForEachWord(std::string_view text, Visit&& visit) {
    std::size_t start = 0;
    while (true) {
        const std::size_t space = text.find(' ', start);
        if (space == std::string_view::npos) {
            visit(text.substr(start));
            return;
        }
        visit(text.substr(start, space - start));
        start = space + 1;
    }
}

// The word at `index` of `text` cut at single spaces, or "" past the last.
std::string_view WordAt(std::string_view text, std::size_t index);

// `escaped` with the server's escapes undone: "%" and two hexadecimal digits
// give that byte, "+" gives a space. A "%" without two valid digits after it
// is kept as it is, so a broken escape never yields a NUL byte.
CascadeString Decode(std::string_view escaped);

// `text` without leading and trailing blanks (space, tab, CR, LF).
std::string_view Trim(std::string_view text);

// True when `text` starts with `prefix`, ASCII letters compared ignoring case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace CliText
