#include "screens/PlaylistsWindow.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"

#include <gtest/gtest.h>

namespace {

class PlaylistsClientRecorder : public PlaylistsWindow::Client {
public:
    void OnPlaylistsCommand(const CascadeString& command, unsigned long index) override {
        commands.push_back(command.Std() + " " + std::to_string(index));
    }
    std::vector<std::string> commands;
};

class PlaylistsWindowTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        g_useLargeFont = 1;  // rows of 25: 9 to a page
        g_wrapAround = 0;
        m_window.Attach(context);
    }
    void TearDown() override {
        if (m_window.IsVisible()) Press(CascadeKeys::kExit);
        DialogTest::TearDown();
    }
    void AddPlaylists(int count) {
        std::vector<BrowseEntry> playlists;
        for (int i = 1; i <= count; ++i) {
            BrowseEntry e;
            e.name = i == 1 ? "Ünïcödé: 100% «live»" : "Playlist " + std::to_string(i);
            e.id = std::to_string(1000 + i);
            playlists.push_back(e);
        }
        server.SetPlaylists(playlists);
    }
    void Show() {
        m_window.ShowDialog(&m_client);
        ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    }
    void Key(unsigned long key) {
        Press(key);
        ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    }
    std::string Selected() {
        const EListView::ListItem* row = m_window.GetList().GetSelectedItem();
        return row ? row->GetCell(0) : "";
    }

    PlaylistsWindow m_window;
    PlaylistsClientRecorder m_client;
};

TEST_F(PlaylistsWindowTest, ShowsTheFirstPageAndAsksTheServerAgainOnEveryPageChange) {
    AddPlaylists(20);
    Show();
    ASSERT_EQ(m_window.GetRowsPerPage(), 9u);
    EXPECT_EQ(m_window.GetPageLabel(), "Page 1 of 3");
    EXPECT_EQ(m_window.GetList().ItemCount(), 9u);
    EXPECT_EQ(Selected(), "Ünïcödé: 100% «live»");
    EXPECT_TRUE(m_window.GetList().IsFocus());
    Screenshot("playlists");

    Key(CascadeKeys::kZoomIn);  // page 1 back: the last page, the count being known
    EXPECT_EQ(m_window.GetPageLabel(), "Page 3 of 3");
    EXPECT_EQ(m_window.GetList().ItemCount(), 2u);
    Key(CascadeKeys::kZoomOut);  // past the last: page 1
    EXPECT_EQ(m_window.GetPage(), 1);
    Key(CascadeKeys::kZoomOut);
    EXPECT_EQ(m_window.GetPage(), 2);
    EXPECT_EQ(server.Calls(),
              (std::vector<std::string>{"playlists 0 9", "playlists 18 9", "playlists 0 9", "playlists 9 9"}));
}

TEST_F(PlaylistsWindowTest, UpAndDownGoOnToTheNeighbouringPageOrWrapInsideIt) {
    AddPlaylists(20);
    Show();
    Key(CascadeKeys::kUp);  // row 0 of page 1: the last page, its last row
    EXPECT_EQ(m_window.GetPage(), 3);
    EXPECT_EQ(Selected(), "Playlist 20");
    Key(CascadeKeys::kDown);  // the last row: the next page (page 1), row 0
    EXPECT_EQ(m_window.GetPage(), 1);
    EXPECT_EQ(m_window.GetList().GetSelectedIndex(), 0);
    Key(CascadeKeys::kDown);
    EXPECT_EQ(Selected(), "Playlist 2");

    g_wrapAround = 1;
    Key(CascadeKeys::kUp);
    Key(CascadeKeys::kUp);  // row 0 wraps to the page's last row
    EXPECT_EQ(m_window.GetPage(), 1);
    EXPECT_EQ(Selected(), "Playlist 9");
    Key(CascadeKeys::kDown);
    EXPECT_EQ(Selected(), "Ünïcödé: 100% «live»");
    EXPECT_EQ(m_window.GetPage(), 1);
}

TEST_F(PlaylistsWindowTest, SelectOnAButtonTellsTheClientTheSelectedPlaylistsId) {
    AddPlaylists(12);
    // Down twice, then to the add button: "add" with the third playlist's id.
    Show();
    Key(CascadeKeys::kDown);
    Key(CascadeKeys::kDown);
    m_window.GetButton(PlaylistsWindow::kAdd).SetFocus();
    Press(CascadeKeys::kSelect);
    EXPECT_FALSE(m_window.IsVisible());
    EXPECT_EQ(m_client.commands, std::vector<std::string>{"add 1003"});
    EXPECT_TRUE(player.display.IsFocus());

    // The selection is kept from one showing to the next; Up on a button
    // only gives the list the focus; play.
    m_client.commands.clear();
    Show();
    EXPECT_EQ(Selected(), "Playlist 3");
    m_window.GetButton(PlaylistsWindow::kPlay).SetFocus();
    Press(CascadeKeys::kUp);
    EXPECT_TRUE(m_window.GetList().IsFocus());
    EXPECT_EQ(Selected(), "Playlist 3");
    m_window.GetButton(PlaylistsWindow::kPlay).SetFocus();
    Press(CascadeKeys::kSelect);
    EXPECT_EQ(m_client.commands, std::vector<std::string>{"play 1003"});

    // Select on the list and Exit close without a command.
    for (unsigned long key : {CascadeKeys::kSelect, CascadeKeys::kExit}) {
        m_client.commands.clear();
        Show();
        Press(key);
        EXPECT_FALSE(m_window.IsVisible());
        EXPECT_TRUE(m_client.commands.empty());
        EXPECT_TRUE(player.display.IsFocus());
    }
}

TEST_F(PlaylistsWindowTest, TheOptionsKeyShowsAndHidesTheIndexColumn) {
    AddPlaylists(3);
    Show();
    EXPECT_FALSE(m_window.IsIndexShown());
    const CascadeBitmap without = Copy(Paint());
    Press(CascadeKeys::kOptions);
    EXPECT_TRUE(m_window.IsIndexShown());
    const CascadeBitmap& with = Paint();
    const CascadeRect list = m_window.GetList().GetRectAbsolute();
    // The ids appear at the right end of the rows.
    EXPECT_GT(Differences(without, with, {list.Right() - 65, list.y, 65, 75}), 20);
    Screenshot("playlists-index");
    Press(CascadeKeys::kOptions);
    EXPECT_FALSE(m_window.IsIndexShown());
}

TEST_F(PlaylistsWindowTest, APageTheServerDoesNotAnswerLeavesAnEmptyListOnPageOneOfOne) {
    AddPlaylists(20);
    server.SetAnswering(false);
    Show();
    EXPECT_EQ(m_window.GetList().ItemCount(), 0u);
    EXPECT_EQ(m_window.GetPageLabel(), "Page 1 of 1");
    Key(CascadeKeys::kDown);  // nothing to move in
    m_window.GetButton(PlaylistsWindow::kPlay).SetFocus();
    Press(CascadeKeys::kSelect);
    EXPECT_TRUE(m_client.commands.empty()) << "no row, no command";
}

}  // namespace
