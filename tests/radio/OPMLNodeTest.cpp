#include "radio/OPMLNode.h"
#include "radio/RadioFetch.h"

#include "RadioTestData.h"
#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using Load = OPMLNode::Load;

std::string Opml(const std::string& body) {
    return "<?xml version=\"1.0\"?><opml version=\"1.1\"><head/><body>" + body + "</body></opml>";
}

OPMLNode Read(const std::string& document) {
    OPMLNode node;
    EXPECT_TRUE(node.ParseDocument(document, "test"));
    return OPMLNode(node, nullptr);
}

// Counts every node under `node` (not itself), without loading.
std::size_t CountTree(OPMLNode& node) {
    std::size_t count = 0;
    for (unsigned long i = 0; i < node.ChildCount(Load::No); ++i) count += 1 + CountTree(*node.Child(i, Load::No));
    return count;
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

struct UrlCase {
    const char* attributes;
    const char* url;
};

class OutlineUrlPrecedence : public ::testing::TestWithParam<UrlCase> {};

TEST_P(OutlineUrlPrecedence, XmlUrlWinsOverUrlWhichWinsOverUpperCaseURL) {
    OPMLNode root = Read(Opml(std::string("<outline text=\"t\" ") + GetParam().attributes + "/>"));
    ASSERT_EQ(1u, root.ChildCount(Load::No));
    EXPECT_EQ(GetParam().url, root.Child(0, Load::No)->url) << GetParam().attributes;
}

INSTANTIATE_TEST_SUITE_P(Attributes, OutlineUrlPrecedence,
                         ::testing::Values(UrlCase{"URL=\"a\"", "a"}, UrlCase{"url=\"b\"", "b"},
                                           UrlCase{"xmlUrl=\"c\"", "c"}, UrlCase{"url=\"b\" xmlUrl=\"c\"", "c"},
                                           UrlCase{"xmlUrl=\"c\" url=\"b\"", "c"}, UrlCase{"url=\"b\" URL=\"a\"", "b"},
                                           UrlCase{"URL=\"a\" xmlurl=\"c\" Url=\"b\"", "c"},
                                           UrlCase{"htmlUrl=\"h\"", ""}, UrlCase{"", ""}));

TEST(OutlineReading, DropsServerPagesAndTorrentsWithWhatTheyHold) {
    OPMLNode root = Read(
        Opml("<outline text=\"keep\" URL=\"http://a/s.mp3\"/>"
             "<outline text=\"page\" type=\"ServerPage\"><outline text=\"inner\" URL=\"http://a/x.mp3\"/></outline>"
             "<outline text=\"torrent\" url=\"http://a/show.TORRENT\"/>"
             "<outline text=\"folder\"><outline text=\"deep\" url=\"http://a/b.torrent?x\"/>"
             "<outline text=\"deeper\"><outline text=\"leaf\" url=\"http://a/leaf.mp3\"/></outline></outline>"));
    ASSERT_EQ(2u, root.ChildCount(Load::No));
    EXPECT_EQ("keep", root.Child(0, Load::No)->text);
    OPMLNode* folder = root.Child(1, Load::No);
    EXPECT_EQ("folder", folder->text);
    ASSERT_EQ(1u, folder->ChildCount(Load::No));
    OPMLNode* deeper = folder->Child(0, Load::No);
    EXPECT_EQ(folder, deeper->GetParent());
    ASSERT_EQ(1u, deeper->ChildCount(Load::No));
    EXPECT_EQ("leaf", deeper->Child(0, Load::No)->text);
}

TEST(OutlineReading, MissingAttributesGiveEmptyValuesAndTitleStandsInForText) {
    OPMLNode root = Read(Opml("<outline/><outline title=\"From title\" type=\"audio\"/><outline TEXT=\"Upper\"/>"));
    ASSERT_EQ(3u, root.ChildCount(Load::No));
    EXPECT_EQ("", root.Child(0, Load::No)->text);
    EXPECT_EQ("", root.Child(0, Load::No)->url);
    EXPECT_EQ("From title", root.Child(1, Load::No)->text);
    EXPECT_EQ("audio", root.Child(1, Load::No)->type);
    EXPECT_EQ("Upper", root.Child(2, Load::No)->text);
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
        "<item><enclosure url=\"http://a/5.mp3\"/></item>"
        "</channel></rss>",
        "feed"));
    EXPECT_EQ("rss", root.type);
    ASSERT_EQ(5u, root.ChildCount(Load::No));
    const char* expected[] = {"Plain", "Timed (04:20)", "Seconds (1:17:05)", "Short (0:59)", ""};
    for (unsigned long i = 0; i < 5; ++i) {
        EXPECT_EQ(expected[i], root.Child(i, Load::No)->text) << i;
        EXPECT_EQ(nullptr, root.Child(i, Load::No)->GetParent());
        EXPECT_FALSE(root.Child(i, Load::No)->HasChildren());
    }
}

