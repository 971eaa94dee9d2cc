#include "screens/BrowseFoldersWindow.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Folders by hierarchy ("" is the top, "7/12" folder 12 inside folder 7).
// Folder entries carry either their own id only or the whole hierarchy, as
// servers differ in what they send; the window must ask for the same pages.
class FakeFolderServer : public FakeSlimConnection {
public:
    enum class Ids { kOwn, kHierarchy };
    struct Node {
        std::string name, type, artist;
        int id = 0;
    };

    explicit FakeFolderServer(Ids ids) : m_ids(ids) {}

    void AddFolder(const std::string& hierarchy, std::vector<Node> nodes) { m_folders[hierarchy] = std::move(nodes); }
    static std::vector<Node> Dirs(const std::string& prefix, int count, int firstId) {
        std::vector<Node> nodes;
        for (int i = 0; i < count; ++i) nodes.push_back({prefix + std::to_string(100 + i), "dir", "", firstId + i});
        return nodes;
    }
    std::vector<std::string> Pages() const {
        std::lock_guard lock(m_pageLock);
        return m_pages;
    }
    void ClearPages() {
        std::lock_guard lock(m_pageLock);
        m_pages.clear();
    }

    unsigned long GetFolderItems(const char* hierarchy, unsigned long start, unsigned long count,
                                 BrowseEntryList& list, CascadeString& location) override {
        std::lock_guard lock(m_pageLock);
        m_pages.push_back(std::string(hierarchy) + " " + std::to_string(start) + " " + std::to_string(count));
        auto it = m_folders.find(hierarchy);
        if (it == m_folders.end()) return 0;
        location = std::string("Music / ") + hierarchy;
        for (unsigned long i = start; i < start + count && i < it->second.size(); ++i) {
            const Node& node = it->second[i];
            std::unique_ptr<BrowseEntry> entry;
            if (node.type == "song") {
                auto song = std::make_unique<SongInfo>();
                song->artist = node.artist;
                entry = std::move(song);
            } else {
                entry = std::make_unique<BrowseEntry>();
            }
            entry->name = node.name;
            entry->type = node.type;
            const std::string own = std::to_string(node.id);
            const bool full = m_ids == Ids::kHierarchy && node.type == "dir" && *hierarchy;
            entry->id = full ? std::string(hierarchy) + "/" + own : own;
            entry->url = "file:///music/" + node.name;
            list.AddEntry(std::move(entry));
        }
        list.SetTotalCount(it->second.size());
        return it->second.size();
    }
    long GetCurrentPlaylist(unsigned long start, unsigned long count, SongList& list, bool) override {
        std::lock_guard lock(m_pageLock);
        m_pages.push_back("playlist " + std::to_string(start) + " " + std::to_string(count));
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

private:
    const Ids m_ids;
    mutable std::mutex m_pageLock;
    std::map<std::string, std::vector<FakeFolderServer::Node>> m_folders;
    std::vector<std::string> m_pages;
};

class BrowseFoldersWindowTest : public DialogTest, public ::testing::WithParamInterface<FakeFolderServer::Ids> {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        g_useLargeFont = 0;  // rows of 21: 20 to a page
        g_wrapAround = 0;
        context.server = &m_folderServer;
        m_window.Attach(context);
        m_window.SetRectAbsolute({0, 0, 1024, 576});
    }
    void TearDown() override {
        if (m_window.IsVisible()) m_window.Vanish();
        DialogTest::TearDown();
    }
    void Show() {
        m_window.Materialize(1);
        ASSERT_TRUE(m_window.WaitUntilIdle(10000));
        m_folderServer.ClearPages();
    }
    void Key(unsigned long key) {
        Press(key);
        ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    }
    void Down(int times) {
        for (int i = 0; i < times; ++i) Key(CascadeKeys::kDown);
    }
    int Row() { return m_window.GetFolderList().GetSelectedIndex(); }
    std::string RowText(int row = -1) {
        EListView& list = m_window.GetFolderList();
        const EListView::ListItem* item = row < 0 ? list.GetSelectedItem() : list.GetItem(row);
        return item ? item->GetCell(0) : "";
    }

    FakeFolderServer m_folderServer{GetParam()};
    BrowseFoldersWindow m_window;
};

std::vector<FakeFolderServer::Node> Songs(int count) {
    std::vector<FakeFolderServer::Node> songs;
    for (int i = 0; i < count; ++i) songs.push_back({"Track " + std::to_string(i), "song", "Artist " + std::to_string(i), 900 + i});
    return songs;
}

