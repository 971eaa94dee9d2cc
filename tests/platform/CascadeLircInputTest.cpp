#include "platform/CascadeKeys.h"
#include "platform/CascadeLircInput.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/KeyLog.h"
#include "support/ScopedTempDir.h"

namespace {

using namespace CascadeKeys;

// A bound socket file: listening as lircd does, or left behind by one gone.
int BindUnix(const std::string& path, bool listening) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_TRUE(!listening || ::listen(fd, 4) == 0);
    return fd;
}

// Accepts the input's link as lircd would: a client that hangs up at once
// (a look whether lircd listens) is let go and the next one awaited.
int AcceptReader(int lircd) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::accept(lircd, nullptr, nullptr);
        pollfd link{fd, POLLIN, 0};
        char byte;
        if (::poll(&link, 1, 200) == 0 || ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) != 0) return fd;
        ::close(fd);
    }
    ADD_FAILURE() << "no client stayed connected";
    return -1;
}

void Send(int fd, const std::string& text) {
    ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
}

class CascadeLircInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CascadeLircInput::IsBuiltIn()) GTEST_SKIP() << "built without liblirc-client";
        std::vector<std::string> problems;
        m_map.Read("btn_play = Play\nKEY_OK = none\n", "test", problems);
        ASSERT_TRUE(problems.empty());
    }

    ScopedTempDir m_dir;
    CascadeKeyMap m_map;
    KeyLog m_log;
};

// Keys come through the key map, only arrows and volume repeat, and the
// input reconnects by itself when lircd restarts.
TEST_F(CascadeLircInputTest, AScriptedLircdDeliversKeysThroughTheKeyMap) {
    const int lircd = BindUnix(m_dir.File("lircd"), true);
    CascadeLircInput input(m_map, [&](unsigned long key) { m_log.Add(key); });
    ASSERT_TRUE(input.Start(m_dir.File("lircd")));
    int client = AcceptReader(lircd);
    Send(client,
         "0000000000000001 00 KEY_UP devinput\n"
         "0000000000000001 01 KEY_UP devinput\n"  // held arrow: repeats
         "0000000000000002 00 KEY_SELECT devinput\n"
         "0000000000000002 01 KEY_SELECT devinput\n"  // held Select: once only
         "0000000000000003 00 KEY_OK devinput\n"      // unmapped by the user's map
         "0000000000000004 00 KEY_ZOOM devinput\n"    // not in the map
         "0000000000000004 00 KEY_MUTE devinput\n"
         "0000000000000004 01 KEY_MUTE devinput\n"  // held Mute: once only
         "0000000000000005 00 KEY_VOLUMEDOWN devinput\n"
         "0000000000000005 01 KEY_VOLUMEDOWN devinput\n"  // held volume: repeats
         "BEGIN\nSIGHUP\nEND\n"                           // lircd reloaded its configuration
         "garbage that lircd never sends\n"
         "0000000000000005 00 btn_");
    Send(client,
         "play my-remote\n"  // a line in two pieces
         "0000000000000006 00 KEY_MENU devinput\n");
    EXPECT_EQ(m_log.WaitFor(8),
              (std::vector<unsigned long>{kUp, kUp, kSelect, kMute, kVolumeDown, kVolumeDown, kPlay, kMenu}));
    ::close(client);
    client = AcceptReader(lircd);
    Send(client, "0000000000000007 00 KEY_BACK devinput\n");
    EXPECT_EQ(m_log.WaitFor(9).back(), kExit);
    input.Stop();
    ::close(client);
    ::close(lircd);
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Without lircd, or with a socket file nobody listens on, the input keeps
// trying, each attempt's socket closed again, and stops when asked.
TEST_F(CascadeLircInputTest, FailedAttemptsLeaveNoDescriptorBehind) {
    const std::string stale = m_dir.File("stale-lircd");
    ::close(BindUnix(stale, false));
    for (const std::string& path : {m_dir.File("no-lircd-here"), stale}) {
        const int before = OpenDescriptors();
        {
            CascadeLircInput input(
                m_map, [&](unsigned long key) { m_log.Add(key); }, 10);
            ASSERT_TRUE(input.Start(path));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // some 30 attempts
            input.Stop();
            input.Stop();  // idempotent
        }
        EXPECT_EQ(before, OpenDescriptors()) << path;
    }
    EXPECT_TRUE(m_log.WaitFor(0).empty());
}

}  // namespace
