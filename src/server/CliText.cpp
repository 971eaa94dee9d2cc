#include "server/CliText.h"


#include <cctype>
#include <cstring>

namespace CliText {

std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    if (separator.empty()) return pieces;
    std::size_t found = text.find(separator);
    if (found == std::string_view::npos) return pieces;
    std::size_t start = 0;
    while (found != std::string_view::npos) {
        pieces.push_back(text.substr(start, found - start));
        start = found + separator.size();
        found = text.find(separator, start);
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::string_view WordAt(std::string_view text, std::size_t index) {
    std::string_view result;
    std::size_t at = 0;
    ForEachWord(text, [&](std::string_view word) {
        if (at++ == index) result = word;
    });
    return result;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

namespace {

// Decodes `escaped` into `out`, which has room for escaped.size() bytes;
// returns the decoded length.
std::size_t DecodeInto(std::string_view escaped, char* out) {
    char* o = out;
    const char* p = escaped.data();
    const char* const end = p + escaped.size();
    while (p < end) {
        const char* run = p;
        while (p < end && *p != '%' && *p != '+') ++p;
        std::memcpy(o, run, std::size_t(p - run));
        o += p - run;
        if (p == end) break;
        int high, low;
        if (*p == '%' && end - p > 2 && (high = HexValue(p[1])) >= 0 && (low = HexValue(p[2])) >= 0) {
            *o++ = char(high * 16 + low);
            p += 3;
        } else {
            *o++ = *p == '+' ? ' ' : '%';
            ++p;
        }
    }
    return std::size_t(o - out);
}

}  // namespace

CascadeString Decode(std::string_view escaped) {
    // Most fields are short: decoding on the stack lets a text that shrinks
    // below the string's inline size never touch the heap.
    constexpr std::size_t kStackBytes = 256;
    if (escaped.size() <= kStackBytes) {
        char buffer[kStackBytes];
        return CascadeString(std::string_view(buffer, DecodeInto(escaped, buffer)));
    }
    std::string out(escaped.size(), '\0');
    out.resize(DecodeInto(escaped, out.data()));
    return CascadeString(std::move(out));
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

}  // namespace CliText