TEST_P(BrowseFoldersWindowTest, WalkingDownThreeFoldersAndBackRestoresEachParentsPageAndRow) {
    m_folderServer.AddFolder("", FakeFolderServer::Dirs("Top ", 45, 10));      // 3 pages
    m_folderServer.AddFolder("31", FakeFolderServer::Dirs("Mid ", 25, 200));  // 2 pages
    m_folderServer.AddFolder("31/221", FakeFolderServer::Dirs("Low ", 5, 300));
    m_folderServer.AddFolder("31/221/302", Songs(4));
    Show();
    ASSERT_EQ(m_window.GetRowsPerPage(), 20u);
    EXPECT_EQ(m_window.GetFolderLabel(), "Page 1 of 3");
    EXPECT_FALSE(m_window.IsArtistShown());  // a page of folders only

    Key(CascadeKeys::kZoomOut);  // page 2
    Down(1);                     // row 1: "Top 121", id 31
    Key(CascadeKeys::kRight);
    EXPECT_EQ(m_window.GetFolderId(), "31");
    EXPECT_EQ(Row(), 0);
    Key(CascadeKeys::kZoomOut);  // page 2 of "31"
    Key(CascadeKeys::kRight);    // row 0 of page 2: index 20, id 220
    EXPECT_EQ(m_window.GetFolderId(), "31/220");
    Key(CascadeKeys::kLeft);
    EXPECT_EQ(m_window.GetFolderId(), "31");
    EXPECT_EQ(m_window.GetFolderPage(), 2);
    Down(1);
    Key(CascadeKeys::kRight);  // index 21: id 221
    ASSERT_EQ(m_window.GetFolderId(), "31/221");
    Down(2);
    Key(CascadeKeys::kRight);  // id 302: songs
    ASSERT_EQ(m_window.GetFolderId(), "31/221/302");
    EXPECT_TRUE(m_window.IsArtistShown());
    EXPECT_EQ(m_window.GetHistoryDepth(), 3u);
    Screenshot("folders-songs");

    const struct {
        const char* folder;
        unsigned short page;
        int row;
        const char* text;
    } back[] = {{"31/221", 1, 2, "Low 102"}, {"31", 2, 1, "Mid 121"}, {"", 2, 1, "Top 121"}};
    for (const auto& step : back) {
        Key(CascadeKeys::kLeft);
        EXPECT_EQ(m_window.GetFolderId(), step.folder);
        EXPECT_EQ(m_window.GetFolderPage(), step.page) << step.folder;
        EXPECT_EQ(Row(), step.row) << step.folder;
        EXPECT_EQ(RowText(), step.text);
    }
    EXPECT_FALSE(m_window.IsArtistShown());
    m_folderServer.ClearPages();
    Key(CascadeKeys::kLeft);  // the top with an empty history: nothing happens
    EXPECT_TRUE(m_folderServer.Pages().empty());
    EXPECT_EQ(m_window.GetFolderId(), "");
}

TEST_P(BrowseFoldersWindowTest, AFolderOfExactlyOnePageShowsEveryEntryOnOnePage) {
    m_folderServer.AddFolder("", FakeFolderServer::Dirs("Dir ", 20, 10));
    m_window.Materialize(1);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_EQ(m_folderServer.Pages().front(), " 0 20");  // one list's worth, nothing more
    EXPECT_EQ(m_window.GetFolderList().ItemCount(), 20u);
    EXPECT_EQ(RowText(0), "Dir 100");
    EXPECT_EQ(RowText(19), "Dir 119");
    EXPECT_EQ(m_window.GetFolderLabel(), "Page 1 of 1");
    Screenshot("folders-one-page");
    // Down on the last row goes on to "the next page": the same one.
    Down(19);
    m_folderServer.ClearPages();
    Key(CascadeKeys::kDown);
    EXPECT_EQ(m_folderServer.Pages(), std::vector<std::string>{" 0 20"});
    EXPECT_EQ(Row(), 0);
    // Next and Previous need another page.
    m_folderServer.ClearPages();
    Key(CascadeKeys::kNext);
    Key(CascadeKeys::kPrevious);
    EXPECT_TRUE(m_folderServer.Pages().empty());
}

INSTANTIATE_TEST_SUITE_P(FolderIds, BrowseFoldersWindowTest,
                         ::testing::Values(FakeFolderServer::Ids::kOwn, FakeFolderServer::Ids::kHierarchy));

// Next / Previous page on to the next or previous initial letter.
class FolderLetterTest : public BrowseFoldersWindowTest {};

std::vector<FakeFolderServer::Node> Lettered(const std::string& initials) {
    std::vector<FakeFolderServer::Node> nodes;
    int id = 10;
    for (char c : initials) nodes.push_back({std::string(1, c) + " folder " + std::to_string(id), "dir", "", id++});
    return nodes;
}

