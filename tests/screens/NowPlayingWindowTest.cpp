// The Now Playing screen on an off-screen desktop: the upcoming list from a
// fake server's status, which notifications refresh, the cover of a stream;
// and the screen under its other threads: notifications from a socketpair
// listener racing the paint walk, the window destroyed while its loader or
// a listener callback waits inside a server request.
#include "screens/NowPlayingWindow.h"

#include "ScreenFixture.h"
#include "server/SlimCLIListener.h"

#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace {

constexpr CascadeRect kUpcomingList{535, 318, 445, 218};
constexpr int kRowHeight = 24;
constexpr const char* kMac = "00:04:20:12:34:56";

// A playlist of `count` songs with the current one at `index`.
FakeSlimConnection::Status Playlist(long count, long index, const char* artist = "Someone", uint8_t shuffle = 0) {
    FakeSlimConnection::Status status;
    status.shuffle = shuffle;
    status.trackCount = count;
    status.currentIndex = index;
    status.current = FakeSlimConnection::Song("Now Song", "Now Artist", "Now Album", "7", "70");
    for (long i = index + 1; i < count; ++i)
        status.upcoming.push_back(FakeSlimConnection::Song(("Next " + std::to_string(i)).c_str(), artist));
    return status;
}

class NowPlayingTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        int fds[2];
        ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
        m_peer = fds[0];
        listener.SetPlayerId(kMac);
        ASSERT_TRUE(listener.Attach(fds[1]));
        context.listener = &listener;
    }
    void TearDown() override {
        listener.Disconnect();
        ::close(m_peer);
        ScreenFixture::TearDown();
    }
    void Show(NowPlayingWindow& window, bool wait = true) {
        ShowFullScreen(window);
        if (wait) {
            ASSERT_TRUE(window.WaitUntilIdle(10000));
        }
        Paint();
    }
    // A notification line from the server, as the listener reads it.
    void Send(const std::string& rest) {
        const std::string line = "00%3A04%3A20%3A12%3A34%3A56 " + rest + "\n";
        ASSERT_EQ(ssize_t(line.size()), ::send(m_peer, line.data(), line.size(), MSG_NOSIGNAL));
    }

    SlimCLIListener listener{server};
    int m_peer = -1;
};

