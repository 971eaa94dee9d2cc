#include "screens/AlbumInfoDialog.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

namespace {

std::vector<SongInfo> Album(int tracks, const std::string& artist = "Björk") {
    std::vector<SongInfo> songs;
    for (int i = 1; i <= tracks; ++i) {
        SongInfo s;
        s.trackNum = std::to_string(i);
        s.title = "Track " + std::to_string(i) + " — Ærøskøbing";
        s.artist = artist;
        s.songId = std::to_string(500 + i);
        songs.push_back(s);
    }
    return songs;
}

class AlbumInfoDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        g_useLargeFont = 1;  // rows of 25: 10 tracks to a page
        m_dialog.Attach(context);
    }
    void TearDown() override {
        if (m_dialog.IsVisible()) Press(CascadeKeys::kExit);
        m_dialog.GetCoverView().WaitUntilFinished();  // its loader reads the settings put back below
        DialogTest::TearDown();
    }
    void Show(unsigned long albumId) {
        m_dialog.ShowDialog("Homogenic", std::to_string(albumId).c_str(), &m_client);
        ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    }
    void Key(unsigned long key) {
        Press(key);
        ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    }
    // The dialog's own track requests (the cover tile asks for one track too).
    std::vector<std::string> PageRequests() {
        std::vector<std::string> pages;
        for (const std::string& r : server.Calls())
            if (r.rfind("titles ", 0) == 0 && !r.ends_with(" 0 1")) pages.push_back(r);
        return pages;
    }
    std::vector<std::string> FirstCells() {
        std::vector<std::string> cells;
        for (std::size_t i = 0; i < m_dialog.GetList().ItemCount(); ++i)
            cells.push_back(m_dialog.GetList().GetItem(int(i))->GetCell(0));
        return cells;
    }

    AlbumInfoDialog m_dialog;
    ManageClientRecorder m_client;
};

TEST_F(AlbumInfoDialogTest, PagesThroughTheTracksAskingTheServerForEachPage) {
    server.SetAlbum(12, Album(23));
    Show(12);
    ASSERT_EQ(m_dialog.GetRowsPerPage(), 10u);
    EXPECT_EQ(m_dialog.GetPageLabel(), "Page 1 of 3");
    EXPECT_EQ(FirstCells().size(), 10u);
    const EListView::ListItem* first = m_dialog.GetList().GetItem(0);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->GetCell(0), "1");
    EXPECT_STREQ(first->GetCell(1), "Track 1 — Ærøskøbing");
    EXPECT_STREQ(first->GetCell(2), "Björk");
    Screenshot("albuminfo-page1");

    Key(CascadeKeys::kZoomIn);  // before page 1: the last page
    EXPECT_EQ(m_dialog.GetPageLabel(), "Page 3 of 3");
    EXPECT_EQ(FirstCells(), (std::vector<std::string>{"21", "22", "23"}));
    Key(CascadeKeys::kZoomOut);  // past the last: page 1
    EXPECT_EQ(m_dialog.GetPage(), 1);
    Key(CascadeKeys::kZoomOut);
    EXPECT_EQ(m_dialog.GetPage(), 2);
    EXPECT_EQ(PageRequests(), (std::vector<std::string>{"titles 0 0 12 0 10", "titles 0 0 12 20 10", "titles 0 0 12 0 10",
                                                        "titles 0 0 12 10 10"}));
    // Up and Down are swallowed.
    Press(CascadeKeys::kDown);
    EXPECT_TRUE(m_dialog.GetButton(AlbumInfoDialog::kPlay).IsFocus());
}

// One page of tracks or none: the zoom keys stay on page 1.
TEST_F(AlbumInfoDialogTest, AnAlbumOfOnePageOrNoneStaysOnPageOne) {
    server.SetAlbum(5, Album(10));
    for (const auto& [album, rows] : {std::pair{5ul, 10u}, std::pair{77ul, 0u}}) {
        SCOPED_TRACE(album);
        Show(album);
        EXPECT_EQ(m_dialog.GetPageLabel(), "Page 1 of 1");
        Key(CascadeKeys::kZoomOut);
        EXPECT_EQ(m_dialog.GetPageLabel(), "Page 1 of 1");
        Key(CascadeKeys::kZoomIn);
        EXPECT_EQ(m_dialog.GetPage(), 1);
        EXPECT_EQ(m_dialog.GetList().ItemCount(), rows);
        Press(CascadeKeys::kExit);
    }
}

TEST_F(AlbumInfoDialogTest, ExitLeavesTheClientUncalledAndEachButtonTellsItsCommand) {
    server.SetAlbum(12, Album(3));
    const std::pair<int, std::vector<std::string>> cases[] = {
        {-1, {}}, {0, {"play"}}, {1, {"add"}}, {2, {"insert"}}};
    for (const auto& [rights, told] : cases) {
        SCOPED_TRACE(rights);
        m_client.commands.clear();
        Show(12);
        EXPECT_EQ(ShownChildren<EButton>(m_dialog).size(), 3u);
        if (rights < 0) {
            Press(CascadeKeys::kExit);
        } else {
            for (int i = 0; i < rights; ++i) Press(CascadeKeys::kRight);
            Press(CascadeKeys::kSelect);
        }
        EXPECT_FALSE(m_dialog.IsVisible());
        EXPECT_EQ(m_client.commands, told);
        EXPECT_TRUE(player.display.IsFocus());
    }
}

TEST_F(AlbumInfoDialogTest, ShowsTheCoverOfTheAlbumsFirstTrackOrTheNoCoverImage) {
    LocalHttpServer web;
    ASSERT_TRUE(web.Start());
    web.Route("/music/501/cover.jpg", LocalHttpServer::Body(SolidJpeg(CascadeColor(30, 60, 220), 150), "image/jpeg"));
    g_portWeb = std::to_string(web.Port());
    server.SetAlbum(12, Album(3));

    Show(12);
    ASSERT_TRUE(WaitUntil([&] { return m_dialog.GetCoverView().IsLoaded(); }));
    EXPECT_EQ(web.RequestCount("/music/501/cover.jpg"), 1u);
    const CascadeColor mid = CoverCentre(m_dialog.GetCoverView());
    EXPECT_NEAR(mid.Blue(), 220, 12);
    EXPECT_NEAR(mid.Red(), 30, 12);
    EXPECT_FALSE(m_dialog.GetCoverView().WillAcceptFocus()) << "the cover never takes the focus";
    Screenshot("albuminfo-cover");
    Press(CascadeKeys::kExit);

    Show(77);  // no tracks: the no-cover picture
    ASSERT_TRUE(WaitUntil([&] { return m_dialog.GetCoverView().IsLoaded(); }));
    EXPECT_EQ(m_dialog.GetCoverView().GetAlbumArtURL(), "none");
    Screenshot("albuminfo-nocover");
}

}  // namespace
