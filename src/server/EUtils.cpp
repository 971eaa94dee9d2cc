#include "server/EUtils.h"

#include "app/base/AppLog.h"
#include "platform/CascadeDecimal.h"
#include "platform/CascadeHTTPStream.h"

#include <strings.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kHttpReadSize = 2048;

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The byte of an escape pair: its digits read as far as they are valid.
char DecodePair(std::string_view pair) {
    int value = 0;
    for (char c : pair) {
        const int digit = HexValue(c);
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return char(value);
}

// Where the encoding name sits in an XML declaration at the start of
// `document`; empty when there is no complete declaration naming one.
struct DeclaredEncoding {
    std::size_t at = 0, length = 0;
};

DeclaredEncoding FindDeclaredEncoding(std::string_view document) {
    if (!document.starts_with("<?xml")) return {};
    const std::size_t end = document.find("?>");
    if (end == std::string_view::npos) return {};
    const std::string_view declaration = document.substr(0, end);
    std::size_t i = declaration.find("encoding");
    if (i == std::string_view::npos) return {};
    i += 8;
    while (i < declaration.size() && declaration[i] == ' ') ++i;
    if (i >= declaration.size() || declaration[i] != '=') return {};
    ++i;
    while (i < declaration.size() && declaration[i] == ' ') ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return {};
    const std::size_t close = declaration.find(declaration[i], i + 1);
    if (close == std::string_view::npos) return {};
    return {i + 1, close - i - 1};
}

bool IsLatin1Name(std::string_view name) {
    for (const char* latin1 : {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "latin1", "Latin-1", "l1"})
        if (name.size() == std::strlen(latin1) && strncasecmp(name.data(), latin1, name.size()) == 0) return true;
    return false;
}

}  // namespace

namespace EUtils {

std::string XmlToUtf8(std::string_view document) {
    const DeclaredEncoding encoding = FindDeclaredEncoding(document);
    const std::string_view name = document.substr(encoding.at, encoding.length);
    if (encoding.length == 0 || !IsLatin1Name(name)) {
        const bool utf8 = name.size() == 5 && strncasecmp(name.data(), "UTF-8", 5) == 0;
        const bool ascii = name.size() == 8 && strncasecmp(name.data(), "US-ASCII", 8) == 0;
        if (encoding.length != 0 && !utf8 && !ascii)
            AppLog::WriteToLog("xml: pages in %.*s are read as UTF-8\n", false, int(name.size()), name.data());
        return std::string(document);
    }
    std::string out;
    out.reserve(document.size() + document.size() / 8);
    out.append(document.substr(0, encoding.at));
    out.append("UTF-8");
    for (const char c : document.substr(encoding.at + encoding.length)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
            continue;
        }
        out += char(0xC0 | byte >> 6);
        out += char(0x80 | (byte & 0x3F));
    }
    return out;
}

void ReplaceString(const char* source, const char* find, const char* replace, CascadeString& out) {
    const std::string_view text = source ? std::string_view(source) : std::string_view();
    const std::string_view with = replace ? std::string_view(replace) : std::string_view();
    if (text.empty() || !find || *find == '\0' || with == find) {
        out = CascadeString(text);
        return;
    }
    const std::string_view what(find);
    std::string result;
    std::size_t cursor = 0;
    for (std::size_t found = text.find(what); found != std::string_view::npos; found = text.find(what, cursor)) {
        result.append(text.substr(cursor, found - cursor));
        result.append(with);
        cursor = found + what.size();
    }
    result.append(text.substr(cursor));
    out = CascadeString(std::move(result));
}

void UrlDecode(const char* source, CascadeString& out) {
    std::string result;
    const std::string_view text = source ? std::string_view(source) : std::string_view();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            result += ' ';
        } else if (text[i] == '%') {
            const std::string_view pair = text.substr(i + 1, 2);
            result += DecodePair(pair);
            i += pair.size();
        } else {
            result += text[i];
        }
    }
    out = CascadeString(std::move(result));
}

void UrlEncode(std::string_view source, CascadeString& out) {
    std::string result;
    result.reserve(source.size());
    for (char c : source) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            result += c;
        } else {
            result += '%';
            result += kHexDigits[byte >> 4];
            result += kHexDigits[byte & 0x0F];
        }
    }
    out = CascadeString(std::move(result));
}

void GetHTTPData(const char* url, CascadeString& out) {
    if (!url || *url == '\0') {
        AppLog::WriteToLog("http: no URL given to fetch\n", false);
        return;
    }
    CascadeHTTPStream stream;
    // The stream logs its own failure to open; the caller sees no data.
    if (!stream.Open(url)) return;
    std::array<char, kHttpReadSize> buffer{};
    for (;;) {
        const long count = stream.ReadBytes(buffer.data(), buffer.size());
        if (count <= 0) break;
        // The bytes read are appended as they are: a body byte 0 stays in
        // the text instead of cutting the rest of the piece off.
        out += std::string_view(buffer.data(), std::size_t(count));
    }
    stream.Close();
}

uint64_t GetFileSize(const char* path) {
    if (!path || *path == '\0') {
        AppLog::WriteToLog("file: no path given for a size query\n", false);
        return 0;
    }
    struct stat info {};
    if (::stat(path, &info) == 0) return uint64_t(info.st_size);
    // Some files (pipes behind a name, odd mounts) answer an open but not a
    // stat; measure them by seeking to the end.
    std::FILE* file = std::fopen(path, "r");
    if (!file) {
        AppLog::WriteToLog("file: cannot read the size of \"%s\": %s\n", false, path, std::strerror(errno));
        return 0;
    }
    uint64_t size = 0;
    if (::fseeko(file, 0, SEEK_END) == 0) {
        const off_t end = ::ftello(file);
        if (end > 0) size = uint64_t(end);
    }
    std::fclose(file);
    return size;
}

int64_t ParseDecimal(std::string_view text) { return CascadeDecimal::Parse(text); }

}  // namespace EUtils
