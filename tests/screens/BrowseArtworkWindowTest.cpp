#include "screens/BrowseArtworkWindow.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>


namespace {

// Albums for the grid: the artwork page (with ready-made cover addresses)
// and the filtered album pages (without, so the tiles ask for the first track).
class FakeArtworkServer : public FakeSlimConnection {
public:
    void SetAlbumsShown(std::vector<BrowseEntry> albums) {
        std::lock_guard lock(m_pageLock);
        m_albums = std::move(albums);
    }
    std::vector<std::string> Pages() const {
        std::lock_guard lock(m_pageLock);
        return m_pages;
    }
    unsigned long GetAlbumArtwork(unsigned long start, unsigned long count, BrowseEntryList& list) override {
        std::lock_guard lock(m_pageLock);
        m_pages.push_back("artwork " + std::to_string(start) + " " + std::to_string(count));
        // The server's page holds one entry more than the grid shows.
        for (unsigned long i = start; i < start + count + 1 && i < m_albums.size(); ++i)
            list.AddEntry(std::make_unique<BrowseEntry>(m_albums[i]));
        list.SetTotalCount(m_albums.size());
        return m_albums.size();
    }
    long GetAlbums(unsigned long genre, unsigned long artist, unsigned long start, unsigned long count,
                   BrowseEntryList& list) override {
        std::lock_guard lock(m_pageLock);
        m_pages.push_back("albums " + std::to_string(genre) + " " + std::to_string(artist) + " " +
                          std::to_string(start) + " " + std::to_string(count));
        for (unsigned long i = start; i < start + count && i < m_albums.size(); ++i) {
            BrowseEntry entry = m_albums[i];
            entry.url = "";  // the CLI's album pages carry no cover
            list.AddEntry(std::make_unique<BrowseEntry>(entry));
        }
        list.SetTotalCount(m_albums.size());
        return long(list.GetNumEntries());
    }

private:
    mutable std::mutex m_pageLock;
    std::vector<BrowseEntry> m_albums;
    std::vector<std::string> m_pages;
};

class BrowseArtworkWindowTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        ASSERT_TRUE(m_http.Start());
        m_jpeg = SolidJpeg(CascadeColor(0xC03020FFu), 60);
        ASSERT_FALSE(m_jpeg.empty());
        context.server = &m_server2;
        g_portWeb = std::to_string(m_http.Port()).c_str();
        m_window.Attach(context);
        m_window.SetRectAbsolute({0, 0, 1024, 576});
    }
    void TearDown() override {
        if (m_window.IsVisible()) m_window.Vanish();
        DialogTest::TearDown();
    }
    // `count` albums with covers served by the local server (every cover
    // answered slowly when `delayMs` is set); album i has id 100 + i.
    void AddAlbums(int count, unsigned delayMs = 0) {
        std::vector<BrowseEntry> albums;
        for (int i = 0; i < count; ++i) {
            BrowseEntry album;
            album.name = "Album " + std::to_string(i);
            album.id = std::to_string(100 + i);
            album.url = m_http.Url("/music/" + std::to_string(i) + "/cover.jpg");
            albums.push_back(album);
            m_http.Route("/music/" + std::to_string(i) + "/cover.jpg",
                         delayMs ? LocalHttpServer::Trickle(m_jpeg, m_jpeg.size() / 2 + 1, delayMs)
                                 : LocalHttpServer::Body(m_jpeg, "image/jpeg"));
        }
        m_server2.SetAlbumsShown(std::move(albums));
    }
    // Lets the loader and the UI thread hand the page and its covers over
    // until both are quiet.
    void Settle() {
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(m_window.WaitUntilIdle(20000));
            RunUiTasks();
        }
    }
    void Show() {
        m_window.Materialize(1);
        Settle();
    }
    void Key(unsigned long key) {
        Press(key);
        Settle();
    }
    std::size_t CoverFetches(int album) { return m_http.RequestCount("/music/" + std::to_string(album) + "/cover.jpg"); }
    int FocusedIndex() {
        for (std::size_t i = 0; i < m_window.GetButtonsPerPage(); ++i)
            if (m_window.GetButton(i)->IsFocus()) return int(i);
        return -1;
    }

    LocalHttpServer m_http;
    std::string m_jpeg;
    FakeArtworkServer m_server2;
    BrowseArtworkWindow m_window;
};

