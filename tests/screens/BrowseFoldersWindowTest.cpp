// The folder browser's commands: Play on a folder or a song, the action
// dialog on a song and on a playlist entry, and the playlist beside the
// folders following the listener.
#include "screens/BrowseFoldersWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"

namespace {

namespace K = CascadeKeys;
using Words = std::vector<std::string>;

class BrowseFoldersWindowTest : public DialogTest {
protected:
    // A top folder of one folder and one song, and a playlist of three songs.
    void SetUp() override {
        DialogTest::SetUp();
        FakeSlimConnection::Entries folder, playlist;
        for (const char* name : {"Dir", "Track"}) {
            const bool song = name[0] == 'T';
            std::shared_ptr<BrowseEntry> entry = song ? std::make_shared<SongInfo>() : std::make_shared<BrowseEntry>();
            entry->name = name;
            entry->type = song ? "song" : "dir";
            entry->id = "7";
            entry->url = std::string("file:///music/") + name;
            folder.push_back(entry);
        }
        for (int i = 0; i < 3; ++i) {
            auto song = std::make_shared<SongInfo>(
                FakeSlimConnection::Song(("Song " + std::to_string(i)).c_str(), i == 1 ? "Somebody" : "N/A"));
            song->playlistIndex = std::to_string(i);
            playlist.push_back(song);
        }
        server.SetEntries("folders", folder);
        server.SetEntries("playlist", playlist);
    }
    void TearDown() override {
        if (m_window.IsVisible()) m_window.Vanish();
        DialogTest::TearDown();
    }
    // Presses each key and waits for the loads it starts.
    template <typename... Keys>
    void Press(Keys... keys) {
        for (unsigned long key : {keys...}) {
            DialogTest::Press(key);
            ASSERT_TRUE(m_window.WaitUntilIdle(10000));
        }
    }

    BrowseFoldersWindow m_window;
};

TEST_F(BrowseFoldersWindowTest, PlayAndTheActionDialogSendTheRowsAddressOrIndexAndThePlaylistFollowsTheListener) {
    ShowFullScreen(m_window);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_EQ(server.Count("playlist 0 20"), 1);
    // Play on a folder plays it as a whole; Select on a song offers add, play, insert.
    Press(K::kPlay, K::kDown, K::kSelect);
    EXPECT_EQ(m_window.GetDialog().GetType(), ManagePlaylistDialog::kSong);
    // The first button (add), then Rotate to the playlist.
    Press(K::kSelect, K::kRotate);
    EXPECT_TRUE(m_window.GetPlaylistList().IsFocus());
    // Its artist column shows only when a song there has one.
    Paint();
    EXPECT_TRUE(m_window.GetPlaylistList().GetColumn(BrowseFoldersWindow::kPlaylistArtist)->visible);
    // Play on the second entry jumps to its index; Select opens the dialog.
    Press(K::kDown, K::kPlay, K::kSelect);
    EXPECT_EQ(m_window.GetDialog().GetType(), ManagePlaylistDialog::kPlaylistEntry);
    Screenshot("folders-playlist-entry");
    Press(K::kSelect);  // remove
    Words commands = server.Calls();
    std::erase_if(commands, [](const std::string& c) { return c.starts_with("folders") || c == "playlist 0 20"; });
    EXPECT_EQ(commands,
              (Words{"playlist play file:///music/Dir", "playlist add file:///music/Track", "jump 1", "delete 1"}));
    // Playlist changes other than a jump reload the playlist, while shown
    // (the commands above reloaded nothing: no listener told of them).
    for (const char* change : {"jump", "delete"}) m_window.OnPlaylistChanged(change);
    m_window.OnShuffleChanged(1);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_EQ(server.Count("playlist 0 20"), 3);
    m_window.Vanish();
    m_window.OnPlaylistChanged("delete");
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_EQ(server.Count("playlist 0 20"), 3);
}

}  // namespace