TEST(RssReading, RealFeedsGiveOneNodePerEnclosure) {
    for (const char* name :
         {"podcast-rss/davidco-2009-stylesheet-padding-comment.rss",
          "podcast-rss/speakingoffaith-2008-leading-comment-no-xmldecl-first25.xml",
          "podcast-rss/podigee-2020-duration-seconds-first20.rss", "podcast-rss/chyz-2009-iso8859-1-no-duration.xml"}) {
        const std::string bytes = RadioSample(name);
        OPMLNode root;
        ASSERT_TRUE(root.ParseDocument(bytes, name)) << name;
        EXPECT_EQ(Occurrences(bytes, "<enclosure"), root.ChildCount(Load::No)) << name;
        for (unsigned long i = 0; i < root.ChildCount(Load::No); ++i) {
            EXPECT_TRUE(IsCleanUtf8(root.Child(i, Load::No)->text.View())) << name;
            EXPECT_FALSE(root.Child(i, Load::No)->url.IsEmpty()) << name;
        }
    }
    OPMLNode davidco;
    ASSERT_TRUE(davidco.ParseDocument(RadioSample("podcast-rss/davidco-2009-stylesheet-padding-comment.rss"), "d"));
    EXPECT_EQ("Podcast: David Allen - The Art of Work vs. the Work You Do (4:47)", davidco.Child(0, Load::No)->text);
    EXPECT_EQ("http://www.davidco.com/audio/bddac.mp3", davidco.Child(0, Load::No)->url);
    OPMLNode chyz;
    ASSERT_TRUE(chyz.ParseDocument(RadioSample("podcast-rss/chyz-2009-iso8859-1-no-duration.xml"), "c"));
    for (unsigned long i = 0; i < chyz.ChildCount(Load::No); ++i)
        EXPECT_EQ(std::string::npos, chyz.Child(i, Load::No)->text.View().find(" ("));
}

TEST(OutlineSamples, RealOutlinesReadCompletely) {
    struct Sample {
        const char* name;
        const char* firstText;
    };
    for (const Sample& s : {
             Sample{"lms-favorites/favorites-2024-Rouzax-nested.opml", "Radio - Lounge & Chill"},
             Sample{"lms-favorites/favorites-2024-02-pcosway-flat-MALFORMED-bare-ampersand.opml",
                    "90.9 | WBUR-FM (Public)"},
             Sample{"lms-favorites/lms-plugin-menu-2017-sverigesradio.opml", "Kanaler"},
             Sample{"lms-favorites/slimserver-infobrowser-default.opml", "BBC News World"},
             Sample{"opml/digitalpodcast-top-rated-2017.opml", "The Adam and Reggie Show"},
             Sample{"opml/scripting-news-directory-2005-iso8859-1.opml", "Scripting News sites"},
             Sample{"opml/podcastaddict-export-2021-crlf.opml", nullptr},
             Sample{"opml/amarok-podcast-directory-type-include.opml", "Amarok developer personal favorites"},
         }) {
        const std::string bytes = RadioSample(s.name);
        OPMLNode root;
        ASSERT_TRUE(root.ParseDocument(bytes, s.name)) << s.name;
        EXPECT_EQ(Occurrences(bytes, "<outline"), CountTree(root)) << s.name;
        if (s.firstText) {
            EXPECT_EQ(s.firstText, root.Child(0, Load::No)->text) << s.name;
        }
    }
}

