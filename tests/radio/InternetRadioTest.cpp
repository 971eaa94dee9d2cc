#include "radio/InternetRadio.h"

#include "RadioTestData.h"
#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

namespace {

using Load = OPMLNode::Load;

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

class InternetRadioTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        m_base = "http://127.0.0.1:" + std::to_string(m_server.Port());
        m_radio = MakeRadio();
    }

    std::unique_ptr<InternetRadio> MakeRadio(RadioFetch::Limits limits = {2000, 5000, 8u << 20}) {
        InternetRadio::Options options;
        options.favoritesPath = m_dir.File("Favorites.xml");
        options.directories = RadioDirectories(m_base);
        options.limits = limits;
        return std::make_unique<InternetRadio>(std::move(options));
    }

    void Serve(const std::string& path, const std::string& sample) {
        m_server.Route(path, LocalHttpServer::Body(RadioSample(sample), "text/xml"));
    }

    ScopedTempDir m_dir{"quendrel-radio"};
    LocalHttpServer m_server;
    std::string m_base;
    std::unique_ptr<InternetRadio> m_radio;
};

TEST_F(InternetRadioTest, ShoutcastGenresStartWithMostPopularInDocumentOrder) {
    Serve("/sbin/newxml.phtml", "shoutcast/genrelist-2009-05-shoutcast_api.xml");
    BrowseEntryList list;
    ASSERT_TRUE(m_radio->GetShoutcastGenres(list));
    const std::string sample = RadioSample("shoutcast/genrelist-2009-05-shoutcast_api.xml");
    ASSERT_EQ(1 + Occurrences(sample, "<genre "), list.GetNumEntries());
    EXPECT_EQ("Most Popular", list.Item(0)->name);
    EXPECT_EQ("Most Popular", list.Item(0)->id);
    EXPECT_EQ("24h", list.Item(1)->name);
    bool sawEntity = false;
    for (std::size_t i = 0; i < list.GetNumEntries(); ++i) {
        EXPECT_EQ("shoutcast", list.Item(i)->type);
        EXPECT_EQ(list.Item(i)->name, list.Item(i)->id);
        sawEntity |= list.Item(i)->name == "R&b";
    }
    EXPECT_TRUE(sawEntity);
    // Fetched on every call.
    BrowseEntryList again;
    ASSERT_TRUE(m_radio->GetShoutcastGenres(again));
    EXPECT_EQ(2u, m_server.RequestCount("/sbin/newxml.phtml"));
}

TEST_F(InternetRadioTest, ShoutcastStationsPointAtTheTuneInPlaylist) {
    std::string query;
    m_server.Route("/sbin/newxml.phtml", [&query](const LocalHttpServer::Request& r) {
        query = r.query;
        return LocalHttpServer::Body(RadioSample("shoutcast/stationlist-2008-04-ShoutcastBrowser-first200.xml"));
    });
    BrowseEntryList list;
    ASSERT_TRUE(m_radio->GetShoutcastStations(list, "Rock"));
    EXPECT_EQ("genre=Rock", query);
    ASSERT_EQ(200u, list.GetNumEntries());
    EXPECT_EQ(".977 The Hitz Channel", list.Item(0)->name);
    EXPECT_EQ(m_base + "/sbin/tunein-station.pls?id=1025", list.Item(0)->url.Std());
    EXPECT_EQ(list.Item(0)->url, list.Item(0)->id);
    for (std::size_t i = 0; i < list.GetNumEntries(); ++i) EXPECT_TRUE(IsCleanUtf8(list.Item(i)->name.View()));
    EXPECT_EQ("Radio Paradise - DJ-mixed modern & classic rock, world, electronica & more - info: radioparadise.com",
              list.Item(3)->name);
}

