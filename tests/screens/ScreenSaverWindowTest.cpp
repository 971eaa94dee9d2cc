// The screen saver: the panel's bounce on screens of two widths, the black
// it leaves behind, and which keys close it with and without transport keys.
#include "screens/ScreenSaverWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "player/IRCode.h"

namespace {

class Cleared : public ScreenSaverWindow::Client {
public:
    void OnScreenSaverCleared() override { ++count; }
    int count = 0;
};

class ScreenSaverTest : public ScreenFixture {
protected:
    void Show() {
        saver.Attach(context);
        saver.Show(&cleared);
        Paint();
    }
    // One tick: move, then paint as the UI thread does before the next one.
    void Tick() {
        saver.Step();
        Paint();
    }

    ScreenSaverWindow saver;
    Cleared cleared;
};

class ScreenSaverBounce : public ScreenSaverTest, public ::testing::WithParamInterface<const char*> {
protected:
    const char* ScreenSize() const override { return GetParam(); }
};

TEST_P(ScreenSaverBounce, PanelDriftsAndTurnsAtEachEdge) {
    Show();
    const CascadeDims screen = ScreenDims();
    EXPECT_EQ(CascadeRect(0, 0, screen.w, screen.h), saver.GetRectAbsolute());
    EXPECT_EQ(CascadeRect(0, 0, 600, 165), saver.GetPanelRect());
    // The first tick sets the steps to +1 across and +2 down.
    Tick();
    EXPECT_EQ(CascadeRect(1, 2, 600, 165), saver.GetPanelRect());
    const int rightTurn = screen.w - 600;  // 424 at 1024 wide, 680 at 1280
    const int bottomTurn = (screen.h - 165 + 1) / 2 * 2;  // the first even y at or past the bottom
    int x = 1, y = 2, stepX = 1, stepY = 2;
    bool turnedRight = false, turnedBottom = false, backAtLeft = false;
    for (int tick = 0; tick < 2 * screen.w; ++tick) {
        if (x + 600 >= screen.w) stepX = -1, turnedRight = true;
        else if (x == 0) stepX = 1, backAtLeft = turnedRight;
        if (y + 165 >= screen.h) stepY = -2, turnedBottom = true;
        else if (y == 0) stepY = 2;
        x += stepX;
        y += stepY;
        Tick();
        ASSERT_EQ(CascadeRect(x, y, 600, 165), saver.GetPanelRect()) << "tick " << tick;
        ASSERT_LE(x, rightTurn);
        ASSERT_LE(y, bottomTurn);
        ASSERT_GE(y, 0);
    }
    EXPECT_TRUE(turnedRight && turnedBottom && backAtLeft);
}

TEST_P(ScreenSaverBounce, TheRightEdgeTurnsThePanelWhenItsLeftEdgeReachesWidthLess600) {
    Show();
    const int rightTurn = ScreenDims().w - 600;
    while (saver.GetPanelRect().x < rightTurn) Tick();
    EXPECT_EQ(rightTurn, saver.GetPanelRect().x);
    Tick();
    EXPECT_EQ(rightTurn - 1, saver.GetPanelRect().x);
}

INSTANTIATE_TEST_SUITE_P(Widths, ScreenSaverBounce, ::testing::Values("1024x576", "1280x720"));

TEST_F(ScreenSaverTest, TheScreenIsBlackButForThePanelWhereverItMoves) {
    FakeSlimConnection::Status status;
    status.current = FakeSlimConnection::Song("Sleepy Song", "Dozy Band", "Nap Album", "5", "50");
    status.current.secondsTotal = 180;
    server.SetStatus(status);
    player.Play(30);
    Show();
    ASSERT_TRUE(WaitUntil([&] { return saver.GetPanel().GetSong().title == "Sleepy Song"; }));
    for (int i = 0; i < 40; ++i) Tick();
    RepaintAll();
    Screenshot("screensaver");
    const CascadeRect panel = saver.GetPanelRect();
    const CascadeDims screen = ScreenDims();
    // Black everywhere outside the panel, however the screens below repaint.
    EXPECT_EQ(0, CountPixels({0, 0, screen.w, panel.y}, [](uint8_t r, uint8_t g, uint8_t b) { return r | g | b; }));
    EXPECT_EQ(0, CountPixels({0, panel.Bottom(), screen.w, screen.h - panel.Bottom()},
                             [](uint8_t r, uint8_t g, uint8_t b) { return r | g | b; }));
    EXPECT_GT(BrightPixels(panel), 0);
}

struct SaverKeyCase {
    const char* name;
    bool transport;
    bool playing;
    unsigned long key;
    bool closes;
    std::vector<unsigned long> codes;
    bool stops;
};

TEST_F(ScreenSaverTest, KeysCloseItUnlessTransportKeysAreOn) {
    const SaverKeyCase cases[] = {
        {"next closes", false, true, CascadeKeys::kNext, true, {}, false},
        {"select closes", false, true, CascadeKeys::kSelect, true, {}, false},
        {"up closes", false, true, CascadeKeys::kUp, true, {}, false},
        {"no-activity key passes", false, true, CascadeKeys::kNoActivity, false, {}, false},
        {"next skips", true, true, CascadeKeys::kNext, false, {IRCode::kNext}, false},
        {"previous", true, true, CascadeKeys::kPrevious, false, {IRCode::kPrevious}, false},
        {"play", true, false, CascadeKeys::kPlay, false, {IRCode::kPlay}, false},
        {"play/pause while playing pauses", true, true, CascadeKeys::kPlayPause, false, {IRCode::kPause}, false},
        {"play/pause while stopped plays", true, false, CascadeKeys::kPlayPause, false, {IRCode::kPlay}, false},
        {"stop over the command queue", true, true, CascadeKeys::kStop, false, {}, true},
        {"up still closes", true, true, CascadeKeys::kUp, true, {}, false},
        {"menu closes", true, true, CascadeKeys::kMenu, true, {}, false},
    };
    for (const SaverKeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_ssTransport = c.transport;
        if (c.playing)
            player.Play(5);
        else
            player.state = PlayerView::kStopped;
        const std::size_t codesBefore = player.Codes().size();
        server.ClearCalls();
        cleared.count = 0;
        Show();
        ASSERT_TRUE(saver.IsFocus());
        const bool consumed = Key(c.key);
        EXPECT_EQ(c.key != CascadeKeys::kNoActivity, consumed);
        EXPECT_EQ(c.closes, !saver.IsVisible());
        EXPECT_EQ(c.closes ? 1 : 0, cleared.count);
        EXPECT_TRUE(!c.closes || player.display.IsFocus());  // the focus went back
        const std::vector<unsigned long> all = player.Codes();
        EXPECT_EQ(c.codes, std::vector<unsigned long>(all.begin() + long(codesBefore), all.end()));
        EXPECT_EQ(c.stops ? 1 : 0, server.Count("stop"));
        if (saver.IsVisible()) saver.Vanish();
    }
}

}  // namespace