TEST_F(BrowseArtworkWindowTest, TheGridTakesBothSizesAtTheirPlaces) {
    AddAlbums(20);
    const struct {
        uint32_t large;
        std::size_t cells;
        CascadeRect first, second, nextRow;
        const char* screenshot;
    } sizes[] = {{0, 18, {22, 70, 145, 158}, {182, 70, 145, 158}, {22, 232, 145, 158}, "artwork-grid"},
                 {1, 8, {22, 70, 230, 238}, {262, 70, 230, 238}, {22, 314, 230, 238}, "artwork-grid-large"}};
    for (const auto& size : sizes) {
        g_largeCoverArt = size.large;
        Show();
        ASSERT_EQ(m_window.GetButtonsPerPage(), size.cells);
        const std::size_t perRow = size.large ? 4 : 6;
        EXPECT_EQ(m_window.GetButton(0)->GetRectRelative(), size.first);
        EXPECT_EQ(m_window.GetButton(1)->GetRectRelative(), size.second);
        EXPECT_EQ(m_window.GetButton(perRow)->GetRectRelative(), size.nextRow);
        EXPECT_EQ(m_window.CountCoversShown(), size.cells);
        EXPECT_EQ(m_server2.Pages().back(), "artwork 0 " + std::to_string(size.cells));
        EXPECT_EQ(FocusedIndex(), 0);
        Screenshot(size.screenshot);
        m_window.Vanish();
        EXPECT_EQ(m_window.GetButtonsPerPage(), 0u);
    }
}

TEST_F(BrowseArtworkWindowTest, EmptyCellsRefuseTheFocusAndAFocusedOneHandsItToTheLastCover) {
    AddAlbums(20);  // page 2 holds two
    Show();
    for (int i = 0; i < 5; ++i) Key(CascadeKeys::kRight);
    Key(CascadeKeys::kDown);
    Key(CascadeKeys::kDown);
    ASSERT_EQ(FocusedIndex(), 17);
    Key(CascadeKeys::kZoomOut);
    EXPECT_EQ(m_window.GetPage(), 2);
    EXPECT_EQ(FocusedIndex(), 1);
    EXPECT_EQ(m_window.CountCoversShown(), 2u);
    for (unsigned long key : {CascadeKeys::kRight, CascadeKeys::kDown, CascadeKeys::kUp}) {
        Key(key);
        EXPECT_EQ(FocusedIndex(), 1);
    }
    EXPECT_FALSE(m_window.GetButton(2)->WillAcceptFocus());
    Screenshot("artwork-last-page");
}

TEST_F(BrowseArtworkWindowTest, PageKeysFollowThePageRuleAndNextJumpsATenthOfThePages) {
    std::vector<BrowseEntry> albums(95 * 18);
    for (std::size_t i = 0; i < albums.size(); ++i) {
        albums[i].name = "Album " + std::to_string(i);
        albums[i].id = std::to_string(1 + i);
        albums[i].url = "none";  // no fetches: the no-cover picture
    }
    m_server2.SetAlbumsShown(albums);
    Show();
    ASSERT_EQ(m_window.GetPageCount(), 95);
    const struct {
        unsigned long key;
        unsigned short page;
    } steps[] = {{CascadeKeys::kZoomIn, 95}, {CascadeKeys::kZoomOut, 1}, {CascadeKeys::kNext, 10},
                 {CascadeKeys::kNext, 19},   {CascadeKeys::kPrevious, 10}, {CascadeKeys::kPrevious, 1},
                 {CascadeKeys::kPrevious, 95}};
    for (const auto& step : steps) {
        Key(step.key);
        EXPECT_EQ(m_window.GetPage(), step.page);
    }
    EXPECT_EQ(m_server2.Pages().back(), "artwork " + std::to_string(94 * 18) + " 18");
    Screenshot("artwork-page-95");
}

TEST_F(BrowseArtworkWindowTest, WithFewerThanTenPagesNextReloadsTheSamePage) {
    AddAlbums(40);  // 3 pages
    Show();
    Key(CascadeKeys::kNext);
    EXPECT_EQ(m_window.GetPage(), 1);
    EXPECT_EQ(m_server2.Pages(), (std::vector<std::string>{"artwork 0 18", "artwork 0 18"}));
}

