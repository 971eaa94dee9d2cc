// The folder browser's commands: Play on a folder or a song, the action
// dialog on a song and on a playlist entry, and the playlist beside the
// folders following the listener.
#include "screens/BrowseFoldersWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"

#include <utility>

namespace {

namespace K = CascadeKeys;
using Words = std::vector<std::string>;

// A top folder of one folder and one song, and a playlist of three songs
// whose page requests are recorded.
class FakeFolderServer : public FakeSlimConnection {
public:
    unsigned long GetFolderItems(const char*, unsigned long, unsigned long, BrowseEntryList& list,
                                 CascadeString&) override {
        for (const char* name : {"Dir", "Track"}) {
            std::unique_ptr<BrowseEntry> entry = std::make_unique<BrowseEntry>();
            if (name[0] == 'T') entry = std::make_unique<SongInfo>();
            entry->name = name;
            entry->type = name[0] == 'T' ? "song" : "dir";
            entry->id = "7";
            entry->url = std::string("file:///music/") + name;
            list.AddEntry(std::move(entry));
        }
        list.SetTotalCount(2);
        return 2;
    }
    long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, bool) override {
        std::lock_guard lock(m_pageLock);
        pages.push_back("playlist " + std::to_string(start) + " " + std::to_string(count));
        for (unsigned long i = start; i < start + count && i < 3; ++i) {
            auto song = std::make_unique<SongInfo>();
            song->title = "Song " + std::to_string(i);
            song->artist = i == 1 ? "Somebody" : "N/A";
            song->playlistIndex = std::to_string(i);
            list.AddEntry(std::move(song));
        }
        list.SetTotalCount(3);
        return 3;
    }
    Words Pages() {
        std::lock_guard lock(m_pageLock);
        return std::exchange(pages, {});
    }

private:
    std::mutex m_pageLock;
    Words pages;
};

class BrowseFoldersWindowTest : public DialogTest {
protected:
    void TearDown() override {
        if (m_window.IsVisible()) m_window.Vanish();
        DialogTest::TearDown();
    }
    void Press(unsigned long key) {
        DialogTest::Press(key);
        ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    }

    FakeFolderServer m_server;
    BrowseFoldersWindow m_window;
};

TEST_F(BrowseFoldersWindowTest, PlayAndTheActionDialogSendTheRowsAddressOrIndexAndThePlaylistFollowsTheListener) {
    context.server = &m_server;
    m_window.Attach(context);
    m_window.SetRectAbsolute({0, 0, 1024, 576});
    m_window.Materialize(1);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_EQ(m_server.Pages(), Words{"playlist 0 20"});
    Press(K::kPlay);  // a folder plays as a whole
    Press(K::kDown);
    Press(K::kSelect);  // a song: add, play, insert
    EXPECT_EQ(m_window.GetDialog().GetType(), ManagePlaylistDialog::kSong);
    Press(K::kSelect);  // the first button: add
    Press(K::kRotate);  // the playlist
    EXPECT_TRUE(m_window.GetPlaylistList().IsFocus());
    // Its artist column shows only when a song there has one.
    Paint();
    EXPECT_TRUE(m_window.GetPlaylistList().GetColumn(BrowseFoldersWindow::kPlaylistArtist)->visible);
    Press(K::kDown);
    Press(K::kPlay);  // jump to its index
    Press(K::kSelect);
    EXPECT_EQ(m_window.GetDialog().GetType(), ManagePlaylistDialog::kPlaylistEntry);
    Screenshot("folders-playlist-entry");
    Press(K::kSelect);  // remove
    EXPECT_EQ(m_server.Calls(),
              (Words{"playlist play file:///music/Dir", "playlist add file:///music/Track", "jump 1", "delete 1"}));
    // Playlist changes other than a jump reload the playlist, while shown.
    for (const char* change : {"jump", "delete"}) m_window.OnPlaylistChanged(change);
    m_window.OnShuffleChanged(1);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_EQ(m_server.Pages(), (Words{"playlist 0 20", "playlist 0 20"}));
    m_window.Vanish();
    m_window.OnPlaylistChanged("delete");
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_TRUE(m_server.Pages().empty());
}

}  // namespace