TEST_F(InternetRadioTest, ShoutcastGenreQueries) {
    std::vector<std::string> queries;
    m_server.Route("/sbin/newxml.phtml", [&queries](const LocalHttpServer::Request& r) {
        queries.push_back(r.query);
        return LocalHttpServer::Body(RadioSample("shoutcast/stationlist-2016-top500-shoutcast-api-client.xml"));
    });
    for (const char* genre : {"Most Popular", "most POPULAR", "Classic Rock", "R&b"}) {
        BrowseEntryList list;
        ASSERT_TRUE(m_radio->GetShoutcastStations(list, genre)) << genre;
        // The 2016 answer ends with a stray </xml>; its stations still count.
        EXPECT_EQ(6u, list.GetNumEntries()) << genre;
    }
    EXPECT_EQ((std::vector<std::string>{"genre=Top500", "genre=Top500", "genre=Classic%20Rock", "genre=R%26b"}),
              queries);
}

TEST_F(InternetRadioTest, XiphIsFetchedOnceAndFilteredByNormalisedGenre) {
    Serve("/yp.xml", "xiph/yp-2007-esperanza-first300.xml");
    BrowseEntryList genres;
    ASSERT_TRUE(m_radio->GetXiphGenres(genres));
    ASSERT_GT(genres.GetNumEntries(), 10u);
    std::set<std::string> distinct;
    for (std::size_t i = 0; i < genres.GetNumEntries(); ++i) {
        const BrowseEntry& g = *genres.Item(i);
        EXPECT_EQ("xiph", g.type);
        EXPECT_EQ(g.name, g.id);
        std::string lower = g.name.Std();
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(distinct.insert(lower).second) << "genre twice: " << g.name.Std();
        if (i > 0) {
            EXPECT_LT(strcasecmp(genres.Item(i - 1)->name.c_str(), g.name.c_str()), 0);
        }
    }
    BrowseEntryList all;
    ASSERT_TRUE(m_radio->GetXiphStations(all, nullptr));
    EXPECT_EQ(300u, all.GetNumEntries());
    // Every genre entry lists exactly the stations that produced it, and
    // together they cover every station that has a genre.
    std::set<std::string> covered;
    for (std::size_t i = 0; i < genres.GetNumEntries(); ++i) {
        BrowseEntryList stations;
        ASSERT_TRUE(m_radio->GetXiphStations(stations, genres.Item(i)->name.c_str()));
        EXPECT_GT(stations.GetNumEntries(), 0u) << genres.Item(i)->name.Std();
        for (std::size_t s = 0; s < stations.GetNumEntries(); ++s) covered.insert(stations.Item(s)->url.Std());
    }
    EXPECT_GE(all.GetNumEntries(), covered.size());
    EXPECT_GT(covered.size(), 250u);
    BrowseEntryList rock, rockUpper;
    ASSERT_TRUE(m_radio->GetXiphStations(rock, "Rock"));
    ASSERT_TRUE(m_radio->GetXiphStations(rockUpper, "ROCK"));
    EXPECT_EQ(rock.GetNumEntries(), rockUpper.GetNumEntries());
    EXPECT_GE(rock.GetNumEntries(), 40u);
    EXPECT_EQ(1u, m_server.RequestCount("/yp.xml"));
}

TEST_F(InternetRadioTest, XiphBitratesAreAddedOnlyWhenTheyAreANumberInRange) {
    Serve("/yp.xml", "xiph/yp-2007-esperanza-first300.xml");
    BrowseEntryList all;
    ASSERT_TRUE(m_radio->GetXiphStations(all, nullptr));
    std::set<std::string> names;
    for (std::size_t i = 0; i < all.GetNumEntries(); ++i) names.insert(all.Item(i)->name.Std());
    // Bitrates as the feed wrote them: "64", "128..", "32 ", "Quality 3,50", "NA".
    for (const char* name : {"!!!--- GalwayLand Radio ---!!! (64kbps)", "Amatouring (128kbps)", "Area 108 (32kbps)",
                             "(((EBM Radio)))", "\"triplej\""})
        EXPECT_EQ(1u, names.count(name)) << name;
    for (const std::string& name : names) EXPECT_EQ(std::string::npos, name.find("(Quality")) << name;
}

