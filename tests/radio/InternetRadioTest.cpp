#include "radio/InternetRadio.h"

#include "RadioTestData.h"
#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using Load = OPMLNode::Load;

class InternetRadioTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        m_radio = MakeRadio();
    }
    std::unique_ptr<InternetRadio> MakeRadio(RadioFetch::Limits limits = {2000, 5000, 8u << 20}) {
        InternetRadio::Options options;
        options.favoritesPath = m_dir.File("Favorites.xml");
        options.directories = RadioDirectories("http://127.0.0.1:" + std::to_string(m_server.Port()));
        options.limits = limits;
        return std::make_unique<InternetRadio>(std::move(options));
    }
    static std::vector<std::string> Names(const BrowseEntryList& list) {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < list.GetNumEntries(); ++i) names.push_back(list.Item(i)->name.Std());
        return names;
    }

    ScopedTempDir m_dir{"quendrel-radio"};
    LocalHttpServer m_server;
    std::unique_ptr<InternetRadio> m_radio;
};

// "Most Popular" in any case asks for the Top 500; other genres are escaped.
TEST_F(InternetRadioTest, ShoutcastGenresAreAskedForEscaped) {
    std::vector<std::string> queries;
    m_server.Route("/sbin/newxml.phtml", [&queries](const LocalHttpServer::Request& r) {
        queries.push_back(r.query);
        return LocalHttpServer::Body(RadioSample("shoutcast/stationlist-2016-top500-shoutcast-api-client.xml"));
    });
    BrowseEntryList list;
    for (const char* genre : {"most POPULAR", "Classic Rock", "R&b"})
        EXPECT_TRUE(m_radio->GetShoutcastStations(list, genre)) << genre;
    EXPECT_EQ((std::vector<std::string>{"genre=Top500", "genre=Classic%20Rock", "genre=R%26b"}), queries);
}

TEST_F(InternetRadioTest, XiphIsFetchedOnceAndFilteredByNormalisedGenre) {
    m_server.Route("/yp.xml", LocalHttpServer::Body(RadioSample("xiph/yp-2007-esperanza-first300.xml")));
    BrowseEntryList genres, all;
    ASSERT_TRUE(m_radio->GetXiphGenres(genres));
    ASSERT_GT(genres.GetNumEntries(), 10u);
    std::set<std::string> distinct;
    for (const std::string& genre : Names(genres))
        EXPECT_TRUE(distinct.insert(CascadeString(genre.c_str()).ToLower().Std()).second) << "twice: " << genre;
    ASSERT_TRUE(m_radio->GetXiphStations(all, nullptr));
    EXPECT_EQ(300u, all.GetNumEntries());
    // Every genre lists stations, and together they cover nearly every station.
    std::set<std::string> covered;
    for (std::size_t i = 0; i < genres.GetNumEntries(); ++i) {
        BrowseEntryList stations;
        ASSERT_TRUE(m_radio->GetXiphStations(stations, genres.Item(i)->name.c_str()));
        EXPECT_GT(stations.GetNumEntries(), 0u) << genres.Item(i)->name.Std();
        for (std::size_t s = 0; s < stations.GetNumEntries(); ++s) covered.insert(stations.Item(s)->url.Std());
    }
    EXPECT_GT(covered.size(), 250u);
    BrowseEntryList rock;  // whatever the case, and each station whose genre text names it
    ASSERT_TRUE(m_radio->GetXiphStations(rock, "ROCK"));
    EXPECT_GE(rock.GetNumEntries(), 40u);
    EXPECT_EQ(1u, m_server.RequestCount("/yp.xml"));
}

// Bitrates as real feeds write them: with dots or a blank behind, or words.
TEST_F(InternetRadioTest, XiphBitrateBoundaries) {
    std::string yp = "<directory>";
    for (const char* rate : {"0", "1", "1024", "1025", "-5", "vbr", "", "128..", "32 ", "Quality 3,50"})
        yp += std::string("<entry><server_name>S") + rate + "</server_name><listen_url>http://s/" + rate +
              "</listen_url><bitrate>" + rate + "</bitrate><genre>Jazz</genre></entry>";
    m_server.Route("/yp.xml", LocalHttpServer::Body(yp + "</directory>"));
    BrowseEntryList all;
    ASSERT_TRUE(m_radio->GetXiphStations(all, "jazz"));
    EXPECT_EQ((std::vector<std::string>{"S0", "S1 (1kbps)", "S1024 (1024kbps)", "S1025", "S-5", "Svbr", "S",
                                        "S128.. (128kbps)", "S32 (32kbps)", "SQuality 3,50"}),
              Names(all));
}

TEST_F(InternetRadioTest, ADirectoryThatHangsTricklesOrIsTooLargeFails) {
    auto radio = MakeRadio({300, 800, 1u << 20});
    BrowseEntryList list;
    // Headers and a few bytes, then nothing.
    m_server.Route("/yp.xml", LocalHttpServer::Stalling(RadioSample("xiph/yp-2007-esperanza-first300.xml"), 100));
    EXPECT_FALSE(radio->GetXiphGenres(list));
    // Bytes keep coming, slowly, past the whole-body limit.
    m_server.Route("/sbin/newxml.phtml",
                   LocalHttpServer::Trickle(RadioSample("shoutcast/genrelist-2009-05-shoutcast_api.xml"), 20, 100));
    EXPECT_FALSE(radio->GetShoutcastGenres(list));
    m_server.Route("/picks/radio.opml", LocalHttpServer::Body(std::string(2u << 20, ' ')));
    EXPECT_EQ(0u, radio->GetSlimPicks()->ChildCount(Load::No));
    EXPECT_EQ(0u, list.GetNumEntries());
}

}  // namespace
