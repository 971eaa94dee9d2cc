// The Now Playing screen under its other threads: notifications from a
// socketpair listener racing the paint walk, and the window destroyed while
// its loader or a listener callback waits inside a server request.
#include "screens/NowPlayingWindow.h"

#include "ScreenFixture.h"
#include "server/SlimCLIListener.h"

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

constexpr const char* kMac = "00:04:20:12:34:56";
constexpr const char* kEscaped = "00%3A04%3A20%3A12%3A34%3A56";

class ScreenThreadsTest : public ScreenFixture {
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
    void Send(const std::string& rest) {
        const std::string line = std::string(kEscaped) + " " + rest + "\n";
        ASSERT_EQ(ssize_t(line.size()), ::send(m_peer, line.data(), line.size(), MSG_NOSIGNAL));
    }
    static FakeSlimConnection::Status Status(uint8_t shuffle, long index) {
        FakeSlimConnection::Status status;
        status.shuffle = shuffle;
        status.trackCount = 20;
        status.currentIndex = index;
        status.current = FakeSlimConnection::Song(("Song " + std::to_string(index)).c_str(), "Artist");
        for (long i = index + 1; i < 20; ++i)
            status.upcoming.push_back(FakeSlimConnection::Song(("Song " + std::to_string(i)).c_str(), "Artist"));
        return status;
    }

    SlimCLIListener listener{server};
    int m_peer = -1;
};

TEST_F(ScreenThreadsTest, NotificationsRacingThePaintWalkLeaveTheLastStatusOnScreen) {
    server.SetStatus(Status(0, 0));
    NowPlayingWindow window;
    window.Attach(context);
    window.SetRectAbsolute(CascadeRect({0, 0}, ScreenDims()));
    window.Materialize(1);
    std::atomic<bool> sent{false};
    std::thread writer([&] {
        const char* lines[] = {"playlist newsong", "playlist shuffle 1", "playlist repeat 2", "playlist delete 3",
                               "playlist jump 4"};
        for (int i = 0; i < 100; ++i) {
            server.SetStatus(Status(uint8_t(i % 3), i % 19));
            Send(lines[i % 5]);
        }
        server.SetStatus(Status(2, 18));
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
    // Notifications arriving while a read runs may share the next read, so
    // how many reads there were depends on the machine's speed; many did race.
    EXPECT_GT(server.Count("status 9"), 10);
}

TEST_F(ScreenThreadsTest, WindowDestroyedWhileItsLoaderWaitsOnTheServer) {
    server.SetStatus(Status(1, 3));
    server.Hold();
    auto window = std::make_unique<NowPlayingWindow>();
    window->Attach(context);
    window->SetRectAbsolute(CascadeRect({0, 0}, ScreenDims()));
    window->Materialize(1);
    ASSERT_TRUE(server.WaitUntilCaught());
    std::thread release([&] {
        // The destructor is waiting for the loader by now (or soon is): the
        // request's answer arrives and the loader finishes on a live window.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.Release();
    });
    window->Vanish();
    window.reset();
    release.join();
    const std::size_t calls = server.Calls().size();
    Paint();  // nothing left on the desktop refers to the window
    EXPECT_EQ(calls, server.Calls().size());
}

TEST_F(ScreenThreadsTest, WindowDestroyedWhileAListenerCallbackWaitsOnTheServer) {
    server.SetStatus(Status(0, 0));
    auto window = std::make_unique<NowPlayingWindow>();
    window->Attach(context);
    window->SetRectAbsolute(CascadeRect({0, 0}, ScreenDims()));
    window->Materialize(1);
    ASSERT_TRUE(window->WaitUntilIdle(10000));
    server.Hold();
    Send("playlist repeat 1");
    ASSERT_TRUE(server.WaitUntilCaught());
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.Release();
    });
    window.reset();  // waits for the callback, then the window's members go
    release.join();
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
