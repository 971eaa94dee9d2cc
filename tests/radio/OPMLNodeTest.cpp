#include "radio/OPMLNode.h"
#include "radio/RadioFetch.h"

#include "RadioTestData.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

using Load = OPMLNode::Load;

std::string Opml(const std::string& body) {
    return "<?xml version=\"1.0\"?><opml version=\"1.1\"><head/><body>" + body + "</body></opml>";
}

// The texts of every node under `node` (not itself), without loading.
std::vector<std::string> Texts(OPMLNode& node, std::vector<std::string> texts = {}) {
    for (unsigned long i = 0; i < node.ChildCount(Load::No); ++i) {
        texts.push_back(node.Child(i, Load::No)->text.Std());
        texts = Texts(*node.Child(i, Load::No), std::move(texts));
    }
    return texts;
}

TEST(OutlineReading, XmlUrlWinsOverUrlWhichWinsOverUpperCaseURL) {
    const std::pair<const char*, const char*> cases[] = {
        {"URL=\"a\"", "a"}, {"url=\"b\" URL=\"a\"", "b"}, {"xmlUrl=\"c\" url=\"b\"", "c"}, {"url=\"b\" xmlUrl=\"c\"", "c"},
        {"URL=\"a\" xmlurl=\"c\" Url=\"b\"", "c"}, {"htmlUrl=\"h\"", ""}};
    for (const auto& [attributes, url] : cases) {
        OPMLNode root;
        ASSERT_TRUE(root.ParseDocument(Opml(std::string("<outline text=\"t\" ") + attributes + "/>"), "test"));
        ASSERT_EQ(1u, root.ChildCount(Load::No));
        EXPECT_EQ(url, root.Child(0, Load::No)->url) << attributes;
    }
}

TEST(OutlineReading, DropsServerPagesAndTorrentsWithWhatTheyHold) {
    OPMLNode root;
    ASSERT_TRUE(root.ParseDocument(
        Opml("<outline title=\"keep\" URL=\"http://a/s.mp3\"/>"
             "<outline text=\"page\" type=\"ServerPage\"><outline text=\"inner\" URL=\"http://a/x.mp3\"/></outline>"
             "<outline text=\"torrent\" url=\"http://a/show.TORRENT\"/>"
             "<outline TEXT=\"folder\"><outline text=\"deep\" url=\"http://a/b.torrent?x\"/>"
             "<outline text=\"deeper\"><outline text=\"leaf\" url=\"http://a/leaf.mp3\"/></outline></outline>"),
        "test"));
    EXPECT_EQ((std::vector<std::string>{"keep", "folder", "deeper", "leaf"}), Texts(root));  // title stands in for text
    EXPECT_EQ(2u, root.ChildCount(Load::No));
}

TEST(RssReading, KeepsItemsWithAnEnclosureAndAddsTheirDuration) {
    OPMLNode root;
    ASSERT_TRUE(root.ParseDocument(
        "<rss><channel><title>Feed</title>"
        "<item><title>No enclosure</title><itunes:duration>1:00</itunes:duration></item>"
        "<item><title>Torrent</title><enclosure url=\"http://a/e.torrent\"/><itunes:duration>9</itunes:duration></item>"
        "<item><title>Plain</title><enclosure url=\"http://a/1.mp3\"/></item>"
        "<item><title> Timed </title><enclosure URL=\"http://a/2.mp3\"/><itunes:duration>04:20</itunes:duration></item>"
        "<item><title>Seconds</title><enclosure url=\"http://a/3.mp3\"/><itunes:duration>4625</itunes:duration></item>"
        "<item><title>Short</title><enclosure url=\"http://a/4.mp3\"/><itunes:duration>59</itunes:duration></item>"
        "</channel></rss>",
        "feed"));
    EXPECT_EQ("rss", root.type);
    EXPECT_EQ((std::vector<std::string>{"Plain", "Timed (04:20)", "Seconds (1:17:05)", "Short (0:59)"}), Texts(root));
    EXPECT_FALSE(root.Child(3, Load::No)->HasChildren());  // an episode is played, not opened
}

