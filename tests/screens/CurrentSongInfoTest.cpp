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

TEST_F(SongPanelTest, TimeFollowsThePlayerUpToTheSongsEndAndOnlyAChangedSongReplacesIt) {
    FakeSlimConnection::Status status{.current = Song(200)};
    server.SetStatus(status);
    panel.UpdateSongInfo();
    player.Play(50);
    panel.UpdateSongTime();
    EXPECT_EQ("0:50 / 3:20", panel.GetSong().timeText);
    EXPECT_FLOAT_EQ(0.25f, panel.GetSong().progress);
    // The same song from the server leaves the time the panel worked out.
    panel.UpdateSongInfo();
    EXPECT_EQ("0:50 / 3:20", panel.GetSong().timeText);

    player.seconds = 230;  // the server is late with the next song
    panel.UpdateSongTime();
    EXPECT_EQ(200, panel.GetSong().secondsElapsed);
    EXPECT_LE(panel.GetSong().progress, 1.0f);
    // Paused, or playing without audio: the time stays as it was.
    player.state = PlayerView::kPaused;
    player.seconds = 10;
    panel.UpdateSongTime();
    EXPECT_EQ(200, panel.GetSong().secondsElapsed);
    player.state = PlayerView::kPlaying;
    player.audio = false;
    panel.UpdateSongTime();
    EXPECT_EQ(200, panel.GetSong().secondsElapsed);

    status.current.genre = "Pop";
    server.SetStatus(status);
    panel.UpdateSongInfo();
    EXPECT_EQ("Pop", panel.GetSong().genre);
}

}  // namespace
