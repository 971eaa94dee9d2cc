// The Now Playing screen on an off-screen desktop: the upcoming list, the
// status line and the server line from a fake server's status, the message
// box, which notifications refresh, and the cover of a stream.
#include "screens/NowPlayingWindow.h"

#include "ScreenFixture.h"

#include <string>

namespace {

constexpr CascadeRect kUpcomingList{535, 318, 445, 218};
constexpr CascadeRect kStatusLine{530, 537, 464, 20};
constexpr CascadeRect kServerLine{20, 555, 484, 20};
constexpr int kRowHeight = 24;

// A playlist of `count` songs with the current one at `index`.
FakeSlimConnection::Status Playlist(long count, long index, const char* artist = "Someone") {
    FakeSlimConnection::Status status;
    status.trackCount = count;
    status.currentIndex = index;
    status.current = FakeSlimConnection::Song("Now Song", "Now Artist", "Now Album", "7", "70");
    status.current.year = "1999";
    status.current.genre = "Jazz";
    status.current.bitrate = "320kbps";
    status.current.secondsTotal = 200;
    for (long i = index + 1; i < count; ++i) {
        SongInfo song = FakeSlimConnection::Song(("Next " + std::to_string(i)).c_str(), artist);
        song.playlistIndex = CascadeString(std::to_string(i));
        song.songId = CascadeString(std::to_string(100 + i));
        status.upcoming.push_back(song);
    }
    return status;
}

class NowPlayingTest : public ScreenFixture {
protected:
    void Show(NowPlayingWindow& window) {
        window.Attach(context);
        window.SetRectAbsolute(CascadeRect({0, 0}, ScreenDims()));
        window.Materialize(1);
        ASSERT_TRUE(window.WaitUntilIdle(10000));
        Paint();
    }
    // Rows of the upcoming list that carry text.
    int RowsWithText() {
        int rows = 0;
        for (int i = 0; i < 9; ++i)
            rows += BrightPixels({kUpcomingList.x, kUpcomingList.y + i * kRowHeight, kUpcomingList.w, kRowHeight}) > 0;
        return rows;
    }
};

struct PlaylistCase {
    const char* name;
    long count, index;
    const char* artist;
    std::size_t rows;
    bool artistShown;
    long remaining;
};

TEST_F(NowPlayingTest, UpcomingListAndTracksRemainingFollowThePlaylist) {
    const PlaylistCase cases[] = {
        {"thirty from the first", 30, 0, "Someone", 9, true, 29},
        {"last of five", 5, 4, "Someone", 0, false, 0},
        {"artists unknown", 5, 1, "N/A", 3, false, 3},
        {"artists empty", 4, 0, "", 3, false, 3},
        {"empty playlist", 0, 0, "Someone", 0, false, 0},
    };
    for (const PlaylistCase& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetStatus(Playlist(c.count, c.index, c.artist));
        NowPlayingWindow window;
        Show(window);
        EXPECT_EQ(c.rows, window.GetUpcomingList().ItemCount());
        EXPECT_EQ(int(c.rows), RowsWithText());
        const EListView::Column* artist = window.GetUpcomingList().GetColumnByID("Artist");
        ASSERT_NE(nullptr, artist);
        EXPECT_EQ(c.artistShown, artist->visible);
        const NowPlayingWindow::Status status = window.GetStatus();
        EXPECT_EQ(c.remaining, NowPlayingWindow::TracksRemaining(status.currentIndex, status.trackCount));
        // The list asks for as many songs as it shows.
        EXPECT_EQ(1, server.Count("status 9"));
        if (std::string(c.name) == "thirty from the first") Screenshot("nowplaying");
        window.Vanish();
        server.ClearCalls();
    }
}

TEST(NowPlayingTexts, StatusLineWordsAndTrackCountLimits) {
    EXPECT_EQ("Repeat: Off", NowPlayingWindow::RepeatText(0));
    EXPECT_EQ("Repeat: Current Song", NowPlayingWindow::RepeatText(1));
    EXPECT_EQ("Repeat: All", NowPlayingWindow::RepeatText(2));
    EXPECT_EQ("Repeat: ", NowPlayingWindow::RepeatText(7));
    EXPECT_EQ("Shuffle: Off", NowPlayingWindow::ShuffleText(0));
    EXPECT_EQ("Shuffle: Song", NowPlayingWindow::ShuffleText(1));
    EXPECT_EQ("Shuffle: Album", NowPlayingWindow::ShuffleText(2));
    EXPECT_EQ("Shuffle: ", NowPlayingWindow::ShuffleText(3));
    EXPECT_EQ(29, NowPlayingWindow::TracksRemaining(0, 30));
    EXPECT_EQ(0, NowPlayingWindow::TracksRemaining(4, 5));
    EXPECT_EQ(0, NowPlayingWindow::TracksRemaining(0, 0));
    EXPECT_EQ(0, NowPlayingWindow::TracksRemaining(0, 1000000));
    EXPECT_EQ(999998, NowPlayingWindow::TracksRemaining(0, 999999));
}

TEST_F(NowPlayingTest, StatusAndServerLinesSitWhereTheLayoutPutsThem) {
    server.SetStatus(Playlist(12, 2));
    NowPlayingWindow window;
    Show(window);
    // Repeat at the left end, shuffle at the right end, the count in the middle.
    EXPECT_GT(BrightPixels({kStatusLine.x, kStatusLine.y, 100, kStatusLine.h}), 0);
    EXPECT_GT(BrightPixels({kStatusLine.Right() - 100, kStatusLine.y, 100, kStatusLine.h}), 0);
    EXPECT_GT(BrightPixels({kStatusLine.x + kStatusLine.w / 2 - 40, kStatusLine.y, 80, kStatusLine.h}), 0);
    EXPECT_GT(CountPixels(kServerLine, [](uint8_t r, uint8_t g, uint8_t b) { return r + g + b > 3 * 120; }), 0);
    // The version is asked once, however often the status is read again.
    window.UpdatePlaylist();
    window.UpdatePlaylist();
    EXPECT_EQ(1, server.Count("version"));
    EXPECT_EQ(3, server.Count("status 9"));
}

TEST_F(NowPlayingTest, AMessageShowsInARedBoxAndHidesTheStatusAndServerLines) {
    server.SetStatus(Playlist(12, 2));
    NowPlayingWindow window;
    Show(window);
    ASSERT_GT(BrightPixels(kStatusLine), 0);
    window.SetMessage("Unable to locate SlimServer.");
    Paint();
    Screenshot("nowplaying-message");
    EXPECT_EQ(0, BrightPixels(kStatusLine));
    EXPECT_EQ(0, CountPixels(kServerLine, [](uint8_t r, uint8_t g, uint8_t b) { return r + g + b > 3 * 120; }));
    // Red text on black in the middle of the screen.
    const CascadeDims dims = ScreenDims();
    const CascadeRect middle(dims.w / 2 - 200, dims.h / 2 - 30, 400, 60);
    EXPECT_GT(CountPixels(middle, [](uint8_t r, uint8_t g, uint8_t b) { return r > 200 && g < 40 && b < 40; }), 20);
    EXPECT_GT(PixelsOf(middle, 0x000000), 400);
    window.SetMessage("");
    Paint();
    EXPECT_GT(BrightPixels(kStatusLine), 0);
}

struct NotificationCase {
    const char* name;
    std::function<void(NowPlayingWindow&)> notify;
    int statusReads;
};

TEST_F(NowPlayingTest, EveryNotificationButAJumpReadsTheStatusAgain) {
    server.SetStatus(Playlist(6, 1));
    const NotificationCase cases[] = {
        {"jump", [](NowPlayingWindow& w) { w.OnPlaylistChanged("jump"); }, 0},
        {"Jump is another word", [](NowPlayingWindow& w) { w.OnPlaylistChanged("Jump"); }, 1},
        {"delete", [](NowPlayingWindow& w) { w.OnPlaylistChanged("delete"); }, 1},
        {"song", [](NowPlayingWindow& w) { w.OnSongChanged(SongInfo()); }, 1},
        {"repeat", [](NowPlayingWindow& w) { w.OnRepeatChanged(2); }, 1},
        {"shuffle", [](NowPlayingWindow& w) { w.OnShuffleChanged(1); }, 1},
    };
    NowPlayingWindow window;
    Show(window);
    for (const NotificationCase& c : cases) {
        SCOPED_TRACE(c.name);
        server.ClearCalls();
        c.notify(window);
        EXPECT_EQ(c.statusReads, server.Count("status 9"));
    }
}

TEST_F(NowPlayingTest, AStreamShowsTheRadioCoverUnderAlbumZero) {
    FakeSlimConnection::Status status = Playlist(1, 0);
    status.current = FakeSlimConnection::Song("Station", "N/A", "N/A", "-1", "10000001");
    status.current.url = "http://127.0.0.1:1/radio/x";
    server.SetStatus(status);
    NowPlayingWindow window;
    Show(window);
    EXPECT_EQ("0", window.GetCoverButton().GetAlbumId());
    EXPECT_EQ("0", window.GetCoverButton().GetSongId());
    // A library song next: its own album.
    status.current = FakeSlimConnection::Song("Song", "Artist", "Album", "12", "120");
    server.SetStatus(status);
    window.UpdatePlaylist();
    EXPECT_EQ("12", window.GetCoverButton().GetAlbumId());
    EXPECT_EQ(-1, window.UpdateCover());
}

}  // namespace
