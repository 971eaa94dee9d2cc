#include "radio/FeedText.h"

#include "app/base/AppLog.h"
#include "platform/CascadeString.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <memory>

namespace FeedText {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code has no character.
constexpr std::array<char32_t, 32> kCp1252High{0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                               0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char32_t kReplacement = 0xFFFD;

bool IsDroppedControl(char32_t c) {
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

void AppendUtf8(char32_t c, std::string& out) {
    if (IsDroppedControl(c)) return;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

char32_t Cp1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        const char32_t c = kCp1252High[byte - 0x80];
        return c ? c : kReplacement;
    }
    return byte;
}

std::string FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char b : bytes) AppendUtf8(Cp1252(static_cast<unsigned char>(b)), out);
    return out;
}

// The length of the well-formed UTF-8 sequence at the start of `s`, 0 when
// there is none (stray continuation, cut-off, overlong, surrogate, beyond
// U+10FFFF).
std::size_t SequenceLength(std::string_view s) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) low = 0xA0;
        if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < length) return 0;
    const auto b1 = static_cast<unsigned char>(s[1]);
    if (b1 < low || b1 > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80 || b > 0xBF) return 0;
    }
    return length;
}

struct IconvClose {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvClose>;

// Converts with iconv; false when iconv does not know the encoding. An
// invalid or cut-off sequence costs one byte, read as Windows-1252.
bool FromIconv(std::string_view bytes, const std::string& encoding, std::string& out) {
    const iconv_t raw = iconv_open("UTF-8", encoding.c_str());
    if (raw == iconv_t(-1)) return false;
    IconvHandle handle(raw);
    std::string converted;
    std::array<char, 4096> buffer{};
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(raw, &in, &inLeft, &outPtr, &outLeft);
        converted.append(buffer.data(), buffer.size() - outLeft);
        if (result == std::size_t(-1) && errno != E2BIG) {
            AppendUtf8(Cp1252(static_cast<unsigned char>(*in)), converted);
            ++in;
            --inLeft;
            iconv(raw, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // iconv writes valid UTF-8; this drops the controls it passed through.
    out = RepairUtf8(converted);
    return true;
}

bool IsOneOf(const std::string& value, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (value == name) return true;
    return false;
}

}  // namespace

std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return "utf-8";
    if (bytes.substr(0, 2) == "\xFF\xFE") return "utf-16le";
    if (bytes.substr(0, 2) == "\xFE\xFF") return "utf-16be";
    if (bytes.substr(0, 5) != "<?xml") return "";
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const std::size_t key = declaration.find("encoding");
    if (key == std::string_view::npos) return "";
    std::size_t i = key + 8;
    while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '=' || declaration[i] == '\t')) ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return "";
    const char quote = declaration[i];
    const std::size_t end = declaration.find(quote, i + 1);
    if (end == std::string_view::npos) return "";
    return CascadeString(declaration.substr(i + 1, end - i - 1)).ToLower().Std();
}

std::string RepairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of plain ASCII are the bulk of every feed: copy them at once.
        std::size_t run = i;
        while (run < text.size() && static_cast<unsigned char>(text[run]) >= 0x20 &&
               static_cast<unsigned char>(text[run]) < 0x80)
            ++run;
        out.append(text.substr(i, run - i));
        i = run;
        if (i >= text.size()) break;
        const std::size_t length = SequenceLength(text.substr(i));
        if (length == 0) {
            AppendUtf8(Cp1252(static_cast<unsigned char>(text[i])), out);
            ++i;
        } else if (length == 1) {
            if (!IsDroppedControl(char32_t(text[i]))) out += text[i];
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string ToUtf8(std::string_view bytes) {
    const std::string encoding = DeclaredEncoding(bytes);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (encoding.empty() || IsOneOf(encoding, {"utf-8", "utf8"})) return RepairUtf8(bytes);
    if (IsOneOf(encoding, {"iso-8859-1", "iso8859-1", "latin1", "latin-1", "l1", "us-ascii", "ascii", "windows-1252",
                           "cp1252", "x-cp1252"}))
        return FromCp1252(bytes);
    std::string out;
    if (FromIconv(bytes, encoding, out)) {
        // The UTF-16 byte-order mark comes out as U+FEFF; it is no text.
        if (out.substr(0, 3) == "\xEF\xBB\xBF") out.erase(0, 3);
        return out;
    }
    AppLog::WriteToLog("radio: unknown encoding \"%s\", read as UTF-8\n", false, encoding.c_str());
    return RepairUtf8(bytes);
}

}  // namespace FeedText
