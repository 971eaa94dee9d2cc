#include "screens/LetterJump.h"

#include <strings.h>

#include <cstring>

namespace LetterJump {

namespace {

// The server sorts accented Latin letters with their plain letter (it drops
// the accents): U+00C0 to U+00FF, indexed from U+00C0 ignoring case; '\0'
// for the ones without a plain letter (Æ, Ð, ×, Ø, Þ, ß), which sort past z.
constexpr char kPlainLatin[] = "aaaaaa\0ceeeeiiii\0nooooo\0\0uuuuy\0\0";

char Fold(const char* text) {
    const unsigned char c = static_cast<unsigned char>(text[0]);
    const unsigned char next = static_cast<unsigned char>(c ? text[1] : 0);
    if (c == 0xC3 && next >= 0x80 && next <= 0xBF) {
        const unsigned offset = (next - 0x80u) % 32u;  // capitals and small letters alike
        if (next == 0xBF) return 'y';                  // ÿ
        if (kPlainLatin[offset] != '\0') return kPlainLatin[offset];
    }
    return static_cast<char>(c < 91 ? c + 32 : c);
}

}  // namespace

char StartLetter(const char* name, const ETokenArray* ignores) {
    if (!name) name = "";
    if (ignores) {
        for (std::size_t a = 0; a < ignores->GetNumTokens(); ++a) {
            const char* article = ignores->TokenAt(a);
            const std::size_t length = article ? std::strlen(article) : 0;
            if (length == 0) continue;
            if (strncasecmp(name, article, length) == 0 && name[length] == ' ') return Fold(name + length + 1);
        }
    }
    return Fold(name);
}

std::optional<char> ForwardLetter(char lastNameLetter) {
    const int letter = static_cast<unsigned char>(lastNameLetter) + 1;
    if (letter > 'z') return std::nullopt;
    return static_cast<char>(letter < 'a' ? 'a' : letter);
}

std::optional<char> BackwardLetter(char firstNameLetter) {
    const int letter = static_cast<unsigned char>(firstNameLetter) - 1;
    if (letter < 'a') return std::nullopt;
    return static_cast<char>(letter > 'z' ? 'z' : letter);
}

long ForwardSearchStart(unsigned long page, unsigned long pageSize) { return long(page * pageSize); }

long BackwardSearchStart(unsigned long page, unsigned long pageCount, unsigned long pageSize) {
    const unsigned long from = page > 0 ? (page - 1) * pageSize : 0;
    if (from != 0) return long(from);
    return long(pageCount > 0 ? (pageCount - 1) * pageSize : 0);
}

unsigned long ForwardPage(long index, unsigned long pageSize) {
    if (index < 0 || pageSize == 0) return 1;
    return (static_cast<unsigned long>(index) + pageSize) / pageSize;
}

unsigned long BackwardPage(long index, unsigned long pageSize) {
    if (index < 0 || pageSize == 0) return 0;
    return (static_cast<unsigned long>(index) + pageSize) / pageSize;
}

}  // namespace LetterJump
