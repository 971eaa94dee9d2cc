#include "screens/PlaylistOptionsDialog.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"
#include "screens/ManagePlaylistDialog.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

namespace {

class OptionsClientRecorder : public PlaylistOptionsDialog::Client {
public:
    void OnOptionsChanged() override { ++calls; }
    int calls = 0;
};

class PlaylistOptionsDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        m_dialog.Attach(context);
        server.SetModes(2, 1);
    }
    void TearDown() override {
        if (m_dialog.GetKeyboard() && m_dialog.GetKeyboard()->IsVisible()) Press(CascadeKeys::kExit);
        if (m_dialog.IsVisible()) Press(CascadeKeys::kExit);
        DialogTest::TearDown();
    }
    // Shows the dialog and waits until the server's modes are on the spinners.
    void Show() {
        m_dialog.ShowDialog(&m_client);
        ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
        RunUiTasks();
        server.ClearCalls();
    }
    int SpinnerIndex(PlaylistOptionsDialog::Spinner s) { return m_dialog.GetSpinner(s).GetCurrentIndex(); }
    void TypeOnKeyboard(const std::string& text) {
        KeyboardWindow* keyboard = m_dialog.GetKeyboard();
        ASSERT_NE(keyboard, nullptr);
        for (char c : text) {
            if (c == ' ') {
                Press(CascadeKeys::kNext);
                continue;
            }
            if (bool(std::isupper(static_cast<unsigned char>(c))) != keyboard->IsShifted()) {
                keyboard->FindKey("Shift")->SetFocus();
                Press(CascadeKeys::kSelect);
            }
            KeyboardWindow::Key* key = keyboard->FindKey(std::string(1, c).c_str());
            ASSERT_NE(key, nullptr) << c;
            key->SetFocus();
            Press(CascadeKeys::kSelect);
        }
    }

    PlaylistOptionsDialog m_dialog;
    OptionsClientRecorder m_client;
};

TEST_F(PlaylistOptionsDialogTest, OpensOnTheServersModesAndTheSkinInUse) {
    m_dialog.ShowDialog(&m_client);
    EXPECT_TRUE(m_dialog.GetSpinner(PlaylistOptionsDialog::kRepeat).IsFocus());
    ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    RunUiTasks();
    EXPECT_EQ(server.Calls(), (std::vector<std::string>{"repeat ?", "shuffle ?"}));
    EXPECT_STREQ(m_dialog.GetSpinner(PlaylistOptionsDialog::kRepeat).GetCurrentText(), "All");
    EXPECT_STREQ(m_dialog.GetSpinner(PlaylistOptionsDialog::kShuffle).GetCurrentText(), "Song");
    EXPECT_STREQ(m_dialog.GetSpinner(PlaylistOptionsDialog::kSkin).GetCurrentText(), "Default");
    EXPECT_EQ(m_dialog.GetDims(), g_config.GetSmallDialogBackground()->GetDims());
    Screenshot("options");
}

struct ApplyCase {
    const char* name;
    std::function<void(PlaylistOptionsDialog&)> before;  // focus moves and spinner steps
    std::vector<std::string> sent;
};

TEST_F(PlaylistOptionsDialogTest, SelectSendsRepeatAlwaysAndShuffleOnlyWhenChangedOrFocused) {
    using D = PlaylistOptionsDialog;
    const ApplyCase cases[] = {
        {"nothing changed", [](D&) {}, {"repeat 2"}},
        {"repeat changed", [this](D&) { Press(CascadeKeys::kRight); }, {"repeat 0"}},
        {"shuffle changed",
         [this](D& d) {
             d.GetSpinner(D::kShuffle).SetFocus();
             Press(CascadeKeys::kRight);
             d.GetSpinner(D::kRepeat).SetFocus();
         },
         {"repeat 2", "shuffle 2"}},
        {"shuffle focused", [](D& d) { d.GetSpinner(D::kShuffle).SetFocus(); }, {"repeat 2", "shuffle 1"}},
        {"shuffle changed and back",
         [this](D& d) {
             d.GetSpinner(D::kShuffle).SetFocus();
             Press(CascadeKeys::kRight);
             Press(CascadeKeys::kLeft);
             d.GetSpinner(D::kRepeat).SetFocus();
         },
         {"repeat 2"}},
        {"clear playlist", [](D& d) { d.GetButton(D::kClearPlaylist).SetFocus(); },
         {"clear", "repeat 2"}},
    };
    for (const ApplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetModes(2, 1);
        m_client.calls = 0;
        Show();
        c.before(m_dialog);
        Press(CascadeKeys::kSelect);
        EXPECT_FALSE(m_dialog.IsVisible());
        EXPECT_EQ(server.Calls(), c.sent);
        EXPECT_EQ(m_client.calls, 1);
        EXPECT_TRUE(player.display.IsFocus());
        EXPECT_TRUE(fakeApp.SkinChanges().empty()) << "the skin in use is not loaded again";
    }
}

TEST_F(PlaylistOptionsDialogTest, ExitClosesWithoutSendingOrCallingTheClient) {
    Show();
    Press(CascadeKeys::kRight);
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_TRUE(server.Calls().empty());
    EXPECT_EQ(m_client.calls, 0);
    EXPECT_TRUE(player.display.IsFocus());
}