TEST_F(NowPlayingTest, UpcomingListAndTracksRemainingFollowThePlaylist) {
    const struct {
        const char* name;
        long count, index;
        const char* artist;
        std::size_t rows;
        bool artistShown;
        long remaining;
    } cases[] = {
        {"thirty from the first", 30, 0, "Someone", 9, true, 29},
        {"last of five", 5, 4, "Someone", 0, false, 0},
        {"artists unknown", 5, 1, "N/A", 3, false, 3},
        {"empty playlist", 0, 0, "", 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetStatus(Playlist(c.count, c.index, c.artist));
        NowPlayingWindow window;
        Show(window);
        EXPECT_EQ(c.rows, window.GetUpcomingList().ItemCount());
        int painted = 0;
        for (int i = 0; i < 9; ++i)
            painted +=
                BrightPixels({kUpcomingList.x, kUpcomingList.y + i * kRowHeight, kUpcomingList.w, kRowHeight}) > 0;
        EXPECT_EQ(int(c.rows), painted);
        EXPECT_EQ(c.artistShown, window.GetUpcomingList().GetColumnByID("Artist")->visible);
        const NowPlayingWindow::Status status = window.GetStatus();
        EXPECT_EQ(c.remaining, NowPlayingWindow::TracksRemaining(status.currentIndex, status.trackCount));
        EXPECT_EQ(1, server.Count("status 9"));  // the list asks for as many songs as it shows
        if (c.rows == 9) Screenshot("nowplaying");
        window.Vanish();
        server.ClearCalls();
    }
    // A count beyond the server's limit is no count.
    EXPECT_EQ(0, NowPlayingWindow::TracksRemaining(0, 1000000));
    EXPECT_EQ(999998, NowPlayingWindow::TracksRemaining(0, 999999));
}

TEST_F(NowPlayingTest, EveryNotificationButAJumpReadsTheStatusAgainAndAStreamShowsTheRadioCover) {
    FakeSlimConnection::Status status = Playlist(6, 1);
    status.current = FakeSlimConnection::Song("Station", "N/A", "N/A", "-1", "10000001");
    status.current.url = "http://127.0.0.1:1/radio/x";
    server.SetStatus(status);
    NowPlayingWindow window;
    Show(window);
    // A stream shows the radio cover, under album 0.
    EXPECT_EQ("0", window.GetCoverButton().GetAlbumId());
    EXPECT_EQ("0", window.GetCoverButton().GetSongId());
    for (const char* change : {"jump", "Jump", "delete"}) {
        server.ClearCalls();
        window.OnPlaylistChanged(change);
        EXPECT_EQ(change == std::string("jump") ? 0 : 1, server.Count("status 9")) << change;
    }
    window.OnSongChanged(SongInfo());
    window.OnRepeatChanged(2);
    window.OnShuffleChanged(1);
    EXPECT_EQ(4, server.Count("status 9"));
    EXPECT_EQ(0, server.Count("version"));
    status.current = FakeSlimConnection::Song("Song", "Artist", "Album", "12", "120");
    server.SetStatus(status);
    window.UpdatePlaylist();
    EXPECT_EQ("12", window.GetCoverButton().GetAlbumId());
    EXPECT_EQ(-1, window.UpdateCover());
}

TEST_F(NowPlayingTest, NotificationsRacingThePaintWalkLeaveTheLastStatusOnScreen) {
    server.SetStatus(Playlist(20, 0));
    NowPlayingWindow window;
    Show(window, false);
    std::atomic<bool> sent{false};
    std::thread writer([&] {
        const char* lines[] = {"playlist newsong", "playlist shuffle 1", "playlist repeat 2", "playlist delete 3",
                               "playlist jump 4"};
        for (int i = 0; i < 100; ++i) {
            server.SetStatus(Playlist(20, i % 19, "Artist", uint8_t(i % 3)));
            Send(lines[i % 5]);
        }
        server.SetStatus(Playlist(20, 18, "Artist", 2));
        Send("playlist shuffle 2");
        sent = true;
    });
    // The UI thread keeps painting (and the window keeps asking for paints)
    // while the listener thread refills the list and the status.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!sent || window.GetStatus().shuffle != 2 || window.GetStatus().currentIndex != 18) {
        if (std::chrono::steady_clock::now() > deadline) break;
        window.Redraw();
        Paint();
    }
    writer.join();
    ASSERT_EQ(2, window.GetStatus().shuffle);
    ASSERT_TRUE(WaitUntil([&] { return window.GetUpcomingList().ItemCount() == 1; }));
    RepaintAll();
    EXPECT_EQ(18, window.GetStatus().currentIndex);
    // Reads racing each other may be shared, so how many depends on the
    // machine's speed (7 of 100 under ThreadSanitizer); some did race.
    EXPECT_GT(server.Count("status 9"), 2);
}

TEST_F(NowPlayingTest, WindowDestroyedWhileItsLoaderOrAListenerCallbackWaitsOnTheServer) {
    server.SetStatus(Playlist(20, 3));
    // The loader caught inside the first status read.
    auto window = std::make_unique<NowPlayingWindow>();
    ASSERT_TRUE(server.Catch(FakeSlimConnection::kStatusGate, [&] { Show(*window, false); }));
    server.ReleaseDuring(FakeSlimConnection::kStatusGate, [&] {
        window->Vanish();
        window.reset();
    });
    const std::size_t calls = server.Calls().size();
    Paint();  // nothing left on the desktop refers to the window
    EXPECT_EQ(calls, server.Calls().size());

    // A listener callback caught inside its status read.
    window = std::make_unique<NowPlayingWindow>();
    Show(*window);
    ASSERT_TRUE(server.Catch(FakeSlimConnection::kStatusGate, [&] { Send("playlist repeat 1"); }));
    // The destructor waits for the callback, then the window's members go.
    server.ReleaseDuring(FakeSlimConnection::kStatusGate, [&] { window.reset(); });
    // Later notifications reach only the clients still registered.
    class Counter : public SlimCLIListener::Client {
    public:
        void OnSongChanged(const SongInfo&) override {}
        void OnPlaylistChanged(const char*) override {}
        void OnRepeatChanged(uint8_t) override { ++repeats; }
        void OnShuffleChanged(uint8_t) override {}
        std::atomic<int> repeats{0};
    } counter;
    listener.RegisterClient(&counter);
    const int reads = server.Count("status 9");
    Send("playlist repeat 2");
    ASSERT_TRUE(WaitUntil([&] { return counter.repeats == 1; }));
    listener.UnregisterClient(&counter);
    EXPECT_EQ(reads, server.Count("status 9"));
}

}  // namespace
