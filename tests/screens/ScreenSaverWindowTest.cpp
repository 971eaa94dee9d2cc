// The screen saver: the panel's bounce on screens of two widths, the black
// it leaves behind, and which keys close it with and without transport keys.
#include "screens/ScreenSaverWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "player/IRCode.h"

namespace {

class ScreenSaverTest : public ScreenFixture, public ScreenSaverWindow::Client {
protected:
    void OnScreenSaverCleared() override { ++cleared; }
    void Show() {
        saver.Attach(context);
        saver.Show(this);
        Paint();
    }

    ScreenSaverWindow saver;
    int cleared = 0;
};

class ScreenSaverBounce : public ScreenSaverTest, public ::testing::WithParamInterface<const char*> {
protected:
    const char* ScreenSize() const override { return GetParam(); }
};

TEST_P(ScreenSaverBounce, PanelDriftsTurnsAtEachEdgeAndLeavesBlackBehind) {
    Show();
    const CascadeDims screen = ScreenDims();
    EXPECT_EQ(CascadeRect(0, 0, screen.w, screen.h), saver.GetRectAbsolute());
    EXPECT_EQ(CascadeRect(0, 0, 600, 165), saver.GetPanelRect());
    // The first tick sets the steps to +1 across and +2 down; the panel
    // turns when its left edge reaches width - 600 and its top passes
    // height - 165.
    int x = 0, y = 0, stepX = 1, stepY = 2;
    bool turnedRight = false, turnedBottom = false, backAtLeft = false;
    for (int tick = 0; tick < 2 * screen.w; ++tick) {
        if (x + 600 >= screen.w)
            stepX = -1, turnedRight = true;
        else if (x == 0)
            stepX = 1, backAtLeft = turnedRight;
        if (y + 165 >= screen.h)
            stepY = -2, turnedBottom = true;
        else if (y == 0)
            stepY = 2;
        x += stepX;
        y += stepY;
        saver.Step();
        Paint();  // as the UI thread does before the next tick
        ASSERT_EQ(CascadeRect(x, y, 600, 165), saver.GetPanelRect()) << "tick " << tick;
        ASSERT_LE(x, screen.w - 600);
        ASSERT_GE(y, 0);
    }
    EXPECT_TRUE(turnedRight && turnedBottom && backAtLeft);
    RepaintAll();
    Screenshot(std::string("screensaver-") + GetParam());
    const CascadeRect panel = saver.GetPanelRect();
    const auto lit = [](uint8_t r, uint8_t g, uint8_t b) { return (r | g | b) != 0; };
    EXPECT_EQ(0, CountPixels({0, 0, screen.w, panel.y}, lit));
    EXPECT_EQ(0, CountPixels({0, panel.Bottom(), screen.w, screen.h - panel.Bottom()}, lit));
    EXPECT_GT(BrightPixels(panel), 0);
}

INSTANTIATE_TEST_SUITE_P(Widths, ScreenSaverBounce, ::testing::Values("1024x576", "1280x720"));

TEST_F(ScreenSaverTest, KeysCloseItUnlessTransportKeysAreOn) {
    const struct {
        const char* name;
        bool transport, playing;
        unsigned long key;
        bool closes;
        std::vector<unsigned long> codes;
        bool stops;
    } cases[] = {
        {"next closes", false, true, CascadeKeys::kNext, true, {}, false},
        {"no-activity key passes", false, true, CascadeKeys::kNoActivity, false, {}, false},
        {"next skips", true, true, CascadeKeys::kNext, false, {IRCode::kNext}, false},
        {"play/pause while playing pauses", true, true, CascadeKeys::kPlayPause, false, {IRCode::kPause}, false},
        {"play/pause while stopped plays", true, false, CascadeKeys::kPlayPause, false, {IRCode::kPlay}, false},
        {"stop over the command queue", true, true, CascadeKeys::kStop, false, {}, true},
        {"menu still closes", true, true, CascadeKeys::kMenu, true, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_ssTransport = c.transport;
        player.Play(5);
        if (!c.playing) player.state = PlayerView::kStopped;
        const std::size_t codesBefore = player.Codes().size();
        server.ClearCalls();
        cleared = 0;
        Show();
        ASSERT_TRUE(saver.IsFocus());
        EXPECT_EQ(c.key != CascadeKeys::kNoActivity, Key(c.key));
        EXPECT_EQ(c.closes, !saver.IsVisible());
        EXPECT_EQ(c.closes ? 1 : 0, cleared);
        EXPECT_TRUE(!c.closes || player.display.IsFocus());  // the focus went back
        const std::vector<unsigned long> all = player.Codes();
        EXPECT_EQ(c.codes, std::vector<unsigned long>(all.begin() + long(codesBefore), all.end()));
        EXPECT_EQ(c.stops ? 1 : 0, server.Count("stop"));
        if (saver.IsVisible()) saver.Vanish();
    }
}

}  // namespace