TEST_F(PlaylistOptionsDialogTest, SavesThePlaylistUnderTheNameTypedOnTheKeyboard) {
    Show();
    m_dialog.GetButton(PlaylistOptionsDialog::kSavePlaylist).SetFocus();
    Press(CascadeKeys::kSelect);
    ASSERT_NE(m_dialog.GetKeyboard(), nullptr);
    EXPECT_TRUE(m_dialog.GetKeyboard()->IsVisible());
    EXPECT_TRUE(m_dialog.IsVisible()) << "the options stay under the keyboard";
    EXPECT_TRUE(server.Calls().empty());
    TypeOnKeyboard("Party Mix: 50% off");
    Screenshot("options-keyboard");
    m_dialog.GetKeyboard()->FindKey("Done")->SetFocus();
    Press(CascadeKeys::kSelect);
    EXPECT_FALSE(m_dialog.GetKeyboard()->IsVisible());
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_EQ(server.Calls(), std::vector<std::string>{"save Party Mix: 50% off"});
    EXPECT_EQ(m_client.calls, 1);
    EXPECT_TRUE(player.display.IsFocus());
}

TEST_F(PlaylistOptionsDialogTest, AnEmptyNameDoesNotSaveAndKeyboardExitReturnsToTheOptions) {
    Show();
    m_dialog.GetButton(PlaylistOptionsDialog::kSavePlaylist).SetFocus();
    Press(CascadeKeys::kSelect);
    m_dialog.GetKeyboard()->FindKey("Done")->SetFocus();
    Press(CascadeKeys::kSelect);  // Done with nothing typed
    EXPECT_TRUE(m_dialog.IsVisible());
    EXPECT_TRUE(m_dialog.GetButton(PlaylistOptionsDialog::kSavePlaylist).IsFocus()) << "the focus came back";

    Press(CascadeKeys::kSelect);  // a new keyboard
    TypeOnKeyboard("abc");
    Press(CascadeKeys::kExit);  // leaves the keyboard only
    EXPECT_TRUE(m_dialog.IsVisible());
    EXPECT_TRUE(server.Calls().empty());
    Press(CascadeKeys::kExit);
    EXPECT_EQ(m_client.calls, 0);
}

TEST_F(PlaylistOptionsDialogTest, ChoosingAnotherSkinReloadsEveryBitmapAndTheDisplayColours) {
    // A dialog painted with the skin in use, to compare with afterwards.
    ManagePlaylistDialog action;
    action.ShowDialog(ManagePlaylistDialog::kSong, nullptr);
    const CascadeRect button = action.GetButton(ManagePlaylistDialog::kAdd).GetRectAbsolute();
    const CascadeRect backdrop{action.GetRectAbsolute().x + 20, action.GetRectAbsolute().y + 200, 60, 20};
    const CascadeBitmap before = Copy(Paint());
    Press(CascadeKeys::kExit);
    const CascadeColor defaultDisplay = g_config.GetDisplayColor();

    Show();
    m_dialog.GetSpinner(PlaylistOptionsDialog::kSkin).SetFocus();
    const int skins = m_dialog.GetSpinner(PlaylistOptionsDialog::kSkin).GetItemCount();
    ASSERT_GE(skins, 2);
    while (std::string(m_dialog.GetSpinner(PlaylistOptionsDialog::kSkin).GetCurrentText()) != "Night")
        Press(CascadeKeys::kRight);
    testing::internal::CaptureStdout();
    Press(CascadeKeys::kSelect);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("resettings skin\n"), std::string::npos);
    EXPECT_EQ(fakeApp.SkinChanges(), std::vector<std::string>{"Night"});
    EXPECT_EQ(g_config.GetSkinName(), "Night");
    EXPECT_NE(g_config.GetDisplayColor(), defaultDisplay);
    EXPECT_EQ(g_config.GetDisplayColor(), CascadeColor(255, 150, 70));

    action.ShowDialog(ManagePlaylistDialog::kSong, nullptr);
    const CascadeBitmap& after = Paint();
    EXPECT_GT(Differences(before, after, button), 100) << "the focused button wears the new skin's face";
    EXPECT_EQ(Differences(before, after, backdrop), 0) << "what the skin keeps stays";
    Screenshot("manageplaylist-night");
    Press(CascadeKeys::kExit);

    // Opened again, the spinner shows the new skin; choosing it again loads nothing.
    fakeApp.ClearSkinChanges();
    Show();
    EXPECT_STREQ(m_dialog.GetSpinner(PlaylistOptionsDialog::kSkin).GetCurrentText(), "Night");
    testing::internal::CaptureStdout();
    Press(CascadeKeys::kSelect);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("resettings skin"), std::string::npos);
    EXPECT_TRUE(fakeApp.SkinChanges().empty());
}

TEST(PlaylistOptionsSkins, FindsAtMostTenSkinDirectoriesWithADescription) {
    ScopedTempDir temp("quendrel-skins");
    std::vector<std::string> expected;
    for (int i = 0; i < 13; ++i) {
        const std::string name = "Skin" + std::string(1, char('A' + i));
        std::filesystem::create_directories(temp.File(name));
        if (i != 2) {
            ASSERT_TRUE(temp.WriteFile(name + "/Configuration.xml", "<skin/>"));
        }
        if (i != 2 && expected.size() < 10) expected.push_back(name);
    }
    std::filesystem::create_directories(temp.File("NotASkin"));
    std::vector<std::string> found;
    for (const CascadeString& s : PlaylistOptionsDialog::FindSkins(temp.Path().c_str())) found.push_back(s.Std());
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(PlaylistOptionsDialog::FindSkins("/nonexistent/images").empty());
}

}  // namespace
