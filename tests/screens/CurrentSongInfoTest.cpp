// The song panel: the time and progress while playing, paused and past the
// song's end, and which server songs replace what the panel worked out.
#include "screens/CurrentSongInfo.h"

#include "ScreenFixture.h"

namespace {

class SongPanelTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        panel.Attach(context);
    }
    static SongInfo Song(unsigned total) {
        SongInfo song = FakeSlimConnection::Song("A Title", "An Artist", "An Album", "3", "30");
        song.genre = "Rock";
        song.secondsTotal = uint16_t(total);
        return song;
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

    player.seconds = 230;  // the server is late with the next song
    panel.UpdateSongTime();
    song = panel.GetSong();
    EXPECT_EQ(200, song.secondsElapsed);
    EXPECT_LE(song.progress, 1.0f);

    // Paused, or playing without audio: the time stays as it was.
    player.state = PlayerView::kPaused;
    player.seconds = 10;
    panel.UpdateSongTime();
    EXPECT_EQ(200, panel.GetSong().secondsElapsed);
    player.state = PlayerView::kPlaying;
    player.audio = false;
    panel.UpdateSongTime();
    EXPECT_EQ(200, panel.GetSong().secondsElapsed);
}

TEST_F(SongPanelTest, UpdateTakesTheServersSongOnlyWhenItChanged) {
    FakeSlimConnection::Status status;
    status.current = Song(120);
    server.SetStatus(status);
    panel.UpdateSongInfo();
    EXPECT_EQ("A Title", panel.GetSong().title);
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

}  // namespace
