#include "ui/AlbumButton.h"

#include "app/base/AppSettings.h"
#include "server/SlimCLIConnection.h"
#include "support/ScopedTempDir.h"
#include "support/SlimSimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>

namespace {

// Cover tiles against the server simulator: its covers are plain squares of
// one colour per album, 240 x 240.
class AlbumButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start());
        ASSERT_TRUE(m_cli.Connect("127.0.0.1", m_sim.GetPorts().cli));
        m_savedWebPort = g_portWeb;
        g_portWeb = std::to_string(m_sim.GetPorts().web);
        m_cli.SetWebPort(g_portWeb);
        // Our own no-cover picture: solid red.
        CascadeBitmap red;
        ASSERT_TRUE(red.Create({100, 100}));
        red.Clear(CascadeColor(230, 20, 20));
        m_noCover = m_temp.File("nocover.thm");
        ASSERT_TRUE(red.SaveAsJPEG(m_noCover, 95));
        m_button.SetRectAbsolute({0, 0, 210, 221});
        m_button.SetNoCoverJpeg(m_noCover.c_str());
    }
    void TearDown() override { g_portWeb = m_savedWebPort; }

    std::string AlbumId(const std::string& name) {
        const std::string reply = m_sim.Cli("albums 0 100");
        std::smatch match;
        const std::regex pattern("id%3A(\\d+) album%3A" + name);
        if (std::regex_search(reply, match, pattern)) return match[1];
        const std::regex plain("id:(\\d+) album:" + name);
        return std::regex_search(reply, match, plain) ? std::string(match[1]) : std::string();
    }
    // The colour in the middle of the cover's top-left corner band.
    CascadeColor CornerColour() {
        CascadeBitmap b;
        EXPECT_TRUE(b.Create(m_button.GetDims()));
        m_button.OnPaint(b);
        const CascadeRect r = m_button.GetCoverRect();
        return CascadeColor::FromARGB(b.GetPixel(r.x + 6, r.y + 6));
    }
    int CoverRequests() {
        const std::string requests = m_sim.Control("http-requests");
        int n = 0;
        for (std::size_t at = 0; (at = requests.find("cover.jpg", at)) != std::string::npos; ++at) ++n;
        return n;
    }

    SlimSimulator m_sim;
    SlimCLIConnection m_cli;
    ScopedTempDir m_temp{"quendrel-cover"};
    std::string m_noCover;
    CascadeString m_savedWebPort;
    AlbumButton m_button{&m_cli};
};

TEST_F(AlbumButtonTest, AlbumIdFindsTheFirstTrackAndShowsTheServersCover) {
    const std::string album = AlbumId("Morning%20Light");
    ASSERT_FALSE(album.empty());
    m_button.SetAlbumId(album.c_str(), AlbumButton::RedrawMode::kNoRedraw);
    EXPECT_TRUE(m_button.WillAcceptFocus());
    m_button.LoadAlbumArt(AlbumButton::LoadMode::kNow);
    ASSERT_TRUE(m_button.IsLoaded());
    EXPECT_NE(m_button.GetAlbumArtURL().View().find("/music/" + m_button.GetSongId().Std() + "/cover.jpg"),
              std::string::npos);
    EXPECT_EQ(m_button.GetSecondText(), "The Quiet Tones");
    EXPECT_EQ(m_button.GetCoverDims(), CascadeDims(200, 200));  // decoded at the size it is shown
    const CascadeColor c = CornerColour();
    EXPECT_NEAR(c.Red(), 0x30, 12);
    EXPECT_NEAR(c.Green(), 0x60, 12);
    EXPECT_NEAR(c.Blue(), 0xA0, 12);
}

TEST_F(AlbumButtonTest, AlbumWithoutTracksShowsTheNoCoverPicture) {
    m_button.SetAlbumId("987654", AlbumButton::RedrawMode::kNoRedraw);
    m_button.LoadAlbumArt(AlbumButton::LoadMode::kNow);
    ASSERT_TRUE(m_button.IsLoaded());
    EXPECT_EQ(m_button.GetAlbumArtURL(), "none");
    const CascadeColor c = CornerColour();
    EXPECT_GT(c.Red(), 200);
    EXPECT_LT(c.Green(), 50);
}

TEST_F(AlbumButtonTest, SongIdZeroNeedsNoRequestAtAll) {
    m_sim.Control("reset");
    m_button.SetSongId("0", AlbumButton::RedrawMode::kNoRedraw);
    m_button.LoadAlbumArt(AlbumButton::LoadMode::kNow);
    EXPECT_EQ(m_button.GetAlbumArtURL(), "none");
    EXPECT_GT(CornerColour().Red(), 200);
    EXPECT_EQ(CoverRequests(), 0);
}