TEST_F(BrowseArtworkWindowTest, APageChangeAbandonsTheCoversStillToComeAndSeenCoversAreNotFetchedAgain) {
    AddAlbums(36, 60);  // every cover takes 120 ms
    m_window.Materialize(1);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    RunUiTasks();  // the titles are on the tiles, the covers begin
    EXPECT_EQ(m_window.GetButton(0)->GetAlbumId(), "100");
    Press(CascadeKeys::kZoomOut);
    Settle();
    ASSERT_EQ(m_window.GetPage(), 2);
    std::size_t firstPage = 0, secondPage = 0;
    for (int i = 0; i < 18; ++i) firstPage += CoverFetches(i);
    for (int i = 18; i < 36; ++i) secondPage += CoverFetches(i);
    EXPECT_LE(firstPage, 2u);  // the one under way (and at most the next) when the page changed
    EXPECT_EQ(secondPage, 18u);
    // In grid order.
    std::vector<std::string> order;
    for (const auto& request : m_http.Requests()) order.push_back(request.path);
    ASSERT_GE(order.size(), 18u);
    EXPECT_EQ(order[order.size() - 18], "/music/18/cover.jpg");
    EXPECT_EQ(order.back(), "/music/35/cover.jpg");

    Key(CascadeKeys::kZoomIn);
    Key(CascadeKeys::kZoomOut);  // page 2 again: every cover from the cache
    for (int i = 18; i < 36; ++i) EXPECT_EQ(CoverFetches(i), 1u) << i;
    EXPECT_EQ(m_window.CountCoversShown(), 18u);
    EXPECT_GE(m_window.GetCoverCache().GetHits(), 18u);
}

TEST_F(BrowseArtworkWindowTest, TheFilterAsksForTheAlbumsAndTheirFirstTracksAndAnAlbumWithoutTracksShowsNoCover) {
    AddAlbums(3);
    SongInfo first = FakeSlimConnection::Song("Opening", "Someone", "Album 0", "100", "7");
    m_server2.SetAlbum(100, {first});
    m_http.Route("/music/7/cover.jpg", LocalHttpServer::Body(m_jpeg, "image/jpeg"));
    Show();
    m_window.OnFilterResult(4, "Jazz", 0, "");
    Settle();
    EXPECT_EQ(m_window.GetStatusText(), "Genre: Jazz   Artist: All");
    EXPECT_EQ(m_server2.Pages().back(), "albums 4 0 0 18");
    EXPECT_EQ(m_window.GetButton(0)->GetAlbumArtURL().Std(), m_http.Url("/music/7/cover.jpg"));
    // Albums 101 and 102 have no tracks: the no-cover picture.
    for (std::size_t i : {1u, 2u}) {
        EXPECT_EQ(m_window.GetButton(i)->GetAlbumArtURL(), "none");
        EXPECT_TRUE(m_window.GetButton(i)->IsLoaded());
        EXPECT_FALSE(m_window.GetButton(i)->GetCoverDims().IsEmpty());
    }
    Screenshot("artwork-filtered");
    m_window.OnFilterResult(0, "All", 0, "All");
    Settle();
    EXPECT_EQ(m_window.GetStatusText(), "Genre: All   Artist: All");
    EXPECT_EQ(m_server2.Pages().back(), "artwork 0 18");
}

TEST_F(BrowseArtworkWindowTest, PlayReplacesThePlaylistWithTheAlbumAndSelectOpensItsTracks) {
    AddAlbums(3);
    Show();
    Key(CascadeKeys::kRight);
    Key(CascadeKeys::kPlay);
    EXPECT_EQ(m_server2.Count("load 0 0 101"), 1);
    Press(CascadeKeys::kSelect);
    ASSERT_TRUE(m_window.GetAlbumInfo().IsVisible());
    ASSERT_TRUE(m_window.GetAlbumInfo().WaitUntilIdle(10000));
    Screenshot("artwork-album-info");
    Press(CascadeKeys::kSelect);  // the dialog's first button: play
    EXPECT_FALSE(m_window.GetAlbumInfo().IsVisible());
    EXPECT_EQ(m_server2.Count("load 0 0 101"), 2);
    EXPECT_EQ(FocusedIndex(), 1);
}

TEST_F(BrowseArtworkWindowTest, ClosingWhileCoversLoadStopsThePassAndDropsTheGrid) {
    AddAlbums(18, 150);
    m_window.Materialize(1);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    RunUiTasks();
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_window.IsVisible());
    EXPECT_EQ(m_window.GetButtonsPerPage(), 0u);
    std::size_t fetched = 0;
    for (int i = 0; i < 18; ++i) fetched += CoverFetches(i);
    EXPECT_LE(fetched, 2u);
}

}  // namespace
