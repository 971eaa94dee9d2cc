#pragma once

#include <string>
#include <string_view>

// Turning the bytes of a directory feed or outline into valid UTF-8 before
// it is parsed. Pure functions over bytes without state; any thread.
namespace FeedText {

// The encoding a document names for itself: a byte-order mark first, else
// the "encoding" value of a leading XML declaration (either quote style),
// lower-cased; "" when it names none.
std::string DeclaredEncoding(std::string_view bytes);

// `bytes` as valid UTF-8, read by the encoding the document declares:
// UTF-8 (also when none is declared), ISO-8859-1 and US-ASCII (read as
// Windows-1252, their common superset), Windows-1252, UTF-16 with a byte
// order mark, and whatever else iconv knows. A byte that is not valid in
// the declared encoding is read as a Windows-1252 character (U+FFFD for the
// five bytes that code has no character for), so mislabelled Latin text
// still shows what was there. A leading byte-order mark is dropped, and so
// are control characters other than tab, line feed and carriage return
// (XML 1.0 allows no others; a NUL would cut the parse short). An encoding
// iconv does not know is read as UTF-8 and logged once per call.
std::string ToUtf8(std::string_view bytes);

// `text` with every byte sequence that is not well-formed UTF-8 replaced as
// ToUtf8 does, and the control characters it drops removed.
std::string RepairUtf8(std::string_view text);

}  // namespace FeedText
