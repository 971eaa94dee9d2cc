// The main menu, the exit question, the please-wait window and the mini
// panel: the command each key gives, where the focus goes, where each one
// sits and what it paints.
#include "platform/CascadeKeys.h"
#include "screens/BrowseMusicMenu.h"
#include "screens/ExitDialog.h"
#include "screens/PleaseWaitWindow.h"
#include "screens/SmallInfoWindow.h"

#include "ScreenFixture.h"

#include <optional>

namespace {

class Recorder : public BrowseMusicMenu::Client, public ExitDialog::Client {
public:
    void OnMenuCommand(const CascadeString& command) override { menu.push_back(command.Std()); }
    void OnExitCommand(const CascadeString& command) override { exit.push_back(command.Std()); }
    std::vector<std::string> menu, exit;
};

class MenuTest : public DialogTest {
protected:
    bool Centred(const CascadeRect& rect) {
        const CascadeDims screen = ScreenDims();
        return std::abs(rect.x * 2 + rect.w - screen.w) <= 1 && std::abs(rect.y * 2 + rect.h - screen.h) <= 1;
    }
    Recorder recorder;
};

struct MenuCase {
    std::vector<unsigned long> keys;
    const char* command;
};

TEST_F(MenuTest, MenuKeysGiveTheChoiceAndAlwaysTellTheClient) {
    const MenuCase cases[] = {
        {{CascadeKeys::kSelect}, "library"},
        {{CascadeKeys::kDown, CascadeKeys::kSelect}, "playlists"},
        {{CascadeKeys::kDown, CascadeKeys::kDown, CascadeKeys::kSelect}, "folders"},
        {{CascadeKeys::kDown, CascadeKeys::kDown, CascadeKeys::kDown, CascadeKeys::kSelect}, "coverart"},
        {{CascadeKeys::kDown, CascadeKeys::kDown, CascadeKeys::kDown, CascadeKeys::kDown, CascadeKeys::kSelect},
         "radio"},
        {{CascadeKeys::kDown, CascadeKeys::kDown, CascadeKeys::kExit}, ""},
        // The library button takes the focus at every showing.
        {{CascadeKeys::kUp, CascadeKeys::kSelect}, "library"},
        {{CascadeKeys::kPlay, CascadeKeys::kOptions, CascadeKeys::kSelect}, "library"},
    };
    BrowseMusicMenu menu;
    for (const MenuCase& c : cases) {
        SCOPED_TRACE(c.command);
        recorder.menu.clear();
        menu.ShowDialog(&recorder);
        Paint();
        ASSERT_TRUE(menu.IsVisible());
        EXPECT_TRUE(Centred(menu.GetRectAbsolute()));
        if (std::string(c.command) == "radio") Screenshot("menu");
        for (unsigned long key : c.keys) (void)Key(key);
        EXPECT_FALSE(menu.IsVisible());
        EXPECT_EQ(std::vector<std::string>{c.command}, recorder.menu);
        EXPECT_TRUE(player.display.IsFocus());
    }
}

struct ExitCase {
    std::vector<unsigned long> keys;
    std::optional<std::string> command;  // none: the client is not called
};

TEST_F(MenuTest, ExitQuestionGivesExitOrHideAndTheExitKeyOnlyCloses) {
    const ExitCase cases[] = {
        {{CascadeKeys::kSelect}, "exit"},
        {{CascadeKeys::kRight, CascadeKeys::kSelect}, "hide"},
        {{CascadeKeys::kRight, CascadeKeys::kLeft, CascadeKeys::kSelect}, "exit"},
        {{CascadeKeys::kExit}, std::nullopt},
        {{CascadeKeys::kRight, CascadeKeys::kExit}, std::nullopt},
        {{CascadeKeys::kMenu, CascadeKeys::kNext, CascadeKeys::kSelect}, "exit"},
    };
    ExitDialog dialog;
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.command.value_or("(none)"));
        recorder.exit.clear();
        dialog.ShowDialog(&recorder);
        Paint();
        EXPECT_TRUE(Centred(dialog.GetRectAbsolute()));
        if (c.keys.size() == 2 && c.command == "hide") {
            // The hide button focused.
            (void)Key(c.keys[0]);
            Paint();
            Screenshot("exit-question");
            (void)Key(c.keys[1]);
        } else {
            for (unsigned long key : c.keys) (void)Key(key);
        }
        EXPECT_FALSE(dialog.IsVisible());
        EXPECT_EQ(c.command ? std::vector<std::string>{*c.command} : std::vector<std::string>{}, recorder.exit);
        EXPECT_TRUE(player.display.IsFocus());
    }
}

TEST_F(MenuTest, PleaseWaitSwallowsKeysAndGivesTheFocusToTheNamedWindow) {
    PleaseWaitWindow wait;
    wait.Show();
    wait.SetText("Loading Favorites...");
    Paint();
    Screenshot("please-wait");
    EXPECT_TRUE(wait.HasPainted());
    EXPECT_TRUE(Centred(wait.GetRectAbsolute()));
    const CascadeRect r = wait.GetRectAbsolute();
    EXPECT_GT(CountPixels({r.x, r.y + 85, r.w, r.h - 85}, [](uint8_t red, uint8_t g, uint8_t b) {
                  return red == 255 && g == 255 && b == 255;
              }),
              0);
    for (unsigned long key : {CascadeKeys::kSelect, CascadeKeys::kExit, CascadeKeys::kDown, CascadeKeys::kMenu})
        EXPECT_TRUE(Key(key));
    EXPECT_TRUE(wait.IsFocus());
    EXPECT_TRUE(wait.IsVisible());

    // Closed with a window named for the focus: that one gets it.
    class Focusable : public CascadeWindow {
    } named;
    named.SetRectAbsolute({10, 10, 50, 50});
    named.Materialize(1);
    wait.SetFocusToRestore(&named);
    wait.Vanish();
    EXPECT_TRUE(named.IsFocus());
    EXPECT_FALSE(wait.HasPainted());
    // Shown again without a name: the window that had the focus gets it back.
    player.display.SetFocus();
    wait.Show();
    wait.Vanish();
    EXPECT_TRUE(player.display.IsFocus());
}

TEST_F(MenuTest, MiniPanelSitsAtTheBottomRightAndNeverTakesTheFocus) {
    FakeSlimConnection::Status status;
    status.current = FakeSlimConnection::Song("Hidden Song", "Quiet Artist", "An Album", "4", "40");
    server.SetStatus(status);
    SmallInfoWindow mini;
    mini.Attach(context);
    mini.Show();
    ASSERT_TRUE(WaitUntil([&] { return mini.GetPanel().GetSong().title == "Hidden Song"; }));
    RepaintAll();
    Screenshot("mini-panel");
    const CascadeRect r = mini.GetRectAbsolute();
    const CascadeDims screen = ScreenDims();
    EXPECT_EQ(screen.w - 20, r.Right());
    EXPECT_EQ(screen.h - 20, r.Bottom());
    EXPECT_TRUE(player.display.IsFocus());
    EXPECT_TRUE(mini.GetPanel().IsUpdating());
    EXPECT_EQ("Hidden Song", mini.GetPanel().GetSong().title);
    EXPECT_GT(BrightPixels(r), 0);
    mini.Vanish();
    EXPECT_FALSE(mini.GetPanel().IsUpdating());
}

}  // namespace