// Real outlines and feeds: every outline read (an RSS feed gives one node per
// enclosure), and one entry's text as shown: escapes are undone once, so
// "&amp;amp;" shows as "&amp;".
TEST(OutlineSamples, RealOutlinesAndFeedsReadCompletely) {
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {
        {"lms-favorites/favorites-2024-Rouzax-nested.opml", "Radio - Lounge & Chill"},
        {"lms-favorites/favorites-2024-02-pcosway-flat-MALFORMED-bare-ampersand.opml", "90.9 | WBUR-FM (Public)"},
        {"opml/scripting-news-directory-2005-iso8859-1.opml", "Scripting News sites"},
        {"opml/podcastaddict-export-2021-crlf.opml", "Editor's Picks from The Economist"},
        {"opml/amarok-podcast-directory-type-include.opml", "Amarok developer personal favorites"},
        {"opml/digitalpodcast-top-rated-2017.opml", "TwoFer with Mark &amp; Zach BLodPods"},
        {"podcast-rss/davidco-2009-stylesheet-padding-comment.rss",
         "Podcast: David Allen - The Art of Work vs. the Work You Do (4:47)"},
        {"podcast-rss/chyz-2009-iso8859-1-no-duration.xml", "Les Cuistots de l'Avant-Garde - 03 d\303\251cembre"}};
    for (const auto& c : cases) {
        const std::string bytes = RadioSample(c.name);
        OPMLNode root;
        ASSERT_TRUE(root.ParseDocument(bytes, c.name)) << c.name;
        const std::vector<std::string> texts = Texts(root);
        const bool rss = std::string_view(c.name).starts_with("podcast-rss");
        const std::regex tag(rss ? "<enclosure" : "<outline");
        EXPECT_EQ(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), tag), {}), long(texts.size())) << c.name;
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.shown), texts.end()) << c.name;
    }
}

TEST(OutlineReading, OutlinesAndFeedsOpenButStreamsDoNot) {
    const struct {
        const char* type;
        const char* url;
        bool loadable;
    } cases[] = {
        {"", "http://a/dir.OPML", true},  {"rss", "http://a/feed", true},       {"include", "http://a/x", true},
        {"link", "http://a/feed/", true}, {"link", "http://a/song.MP3", false}, {"audio", "http://a/stream", false},
        {"", "http://a/list.pls", false}, {"RSS", "http://a/feed", false},      {"rss", "", false}};
    for (const auto& c : cases) {
        OPMLNode root;
        EXPECT_EQ(c.loadable, root.AddChild("n", c.url, c.type)->HasChildren()) << c.type << " " << c.url;
    }
}

// Lazy loading over a local server.
class OutlineLoading : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }

    LocalHttpServer m_server;
    RadioFetch m_fetch{RadioFetch::Limits{2000, 4000, 1u << 20}};
};

TEST_F(OutlineLoading, ChildrenAreFetchedOnceWhenFirstOpenedAndAFailedLoadAgain) {
    int calls = 0;
    m_server.Route("/dir.opml", [&](const LocalHttpServer::Request&) {
        if (++calls == 1) return LocalHttpServer::Status(503);
        if (calls == 2) return LocalHttpServer::Body("<html><body>Sorry</body></html>");
        return LocalHttpServer::Body(
            Opml("<outline text=\"a\" URL=\"http://x/a.mp3\"/><outline text=\"b\" "
                 "type=\"rss\" url=\"" +
                 m_server.Url("/feed") + "\"/>"));
    });
    m_server.Route("/feed", LocalHttpServer::Body("<rss><channel><item><title>ep</title>"
                                                  "<enclosure url=\"http://x/ep.mp3\"/></item></channel></rss>"));
    OPMLNode root;
    root.SetFetch(&m_fetch);
    OPMLNode* dir = root.AddChild("dir", m_server.Url("/dir.opml").c_str(), "");
    EXPECT_EQ(0u, dir->ChildCount(Load::No));
    EXPECT_EQ(0, calls);
    EXPECT_EQ(0u, dir->ChildCount(Load::Yes));
    EXPECT_EQ(0u, dir->ChildCount(Load::Yes));
    for (int open = 0; open < 3; ++open) EXPECT_EQ(2u, dir->ChildCount(Load::Yes));
    EXPECT_EQ(3, calls);
    // The nested feed loads through the same fetcher, once.
    OPMLNode* feed = dir->Child(1, Load::Yes);
    EXPECT_EQ("ep", feed->Child(0, Load::Yes)->text);
    EXPECT_EQ(1u, feed->ChildCount(Load::Yes));
    EXPECT_EQ(1u, m_server.RequestCount("/feed"));
    // A stream leaf never fetches.
    EXPECT_EQ(nullptr, dir->Child(0, Load::Yes)->Child(0, Load::Yes));
    EXPECT_EQ(4u, m_fetch.FetchCount());
}