TEST_F(InternetRadioTest, BitrateBoundaries) {
    std::string yp = "<directory>";
    for (const char* rate : {"0", "1", "1024", "1025", "-5", "vbr", "", "320525"})
        yp += std::string("<entry><server_name>S") + rate + "</server_name><listen_url>http://s/" + rate +
              "</listen_url><bitrate>" + rate + "</bitrate><genre>Jazz</genre></entry>";
    yp += "</directory>";
    m_server.Route("/yp.xml", LocalHttpServer::Body(yp));
    BrowseEntryList all;
    ASSERT_TRUE(m_radio->GetXiphStations(all, "jazz"));
    const char* expected[] = {"S0", "S1 (1kbps)", "S1024 (1024kbps)", "S1025", "S-5", "Svbr", "S", "S320525"};
    ASSERT_EQ(8u, all.GetNumEntries());
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(expected[i], all.Item(i)->name);
}

TEST_F(InternetRadioTest, SteamcastFeedGivesGenresAndStations) {
    m_server.Route(
        "/sbin/rsms_feed.xml",
        LocalHttpServer::Body("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rsms><channel>"
                              "<item><title>Caf\xE9 Jazz</title><category>Jazz / Lounge</category>"
                              "<enclosure url=\"http://s/1.pls\"/></item>"
                              "<item><TITLE>Old</TITLE><title>Hip Hop Now</title><Category>Hip-Hop</Category>"
                              "<category>ignored</category><enclosure url=\"http://s/2.pls\"/></item>"
                              "<item><title>No enclosure</title><category>jazz</category></item>"
                              "<item><title>No genre</title><enclosure url=\"http://s/4.pls\"/></item>"
                              "</channel></rsms>"));
    BrowseEntryList genres;
    ASSERT_TRUE(m_radio->GetSteamcastGenres(genres));
    ASSERT_EQ(4u, genres.GetNumEntries());
    const char* expected[] = {"Jazz", "Lounge", "Misc Genre", "Rap"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i], genres.Item(i)->name);
        EXPECT_EQ("steamcast", genres.Item(i)->type);
    }
    BrowseEntryList jazz;
    ASSERT_TRUE(m_radio->GetSteamcastStations(jazz, "JAZZ"));
    ASSERT_EQ(2u, jazz.GetNumEntries());
    EXPECT_EQ("Caf\xC3\xA9 Jazz", jazz.Item(0)->name);
    EXPECT_EQ("http://s/1.pls", jazz.Item(0)->id);
    EXPECT_EQ("", jazz.Item(1)->url);
    BrowseEntryList all;
    ASSERT_TRUE(m_radio->GetSteamcastStations(all, nullptr));
    ASSERT_EQ(4u, all.GetNumEntries());
    EXPECT_EQ("Hip Hop Now", all.Item(1)->name);
    EXPECT_EQ(1u, m_server.RequestCount("/sbin/rsms_feed.xml"));
    EXPECT_EQ("t=a&o=n", m_server.Requests().back().query);
}

