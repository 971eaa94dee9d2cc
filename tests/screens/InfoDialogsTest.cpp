// The song and album info dialogs: rows under their conditions, pages read
// from the server again, the album's cover or the no-cover image, and a
// slow server that neither holds up Exit nor outlives the dialog.
#include "screens/AlbumInfoDialog.h"
#include "screens/SongInfoDialog.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "support/LocalHttpServer.h"

#include <memory>
#include <thread>

namespace {

namespace K = CascadeKeys;
using Words = std::vector<std::string>;

SongInfo FullSong() {
    SongInfo s = FakeSlimConnection::Song("Hoppípolla", "Sigur Rós", "Takk…", "-1", "42");
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
    return s;
}

TEST(SongInfoFields, EachRowShowsOnlyUnderItsCondition) {
    SongInfo sparse = FullSong();
    sparse.genre = "N/A";
    sparse.trackNum = "0";
    sparse.composer = "";
    SongInfo bare;    // the four rows always shown, an empty Bit Rate included
    SongInfo stream;  // a URL and no path: the URL is shown as the path
    stream.url = "http://radio.example/stream";
    const std::pair<SongInfo, Words> cases[] = {
        {FullSong(),
         {"Title:", "Artist:", "Album:", "Composer:", "Band:", "Genre:", "Year:", "Track:", "Duration:", "Bit Rate:",
          "File Type:", "File Size:", "Path:", "Tag Version:"}},
        {sparse,
         {"Title:", "Artist:", "Album:", "Band:", "Year:", "Duration:", "Bit Rate:", "File Type:", "File Size:",
          "Path:", "Tag Version:"}},
        {bare, {"Title:", "Artist:", "Album:", "Bit Rate:"}},
        {stream, {"Title:", "Artist:", "Album:", "Bit Rate:", "Path:"}},
    };
    for (const auto& [song, labels] : cases) {
        Words shown;
        for (const auto& field : SongInfoDialog::FieldsOf(song)) shown.push_back(field.label);
        EXPECT_EQ(shown, labels);
    }
    EXPECT_EQ(SongInfoDialog::FieldsOf(stream).back().value, "http://radio.example/stream");
}

class InfoDialogsTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        g_useLargeFont = 1;  // rows of 25: 10 to a page
        song.Attach(context);
        album.Attach(context);
    }
    void TearDown() override {
        for (CascadeWindow* dialog : {static_cast<CascadeWindow*>(&song), static_cast<CascadeWindow*>(&album)})
            if (dialog->IsVisible()) Press(K::kExit);
        // Their cover loaders read the settings put back below.
        song.GetCoverView().WaitUntilFinished();
        album.GetCoverView().WaitUntilFinished();
        DialogTest::TearDown();
    }
    // Turns the song's page and waits for its read.
    void Turn(unsigned long key) {
        Press(key);
        ASSERT_TRUE(song.WaitUntilIdle(10000));
    }
    Words SongRows() { return RowTexts(song.GetList(), 2); }

    SongInfoDialog song;
    AlbumInfoDialog album;
    ManageClientRecorder client;
};

TEST_F(InfoDialogsTest, SongFieldsThatDoNotFitGoOnPageTwoAndEveryPageReadsTheTrack) {
    server.SetEntries("track 42", {std::make_shared<SongInfo>(FullSong())});
    song.ShowDialog("42", SongInfoDialog::kPlayAddInsert, &client);
    ASSERT_TRUE(song.WaitUntilIdle(10000));
    ASSERT_EQ(song.GetRowsPerPage(), 10u);
    EXPECT_EQ(song.GetPageLabel(), "Page 1 of 2");
    const Words page1 = SongRows();
    ASSERT_EQ(page1.size(), 10u);
    EXPECT_EQ(page1[0], "Title: Hoppípolla");
    Screenshot("songinfo-page1");
    Turn(K::kZoomOut);
    EXPECT_EQ(song.GetPageLabel(), "Page 2 of 2");
    Screenshot("songinfo-page2");
    EXPECT_EQ(SongRows(), (Words{"File Type: mp3", "File Size: 10742016",
                                 "Path: /music/Sigur Rós/Takk/03 Hoppípolla.mp3", "Tag Version: ID3v2.4.0"}));
    Turn(K::kZoomOut);  // past page 2: page 1
    EXPECT_EQ(song.GetPage(), 1);
    Turn(K::kZoomIn);  // before page 1: page 2
    EXPECT_EQ(song.GetPage(), 2);
    EXPECT_EQ(server.Count("trackinfo 42"), 4);
    Press(K::kRight, K::kSelect);
    EXPECT_EQ(client.commands, Words{"add"});
    EXPECT_FALSE(song.IsVisible());
    // With Play only, Right stays on it.
    song.ShowDialog("42", SongInfoDialog::kPlayOnly, &client);
    Press(K::kRight, K::kSelect);
    EXPECT_EQ(client.commands, (Words{"add", "play"}));
}