TEST_F(OutlineLoading, ADoctypeNeverMakesTheParserFetchWhatItNames) {
    const std::string dtd = m_server.Url("/opmlDtd.txt");
    m_server.Route("/opmlDtd.txt", LocalHttpServer::Body("<!ENTITY x \"y\">"));
    m_server.Route("/doc.opml", LocalHttpServer::Body(
                                    "<?xml version=\"1.0\"?>\n<!DOCTYPE opml [ <!ENTITY % opml_plain SYSTEM \"" + dtd +
                                    "\"> %opml_plain; ]><opml version=\"1.0\"><body><outline text=\"in\" url=\"" + dtd +
                                    "\"/></body></opml>"));
    OPMLNode node(m_server.Url("/doc.opml").c_str(), OPMLNode::Source::Url, &m_fetch);
    ASSERT_EQ(1u, node.ChildCount(Load::No));
    EXPECT_EQ(0u, m_server.RequestCount("/opmlDtd.txt"));
}

// The Favorites writer: the attributes each kind of entry needs, text first;
// outlines and feeds get their type, streams and links none, text and URLs
// escaped; writing never fetches.
TEST(FavoritesWriter, WritesTheAttributesEachKindOfEntryNeeds) {
    RadioFetch fetch;
    OPMLNode root;
    root.SetFetch(&fetch);
    root.AddChild("Outline", "http://a/Dir.OPML", "link");  // a link to an outline stays a plain link
    root.AddChild("Typed outline", "http://127.0.0.1:9/dir", "opml");
    root.AddChild("Feed", "http://127.0.0.1:9/feed", "rss");
    root.AddChild("Feed by name", "http://a/news.XML", "");
    root.AddChild("Song link", "http://a/song.mp3", "link");
    root.AddChild("Folder & <more>", "", "")->AddChild("Inner", "http://a/inner.opml", "");
    root.AddChild("Rädio \"2\"", "http://a/tunein-station.pls?id=1&x=2", "audio");
    const std::string xml = root.ToFavoritesXml();
    EXPECT_EQ(0u, fetch.FetchCount());
    EXPECT_EQ(R"(<?xml version="1.0"?>
<opml version="1.1">
    <head>
        <title>Quendrel Favorites</title>
    </head>
    <body>
        <outline text="Outline" url="http://a/Dir.OPML"/>
        <outline text="Typed outline" url="http://127.0.0.1:9/dir" type="opml"/>
        <outline text="Feed" url="http://127.0.0.1:9/feed" type="rss"/>
        <outline text="Feed by name" url="http://a/news.XML" type="rss"/>
        <outline text="Song link" url="http://a/song.mp3"/>
        <outline text="Folder &amp; &lt;more&gt;">
            <outline text="Inner" url="http://a/inner.opml" type="opml"/>
        </outline>
        <outline text="Rädio &quot;2&quot;" url="http://a/tunein-station.pls?id=1&amp;x=2"/>
    </body>
</opml>
)",
              xml);
}

}  // namespace
