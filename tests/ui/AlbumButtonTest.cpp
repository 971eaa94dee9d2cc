#include "ui/AlbumButton.h"

#include "app/base/AppSettings.h"
#include "server/SlimCLIConnection.h"
#include "support/Pixels.h"
#include "support/SlimSimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>

namespace {

// The colour a tile paints in the middle of its cover's top-left corner band.
CascadeColor CornerColour(AlbumButton& button) {
    CascadeBitmap b = FilledBitmap(button.GetDims(), CascadeColor(0u));
    button.OnPaint(b);
    const CascadeRect r = button.GetCoverRect();
    return CascadeColor::FromARGB(b.GetPixel(r.x + 6, r.y + 6));
}

// A load still waiting for the server when the album changes must neither
// keep the old album's song id and cover (the ids are checked again once the
// server answered) nor swallow the new request: the newest load wins. The
// simulator's covers are plain squares of one colour per album.
TEST(AlbumButtonTest, TheNewestAlbumWinsOverALoadStillWaitingForTheServer) {
    SlimSimulator sim;
    ASSERT_TRUE(sim.Start());
    SlimCLIConnection cli;
    ASSERT_TRUE(cli.Connect("127.0.0.1", sim.GetPorts().cli));
    const CascadeString savedWebPort = g_portWeb;
    g_portWeb = std::to_string(sim.GetPorts().web);
    cli.SetWebPort(g_portWeb);
    AlbumButton button(&cli);
    button.SetRectAbsolute({0, 0, 210, 221});
    const std::string albums = sim.Cli("albums 0 100");
    std::smatch first, second;
    ASSERT_TRUE(std::regex_search(albums, first, std::regex("id%3A(\\d+) album%3AMorning%20Light")));
    ASSERT_TRUE(std::regex_search(albums, second, std::regex("id%3A(\\d+) album%3AEvening%20Shade")));
    sim.Control("fault cli-delay 400");
    button.SetAlbumId(first.str(1).c_str(), AlbumButton::RedrawMode::kNoRedraw);
    button.LoadAlbumArt(AlbumButton::LoadMode::kAsync);
    ASSERT_TRUE(sim.WaitForCliLine("titles 0 1 album_id:" + first.str(1) + " sort:tracknum"));
    button.SetAlbumId(second.str(1).c_str(), AlbumButton::RedrawMode::kNoRedraw);
    button.LoadAlbumArt(AlbumButton::LoadMode::kAsync);
    button.WaitUntilFinished();
    sim.Control("fault clear");
    ASSERT_TRUE(button.IsLoaded());
    EXPECT_NE(std::string::npos,
              button.GetAlbumArtURL().View().find("/music/" + button.GetSongId().Std() + "/cover.jpg"));
    EXPECT_EQ(CascadeDims(200, 200), button.GetCoverDims());  // decoded at the size it is shown
    EXPECT_NEAR(0x60, CornerColour(button).Red(), 12);        // the second album's cover
    EXPECT_TRUE(sim.WaitForCliLine("titles 0 1 album_id:" + second.str(1) + " sort:tracknum", std::chrono::seconds(2)));
    g_portWeb = savedWebPort;
}

// The large-font option is parsed after the tiles are built: the title's
// font is chosen when it is painted.
TEST(AlbumButtonTest, TheTitleFollowsTheLargeFontOptionSetAfterConstruction) {
    const bool saved = g_useLargeFont;
    g_useLargeFont = false;
    AlbumButton small, large;
    auto inkPixels = [](AlbumButton& button) {
        button.SetRectAbsolute({0, 0, 200, 60});
        button.SetAlbumArtURL("none", AlbumButton::RedrawMode::kNoRedraw);
        button.SetTitle("Wj");
        CascadeBitmap b = FilledBitmap({200, 60}, CascadeColor(0x000000FFu));
        button.OnPaint(b);
        return std::count_if(b.GetPixels(), b.GetPixels() + 200 * 60,
                             [](uint32_t p) { return CascadeColor::FromARGB(p).Red() > 200; });
    };
    const int normal = inkPixels(small);
    g_useLargeFont = true;
    const int bigger = inkPixels(large);
    g_useLargeFont = saved;
    EXPECT_GT(bigger, normal);
}

}  // namespace
