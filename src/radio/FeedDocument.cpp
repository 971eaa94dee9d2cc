#include "radio/FeedDocument.h"

#include "app/base/AppLog.h"
#include "radio/FeedText.h"
#include "radio/XmlRepair.h"

#include <strings.h>

#include <string>

namespace FeedDocument {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

ParseResult Parse(std::string_view bytes, tinyxml2::XMLDocument& document, std::string_view source) {
    const std::string text = XmlRepair::StripDoctype(FeedText::ToUtf8(bytes));
    const std::string name(source);
    document.Clear();
    if (document.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS && document.RootElement())
        return ParseResult::WellFormed;
    const std::string firstError = document.ErrorStr() ? document.ErrorStr() : "no element";
    unsigned repairs = 0;
    const std::string mended = XmlRepair::Balance(text, repairs);
    document.Clear();
    if (document.Parse(mended.data(), mended.size()) == tinyxml2::XML_SUCCESS && document.RootElement()) {
        AppLog::WriteToLog("radio: %s: not well-formed (%s); read after %u repairs\n", false, name.c_str(),
                           firstError.c_str(), repairs);
        return ParseResult::Mended;
    }
    AppLog::WriteToLog("xml parser error: %s\n", false,
                       document.ErrorStr() ? document.ErrorStr() : "the document holds no element");
    document.Clear();
    return ParseResult::Failed;
}

std::string_view Text(const tinyxml2::XMLElement* element) {
    const char* raw = element ? element->GetText() : nullptr;
    std::string_view text = raw ? raw : "";
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

const char* AttributeIgnoringCase(const tinyxml2::XMLElement& element, const char* name) {
    for (const tinyxml2::XMLAttribute* a = element.FirstAttribute(); a; a = a->Next())
        if (strcasecmp(a->Name(), name) == 0) return a->Value();
    return nullptr;
}

bool Named(const tinyxml2::XMLElement& element, const char* name) {
    return strcasecmp(element.Name(), name) == 0;
}

}  // namespace FeedDocument
