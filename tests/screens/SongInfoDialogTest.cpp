#include "screens/SongInfoDialog.h"

#include "platform/CascadeKeys.h"
#include "ScreenFixture.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

SongInfo FullSong() {
    SongInfo s;
    s.title = "Hoppípolla";
    s.artist = "Sigur Rós";
    s.album = "Takk…";
    s.composer = "Jón Þór Birgisson";
    s.band = "Sigur Rós";
    s.genre = "Post-Rock";
    s.year = "2005";
    s.trackNum = "3";
    s.duration = "4:28";
    s.bitrate = "320kbps CBR";
    s.contentType = "mp3";
    s.fileSize = "10742016";
    s.path = "/music/Sigur Rós/Takk/03 Hoppípolla.mp3";
    s.tagVersion = "ID3v2.4.0";
    s.songId = "42";
    return s;
}

std::vector<std::string> Labels(const std::vector<SongInfoDialog::Field>& fields) {
    std::vector<std::string> labels;
    for (const auto& f : fields) labels.push_back(f.label);
    return labels;
}

TEST(SongInfoFields, EachRowShowsOnlyUnderItsCondition) {
    const std::vector<std::string> all = {"Title:",     "Artist:",    "Album:",     "Composer:", "Band:",
                                          "Genre:",     "Year:",      "Track:",     "Duration:", "Bit Rate:",
                                          "File Type:", "File Size:", "Path:",      "Tag Version:"};
    EXPECT_EQ(Labels(SongInfoDialog::FieldsOf(FullSong())), all);

    SongInfo sparse = FullSong();
    sparse.genre = "N/A";
    sparse.trackNum = "0";
    sparse.composer = "";
    EXPECT_EQ(Labels(SongInfoDialog::FieldsOf(sparse)),
              (std::vector<std::string>{"Title:", "Artist:", "Album:", "Band:", "Year:", "Duration:", "Bit Rate:",
                                        "File Type:", "File Size:", "Path:", "Tag Version:"}));

    // A bare record: the four rows always shown, empty Bit Rate included.
    SongInfo bare;
    bare.title = bare.artist = bare.album = "";
    EXPECT_EQ(Labels(SongInfoDialog::FieldsOf(bare)),
              (std::vector<std::string>{"Title:", "Artist:", "Album:", "Bit Rate:"}));

    // A stream has a URL and no path: the URL is shown as the path.
    SongInfo stream = bare;
    stream.url = "http://radio.example/stream";
    const auto fields = SongInfoDialog::FieldsOf(stream);
    ASSERT_EQ(Labels(fields).back(), "Path:");
    EXPECT_EQ(fields.back().value, "http://radio.example/stream");
}

class SongInfoDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        m_dialog.Attach(context);
    }
    void TearDown() override {
        if (m_dialog.IsVisible()) Press(CascadeKeys::kExit);
        m_dialog.GetCoverView().WaitUntilFinished();  // its loader reads the settings put back below
        DialogTest::TearDown();
    }
    void Show(unsigned long id, SongInfoDialog::DialogType type = SongInfoDialog::kPlayAddInsert) {
        m_dialog.ShowDialog(std::to_string(id).c_str(), type, &m_client);
        ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    }
    std::vector<std::string> ShownRows() {
        std::vector<std::string> rows;
        for (std::size_t i = 0; i < m_dialog.GetList().ItemCount(); ++i) {
            const EListView::ListItem* item = m_dialog.GetList().GetItem(int(i));
            rows.push_back(std::string(item->GetCell(0)) + " " + item->GetCell(1));
        }
        return rows;
    }
    int TrackReads() {
        int n = 0;
        for (const std::string& r : server.Calls()) n += r.rfind("trackinfo ", 0) == 0;
        return n;
    }

    SongInfoDialog m_dialog;
    ManageClientRecorder m_client;
};

