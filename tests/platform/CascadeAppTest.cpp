#include "platform/CascadeApp.h"
#include "platform/CascadeInput.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWindow.h"
#include "platform/CascadeWormhole.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "support/ScopedTempDir.h"

namespace {

constexpr const char* kWormhole = "wormhole://127.0.0.1/test.Quendrel.wormhole";

class KeyWindow : public CascadeWindow {
public:
    bool OnKeyDown(unsigned long key) override {
        keys.push_back(key);
        return key == CascadeKeys::kSelect;
    }
    void OnPaint(CascadeBitmap& target) override { target.Clear(CascadeColor(0x3366CCFFu)); }
    std::vector<unsigned long> keys;
};

// An application whose OnAppInit starts a script on a second thread; the
// script talks to the app (timers, wormholes, ECP) and ends it. Every
// callback notes whether it ran on the UI thread.
class ScriptedApp : public CascadeApp, public CascadeTimer {
public:
    explicit ScriptedApp(const ScopedTempDir& dir) : m_dir(dir) {}

    void OnAppInit() override {
        m_uiThread = std::this_thread::get_id();
        RegisterECPCommand("Quendrel");
        EXPECT_TRUE(m_hole.Create(kWormhole));
        m_fastTimer = SetTimer(5);
        SetTimer(100000);  // never due during the test
        window.SetRectAbsolute({10, 20, 30, 40});
        window.Materialize(1);
        window.SetFocus();
        m_scriptThread = std::thread([this] {
            Script();
            Terminate(0);
        });
    }
    void OnAppExit() override { m_scriptThread.join(); }
    void OnTimer(unsigned long id) override {
        Check();
        timerTicks.push_back(id);
    }
    void OnWormholeMessage(const CascadeMessage& m) override {
        Check();
        messages.emplace_back(m.GetMessageID(), m.GetData() ? static_cast<const char*>(m.GetData()) : "");
    }
    void OnKeyDown(unsigned long key) override {
        Check();
        keys.push_back(key);
    }
    void OnECPCommand(const CascadeString& command, CascadeString& reply) override {
        Check();
        reply = "got " + command.Std();
    }

    KeyWindow window;
    std::vector<unsigned long> timerTicks, keys;
    std::vector<std::pair<uint32_t, std::string>> messages;
    std::vector<std::string> replies;  // in the order the script sends the commands
    mode_t socketMode = 0, dirMode = 0;
    bool callbacksOnUiThread = true;

private:
    void Script() {
        WaitOnUi([&] { return timerTicks.size() >= 3; });
        WaitOnUi([&] {
            KillTimer(m_fastTimer);
            timerTicks.clear();
            return true;
        });
        CascadeWormhole::PostMessage("wormhole://127.0.0.1/nobody", 0xFACE, nullptr, 0);
        char text[] = "hello";
        CascadeWormhole::PostMessage(kWormhole, 0xFACED, text, 6);
        text[0] = 'J';  // the message holds its own copy
        CascadeWormhole::PostMessage(kWormhole, 0xDEFACE, nullptr, 0);
        WaitOnUi([&] { return messages.size() >= 2; });
        for (const std::string& command : std::vector<std::string>{
                 "Quendrel ping", "QUENDREL PING", "Somebody else", "keypress Select", "keypress 0x10020",
                 "keypress Teleport", "screenshot " + m_dir.File("shot.png"), "screenshot " + m_dir.File("notes.txt")})
            replies.push_back(Ecp(command));
        struct stat st {};
        stat(CascadeInput::GetSocketPath().c_str(), &st);
        socketMode = st.st_mode & 0777;
        stat(m_dir.File("quendrel").c_str(), &st);
        dirMode = st.st_mode & 0777;
    }
    // Asks `done` on the UI thread until it holds (at most some seconds).
    void WaitOnUi(const std::function<bool()>& done) {
        for (int i = 0; i < 1000; ++i) {
            std::promise<bool> result;
            Post([&] { result.set_value(done()); });
            if (result.get_future().get()) return;
            CascadeThread::Sleep(5);
        }
    }
    // The socket opens once OnAppInit has returned: retry until it answers.
    static std::string Ecp(const std::string& command) {
        CascadeString reply("<none>");
        for (int i = 0; i < 200 && !CascadeInput::DispatchECPCommand(command, reply); ++i) CascadeThread::Sleep(10);
        return reply.Std();
    }
    void Check() { callbacksOnUiThread = callbacksOnUiThread && std::this_thread::get_id() == m_uiThread; }

    const ScopedTempDir& m_dir;
    CascadeWormhole m_hole;
    unsigned long m_fastTimer = 0;
    std::thread::id m_uiThread;
    std::thread m_scriptThread;
};

// Timers tick on the UI thread until killed; wormhole messages arrive there
// with a copy of their data, and only at the wormhole they name. The ECP
// socket replaces a stale one, is private and removed at exit; registered prefixes match without
// regard to case; "keypress" goes to the focused window, then to the
// application; "screenshot" writes the composed screen.
TEST(CascadeApp, TimersWormholesAndTheEcpSocketServeTheUiThread) {
    ScopedTempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    // What a crashed instance leaves: an open directory and a socket file
    // bound but no longer listened on.
    ASSERT_EQ(::mkdir(dir.File("quendrel").c_str(), 0755), 0);
    ASSERT_EQ(::mknod(CascadeInput::GetSocketPath().c_str(), S_IFSOCK | 0600, 0), 0);
    ScriptedApp app(dir);
    EXPECT_EQ(app.Run(0, nullptr), 0);
    EXPECT_TRUE(app.callbacksOnUiThread);
    EXPECT_TRUE(app.timerTicks.empty());  // no tick after the kill
    EXPECT_EQ(app.messages, (std::vector<std::pair<uint32_t, std::string>>{{0xFACED, "hello"}, {0xDEFACE, ""}}));

    // A prefix not ours gets the framework's empty reply; a screenshot is only written as a PNG.
    EXPECT_EQ(app.replies, (std::vector<std::string>{"got Quendrel ping", "got QUENDREL PING", "", "OK", "OK",
                                                     "unknown key", "OK", "not a .png file"}));
    EXPECT_EQ(app.window.keys, (std::vector<unsigned long>{CascadeKeys::kSelect, CascadeKeys::kMenu}));
    EXPECT_EQ(app.keys, (std::vector<unsigned long>{CascadeKeys::kMenu}));  // only the one not consumed
    EXPECT_EQ(app.socketMode, 0600u);
    EXPECT_EQ(app.dirMode, 0700u);
    EXPECT_FALSE(std::filesystem::exists(CascadeInput::GetSocketPath()));
    CascadeString reply("unchanged");
    EXPECT_FALSE(CascadeInput::DispatchECPCommand("Quendrel ping", reply));  // nothing listens now
    EXPECT_EQ(reply, "unchanged");

    EXPECT_FALSE(std::filesystem::exists(dir.File("notes.txt")));
    CascadeBitmap image;
    ASSERT_TRUE(image.LoadFromFile(dir.File("shot.png")));
    EXPECT_EQ(image.GetDims(), CascadeDims(1024, 576));
    EXPECT_EQ(image.GetPixel(15, 25), CascadeColor(0x3366CCFFu).ToARGB());
    EXPECT_EQ(image.GetPixel(5, 5), CascadeColor(0x000000FFu).ToARGB());
}

}  // namespace