TEST_F(AlbumButtonTest, AnAnswerThatIsNoJpegFallsBackToTheNoCoverFile) {
    const std::string url = "http://127.0.0.1:" + g_portWeb.Std() + "/xml/status.xml";
    m_button.SetAlbumArtURL(url.c_str(), AlbumButton::RedrawMode::kNoRedraw);
    EXPECT_TRUE(m_button.IsLoaded());
    EXPECT_GT(CornerColour().Red(), 200);
    m_button.SetAlbumArtURL("", AlbumButton::RedrawMode::kNoRedraw);
    EXPECT_FALSE(m_button.IsLoaded());
    EXPECT_EQ(m_button.GetCoverDims(), CascadeDims());
}

// A load that is still waiting for the server when the album changes must
// neither keep the old album's song id and cover nor swallow the new request.
TEST_F(AlbumButtonTest, NewestAlbumWinsOverALoadStillWaitingForTheServer) {
    const std::string first = AlbumId("Morning%20Light"), second = AlbumId("Evening%20Shade");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    m_sim.Control("fault cli-delay 400");
    m_button.SetAlbumId(first.c_str(), AlbumButton::RedrawMode::kNoRedraw);
    m_button.LoadAlbumArt(AlbumButton::LoadMode::kAsync);
    ASSERT_TRUE(m_sim.WaitForCliLine("titles 0 1 album_id:" + first + " sort:tracknum"));
    m_button.SetAlbumId(second.c_str(), AlbumButton::RedrawMode::kNoRedraw);
    m_button.LoadAlbumArt(AlbumButton::LoadMode::kAsync);
    m_button.WaitUntilFinished();
    m_sim.Control("fault clear");
    ASSERT_TRUE(m_button.IsLoaded());
    EXPECT_NE(m_button.GetAlbumArtURL().View().find("/music/" + m_button.GetSongId().Std() + "/cover.jpg"),
              std::string::npos);
    EXPECT_NEAR(CornerColour().Red(), 0x60, 12);  // the second album's cover
    EXPECT_TRUE(m_sim.WaitForCliLine("titles 0 1 album_id:" + second + " sort:tracknum", std::chrono::seconds(2)));
}

// The large-font option is parsed after the tiles are built.
TEST(AlbumButtonPaint, TitleFollowsTheLargeFontOptionSetAfterConstruction) {
    const bool saved = g_useLargeFont;
    g_useLargeFont = false;
    AlbumButton small, large;
    auto inkRows = [](AlbumButton& button) {
        button.SetRectAbsolute({0, 0, 200, 60});
        button.SetAlbumArtURL("none", AlbumButton::RedrawMode::kNoRedraw);
        button.SetTitle("Wj");
        CascadeBitmap b;
        EXPECT_TRUE(b.Create({200, 60}));
        b.Clear(CascadeColor(0x000000FFu));
        button.OnPaint(b);
        int top = 60, bottom = -1;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 200; ++x)
                if (CascadeColor::FromARGB(b.GetPixel(x, y)).Red() > 200) top = std::min(top, y), bottom = std::max(bottom, y);
        return bottom - top;
    };
    const int normal = inkRows(small);
    g_useLargeFont = true;
    const int bigger = inkRows(large);
    g_useLargeFont = saved;
    EXPECT_GT(bigger, normal);
}

TEST(AlbumButtonFocus, EmptyOrZeroAlbumIdsRefuseTheFocus) {
    AlbumButton button;
    EXPECT_FALSE(button.WillAcceptFocus());
    button.SetAlbumId("0", AlbumButton::RedrawMode::kNoRedraw);
    EXPECT_FALSE(button.WillAcceptFocus());
    button.SetAlbumId("12", AlbumButton::RedrawMode::kNoRedraw);
    EXPECT_TRUE(button.WillAcceptFocus());
}

TEST(AlbumButtonPaint, ShowsLoadingUntilACoverIsThere) {
    AlbumButton button;
    button.SetRectAbsolute({0, 0, 120, 140});
    CascadeBitmap b;
    ASSERT_TRUE(b.Create({120, 140}));
    b.Clear(CascadeColor(0x000000FFu));
    button.OnPaint(b);
    int lit = 0;
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 120; ++x) lit += b.GetPixel(x, y) != CascadeColor(0x000000FFu).ToARGB();
    EXPECT_GT(lit, 20);  // "Loading..."
}

}  // namespace