TEST_F(SongInfoDialogTest, FieldsThatDoNotFitGoOnPageTwoAndZoomKeysFlipBetweenThePages) {
    g_useLargeFont = 1;  // rows of 25: 10 to a page
    server.SetTrack(42, FullSong());
    Show(42);
    ASSERT_EQ(m_dialog.GetRowsPerPage(), 10u);
    EXPECT_EQ(server.Calls(), std::vector<std::string>{"trackinfo 42"});
    EXPECT_EQ(m_dialog.GetPageLabel(), "Page 1 of 2");
    const std::vector<std::string> page1 = ShownRows();
    ASSERT_EQ(page1.size(), 10u);
    EXPECT_EQ(page1[0], "Title: Hoppípolla");
    EXPECT_EQ(page1[9], "Bit Rate: 320kbps CBR");
    Screenshot("songinfo-page1");

    Press(CascadeKeys::kZoomOut);
    ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    EXPECT_EQ(m_dialog.GetPageLabel(), "Page 2 of 2");
    EXPECT_EQ(ShownRows(), (std::vector<std::string>{"File Type: mp3", "File Size: 10742016",
                                                     "Path: /music/Sigur Rós/Takk/03 Hoppípolla.mp3",
                                                     "Tag Version: ID3v2.4.0"}));
    EXPECT_EQ(TrackReads(), 2) << "every page reads the track again";
    Screenshot("songinfo-page2");

    Press(CascadeKeys::kZoomOut);  // past page 2: page 1
    ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    EXPECT_EQ(m_dialog.GetPage(), 1);
    Press(CascadeKeys::kZoomIn);  // before page 1: page 2
    ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    EXPECT_EQ(m_dialog.GetPage(), 2);
    Press(CascadeKeys::kZoomIn);
    ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    EXPECT_EQ(m_dialog.GetPage(), 1);
}

TEST_F(SongInfoDialogTest, WithEverythingOnOnePageTheZoomKeysDoNothing) {
    g_useLargeFont = 0;  // rows of 20: 13 to a page
    SongInfo song = FullSong();
    song.composer = "";
    server.SetTrack(7, song);
    Show(7);
    ASSERT_EQ(m_dialog.GetRowsPerPage(), 13u);
    EXPECT_EQ(ShownRows().size(), 13u);
    EXPECT_EQ(m_dialog.GetPageLabel(), "Page 1 of 1");
    Press(CascadeKeys::kZoomOut);
    Press(CascadeKeys::kZoomIn);
    ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    EXPECT_EQ(TrackReads(), 1);
    EXPECT_EQ(m_dialog.GetPage(), 1);
}

TEST_F(SongInfoDialogTest, ATrackTheServerDoesNotAnswerForShowsTheAlwaysShownRowsEmpty) {
    server.SetAnswering(false);
    Show(99);
    EXPECT_EQ(ShownRows(), (std::vector<std::string>{"Title: ", "Artist: ", "Album: ", "Bit Rate: "}));
    EXPECT_EQ(m_dialog.GetPageLabel(), "Page 1 of 1");
}

TEST_F(SongInfoDialogTest, ButtonsByTypeAndWhatSelectAndExitTellTheClient) {
    server.SetTrack(42, FullSong());
    struct Case {
        SongInfoDialog::DialogType type;
        int rights;  // Right presses before Select; -1: Exit instead
        std::vector<std::string> told;
        std::size_t buttons;
    };
    const Case cases[] = {
        {SongInfoDialog::kPlayAddInsert, 0, {"play"}, 3},  {SongInfoDialog::kPlayAddInsert, 1, {"add"}, 3},
        {SongInfoDialog::kPlayAddInsert, 2, {"insert"}, 3}, {SongInfoDialog::kPlayAddInsert, -1, {}, 3},
        {SongInfoDialog::kPlayOnly, 0, {"play"}, 1},         {SongInfoDialog::kPlayOnly, 2, {"play"}, 1},
        {SongInfoDialog::kPlayOnly, -1, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + std::to_string(c.rights));
        m_client.commands.clear();
        Show(42, c.type);
        EXPECT_EQ(ShownChildren<EButton>(m_dialog).size(), c.buttons);
        EXPECT_TRUE(m_dialog.GetButton(SongInfoDialog::kPlay).IsFocus());
        Press(CascadeKeys::kUp);  // swallowed: the table does not scroll, the focus stays
        EXPECT_TRUE(m_dialog.GetButton(SongInfoDialog::kPlay).IsFocus());
        if (c.rights < 0) {
            Press(CascadeKeys::kExit);
        } else {
            for (int i = 0; i < c.rights; ++i) Press(CascadeKeys::kRight);
            Press(CascadeKeys::kSelect);
        }
        EXPECT_FALSE(m_dialog.IsVisible());
        EXPECT_EQ(m_client.commands, c.told);
        EXPECT_TRUE(player.display.IsFocus());
    }
}