TEST(OutlineSamples, EscapesAreUndoneOnceAndTypesKept) {
    OPMLNode digital;
    ASSERT_TRUE(digital.ParseDocument(RadioSample("opml/digitalpodcast-top-rated-2017.opml"), "d"));
    bool sawDoubleEscape = false;
    for (unsigned long i = 0; i < digital.ChildCount(Load::No); ++i) {
        OPMLNode* child = digital.Child(i, Load::No);
        EXPECT_EQ("link", child->type);
        EXPECT_TRUE(child->HasChildren()) << "a link to a feed opens";
        sawDoubleEscape |= child->text == "TwoFer with Mark &amp; Zach BLodPods";
    }
    EXPECT_TRUE(sawDoubleEscape);
    OPMLNode addict;
    ASSERT_TRUE(addict.ParseDocument(RadioSample("opml/podcastaddict-export-2021-crlf.opml"), "p"));
    ASSERT_GT(addict.ChildCount(Load::No), 0u);
    OPMLNode* feed = addict.Child(0, Load::No);
    EXPECT_EQ("rss", feed->type);
    EXPECT_TRUE(feed->url.StartsWith("http"));
    EXPECT_EQ(std::string::npos, feed->text.View().find('\r'));
}

struct LoadableCase {
    const char* type;
    const char* url;
    bool loadable;
};

class OutlineLoadable : public ::testing::TestWithParam<LoadableCase> {};

TEST_P(OutlineLoadable, OpensOutlinesAndFeedsButNotStreams) {
    OPMLNode root;
    OPMLNode* node = root.AddChild("n", GetParam().url, GetParam().type);
    EXPECT_EQ(GetParam().loadable, node->IsLoadable()) << GetParam().type << " " << GetParam().url;
    EXPECT_EQ(GetParam().loadable, node->HasChildren());
}

INSTANTIATE_TEST_SUITE_P(
    Types, OutlineLoadable,
    ::testing::Values(LoadableCase{"", "http://a/dir.OPML", true}, LoadableCase{"rss", "http://a/feed", true},
                      LoadableCase{"opml", "http://a/x", true}, LoadableCase{"include", "http://a/x", true},
                      LoadableCase{"link", "http://a/feed/", true}, LoadableCase{"link", "http://a/song.MP3", false},
                      LoadableCase{"audio", "http://a/stream", false}, LoadableCase{"", "http://a/list.pls", false},
                      LoadableCase{"RSS", "http://a/feed", false}, LoadableCase{"rss", "", false}));

// Lazy loading over a local server.
class OutlineLoading : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }

    LocalHttpServer m_server;
    RadioFetch m_fetch{RadioFetch::Limits{2000, 4000, 1u << 20}};
};

TEST_F(OutlineLoading, ChildrenAreFetchedOnceWhenFirstOpened) {
    m_server.Route("/dir.opml", LocalHttpServer::Body(Opml("<outline text=\"a\" URL=\"http://x/a.mp3\"/>"
                                                           "<outline text=\"b\" type=\"rss\" url=\"" +
                                                           m_server.Url("/feed") + "\"/>")));
    m_server.Route("/feed", LocalHttpServer::Body("<rss><channel><item><title>ep</title>"
                                                  "<enclosure url=\"http://x/ep.mp3\"/></item></channel></rss>"));
    OPMLNode root;
    root.SetFetch(&m_fetch);
    OPMLNode* dir = root.AddChild("dir", m_server.Url("/dir.opml").c_str(), "");
    EXPECT_EQ(0u, dir->ChildCount(Load::No));
    EXPECT_EQ(nullptr, dir->Child(0, Load::No));
    EXPECT_EQ(0u, m_server.RequestCount("/dir.opml"));
    EXPECT_EQ(2u, dir->ChildCount(Load::Yes));
    EXPECT_EQ(nullptr, dir->Child(5, Load::Yes));
    EXPECT_EQ("b", dir->Child(1, Load::Yes)->text);
    EXPECT_EQ(1u, m_server.RequestCount("/dir.opml"));
    // The nested feed loads through the same fetcher, once.
    OPMLNode* feed = dir->Child(1, Load::Yes);
    EXPECT_EQ("ep", feed->Child(0, Load::Yes)->text);
    EXPECT_EQ(1u, feed->ChildCount(Load::Yes));
    EXPECT_EQ(1u, m_server.RequestCount("/feed"));
    // A stream leaf never fetches.
    EXPECT_EQ(nullptr, dir->Child(0, Load::Yes)->Child(0, Load::Yes));
    EXPECT_EQ(2u, m_fetch.FetchCount());
}

