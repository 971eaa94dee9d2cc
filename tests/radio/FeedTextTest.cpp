#include "radio/FeedText.h"

#include "RadioTestData.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EncodingCase {
    const char* label;
    std::string bytes;
    std::string utf8;
};

class FeedEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(FeedEncoding, ConvertsByTheDeclaredEncoding) {
    const std::string got = FeedText::ToUtf8(GetParam().bytes);
    EXPECT_EQ(GetParam().utf8, got);
    EXPECT_TRUE(IsCleanUtf8(got));
}

const std::string kLatin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
const std::string kUtf8 = "<?xml version='1.0' encoding='utf-8'?>";

INSTANTIATE_TEST_SUITE_P(
    Declarations, FeedEncoding,
    ::testing::Values(
        EncodingCase{"latin1",
                     kLatin1 + "Qu\xE9"
                               "bec",
                     kLatin1 + "Qu\xC3\xA9"
                               "bec"},
        // Latin-1 labels are read as Windows-1252, as browsers do.
        EncodingCase{"latin1 with cp1252 bytes", kLatin1 + "\x80\x93", kLatin1 + "\xE2\x82\xAC\xE2\x80\x9C"},
        EncodingCase{"cp1252 undefined byte", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\x81",
                     "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\xEF\xBF\xBD"},
        EncodingCase{"utf-8 valid", kUtf8 + "\xD0\x9D\xD0\xB0", kUtf8 + "\xD0\x9D\xD0\xB0"},
        // Invalid UTF-8 is read byte by byte as Windows-1252.
        EncodingCase{"utf-8 with a latin byte", kUtf8 + "caf\xE9!", kUtf8 + "caf\xC3\xA9!"},
        EncodingCase{"overlong",
                     "a\xC0\xAF"
                     "b",
                     "a\xC3\x80\xC2\xAF"
                     "b"},
        EncodingCase{"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        EncodingCase{"cut at the end", "ab\xE2\x82", "ab\xC3\xA2\xE2\x80\x9A"},
        EncodingCase{"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"},
        EncodingCase{"controls dropped", std::string("a\0b\x01\x1F\tc\r\n", 9), "ab\tc\r\n"},
        EncodingCase{"bom dropped", "\xEF\xBB\xBF<r/>", "<r/>"},
        EncodingCase{"utf-16le with bom", std::string("\xFF\xFE<\0r\0/\0>\0\xE9\0", 12), "<r/>\xC3\xA9"},
        EncodingCase{"cp1251 through iconv", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\xCF\xF0\xE8",
                     "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\xD0\x9F\xD1\x80\xD0\xB8"},
        EncodingCase{"unknown encoding read as utf-8", "<?xml version=\"1.0\" encoding=\"x-nonesuch\"?>\xC3\xA9",
                     "<?xml version=\"1.0\" encoding=\"x-nonesuch\"?>\xC3\xA9"},
        EncodingCase{"empty", "", ""}),
    LabelName{});

TEST(FeedEncodingDeclaration, ReadsEitherQuoteStyleAndTheByteOrderMark) {
    EXPECT_EQ("iso-8859-1", FeedText::DeclaredEncoding("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>"));
    EXPECT_EQ("utf-8", FeedText::DeclaredEncoding("<?xml version='1.0' encoding = 'UTF-8' standalone='yes' ?>"));
    EXPECT_EQ("", FeedText::DeclaredEncoding("<?xml version=\"1.0\"?><a encoding=\"latin1\"/>"));
    EXPECT_EQ("", FeedText::DeclaredEncoding("<!-- a comment first --><rss/>"));
    EXPECT_EQ("", FeedText::DeclaredEncoding("<?xml version=\"1.0\" encoding=\"unterminated"));
    EXPECT_EQ("utf-16be", FeedText::DeclaredEncoding("\xFE\xFF"));
}

TEST(FeedEncodingSamples, EveryRealFeedComesOutAsCleanUtf8) {
    for (const char* name :
         {"shoutcast/stationlist-2008-04-ShoutcastBrowser-first200.xml", "xiph/yp-2007-esperanza-first300.xml",
          "podcast-rss/chyz-2009-iso8859-1-no-duration.xml", "opml/scripting-news-directory-2005-iso8859-1.opml",
          "opml/digitalpodcast-top-rated-2017.opml", "lms-favorites/favorites-2024-Rouzax-nested.opml"}) {
        const std::string bytes = RadioSample(name);
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(IsCleanUtf8(FeedText::ToUtf8(bytes))) << name;
    }
    // The Quebec feed is real Latin-1: "cliqué" must come out right.
    const std::string chyz = FeedText::ToUtf8(RadioSample("podcast-rss/chyz-2009-iso8859-1-no-duration.xml"));
    EXPECT_NE(std::string::npos, chyz.find("cliqu\xC3\xA9 sur"));
}

}  // namespace