// A page, an error or garbage instead of a directory leaves the list as it
// was (not even Most Popular) and the next call fetches again.
TEST_F(InternetRadioTest, AFailedDirectoryLoadKeepsNothingAndIsTriedAgain) {
    m_server.Route("/sbin/newxml.phtml", LocalHttpServer::Body("<html><body>We are down</body></html>"));
    BrowseEntryList shoutcast;
    EXPECT_FALSE(m_radio->GetShoutcastGenres(shoutcast));
    EXPECT_FALSE(m_radio->GetShoutcastStations(shoutcast, "Rock"));
    m_server.Route("/sbin/newxml.phtml", LocalHttpServer::Status(500));
    EXPECT_FALSE(m_radio->GetShoutcastGenres(shoutcast));
    EXPECT_EQ(0u, shoutcast.GetNumEntries());
    int calls = 0;
    m_server.Route("/yp.xml", [&calls](const LocalHttpServer::Request&) {
        ++calls;
        if (calls == 1) return LocalHttpServer::Status(404);
        if (calls == 2) return LocalHttpServer::Body("\x1F\x8B\x08 binary garbage");
        return LocalHttpServer::Body(RadioSample("xiph/yp-2007-esperanza-first300.xml"));
    });
    BrowseEntryList list;
    EXPECT_FALSE(m_radio->GetXiphGenres(list));
    EXPECT_FALSE(m_radio->GetXiphStations(list, nullptr));
    EXPECT_EQ(0u, list.GetNumEntries());
    EXPECT_TRUE(m_radio->GetXiphStations(list, nullptr));
    EXPECT_TRUE(m_radio->GetXiphStations());
    EXPECT_EQ(3, calls);
}

TEST_F(InternetRadioTest, ADirectoryThatHangsOrTricklesFailsWithinTheLimits) {
    auto radio = MakeRadio({300, 800, 1u << 20});
    // Headers and a few bytes, then nothing.
    m_server.Route("/yp.xml", LocalHttpServer::Stalling(RadioSample("xiph/yp-2007-esperanza-first300.xml"), 100));
    BrowseEntryList list;
    EXPECT_FALSE(radio->GetXiphGenres(list));
    // Bytes keep coming, slowly, past the whole-body limit.
    m_server.Route("/sbin/newxml.phtml",
                   LocalHttpServer::Trickle(RadioSample("shoutcast/genrelist-2009-05-shoutcast_api.xml"), 20, 100));
    EXPECT_FALSE(radio->GetShoutcastGenres(list));
    // A body beyond the size limit is refused.
    m_server.Route("/picks/radio.opml", LocalHttpServer::Body(std::string(2u << 20, ' ')));
    EXPECT_EQ(0u, radio->GetSlimPicks()->ChildCount(Load::No));
    EXPECT_EQ(0u, list.GetNumEntries());
}

TEST_F(InternetRadioTest, AbortEndsAHangingFetchAtOnceAndUntilResumed) {
    auto radio = MakeRadio({60000, 120000, 1u << 20});
    m_server.Route("/yp.xml", LocalHttpServer::Stalling(RadioSample("xiph/yp-2007-esperanza-first300.xml"), 100));
    std::thread aborter([&radio] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        radio->AbortFetches();
    });
    BrowseEntryList list;
    EXPECT_FALSE(radio->GetXiphGenres(list));
    aborter.join();
    Serve("/sbin/newxml.phtml", "shoutcast/genrelist-2009-05-shoutcast_api.xml");
    EXPECT_FALSE(radio->GetShoutcastGenres(list)) << "still aborted";
    radio->ResumeFetches();
    EXPECT_TRUE(radio->GetShoutcastGenres(list));
}

TEST_F(InternetRadioTest, RadioIOChannelsNeedNoFetch) {
    BrowseEntryList list;
    m_radio->GetRadioIOStations(list);
    ASSERT_EQ(21u, list.GetNumEntries());
    EXPECT_EQ("radioio70s", list.Item(0)->name);
    EXPECT_EQ(m_base + "/radioio70s/A1hi.m3u", list.Item(0)->url.Std());
    EXPECT_EQ(list.Item(0)->url, list.Item(0)->id);
    EXPECT_EQ("", list.Item(0)->type);
    EXPECT_EQ("radioioOne", list.Item(17)->name);
    EXPECT_EQ("radioioWorld", list.Item(20)->name);
    EXPECT_TRUE(m_server.Requests().empty());
}

