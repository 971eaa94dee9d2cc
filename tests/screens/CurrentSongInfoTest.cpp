// The song panel: the time text in its four forms, the time and progress
// while playing, what a song change keeps, and what each display mode paints.
#include "screens/CurrentSongInfo.h"

#include "ScreenFixture.h"

namespace {

struct TimeCase {
    unsigned long elapsed, total;
    const char* text;
};

TEST(CurrentSongInfoTime, TextTakesTheHourFormOnlyWhenNeeded) {
    const TimeCase cases[] = {
        {0, 0, "0:00"},
        {61, 0, "1:01"},
        {3599, 0, "59:59"},
        {3600, 0, "1:00:00"},
        {65, 200, "1:05 / 3:20"},
        {3599, 3599, "59:59 / 59:59"},
        {300, 3723, "0:05:00 / 1:02:03"},
        {3600, 100, "1:00:00 / 0:01:40"},
        {0, 3600, "0:00:00 / 1:00:00"},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, CurrentSongInfo::FormatTime(c.elapsed, c.total));
    }
}

class SongPanelTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        panel.Attach(context);
    }
    void Show(const CascadeRect& rect) {
        panel.SetRectAbsolute(rect);
        panel.Materialize(1);
        Paint();
    }
    static SongInfo Song(unsigned total) {
        SongInfo song = FakeSlimConnection::Song("A Title", "An Artist", "An Album", "3", "30");
        song.year = "2001";
        song.genre = "Rock";
        song.bitrate = "192kbps";
        song.secondsTotal = uint16_t(total);
        return song;
    }
    // Columns of the bar's row that the progress fill reaches.
    int FilledColumns(const CascadeRect& bar) {
        int columns = 0;
        const int y = bar.y + bar.h / 2;
        for (int x = bar.x + 4; x < bar.Right() - 4; ++x)
            columns += BrightPixels({x, y, 1, 1}) > 0 || CountPixels({x, y, 1, 1}, [](uint8_t r, uint8_t g, uint8_t b) {
                           return r == g && g == b && r >= 0x64;
                       }) > 0;
        return columns;
    }

    CurrentSongInfo panel;
};

TEST_F(SongPanelTest, PlayingUpdatesTimeAndProgressAndStopsAtTheSongsEnd) {
    panel.OnSongChanged(Song(200));
    player.Play(50);
    panel.UpdateSongTime();
    SongInfo song = panel.GetSong();
    EXPECT_EQ("0:50 / 3:20", song.timeText);
    EXPECT_FLOAT_EQ(0.25f, song.progress);
    EXPECT_EQ(50, song.secondsElapsed);

    player.seconds = 230;  // the server is late with the next song
    panel.UpdateSongTime();
    song = panel.GetSong();
    EXPECT_EQ(200, song.secondsElapsed);
    EXPECT_LE(song.progress, 1.0f);

    // Paused or stopped: the time stays as it was.
    player.state = PlayerView::kPaused;
    player.seconds = 10;
    panel.UpdateSongTime();
    EXPECT_EQ(200, panel.GetSong().secondsElapsed);
    player.state = PlayerView::kPlaying;
    player.audio = false;
    panel.UpdateSongTime();
    EXPECT_EQ(200, panel.GetSong().secondsElapsed);
}

TEST_F(SongPanelTest, ASongChangeKeepsWhatThePanelShowsAndDropsTheRest) {
    SongInfo song = Song(100);
    song.composer = "Composer";
    song.band = "Band";
    song.contentType = "mp3";
    song.fileSize = "12345";
    song.url = "file:///music/a.mp3";
    song.path = "/music/a.mp3";
    song.trackNum = "4";
    panel.OnSongChanged(song);
    const SongInfo kept = panel.GetSong();
    EXPECT_EQ("A Title", kept.title);
    EXPECT_EQ("An Artist", kept.artist);
    EXPECT_EQ("2001", kept.year);
    EXPECT_EQ("4", kept.trackNum);
    EXPECT_EQ("/music/a.mp3", kept.path);
    EXPECT_EQ("file:///music/a.mp3", kept.url);
    EXPECT_EQ(100, kept.secondsTotal);
    EXPECT_EQ("", kept.composer);
    EXPECT_EQ("", kept.band);
    EXPECT_EQ("", kept.contentType);
    EXPECT_EQ("", kept.fileSize);
}

TEST_F(SongPanelTest, UpdateTakesTheServersSongOnlyWhenItChanged) {
    FakeSlimConnection::Status status;
    status.current = Song(120);
    server.SetStatus(status);
    panel.UpdateSongInfo();
    EXPECT_EQ("A Title", panel.GetSong().title);
    panel.OnSongChanged(Song(120));  // same title, artist, album and genre
    player.Play(60);
    panel.UpdateSongTime();
    panel.UpdateSongInfo();
    // The time the panel worked out was not overwritten by the same song.
    EXPECT_EQ("1:00 / 2:00", panel.GetSong().timeText);
    status.current.genre = "Pop";
    server.SetStatus(status);
    panel.UpdateSongInfo();
    EXPECT_EQ("Pop", panel.GetSong().genre);
}

TEST_F(SongPanelTest, NormalLayoutPaintsTextRowsAndABarFilledToTheProgress) {
    panel.SetBackgroundColor(CascadeColor(0x000000FFu));
    panel.OnSongChanged(Song(200));
    player.Play(100);
    panel.UpdateSongTime();
    Show({100, 100, 440, 165});
    Screenshot("songpanel-normal");
    // Title (2..37), artist (42..67), album (72..97) and the bottom line (140..163).
    for (int y : {2, 42, 72, 140}) EXPECT_GT(BrightPixels({102, 100 + y, 436, 23}), 0) << "row at " << y;
    // The bar lies between the album line and the bottom line: 102..135.
    const CascadeRect bar(102, 202, 436, 33);
    const int inner = bar.w - 8;
    const int filled = FilledColumns(bar);
    EXPECT_NEAR(inner / 2, filled, 4);
    player.seconds = 200;
    panel.UpdateSongTime();
    RepaintAll();
    EXPECT_NEAR(inner, FilledColumns(bar), 4);
}

TEST_F(SongPanelTest, CompactLayoutWithCoverAndPlayerState) {
    panel.SetBackgroundColor(CascadeColor(0x000000FFu));
    panel.SetCompact(true);
    panel.ShowCoverArt(true);
    panel.ShowPlayerState(true);
    panel.OnSongChanged(Song(200));
    player.state = PlayerView::kPaused;
    Show({50, 50, 377, 108});
    Screenshot("songpanel-compact-paused");
    // The cover fills the left square; title and artist start right of it.
    EXPECT_EQ(CascadeRect(0, 0, 108, 108), panel.GetChildren().empty() ? CascadeRect() :
                                                                        panel.GetChildren()[0]->GetRectRelative());
    EXPECT_GT(BrightPixels({50 + 116, 50, 377 - 116, 16}), 0);
    EXPECT_GT(BrightPixels({50 + 116, 50 + 18, 377 - 116, 14}), 0);
    // "Paused" over the bar.
    EXPECT_GT(BrightPixels({50 + 116, 50 + 34, 377 - 116, 108 - 34}), 0);
    player.state = PlayerView::kPlaying;
    RepaintAll();
    EXPECT_EQ(0, BrightPixels({50 + 116 + 60, 50 + 40, 377 - 116 - 120, 108 - 50}));
}

}  // namespace
