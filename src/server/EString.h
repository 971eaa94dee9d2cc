#pragma once

#include "platform/CascadeString.h"

#include <string>
#include <string_view>
#include <utility>

// A text value with search, slice, trim and replace for the reply parsers.
// Adds no fields to CascadeString; every operation is const and returns a new
// value, leaving this one unchanged. Any thread may use its own instances.
//
// Positions are byte offsets (the text is UTF-8; no operation here looks
// inside multi-byte sequences). Misses are results, not errors: -1, "" or an
// unchanged copy. A null `find` is a miss.
class EString : public CascadeString {
public:
    EString() = default;
    EString(const CascadeString& text) : CascadeString(text) {}    // NOLINT: implicit like its base
    EString(const char* text) : CascadeString(text) {}             // NOLINT
    EString(std::string_view text) : CascadeString(text) {}        // NOLINT
    EString(std::string text) : CascadeString(std::move(text)) {}  // NOLINT

    // A copy without leading and trailing blanks (space, line feed, tab,
    // carriage return); "" when the text is only blanks.
    EString Trim() const;
    // The bytes from `start`: all of them when `length` is 0, else at most
    // `length`. "" when `start` is not below the length.
    EString Substring(unsigned long start, unsigned long length) const;
    // A copy with every occurrence of `find` replaced by `replace` (null
    // means ""). A `find` of one character (or none) cuts with
    // CascadeTokenArray and ignores `cs`; a longer one cuts with ETokenArray.
    // A text in which `find` does not occur comes back unchanged.
    EString Replace(const char* find, const char* replace, CascadeCase cs) const;
    // Position of the first occurrence of `find` (case-sensitive) at or after
    // `start`, or -1. An empty `find` matches at `start` when that is not past
    // the end.
    long IndexOf(const char* find, unsigned long start) const;
    // Position of the last occurrence of `find` (case-sensitive) whose last
    // byte is at or before index `end`; `end` 0 means the whole text. -1 when
    // there is none.
    long LastIndexOf(const char* find, unsigned long end) const;
};