TEST_F(OutlineLoading, AFailedOrEmptyLoadIsTriedAgain) {
    int calls = 0;
    m_server.Route("/flaky.opml", [&calls](const LocalHttpServer::Request&) {
        ++calls;
        if (calls == 1) return LocalHttpServer::Status(503);
        if (calls == 2) return LocalHttpServer::Body("<html><body>Sorry</body></html>");
        return LocalHttpServer::Body(Opml("<outline text=\"x\" URL=\"http://x/x.mp3\"/>"));
    });
    OPMLNode node(m_server.Url("/flaky.opml").c_str(), OPMLNode::Source::Url, &m_fetch);
    EXPECT_EQ(0u, node.ChildCount(Load::No));
    EXPECT_EQ(0u, node.ChildCount(Load::Yes));
    EXPECT_EQ(1u, node.ChildCount(Load::Yes));
    EXPECT_EQ(1u, node.ChildCount(Load::Yes));
    EXPECT_EQ(3, calls);
}

TEST_F(OutlineLoading, ADoctypeNeverMakesTheParserFetchWhatItNames) {
    const std::string dtd = m_server.Url("/opmlDtd.txt");
    m_server.Route("/opmlDtd.txt", LocalHttpServer::Body("<!ENTITY x \"y\">"));
    m_server.Route("/doc.opml", LocalHttpServer::Body(
                                    "<?xml version=\"1.0\"?>\n<!DOCTYPE opml [ <!ENTITY % opml_plain SYSTEM \"" + dtd +
                                    "\"> <!ENTITY % OtherAttributes \"url CDATA #IMPLIED\"> %opml_plain; ]>"
                                    "<opml version=\"1.0\"><body><outline text=\"in\" url=\"" +
                                    dtd + "\"/></body></opml>"));
    OPMLNode node(m_server.Url("/doc.opml").c_str(), OPMLNode::Source::Url, &m_fetch);
    ASSERT_EQ(1u, node.ChildCount(Load::No));
    EXPECT_EQ("in", node.Child(0, Load::No)->text);
    EXPECT_EQ(0u, m_server.RequestCount("/opmlDtd.txt"));
}

// The Favorites writer.
TEST(FavoritesWriter, WritesTheAttributesEachKindOfEntryNeeds) {
    OPMLNode root;
    root.AddChild("Stream", "http://a/tunein-station.pls?id=1", "");
    root.AddChild("Outline", "http://a/Dir.OPML", "link");  // a link to an outline stays a plain link
    root.AddChild("Typed outline", "http://a/dir", "opml");
    root.AddChild("Feed", "http://a/feed", "rss");
    root.AddChild("Feed by name", "http://a/news.XML", "");
    root.AddChild("Song link", "http://a/song.mp3", "link");
    OPMLNode* folder = root.AddChild("Folder & more", "", "");
    folder->AddChild("Inner", "http://a/inner.opml", "");
    root.AddChild("", "http://a/untitled.m3u", "audio");
    tinyxml2::XMLDocument document;
    const std::string xml = root.ToFavoritesXml();
    ASSERT_EQ(tinyxml2::XML_SUCCESS, document.Parse(xml.c_str())) << xml;
    EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\"?>"));
    const auto* opml = document.RootElement();
    EXPECT_STREQ("opml", opml->Name());
    EXPECT_STREQ("1.1", opml->Attribute("version"));
    EXPECT_STREQ("Quendrel Favorites", opml->FirstChildElement("head")->FirstChildElement("title")->GetText());
    struct Expected {
        const char* text;
        const char* url;
        const char* type;
        int children;
    };
    const Expected expected[] = {
        {"Stream", "http://a/tunein-station.pls?id=1", nullptr, 0},
        {"Outline", "http://a/Dir.OPML", nullptr, 0},
        {"Typed outline", "http://a/dir", "opml", 0},
        {"Feed", "http://a/feed", "rss", 0},
        {"Feed by name", "http://a/news.XML", "rss", 0},
        {"Song link", "http://a/song.mp3", nullptr, 0},
        {"Folder & more", nullptr, nullptr, 1},
        {"", "http://a/untitled.m3u", nullptr, 0},
    };
    const auto* outline = opml->FirstChildElement("body")->FirstChildElement("outline");
    for (const Expected& e : expected) {
        ASSERT_NE(nullptr, outline) << e.text;
        const tinyxml2::XMLAttribute* first = outline->FirstAttribute();
        EXPECT_STREQ("text", first->Name()) << "text comes first";
        EXPECT_STREQ(e.text, outline->Attribute("text"));
        EXPECT_EQ(e.url == nullptr, outline->Attribute("url") == nullptr) << e.text;
        if (e.url) {
            EXPECT_STREQ(e.url, outline->Attribute("url"));
        }
        EXPECT_EQ(nullptr, outline->Attribute("URL"));
        EXPECT_EQ(e.type == nullptr, outline->Attribute("type") == nullptr) << e.text;
        if (e.type) {
            EXPECT_STREQ(e.type, outline->Attribute("type"));
        }
        int children = 0;
        for (auto* c = outline->FirstChildElement("outline"); c; c = c->NextSiblingElement("outline")) ++children;
        EXPECT_EQ(e.children, children) << e.text;
        outline = outline->NextSiblingElement("outline");
    }
    EXPECT_EQ(nullptr, outline);
}

