#pragma once

#include "platform/CascadeString.h"

#include <cstdint>
#include <string>
#include <string_view>

// Text, URL and file helpers shared by the CLI and radio parsers. A namespace
// of free functions without state: other libraries add their own EUtils
// helpers (drawing, bitmaps) in their own headers. Every function may be
// called from any thread; none keeps a pointer it was given.
namespace EUtils {

// `out` receives `source` with every occurrence of `find` (case-sensitive,
// left to right, never overlapping) replaced by `replace`. A null or empty
// `find`, an empty `source`, or `find` equal to `replace` give `source`
// unchanged; a null `source` gives "", a null `replace` counts as "".
void ReplaceString(const char* source, const char* find, const char* replace, CascadeString& out);

// `out` is cleared, then receives `source` decoded: '+' becomes a space; '%'
// takes the next two bytes (fewer at the end of the text) as a hexadecimal
// number parsed as far as valid digits reach, appends that one byte and goes
// on after the pair, so a pair without a valid leading digit gives the byte
// 0. Every other byte is copied. A null `source` gives "".
void UrlDecode(const char* source, CascadeString& out);

// `out` is cleared, then receives `source` with every byte outside the
// unreserved ASCII set (letters, digits, '-', '.', '_', '~') written as '%'
// and two upper-case hex digits, the way the server escapes its CLI fields
// (":" is "%3A", " " is "%20", each UTF-8 byte on its own).
void UrlEncode(std::string_view source, CascadeString& out);

// `document` as UTF-8 for the XML parser, which reads every page as UTF-8:
// a document whose XML declaration names ISO-8859-1 (or Latin-1) has each
// byte above 0x7F written as its two UTF-8 bytes and its declaration made to
// say UTF-8. Any other document comes back as it is; an encoding other than
// UTF-8, US-ASCII and ISO-8859-1 is logged once per call.
std::string XmlToUtf8(std::string_view document);

// Appends the whole body of the HTTP resource at `url` to `out` (which is not
// cleared), read in pieces of at most 2,048 bytes. A resource that cannot be
// opened or read leaves `out` as it was. Blocks until the body has ended.
void GetHTTPData(const char* url, CascadeString& out);

// The size in bytes of the file at `path`; 0 (and a log line) when it cannot
// be found or opened.
uint64_t GetFileSize(const char* path);

// A decimal number from its leading digits, 0 when there are none: the
// platform's CascadeDecimal::Parse (blanks and one sign allowed, saturating).
int64_t ParseDecimal(std::string_view text);

}  // namespace EUtils
