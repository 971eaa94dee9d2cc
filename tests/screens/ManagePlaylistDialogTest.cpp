#include "screens/ManagePlaylistDialog.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"

#include <gtest/gtest.h>

namespace {

class ManagePlaylistDialogTest : public DialogTest {
protected:
    std::vector<std::string> ShownCommands() {
        std::vector<std::string> commands;
        for (const CascadeWindow* w : ShownChildren<EButton>(m_dialog))
            for (int b = 0; b < ManagePlaylistDialog::kButtonCount; ++b)
                if (w == &m_dialog.GetButton(ManagePlaylistDialog::Button(b)))
                    commands.push_back(ManagePlaylistDialog::CommandOf(ManagePlaylistDialog::Button(b)));
        return commands;
    }
    std::string FocusedCommand() {
        for (int b = 0; b < ManagePlaylistDialog::kButtonCount; ++b)
            if (m_dialog.GetButton(ManagePlaylistDialog::Button(b)).IsFocus())
                return ManagePlaylistDialog::CommandOf(ManagePlaylistDialog::Button(b));
        return "";
    }
    void Fill() {
        m_dialog.SetGenre("Jazz");
        m_dialog.SetArtist("Sigur Rós");
        m_dialog.SetAlbum("Ágætis byrjun");
        m_dialog.SetTitle("Svefn-g-englar");
        m_dialog.SetMatchCount(1234);
    }

    ManagePlaylistDialog m_dialog;
    ManageClientRecorder m_client;
};

struct TypeCase {
    ManagePlaylistDialog::DialogType type;
    std::vector<std::string> buttons;  // left to right; the first is focused
    bool large;
};

TEST_F(ManagePlaylistDialogTest, EachTypeOffersItsButtonsAndEachButtonSendsItsCommand) {
    const TypeCase cases[] = {
        {ManagePlaylistDialog::kLibrarySelection, {"add", "play", "insert"}, true},
        {ManagePlaylistDialog::kSong, {"add", "play", "insert"}, false},
        {ManagePlaylistDialog::kPlaylistEntry, {"remove", "play", "clear"}, false},
        {ManagePlaylistDialog::kFolder, {"open", "add", "play"}, false},
        {ManagePlaylistDialog::kPlaylistFile, {"add", "play", "insert"}, false},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(int(c.type));
        for (std::size_t pick = 0; pick < c.buttons.size(); ++pick) {
            m_client.commands.clear();
            m_dialog.ShowDialog(c.type, &m_client);
            const CascadeBitmap* background =
                c.large ? g_config.GetLargeDialogBackground() : g_config.GetMediumDialogBackground();
            EXPECT_EQ(m_dialog.GetDims(), background->GetDims());
            EXPECT_EQ(ShownCommands(), c.buttons);
            EXPECT_EQ(FocusedCommand(), c.buttons[0]);
            // The buttons sit in one row, 70 pixels above the bottom, 5 apart.
            const auto shown = ShownChildren<EButton>(m_dialog);
            ASSERT_EQ(shown.size(), 3u);
            EXPECT_EQ(shown[0]->GetRectRelative().x, 15);
            EXPECT_EQ(shown[1]->GetRectRelative().x, shown[0]->GetRectRelative().Right() + 5);
            EXPECT_EQ(shown[0]->GetRectRelative().y, m_dialog.GetDims().h - 70);
            EXPECT_LE(shown[2]->GetRectRelative().Right(), m_dialog.GetDims().w) << "the third button fits";
            for (std::size_t i = 0; i < pick; ++i) Press(CascadeKeys::kRight);
            EXPECT_EQ(FocusedCommand(), c.buttons[pick]);
            Press(CascadeKeys::kSelect);
            EXPECT_FALSE(m_dialog.IsVisible());
            EXPECT_EQ(m_client.commands, std::vector<std::string>{c.buttons[pick]});
            EXPECT_TRUE(player.display.IsFocus()) << "the focus goes back";
        }
    }
}

TEST_F(ManagePlaylistDialogTest, ExitClosesWithoutCallingTheClientAndGivesTheFocusBack) {
    m_dialog.ShowDialog(ManagePlaylistDialog::kPlaylistEntry, &m_client);
    Press(CascadeKeys::kRight);
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_TRUE(m_client.commands.empty());
    EXPECT_EQ(m_dialog.GetCommand(), "");
    EXPECT_TRUE(player.display.IsFocus());
    // Other keys stay with the dialog while it is up.
    m_dialog.ShowDialog(ManagePlaylistDialog::kSong, &m_client);
    Press(CascadeKeys::kMenu);
    Press(CascadeKeys::kZoomIn);
    EXPECT_TRUE(m_dialog.IsVisible());
    Press(CascadeKeys::kExit);
}

// Which label rows carry text: a row's text changes the picture only where
// the type shows it.
TEST_F(ManagePlaylistDialogTest, EachTypeShowsItsTextsBesideTheirLabels) {
    struct Case {
        ManagePlaylistDialog::DialogType type;
        int rows;  // label rows drawn
    };
    const Case cases[] = {{ManagePlaylistDialog::kLibrarySelection, 4},
                          {ManagePlaylistDialog::kSong, 2},
                          {ManagePlaylistDialog::kPlaylistEntry, 2},
                          {ManagePlaylistDialog::kFolder, 1},
                          {ManagePlaylistDialog::kPlaylistFile, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        m_dialog.SetGenre("");
        m_dialog.SetArtist("");
        m_dialog.SetAlbum("");
        m_dialog.SetTitle("");
        m_dialog.SetMatchCount(0);
        m_dialog.ShowDialog(c.type, nullptr);
        const CascadeBitmap empty = Copy(Paint());
        Press(CascadeKeys::kExit);
        Fill();
        m_dialog.ShowDialog(c.type, nullptr);
        const CascadeBitmap& filled = Paint();
        const CascadeRect at = m_dialog.GetRectAbsolute();
        for (int row = 0; row < 5; ++row) {
            const CascadeRect text = ManagePlaylistDialog::TextRect(row, at.w).Offset(at.x, at.y);
            if (row < c.rows)
                EXPECT_GT(Differences(empty, filled, text), 20) << "row " << row << " shows its text";
            else
                EXPECT_EQ(Differences(empty, filled, text), 0) << "row " << row << " stays empty";
        }
        if (c.type == ManagePlaylistDialog::kLibrarySelection) Screenshot("manageplaylist-library");
        if (c.type == ManagePlaylistDialog::kPlaylistEntry) Screenshot("manageplaylist-playlistentry");
        if (c.type == ManagePlaylistDialog::kFolder) Screenshot("manageplaylist-folder");
        Press(CascadeKeys::kExit);
    }
}

TEST_F(ManagePlaylistDialogTest, AnUnknownTypeIsShownAsASong) {
    m_dialog.ShowDialog(ManagePlaylistDialog::DialogType(9), &m_client);
    EXPECT_EQ(m_dialog.GetType(), ManagePlaylistDialog::kSong);
    EXPECT_EQ(ShownCommands(), (std::vector<std::string>{"add", "play", "insert"}));
    Press(CascadeKeys::kExit);
}

}  // namespace