TEST_F(InfoDialogsTest, AlbumShowsItsFirstTracksCoverOrTheNoCoverImage) {
    LocalHttpServer web;
    ASSERT_TRUE(web.Start());
    web.Route("/music/501/cover.jpg", LocalHttpServer::Body(SolidJpeg(CascadeColor(30, 60, 220), 150), "image/jpeg"));
    g_portWeb = std::to_string(web.Port());
    SongInfo first = FullSong();
    first.songId = "501";
    server.SetEntries("album 12", {std::make_shared<SongInfo>(first)});
    album.ShowDialog("Homogenic", "12", &client);
    ASSERT_TRUE(WaitUntil([&] { return album.GetCoverView().IsLoaded(); }));
    EXPECT_EQ(web.RequestCount("/music/501/cover.jpg"), 1u);
    const CascadeRect at = album.GetCoverView().GetRectAbsolute();
    const CascadeRect inner = album.GetCoverView().GetCoverRect();
    const CascadeColor mid =
        CascadeColor::FromARGB(Paint().GetPixel(at.x + inner.x + inner.w / 2, at.y + inner.y + inner.h / 2));
    EXPECT_NEAR(mid.Blue(), 220, 12);
    EXPECT_NEAR(mid.Red(), 30, 12);
    EXPECT_FALSE(album.GetCoverView().WillAcceptFocus()) << "the cover never takes the focus";
    Screenshot("albuminfo-cover");
    Press(K::kRight, K::kRight, K::kSelect);
    EXPECT_EQ(client.commands, Words{"insert"});
    EXPECT_FALSE(album.IsVisible());
    album.ShowDialog("Empty", "77", &client);  // no tracks: the no-cover picture
    ASSERT_TRUE(WaitUntil([&] { return album.GetCoverView().IsLoaded(); }));
    EXPECT_EQ(album.GetCoverView().GetAlbumArtURL(), "none");
}

TEST_F(InfoDialogsTest, ASlowTrackReadNeitherHoldsUpExitNorOutlivesTheDialog) {
    server.SetEntries("track 42", {std::make_shared<SongInfo>(FullSong())});
    ASSERT_TRUE(server.Catch(FakeSlimConnection::kLibraryGate,
                             [&] { song.ShowDialog("42", SongInfoDialog::kPlayAddInsert, &client); }));
    // Zoom Out is queued behind the read, not waited for.
    Press(K::kZoomOut, K::kExit);
    EXPECT_FALSE(song.IsVisible());
    EXPECT_TRUE(player.display.IsFocus());
    server.Release(FakeSlimConnection::kLibraryGate);
    ASSERT_TRUE(song.WaitUntilIdle(10000));

    auto dialog = std::make_unique<SongInfoDialog>();
    dialog->Attach(context);
    ASSERT_TRUE(server.Catch(FakeSlimConnection::kLibraryGate,
                             [&] { dialog->ShowDialog("42", SongInfoDialog::kPlayAddInsert, &client); }));
    // The answer comes while the dialog is being destroyed: the destructor
    // waits for the read, which finishes on members still alive.
    server.ReleaseDuring(FakeSlimConnection::kLibraryGate, [&] { dialog.reset(); });
    EXPECT_TRUE(client.commands.empty());
}

}  // namespace
