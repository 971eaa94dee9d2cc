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

class Recorder : public SlimCLIListener::Client {
public:
    void OnSongChanged(const SongInfo& song) override { m_calls += song.title.Std().size() + 1; }
    void OnPlaylistChanged(const char* change) override { m_calls += change ? 2 : 1; }
    void OnRepeatChanged(uint8_t mode) override { m_calls += mode; }
    void OnShuffleChanged(uint8_t mode) override { m_calls += mode; }

private:
    std::size_t m_calls = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::Silence();
    return 0;
}

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
            const uint8_t* at = data;
            std::size_t left = size;
            while (left > 0) {
                const ssize_t sent = ::send(fds[0], at, left, MSG_NOSIGNAL);
                if (sent <= 0) break;
                at += sent;
                left -= std::size_t(sent);
            }
            ::shutdown(fds[0], SHUT_WR);
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
