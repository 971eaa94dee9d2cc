// The listener's lines: the input is what the server sends on the
// notification link. The listener reads it over a socket pair and hands
// what concerns this player to a client; its status reads go to a
// connection without a link and fail at once.
#include "FuzzInput.h"
#include "server/SlimCLIConnection.h"
#include "server/SlimCLIListener.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// Touches what each call hands over, so a bad song shows under the sanitizers.
struct Recorder : SlimCLIListener::Client {
    void OnSongChanged(const SongInfo& song) override { calls += song.title.Std().size() + 1; }
    void OnPlaylistChanged(const char* change) override { calls += change ? 2 : 1; }
    void OnRepeatChanged(uint8_t mode) override { calls += mode; }
    void OnShuffleChanged(uint8_t mode) override { calls += mode; }
    std::size_t calls = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    SlimCLIConnection unconnected;
    Recorder recorder;
    {
        SlimCLIListener listener(unconnected);
        listener.SetPlayerId("00:04:20:12:34:56");
        listener.RegisterClient(&recorder);
        if (listener.Attach(fds[1])) {
            FuzzInput::SendAndShut(fds[0], data, size);
            // The listener reads to the end of the link, then stops listening.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (listener.IsListening()) {
                if (std::chrono::steady_clock::now() > deadline) {
                    std::fprintf(stderr, "listener fuzz: still listening 20 s after the link closed\n");
                    std::abort();
                }
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
        } else {
            ::close(fds[1]);
        }
        listener.Disconnect();
        listener.UnregisterClient(&recorder);
    }
    ::close(fds[0]);
    return 0;
}
