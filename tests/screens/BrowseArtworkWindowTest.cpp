// The cover-art grid while its covers load from a slow local web server:
// a page change abandons the covers still to come, covers seen once come
// from the cache, and closing the grid stops the pass.
#include "screens/BrowseArtworkWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "support/LocalHttpServer.h"

namespace {

class BrowseArtworkWindowTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        ASSERT_TRUE(m_http.Start());
        const std::string jpeg = SolidJpeg(CascadeColor(0xC03020FFu), 60);
        ASSERT_FALSE(jpeg.empty());
        // Two pages of albums whose covers take 120 ms each; album i has id 100 + i.
        FakeSlimConnection::Entries albums;
        for (int i = 0; i < 36; ++i) {
            auto album = std::make_shared<BrowseEntry>();
            album->name = "Album " + std::to_string(i);
            album->id = std::to_string(100 + i);
            album->url = m_http.Url(Cover(i));
            albums.push_back(album);
            m_http.Route(Cover(i), LocalHttpServer::Trickle(jpeg, jpeg.size() / 2 + 1, 60));
        }
        server.SetEntries("artwork", albums);
        g_portWeb = std::to_string(m_http.Port()).c_str();
        ShowFullScreen(m_window);
        ASSERT_TRUE(m_window.WaitUntilIdle(10000));
        RunUiTasks();  // the titles are on the tiles, the covers begin
    }
    void TearDown() override {
        if (m_window.IsVisible()) m_window.Vanish();
        DialogTest::TearDown();
    }
    static std::string Cover(int album) { return "/music/" + std::to_string(album) + "/cover.jpg"; }
    // Presses `key`, then lets the loader and the UI thread hand the page
    // and its covers over until both are quiet.
    void Press(unsigned long key) {
        (void)Key(key);
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(m_window.WaitUntilIdle(20000));
            RunUiTasks();
        }
    }
    std::size_t Fetches(int from, int to) {
        std::size_t n = 0;
        for (int i = from; i < to; ++i) n += m_http.RequestCount(Cover(i));
        return n;
    }

    LocalHttpServer m_http;
    BrowseArtworkWindow m_window;
};

TEST_F(BrowseArtworkWindowTest, APageChangeAbandonsTheCoversStillToComeAndSeenCoversAreNotFetchedAgain) {
    EXPECT_EQ(m_window.GetButton(0)->GetAlbumId(), "100");
    Press(CascadeKeys::kZoomOut);
    ASSERT_EQ(m_window.GetPage(), 2);
    EXPECT_LE(Fetches(0, 18), 2u);  // the one under way (and at most the next) when the page changed
    EXPECT_EQ(Fetches(18, 36), 18u);
    // In grid order.
    const auto requests = m_http.Requests();
    ASSERT_GE(requests.size(), 18u);
    EXPECT_EQ(requests[requests.size() - 18].path, Cover(18));
    EXPECT_EQ(requests.back().path, Cover(35));
    Screenshot("artwork-last-page");

    Press(CascadeKeys::kZoomIn);
    Press(CascadeKeys::kZoomOut);  // page 2 again: every cover from the cache
    for (int i = 18; i < 36; ++i) EXPECT_EQ(m_http.RequestCount(Cover(i)), 1u) << i;
    EXPECT_EQ(m_window.CountCoversShown(), 18u);
    EXPECT_GE(m_window.GetCoverCache().GetHits(), 18u);
    // With fewer than ten pages, Next loads the same page again.
    Press(CascadeKeys::kNext);
    EXPECT_EQ(m_window.GetPage(), 2);
    EXPECT_EQ(server.Calls().back(), "artwork 18 18");
}

TEST_F(BrowseArtworkWindowTest, ClosingWhileCoversLoadStopsThePassAndDropsTheGrid) {
    (void)Key(CascadeKeys::kExit);
    EXPECT_FALSE(m_window.IsVisible());
    EXPECT_EQ(m_window.GetButtonsPerPage(), 0u);
    EXPECT_LE(Fetches(0, 18), 2u);
}

}  // namespace
