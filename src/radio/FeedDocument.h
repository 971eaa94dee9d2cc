#pragma once

#include <tinyxml2.h>

#include <string_view>

// Reading a directory feed or an outline from its bytes into a TinyXML
// document, the way real feeds need it: converted to UTF-8 by its declared
// encoding (FeedText), its document type declaration cut out, and, when the
// strict parse fails, mended (XmlRepair::Balance) and parsed again. Pure over
// bytes (no I/O, nothing the document names is fetched); any thread, each
// call on its own document.
namespace FeedDocument {

enum class ParseResult {
    Failed,      // no element could be read; the document is empty
    WellFormed,  // read as it stands
    Mended,      // read after XmlRepair::Balance changed it
};

// Fills `document` from `bytes`. A mended document is logged with a
// "radio:" line naming `source`; a failure logs "xml parser error: ...".
[[nodiscard]] ParseResult Parse(std::string_view bytes, tinyxml2::XMLDocument& document, std::string_view source);

// The text of `element` trimmed of surrounding blanks, "" for none.
std::string_view Text(const tinyxml2::XMLElement* element);

// The value of the attribute whose name equals `name` ignoring case (the
// first such), or null.
const char* AttributeIgnoringCase(const tinyxml2::XMLElement& element, const char* name);

// Whether the element's name equals `name` ignoring case.
bool Named(const tinyxml2::XMLElement& element, const char* name);

}  // namespace FeedDocument