TEST(FavoritesWriter, ATreeReadBackKeepsWhatItShows) {
    OPMLNode root;
    root.AddChild(
        "R\xC3\xA4"
        "dio <1> & \"2\"",
        "http://a/s.pls?id=1&x=2", "audio");
    OPMLNode* folder = root.AddChild("Folder", "", "");
    folder->AddChild("Dir", "http://a/d.opml", "");
    OPMLNode back;
    ASSERT_TRUE(back.ParseDocument(root.ToFavoritesXml(), "written"));
    ASSERT_EQ(2u, back.ChildCount(Load::No));
    EXPECT_EQ(
        "R\xC3\xA4"
        "dio <1> & \"2\"",
        back.Child(0, Load::No)->text);
    EXPECT_EQ("http://a/s.pls?id=1&x=2", back.Child(0, Load::No)->url);
    EXPECT_FALSE(back.Child(0, Load::No)->HasChildren());
    OPMLNode* folderBack = back.Child(1, Load::No);
    ASSERT_EQ(1u, folderBack->ChildCount(Load::No));
    EXPECT_EQ("opml", folderBack->Child(0, Load::No)->type);
    EXPECT_TRUE(folderBack->Child(0, Load::No)->IsLoadable());
}

TEST(FavoritesWriter, WritingNeverFetches) {
    RadioFetch fetch;
    OPMLNode root;
    root.SetFetch(&fetch);
    // Rule-four entries have their children written; none of them loads.
    root.AddChild("include", "http://127.0.0.1:9/x", "include");
    root.AddChild("rss", "http://127.0.0.1:9/f", "rss");
    (void)root.ToFavoritesXml();
    EXPECT_EQ(0u, fetch.FetchCount());
}

TEST(OutlineEditing, CopiesAreDeepAndRemovalHandsTheNodeOver) {
    OPMLNode root = Read(Opml("<outline text=\"f\"><outline text=\"a\" URL=\"http://x/a.mp3\"/></outline>"));
    OPMLNode favorites;
    OPMLNode* copy = favorites.AddChildCopy(*root.Child(0, Load::No));
    EXPECT_EQ(&favorites, copy->GetParent());
    ASSERT_EQ(1u, copy->ChildCount(Load::No));
    EXPECT_EQ(copy, copy->Child(0, Load::No)->GetParent());
    root.Child(0, Load::No)->Child(0, Load::No)->text = "changed";
    EXPECT_EQ("a", copy->Child(0, Load::No)->text);
    EXPECT_EQ(nullptr, favorites.RemoveChild(1));
    auto removed = favorites.RemoveChild(0);
    ASSERT_NE(nullptr, removed);
    EXPECT_EQ("f", removed->text);
    EXPECT_EQ(0u, favorites.ChildCount(Load::No));
}

}  // namespace
