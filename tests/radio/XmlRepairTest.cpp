#include "radio/FeedDocument.h"
#include "radio/XmlRepair.h"

#include "RadioTestData.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

// What the strict parser refuses is mended into a document it reads (each
// expected text is well-formed XML).
TEST(XmlRepair, BalanceMendsWhatTheStrictParserRefuses) {
    const std::pair<const char*, const char*> cases[] = {
        {"<r><o>t</o></b></r>", "<r><o>t</o></r>"},
        {"<r><a><b>t</a><c/></r>", "<r><a><b>t</b></a><c/></r>"},
        {"<r><o>t</o><o>u", "<r><o>t</o><o>u</o></r>"},
        {"<r><o a=\"1\">t</o><o a=\"2", "<r><o a=\"1\">t</o></r>"},
        {"<r><o a>x</o></r>", "<r><o a=\"\">x</o></r>"},
        {"<r a=1 b='x\"y' a=\"2\"/>", "<r a=\"1\" b=\"x&quot;y\"/>"},
        {"<r>a & b < c &amp; &#233; &#xE9; &x</r>", "<r>a &amp; b &lt; c &amp; &#233; &#xE9; &amp;x</r>"},
        {"<r><!DOCTYPE x [<!ENTITY a 'b'>]>t</r>", "<r>t</r>"}};
    for (const auto& [text, expected] : cases) {
        unsigned repairs = 0;
        EXPECT_EQ(expected, XmlRepair::Balance(text, repairs)) << text;
        EXPECT_GT(repairs, 0u) << text;
    }
    const char* wellFormed =
        "<?xml version=\"1.0\"?><!-- c --><rss a=\"x &amp; y\"><channel><title><![CDATA[a < b]]></title>"
        "<item b=\"1\"/><?pi x?></channel></rss>";
    unsigned repairs = 0;
    EXPECT_EQ(wellFormed, XmlRepair::Balance(wellFormed, repairs));
    EXPECT_EQ(0u, repairs);
}

TEST(FeedDocument, ReadsRealFeedsAndMendsDamagedOnes) {
    tinyxml2::XMLDocument document;
    // A stray </xml> after the root is harmless to the parser.
    EXPECT_EQ(FeedDocument::ParseResult::WellFormed,
              FeedDocument::Parse(RadioSample("shoutcast/stationlist-2016-top500-shoutcast-api-client.xml"), document,
                                  "sample"));
    // A feed cut off in the middle still yields the stations before the cut.
    const std::string whole = RadioSample("shoutcast/stationlist-2008-04-ShoutcastBrowser-first200.xml");
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