// An outline that could not be reached is empty and fetched again when
// opened; once loaded it is kept.
TEST_F(InternetRadioTest, PicksAndArchiveAreLoadedOnceAndKeptAndAFailedOneAgainWhenOpened) {
    OPMLNode* picks = m_radio->GetSlimPicks();
    EXPECT_EQ(0u, picks->ChildCount(Load::No));
    EXPECT_EQ(1u, m_server.RequestCount("/picks/radio.opml"));
    Serve("/picks/radio.opml", "lms-favorites/favorites-2024-Rouzax-nested.opml");
    Serve("/lma/artists.opml", "opml/scripting-news-directory-2005-iso8859-1.opml");
    EXPECT_GT(picks->ChildCount(Load::Yes), 3u);
    EXPECT_GT(picks->ChildCount(Load::Yes), 3u);
    EXPECT_EQ(picks, m_radio->GetSlimPicks());
    EXPECT_EQ(2u, m_server.RequestCount("/picks/radio.opml"));
    OPMLNode* archive = m_radio->GetLiveMusicArchive();
    ASSERT_GT(archive->ChildCount(Load::Yes), 0u);
    EXPECT_EQ(archive, m_radio->GetLiveMusicArchive());
    EXPECT_EQ(1u, m_server.RequestCount("/lma/artists.opml"));
}

TEST_F(InternetRadioTest, PodcastDirectoriesOpenOnDemandOncePerOutline) {
    OPMLNode* podcasts = m_radio->GetPodcasts();
    ASSERT_EQ(9u, podcasts->ChildCount(Load::No));
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_EQ("PodNova Directory", podcasts->Child(0, Load::No)->text);
    EXPECT_EQ("www.podcastalley.com Top 50 Podcasts", podcasts->Child(6, Load::No)->text);
    EXPECT_EQ("www.podcastalley.com 10 Newest Podcasts", podcasts->Child(7, Load::No)->text);
    EXPECT_EQ(m_base + "/directory/libsyn.opml", podcasts->Child(8, Load::No)->url.Std());
    for (unsigned long i = 0; i < 9; ++i) {
        EXPECT_EQ(podcasts, podcasts->Child(i, Load::No)->GetParent());
        EXPECT_EQ("", podcasts->Child(i, Load::No)->type);
        EXPECT_TRUE(podcasts->Child(i, Load::No)->IsLoadable());
    }
    Serve("/opml/digitalpodcasttoprated.opml", "opml/digitalpodcast-top-rated-2017.opml");
    m_server.Route("/theadamandreggieshow",
                   LocalHttpServer::Body(RadioSample("podcast-rss/davidco-2009-stylesheet-padding-comment.rss")));
    OPMLNode* topRated = podcasts->Child(3, Load::No);
    for (int open = 0; open < 3; ++open) EXPECT_EQ(50u, topRated->ChildCount(Load::Yes));
    EXPECT_EQ(1u, m_server.RequestCount("/opml/digitalpodcasttoprated.opml"));
    EXPECT_EQ(podcasts, m_radio->GetPodcasts());
}

TEST_F(InternetRadioTest, FavoritesAreSavedWhenChangedAndReadBack) {
    OPMLNode* favorites = m_radio->GetFavorites();
    EXPECT_EQ(0u, favorites->ChildCount(Load::Yes));
    EXPECT_TRUE(m_radio->SaveFavorites()) << "nothing to save";
    EXPECT_EQ("", m_dir.ReadFile("Favorites.xml"));
    favorites->AddChild("Station", "http://s/1.pls", "audio");
    m_radio->SetFavoritesModified();
    ASSERT_TRUE(m_radio->SaveFavorites());
    EXPECT_FALSE(m_radio->IsFavoritesModified());
    EXPECT_NE(std::string::npos, m_dir.ReadFile("Favorites.xml").find("Station"));
    // Changed and not saved: the destructor saves.
    favorites->AddChild("Second", "http://s/2.pls", "audio");
    m_radio->SetFavoritesModified();
    m_radio.reset();
    auto next = MakeRadio();
    ASSERT_EQ(2u, next->GetFavorites()->ChildCount(Load::No));
    EXPECT_EQ("Second", next->GetFavorites()->Child(1, Load::No)->text);
}

}  // namespace
