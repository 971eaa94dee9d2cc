// The small dialogs over the player display: the main menu, the exit
// question, the playlist action dialog and the on-screen keyboard: the
// command each key gives, where the focus goes and what each one paints.
#include "platform/CascadeKeys.h"
#include "screens/BrowseMusicMenu.h"
#include "screens/ExitDialog.h"
#include "screens/KeyboardWindow.h"
#include "screens/ManagePlaylistDialog.h"
#include "ui/DialogImages.h"

#include "ScreenFixture.h"

namespace {

namespace K = CascadeKeys;
using Keys = std::vector<unsigned long>;
using Words = std::vector<std::string>;

class DialogsTest : public DialogTest, public BrowseMusicMenu::Client, public ExitDialog::Client {
protected:
    void OnMenuCommand(const CascadeString& command) override { told.push_back(command.Std()); }
    void OnExitCommand(const CascadeString& command) override { told.push_back(command.Std()); }
    Words told;
};

TEST_F(DialogsTest, MenuAndExitQuestionTellTheirClientTheChoiceAndGiveTheFocusBack) {
    BrowseMusicMenu menu;
    ExitDialog question;
    const struct {
        bool menu;
        Keys keys;
        Words told;
    } cases[] = {
        {true, {K::kSelect}, {"library"}},
        {true, {K::kDown, K::kSelect}, {"playlists"}},
        {true, {K::kDown, K::kDown, K::kDown, K::kDown, K::kSelect}, {"radio"}},
        {true, {K::kDown, K::kDown, K::kExit}, {""}},  // Exit tells the menu's client too
        {true, {K::kUp, K::kSelect}, {"library"}},     // the library button takes the focus at every showing
        {true, {K::kPlay, K::kOptions, K::kSelect}, {"library"}},
        {false, {K::kSelect}, {"exit"}},
        {false, {K::kRight, K::kSelect}, {"hide"}},
        {false, {K::kRight, K::kExit}, {}},  // the question's Exit key only closes
        {false, {K::kMenu, K::kNext, K::kSelect}, {"exit"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.menu ? "menu " : "question ") << c.keys.size() << " keys");
        told.clear();
        c.menu ? menu.ShowDialog(this) : question.ShowDialog(this);
        const CascadeWindow& dialog = c.menu ? static_cast<const CascadeWindow&>(menu) : question;
        const CascadeRect at = dialog.GetRectAbsolute();  // centred
        EXPECT_LE(std::abs(at.x * 2 + at.w - ScreenDims().w), 1);
        EXPECT_LE(std::abs(at.y * 2 + at.h - ScreenDims().h), 1);
        if (&c == &cases[0] || &c == &cases[6]) Screenshot(c.menu ? "menu" : "exit-question");
        for (unsigned long key : c.keys) Press(key);
        EXPECT_FALSE(dialog.IsVisible());
        EXPECT_EQ(c.told, told);
        EXPECT_TRUE(player.display.IsFocus());
    }
}

TEST_F(DialogsTest, EachActionDialogTypeOffersItsButtonsAndTextsAndEachButtonSendsItsCommand) {
    using D = ManagePlaylistDialog;
    const struct {
        D::DialogType type;
        Words buttons;  // left to right; the first is focused
        int textRows;   // label rows with their text drawn
    } cases[] = {
        {D::kLibrarySelection, {"add", "play", "insert"}, 4}, {D::kSong, {"add", "play", "insert"}, 2},
        {D::kPlaylistEntry, {"remove", "play", "clear"}, 2},  {D::kFolder, {"open", "add", "play"}, 1},
        {D::kPlaylistFile, {"add", "play", "insert"}, 1},
    };
    D blank, dialog;
    ManageClientRecorder client;
    dialog.SetGenre("Jazz");
    dialog.SetArtist("Sigur Rós");
    dialog.SetAlbum("Ágætis byrjun");
    dialog.SetTitle("Svefn-g-englar");
    dialog.SetMatchCount(1234);
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type));
        // Which label rows carry text: the texts change the picture only where the type shows them.
        blank.ShowDialog(c.type, nullptr);
        const CascadeBitmap empty = Copy(Paint());
        Press(K::kExit);
        // Each button in turn, then Exit (-1), which tells no one.
        for (int pick = 0; pick <= 3; ++pick) {
            client.commands.clear();
            dialog.ShowDialog(c.type, &client);
            const CascadeRect at = dialog.GetRectAbsolute();
            if (pick == 0) {
                const CascadeBitmap& filled = Paint();
                for (int row = 0; row < 5; ++row) {
                    const int changed = Differences(empty, filled, D::TextRect(row, at.w).Offset(at.x, at.y));
                    EXPECT_EQ(row<c.textRows, changed> 20) << "row " << row;
                }
                Screenshot("manageplaylist-" + std::to_string(int(c.type)));
            }
            for (int b = 0; b < D::kButtonCount; ++b) {
                const EButton& button = dialog.GetButton(D::Button(b));
                EXPECT_LE(button.IsShown() ? button.GetRectRelative().Right() : 0, at.w) << "every button fits";
            }
            Words expected;
            if (pick < 3) {
                for (int i = 0; i < pick; ++i) Press(K::kRight);
                // Other keys stay with the dialog.
                Press(K::kMenu, K::kSelect);
                expected.push_back(c.buttons[std::size_t(pick)]);
            } else {
                Press(K::kRight, K::kExit);
            }
            EXPECT_FALSE(dialog.IsVisible());
            EXPECT_EQ(client.commands, expected);
            EXPECT_TRUE(player.display.IsFocus()) << "the focus goes back";
        }
    }
}

TEST_F(DialogsTest, KeyboardArrowKeysMoveAlongTheRowsAndBetweenThem) {
    CascadeBitmap title;
    DialogImages::Load(title, "images/title_saveplaylist.png");
    KeyboardWindow keyboard;
    keyboard.ShowDialog(&title, nullptr);
    EXPECT_TRUE(keyboard.FindKey("0")->IsFocus());
    Screenshot("keyboard");
    const struct {
        const char* from;
        unsigned long arrow;
        const char* to;  // "" : the focus stays
    } moves[] = {
        {"0", K::kRight, "1"},       {"1", K::kDown, "b"},      {"0", K::kLeft, ""},          {"9", K::kRight, ""},
        {"0", K::kUp, ""},           {"z", K::kRight, "Shift"}, {"Shift", K::kRight, "Done"}, {"Done", K::kRight, ""},
        {"Done", K::kLeft, "Shift"}, {"r", K::kDown, "Shift"},  {"t", K::kDown, "Done"},      {"Shift", K::kDown, "'"},
        {"Shift", K::kUp, "r"},      {"?", K::kUp, "Done"},     {"-", K::kUp, "u"},           {"u", K::kDown, "-"},
        {"-", K::kDown, ""},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(std::string(m.from) + " -> " + m.to);
        KeyboardWindow::Key* from = keyboard.FindKey(m.from);
        ASSERT_NE(from, nullptr);
        from->SetFocus();
        Press(m.arrow);
        const KeyboardWindow::Key* to = *m.to ? keyboard.FindKey(m.to) : from;
        ASSERT_NE(to, nullptr);
        EXPECT_TRUE(to->IsFocus());
    }
    Press(K::kExit);
}

}  // namespace