TEST_P(FolderLetterTest, NextAndPreviousJumpByInitialLetter) {
    // Pages of 20: page 1 a..b, page 2 b only, page 3 b..c, page 4 d..e, page 5 e.
    const std::string initials = std::string(10, 'a') + std::string(45, 'b') + std::string(5, 'c') +
                                 std::string(10, 'd') + std::string(20, 'e');
    m_folderServer.AddFolder("", Lettered(initials));
    Show();
    ASSERT_EQ(m_window.GetFolderPageCount(), 5);
    Key(CascadeKeys::kNext);  // last row "b": page 2 ends with b, page 3 with c
    EXPECT_EQ(m_window.GetFolderPage(), 3);
    EXPECT_EQ(m_folderServer.Pages(), (std::vector<std::string>{" 20 20", " 40 20"}));
    m_folderServer.ClearPages();
    Key(CascadeKeys::kNext);  // page 3 of 5 is not the one before the last: e ends page 4
    EXPECT_EQ(m_window.GetFolderPage(), 4);
    m_folderServer.ClearPages();
    Key(CascadeKeys::kNext);  // the second-to-last page: straight to the last
    EXPECT_EQ(m_window.GetFolderPage(), 5);
    EXPECT_EQ(m_folderServer.Pages(), std::vector<std::string>{" 80 20"});
    Key(CascadeKeys::kZoomIn);
    Key(CascadeKeys::kZoomIn);  // page 3 (first row b)
    m_folderServer.ClearPages();
    Key(CascadeKeys::kPrevious);  // pages 3 and 2 start with b, page 1 with a
    EXPECT_EQ(m_window.GetFolderPage(), 1);
    EXPECT_EQ(m_folderServer.Pages(), (std::vector<std::string>{" 20 20", " 0 20"}));
    Key(CascadeKeys::kZoomOut);
    m_folderServer.ClearPages();
    Key(CascadeKeys::kPrevious);  // below page 3: page 1 directly
    EXPECT_EQ(m_window.GetFolderPage(), 1);
    EXPECT_EQ(m_folderServer.Pages(), std::vector<std::string>{" 0 20"});
}

INSTANTIATE_TEST_SUITE_P(FolderIds, FolderLetterTest, ::testing::Values(FakeFolderServer::Ids::kOwn));

class FolderCommandTest : public BrowseFoldersWindowTest {};

TEST_P(FolderCommandTest, PlayAndTheActionDialogSendTheRowsAddressOrIndex) {
    std::vector<FakeFolderServer::Node> mixed = FakeFolderServer::Dirs("Dir ", 1, 10);
    for (const auto& song : Songs(2)) mixed.push_back(song);
    m_folderServer.AddFolder("", mixed);
    Show();
    EXPECT_TRUE(m_window.IsArtistShown());
    Key(CascadeKeys::kPlay);  // a folder plays as a whole
    Down(1);
    Key(CascadeKeys::kPlayPause);
    Key(CascadeKeys::kSelect);  // a song: add, play, insert
    ASSERT_TRUE(m_window.GetDialog().IsVisible());
    EXPECT_EQ(m_window.GetDialog().GetType(), ManagePlaylistDialog::kSong);
    Press(CascadeKeys::kSelect);  // the first button: add
    Key(CascadeKeys::kRotate);    // the playlist
    EXPECT_TRUE(m_window.GetPlaylistList().IsFocus());
    Down(1);
    Key(CascadeKeys::kPlay);  // jump to its index
    Key(CascadeKeys::kSelect);
    EXPECT_EQ(m_window.GetDialog().GetType(), ManagePlaylistDialog::kPlaylistEntry);
    Press(CascadeKeys::kSelect);  // remove
    EXPECT_EQ(m_folderServer.Calls(),
              (std::vector<std::string>{"playlist play file:///music/Dir 100", "playlist play file:///music/Track 0",
                                        "playlist add file:///music/Track 0", "jump 1", "delete 1"}));
    // The playlist's artist column shows only when a song there has one.
    Paint();
    EXPECT_TRUE(m_window.GetPlaylistList().GetColumn(BrowseFoldersWindow::kPlaylistArtist)->visible);
}

TEST_P(FolderCommandTest, PlaylistChangesOtherThanJumpReloadThePlaylist) {
    m_folderServer.AddFolder("", FakeFolderServer::Dirs("Dir ", 3, 10));
    Show();
    m_window.OnPlaylistChanged("jump");
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_TRUE(m_folderServer.Pages().empty());
    m_window.OnPlaylistChanged("delete");
    m_window.OnShuffleChanged(1);
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_EQ(m_folderServer.Pages(), (std::vector<std::string>{"playlist 0 20", "playlist 0 20"}));
    m_window.Vanish();
    m_folderServer.ClearPages();
    m_window.OnPlaylistChanged("delete");  // hidden: nothing
    ASSERT_TRUE(m_window.WaitUntilIdle(10000));
    EXPECT_TRUE(m_folderServer.Pages().empty());
}

TEST_P(FolderCommandTest, AServerThatDoesNotAnswerLeavesAnEmptyListOnPageOneOfOne) {
    Show();  // no folders at all
    EXPECT_EQ(m_window.GetFolderList().ItemCount(), 0u);
    EXPECT_EQ(m_window.GetFolderLabel(), "Page 1 of 1");
    Key(CascadeKeys::kRight);
    Key(CascadeKeys::kPlay);
    Key(CascadeKeys::kSelect);
    EXPECT_FALSE(m_window.GetDialog().IsVisible());
    EXPECT_TRUE(m_folderServer.Calls().empty());
    Screenshot("folders-empty");
}

INSTANTIATE_TEST_SUITE_P(FolderIds, FolderCommandTest, ::testing::Values(FakeFolderServer::Ids::kOwn));

}  // namespace
