#pragma once

// Case-insensitive substring search.
//
// glibc already declares ::strcasestr as a GNU extension (with a char* return
// and locale-dependent folding), so ours has its own name: defining a second
// global strcasestr would clash with <string.h> and silently pick one of the
// two depending on the include order.
//
// Folding is ASCII only, the same as CascadeString::ToLower: bytes >= 0x80
// (UTF-8 sequences) must match exactly.

// A pointer into `haystack` at the first occurrence of `needle` compared
// without regard to ASCII letter case, or null when there is none or either
// argument is null. An empty needle matches at `haystack`. Any thread; the
// result points into the caller's buffer.
const char* EStrCaseStr(const char* haystack, const char* needle);
