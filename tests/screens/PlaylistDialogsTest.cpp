// The playlist options dialog: what reaches the server and the client for
// each way of closing it, and a skin change reloading every bitmap.
#include "screens/PlaylistOptionsDialog.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "screens/ManagePlaylistDialog.h"

namespace {

namespace K = CascadeKeys;
using Words = std::vector<std::string>;

class PlaylistOptionsTest : public DialogTest, public PlaylistOptionsDialog::Client {
protected:
    using D = PlaylistOptionsDialog;
    void SetUp() override {
        DialogTest::SetUp();
        m_dialog.Attach(context);
        server.SetStatus({.repeat = 2, .shuffle = 1});
    }
    void TearDown() override {
        if (m_dialog.GetKeyboard() && m_dialog.GetKeyboard()->IsVisible()) Press(K::kExit);
        if (m_dialog.IsVisible()) Press(K::kExit);
        DialogTest::TearDown();
    }
    void OnOptionsChanged() override { ++changed; }
    // Shows the dialog and waits until the server's modes are on the spinners.
    void Show() {
        server.ClearCalls();
        m_dialog.ShowDialog(this);
        ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
        RunUiTasks();
        EXPECT_EQ(server.Calls(), (Words{"repeat ?", "shuffle ?"}));
        server.ClearCalls();
    }

    D m_dialog;
    int changed = 0;
};

TEST_F(PlaylistOptionsTest, SelectSendsRepeatAlwaysAndShuffleOnlyWhenChangedOrFocused) {
    // Keys from the repeat spinner, which has the focus at every showing;
    // the shuffle spinner lies below it, the buttons below them.
    const struct {
        const char* name;
        std::vector<unsigned long> keys;
        Words sent;
    } cases[] = {
        {"nothing changed", {K::kSelect}, {"repeat 2"}},
        {"repeat changed", {K::kRight, K::kSelect}, {"repeat 0"}},
        {"shuffle changed", {K::kDown, K::kRight, K::kUp, K::kSelect}, {"repeat 2", "shuffle 2"}},
        {"shuffle focused", {K::kDown, K::kSelect}, {"repeat 2", "shuffle 1"}},
        {"shuffle changed and back", {K::kDown, K::kRight, K::kLeft, K::kUp, K::kSelect}, {"repeat 2"}},
        {"clear playlist", {K::kDown, K::kDown, K::kDown, K::kSelect}, {"clear", "repeat 2"}},
        {"exit", {K::kRight, K::kExit}, {}},
        {"save with no name typed", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        changed = 0;
        Show();
        EXPECT_STREQ(m_dialog.GetSpinner(D::kShuffle).GetCurrentText(), "Song");
        if (&c == &cases[0]) Screenshot("options");
        if (c.keys.empty()) {
            m_dialog.GetButton(D::kSavePlaylist).SetFocus();
            Press(K::kSelect);
            m_dialog.GetKeyboard()->FindKey("Done")->SetFocus();
            Press(K::kSelect);  // back to the options, the save button focused
            EXPECT_TRUE(m_dialog.GetButton(D::kSavePlaylist).IsFocus());
            Press(K::kExit);
        }
        for (unsigned long key : c.keys) Press(key);
        EXPECT_FALSE(m_dialog.IsVisible());
        EXPECT_EQ(server.Calls(), c.sent);
        EXPECT_EQ(changed, c.sent.empty() ? 0 : 1);
        EXPECT_TRUE(player.display.IsFocus());
        EXPECT_TRUE(fakeApp.Read(fakeApp.skinChanges).empty()) << "the skin in use is not loaded again";
    }
}

TEST_F(PlaylistOptionsTest, ChoosingAnotherSkinReloadsEveryBitmapAndTheDisplayColours) {
    // A dialog painted with the skin in use, to compare with afterwards.
    ManagePlaylistDialog action;
    action.ShowDialog(ManagePlaylistDialog::kSong, nullptr);
    const CascadeRect button = action.GetButton(ManagePlaylistDialog::kAdd).GetRectAbsolute();
    const CascadeRect backdrop{action.GetRectAbsolute().x + 20, action.GetRectAbsolute().y + 200, 60, 20};
    const CascadeBitmap before = Copy(Paint());
    Press(K::kExit);

    Show();
    m_dialog.GetSpinner(D::kSkin).SetFocus();
    while (std::string(m_dialog.GetSpinner(D::kSkin).GetCurrentText()) != "Night") Press(K::kRight);
    Press(K::kSelect);
    EXPECT_EQ(fakeApp.Read(fakeApp.skinChanges), Words{"Night"});
    EXPECT_EQ(g_config.GetSkinName(), "Night");
    EXPECT_EQ(g_config.GetDisplayColor(), CascadeColor(255, 150, 70));

    action.ShowDialog(ManagePlaylistDialog::kSong, nullptr);
    const CascadeBitmap& after = Paint();
    EXPECT_GT(Differences(before, after, button), 100) << "the focused button wears the new skin's face";
    EXPECT_EQ(Differences(before, after, backdrop), 0) << "what the skin keeps stays";
    Screenshot("manageplaylist-night");
    Press(K::kExit);
}

}  // namespace
