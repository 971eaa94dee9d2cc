#include "radio/FeedDocument.h"
#include "radio/XmlRepair.h"

#include "RadioTestData.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct StripCase {
    const char* label;
    const char* text;
    const char* stripped;
};

class DoctypeStripping : public ::testing::TestWithParam<StripCase> {};

TEST_P(DoctypeStripping, CutsOnlyTheDeclaration) {
    EXPECT_EQ(GetParam().stripped, XmlRepair::StripDoctype(GetParam().text)) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Prologs, DoctypeStripping,
    ::testing::Values(
        StripCase{"internal subset with parameter entities",
                  "<?xml version=\"1.0\"?>\n<!DOCTYPE opml [ <!ENTITY % opml_plain SYSTEM "
                  "\"http://static.userland.com/gems/radiodiscuss/opmlDtd.txt\"> <!ENTITY % OtherAttributes "
                  "\"url CDATA #IMPLIED\"> %opml_plain; ]>\n<opml/>",
                  "<?xml version=\"1.0\"?>\n\n<opml/>"},
        StripCase{"a quoted ]> inside the subset", "<!DOCTYPE a [ <!ENTITY x \"]>\"> ]><a/>", "<a/>"},
        StripCase{"external DTD only", "<!DOCTYPE rss SYSTEM \"http://x/rss.dtd\"><rss/>", "<rss/>"},
        StripCase{"after a comment", "<!-- c --><!DOCTYPE a><a/>", "<!-- c --><a/>"},
        StripCase{"none", "<a>text</a>", "<a>text</a>"},
        StripCase{"only inside the body", "<a><![CDATA[<!DOCTYPE x>]]></a>", "<a><![CDATA[<!DOCTYPE x>]]></a>"},
        StripCase{"never closed", "<!DOCTYPE a [ <!ENTITY x \"y\">", ""}));

// Balance: what the parser sees after mending, checked by parsing it.
struct BalanceCase {
    const char* label;
    const char* text;
    const char* expected;  // the mended text
};

class TagBalancing : public ::testing::TestWithParam<BalanceCase> {};

TEST_P(TagBalancing, MendsWhatTheStrictParserRefuses) {
    unsigned repairs = 0;
    const std::string mended = XmlRepair::Balance(GetParam().text, repairs);
    EXPECT_EQ(GetParam().expected, mended) << GetParam().label;
    tinyxml2::XMLDocument document;
    EXPECT_EQ(tinyxml2::XML_SUCCESS, document.Parse(mended.c_str())) << GetParam().label << ": " << mended;
    EXPECT_GT(repairs, 0u) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Damage, TagBalancing,
    ::testing::Values(
        BalanceCase{"stray end tag", "<r><o>t</o></b></r>", "<r><o>t</o></r>"},
        BalanceCase{"end tag closing an outer element", "<r><a><b>t</a><c/></r>", "<r><a><b>t</b></a><c/></r>"},
        BalanceCase{"elements open at the end", "<r><o>t</o><o>u", "<r><o>t</o><o>u</o></r>"},
        BalanceCase{"tag cut off at the end", "<r><o a=\"1\">t</o><o a=\"2", "<r><o a=\"1\">t</o></r>"},
        BalanceCase{"attribute without a value", "<r><o a>x</o></r>", "<r><o a=\"\">x</o></r>"},
        BalanceCase{"unquoted and duplicate attributes", "<r a=1 b='x\"y' a=\"2\"/>", "<r a=\"1\" b=\"x&quot;y\"/>"},
        BalanceCase{"bare ampersand and less-than", "<r>a & b < c &amp; &#233; &#xE9; &x</r>",
                    "<r>a &amp; b &lt; c &amp; &#233; &#xE9; &amp;x</r>"},
        BalanceCase{"declaration inside the body", "<r><!DOCTYPE x [<!ENTITY a 'b'>]>t</r>", "<r>t</r>"}),
    LabelName{});

TEST(TagBalancingWellFormed, KeepsAWellFormedDocumentAsItIs) {
    const char* text =
        "<?xml version=\"1.0\"?><!-- c --><rss a=\"x &amp; y\"><channel><title><![CDATA[a < b]]></title>"
        "<item b='1'/><?pi x?></channel></rss>";
    unsigned repairs = 0;
    const std::string mended = XmlRepair::Balance(text, repairs);
    EXPECT_EQ(0u, repairs);
    EXPECT_EQ(std::string(text).replace(std::string(text).find("b='1'"), 5, "b=\"1\""), mended);
}

TEST(FeedDocumentParse, ReadsRealFeedsAndMendsDamagedOnes) {
    tinyxml2::XMLDocument document;
    // A stray </xml> after the root is harmless to the parser.
    EXPECT_EQ(FeedDocument::ParseResult::WellFormed,
              FeedDocument::Parse(RadioSample("shoutcast/stationlist-2016-top500-shoutcast-api-client.xml"), document,
                                  "sample"));
    // A feed cut off in the middle still yields the stations before the cut.
    const std::string whole = RadioSample("shoutcast/stationlist-2008-04-ShoutcastBrowser-first200.xml");
    ASSERT_GT(whole.size(), 20000u);
    ASSERT_EQ(FeedDocument::ParseResult::Mended,
              FeedDocument::Parse(whole.substr(0, whole.size() / 2), document, "cut"));
    int stations = 0;
    for (auto* s = document.RootElement()->FirstChildElement("station"); s; s = s->NextSiblingElement("station"))
        ++stations;
    EXPECT_GT(stations, 80);
    EXPECT_LT(stations, 120);
    // No element at all: a failure, not an empty success.
    for (const char* garbage : {"", "Service Temporarily Unavailable", "\x89PNG\r\n\x1A\n", "<<<>>>", "<!-- -->"})
        EXPECT_EQ(FeedDocument::ParseResult::Failed, FeedDocument::Parse(garbage, document, "garbage")) << garbage;
}

TEST(FeedDocumentParse, TrimsTextAndMatchesNamesIgnoringCase) {
    tinyxml2::XMLDocument document;
    ASSERT_NE(FeedDocument::ParseResult::Failed,
              FeedDocument::Parse("<R><Outline URL=\"u\" Text=\"t\">\r\n  Name \t</Outline></R>", document, "x"));
    const auto* outline = document.RootElement()->FirstChildElement();
    EXPECT_TRUE(FeedDocument::Named(*outline, "outline"));
    EXPECT_EQ("Name", FeedDocument::Text(outline));
    EXPECT_STREQ("u", FeedDocument::AttributeIgnoringCase(*outline, "url"));
    EXPECT_EQ(nullptr, FeedDocument::AttributeIgnoringCase(*outline, "type"));
    EXPECT_EQ("", FeedDocument::Text(nullptr));
}

}  // namespace