// The cover: the server's picture when it has one, the no-cover image when
// it answers with something else.
TEST_F(SongInfoDialogTest, ShowsTheTracksCoverOrTheNoCoverImage) {
    LocalHttpServer web;
    ASSERT_TRUE(web.Start());
    web.Route("/music/42/cover.jpg", LocalHttpServer::Body(SolidJpeg(CascadeColor(20, 200, 40), 120), "image/jpeg"));
    g_portWeb = std::to_string(web.Port());
    server.SetTrack(42, FullSong());
    server.SetTrack(43, FullSong());

    Show(42);
    ASSERT_TRUE(WaitUntil([&] { return m_dialog.GetCoverView().IsLoaded(); }));
    const CascadeColor mid = CoverCentre(m_dialog.GetCoverView());
    EXPECT_NEAR(mid.Green(), 200, 12);
    EXPECT_NEAR(mid.Red(), 20, 12);
    Screenshot("songinfo-cover");
    Press(CascadeKeys::kExit);

    Show(43);  // 404: the no-cover picture
    ASSERT_TRUE(WaitUntil([&] { return m_dialog.GetCoverView().IsLoaded(); }));
    const CascadeColor noCover = CoverCentre(m_dialog.GetCoverView());
    EXPECT_FALSE(std::abs(int(noCover.Green()) - 200) < 30 && int(noCover.Red()) < 40) << "not the green cover";
    EXPECT_TRUE(m_dialog.GetCoverView().GetAlbumArtURL().View().find("/music/43/cover.jpg") != std::string::npos);
}

// The server is slow: keys and closing never wait for it.
TEST_F(SongInfoDialogTest, ExitWhileTheTrackIsReadClosesAtOnceAndTheLateAnswerTellsNoOne) {
    server.SetTrack(42, FullSong());
    server.HoldLibrary();
    m_dialog.ShowDialog("42", SongInfoDialog::kPlayAddInsert, &m_client);
    ASSERT_TRUE(server.WaitUntilLibraryCaught());
    Press(CascadeKeys::kZoomOut);  // queued behind the read, not waited for
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_TRUE(player.display.IsFocus());
    server.ReleaseLibrary();
    ASSERT_TRUE(m_dialog.WaitUntilIdle(10000));
    EXPECT_TRUE(m_client.commands.empty());
}

TEST_F(SongInfoDialogTest, ADialogDestroyedWhileItsReadWaitsOnTheServerEndsCleanly) {
    server.SetTrack(42, FullSong());
    auto dialog = std::make_unique<SongInfoDialog>();
    dialog->Attach(context);
    server.HoldLibrary();
    dialog->ShowDialog("42", SongInfoDialog::kPlayAddInsert, &m_client);
    ASSERT_TRUE(server.WaitUntilLibraryCaught());
    // The answer comes while the dialog is being destroyed: the destructor
    // waits for the read, which finishes on members still alive.
    std::thread answer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.ReleaseLibrary();
    });
    dialog.reset();
    answer.join();
    EXPECT_TRUE(m_client.commands.empty());
    EXPECT_EQ(server.Count("trackinfo"), 1);
}

}  // namespace
