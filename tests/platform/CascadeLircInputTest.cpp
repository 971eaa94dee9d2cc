#include "platform/CascadeLircInput.h"
#include "platform/CascadeKeys.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/KeyLog.h"
#include "support/ScopedTempDir.h"

namespace {

using namespace CascadeKeys;

TEST(CascadeLircInput, LinesAsLircdSendsThem) {
    struct Case {
        const char* line;
        bool valid;
        const char* name;
        unsigned repeat;
    };
    const Case cases[] = {
        {"0000000000f40bf0 00 KEY_UP devinput", true, "KEY_UP", 0},
        {"000000037ff07bfe 0a KEY_OK my-remote\r", true, "KEY_OK", 10},
        {"1 1 play remote", true, "play", 1},
        {"0000000000f40bf0 00 KEY_UP", false, "", 0},                    // no remote
        {"0000000000f40bf0 KEY_UP devinput", false, "", 0},              // no repeat count
        {"zz 00 KEY_UP devinput", false, "", 0},                         // code not hexadecimal
        {"00 0x1 KEY_UP devinput", false, "", 0},                        // count not plain hex
        {"00 123456789 KEY_UP devinput", false, "", 0},                  // count too long
        {"00 00 KEY_UP devinput extra", false, "", 0},                   // one word too many
        {"00000000000000000 00 KEY_UP devinput", false, "", 0},          // code longer than 64 bits
        {"", false, "", 0},
        {"BEGIN", false, "", 0},
    };
    for (const Case& c : cases) {
        const auto button = CascadeLircInput::ParseLine(c.line);
        ASSERT_EQ(button.has_value(), c.valid) << c.line;
        if (!button) continue;
        EXPECT_EQ(button->name, c.name) << c.line;
        EXPECT_EQ(button->repeat, c.repeat) << c.line;
    }
}

// A stand-in lircd: a listening socket the test writes lines to.
class ScriptedLircd {
public:
    explicit ScriptedLircd(const std::string& path) : m_path(path) {
        m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        m_ok = m_listen >= 0 && ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               ::listen(m_listen, 4) == 0;
    }
    ~ScriptedLircd() {
        Hangup();
        if (m_listen >= 0) ::close(m_listen);
    }
    bool Ok() const { return m_ok; }
    bool Accept() {
        m_client = ::accept(m_listen, nullptr, nullptr);
        return m_client >= 0;
    }
    void Send(const std::string& text) const { ASSERT_EQ(::write(m_client, text.data(), text.size()), ssize_t(text.size())); }
    void Hangup() {
        if (m_client >= 0) ::close(m_client);
        m_client = -1;
    }

private:
    std::string m_path;
    int m_listen = -1;
    int m_client = -1;
    bool m_ok = false;
};

class CascadeLircInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CascadeLircInput::IsBuiltIn()) GTEST_SKIP() << "built without liblirc-client";
        ASSERT_FALSE(m_dir.Path().empty());
        std::vector<std::string> problems;
        m_map.Read("btn_play = Play\nKEY_OK = none\n", "test", problems);
        ASSERT_TRUE(problems.empty());
    }

    ScopedTempDir m_dir;
    CascadeKeyMap m_map;
    KeyLog m_log;
};

TEST_F(CascadeLircInputTest, ButtonsArriveThroughTheKeyMapAndOnlyArrowsAndVolumeRepeat) {
    ScriptedLircd lircd(m_dir.File("lircd"));
    ASSERT_TRUE(lircd.Ok());
    CascadeLircInput input(m_map, [&](unsigned long key) { m_log.Add(key); });
    ASSERT_TRUE(input.Start(m_dir.File("lircd")));
    ASSERT_TRUE(lircd.Accept());
    lircd.Send("0000000000000001 00 KEY_UP devinput\n"
               "0000000000000001 01 KEY_UP devinput\n"      // held arrow: repeats
               "0000000000000002 00 KEY_SELECT devinput\n"
               "0000000000000002 01 KEY_SELECT devinput\n"  // held Select: once only
               "0000000000000003 00 KEY_OK devinput\n"      // unmapped by the user's map
               "0000000000000004 00 KEY_ZOOM devinput\n"   // not in the map
               "0000000000000004 00 KEY_MUTE devinput\n"
               "0000000000000004 01 KEY_MUTE devinput\n"   // held Mute: once only
               "0000000000000005 00 KEY_VOLUMEDOWN devinput\n"
               "0000000000000005 01 KEY_VOLUMEDOWN devinput\n"  // held volume: repeats
               "BEGIN\nSIGHUP\nEND\n"                       // lircd reloaded its configuration
               "garbage that lircd never sends\n"
               "0000000000000005 00 btn_");
    lircd.Send("play my-remote\n"                           // a line in two pieces
               "0000000000000006 00 KEY_MENU devinput\n");
    EXPECT_EQ(m_log.WaitFor(8),
              (std::vector<unsigned long>{kUp, kUp, kSelect, kMute, kVolumeDown, kVolumeDown, kPlay, kMenu}));

    // lircd restarted: the input comes back by itself.
    lircd.Hangup();
    ASSERT_TRUE(lircd.Accept());
    lircd.Send("0000000000000007 00 KEY_BACK devinput\n");
    EXPECT_EQ(m_log.WaitFor(9).back(), kExit);
    input.Stop();
}

TEST_F(CascadeLircInputTest, WithoutLircdItWaitsAndStopsWhenAsked) {
    CascadeLircInput input(m_map, [&](unsigned long key) { m_log.Add(key); });
    ASSERT_TRUE(input.Start(m_dir.File("no-lircd-here")));
    input.Stop();  // returns although the thread is between attempts
    input.Stop();  // idempotent
    EXPECT_TRUE(m_log.WaitFor(0).empty());
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

TEST_F(CascadeLircInputTest, FailedAttemptsLeaveNoDescriptorBehind) {
    // No daemon at all, and a socket file nobody listens on (lircd gone
    // without removing it): each attempt's socket is closed again.
    const std::string stale = m_dir.File("stale-lircd");
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, stale.c_str(), sizeof addr.sun_path - 1);
        ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
        close(fd);
    }
    for (const std::string& path : {m_dir.File("no-lircd-here"), stale}) {
        const int before = OpenDescriptors();
        {
            CascadeLircInput input(m_map, [&](unsigned long key) { m_log.Add(key); }, 10);
            ASSERT_TRUE(input.Start(path));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // some 30 attempts
        }
        EXPECT_EQ(before, OpenDescriptors()) << path;
    }
}

}  // namespace
