#include "radio/FeedText.h"

#include <gtest/gtest.h>

#include <string>

TEST(FeedText, ConvertsByTheDeclaredEncodingToCleanUtf8) {
    const auto decl = [](const char* name) { return "<?xml version=\"1.0\" encoding=\"" + std::string(name) + "\"?>"; };
    const std::string latin1 = decl("ISO-8859-1");
    const std::string utf8 = "<?xml version='1.0' encoding = 'utf-8' standalone='yes' ?>";
    const struct {
        const char* label;
        std::string bytes, utf8;
    } cases[] = {
        {"latin1", latin1 + "Qu\xE9" + "bec", latin1 + "Qu\xC3\xA9" + "bec"},
        // Latin-1 labels are read as Windows-1252, as browsers do.
        {"latin1 with cp1252 bytes", latin1 + "\x80\x93", latin1 + "\xE2\x82\xAC\xE2\x80\x9C"},
        {"cp1252 undefined byte", decl("windows-1252") + "\x81", decl("windows-1252") + "\xEF\xBF\xBD"},
        {"utf-8 valid", utf8 + "\xD0\x9D\xD0\xB0", utf8 + "\xD0\x9D\xD0\xB0"},
        // Invalid UTF-8 is read byte by byte as Windows-1252.
        {"utf-8 with a latin byte", utf8 + "caf\xE9!", utf8 + "caf\xC3\xA9!"},
        {"overlong", "a\xC0\xAFz", "a\xC3\x80\xC2\xAFz"},
        {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"cut at the end", "ab\xE2\x82", "ab\xC3\xA2\xE2\x80\x9A"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"},
        {"controls dropped", std::string("a\0b\x01\x1F\tc\r\n", 9), "ab\tc\r\n"},
        {"bom dropped", "\xEF\xBB\xBF<r/>", "<r/>"},
        {"utf-16le with bom", std::string("\xFF\xFE<\0r\0/\0>\0\xE9\0", 12), "<r/>\xC3\xA9"},
        {"cp1251 through iconv", decl("windows-1251") + "\xCF\xF0\xE8",
         decl("windows-1251") + "\xD0\x9F\xD1\x80\xD0\xB8"},
        {"declaration in the body only", "<a encoding=\"latin1\">\xC3\xA9</a>", "<a encoding=\"latin1\">\xC3\xA9</a>"},
        {"unknown encoding read as utf-8", decl("x-nonesuch") + "\xC3\xA9", decl("x-nonesuch") + "\xC3\xA9"}};
    for (const auto& c : cases) EXPECT_EQ(c.utf8, FeedText::ToUtf8(c.bytes)) << c.label;
}
