#include "platform/CascadeApp.h"
#include "platform/CascadeInput.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWindow.h"
#include "platform/CascadeWormhole.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <thread>

#include "support/ScopedTempDir.h"

namespace {

// Runs an application whose OnAppInit hands control to a test body on a
// second thread; the body talks to the app (ECP, wormholes) and ends it.
class ScriptedApp : public CascadeApp, public CascadeTimer {
public:
    std::function<void(ScriptedApp&)> onInit;  // UI thread
    std::function<void(ScriptedApp&)> script;  // a second thread
    std::vector<unsigned long> timerTicks;
    std::vector<std::pair<uint32_t, std::string>> messages;
    std::vector<unsigned long> keys;
    bool callbacksOnUiThread = true;

    void OnAppInit() override {
        m_uiThread = std::this_thread::get_id();
        if (onInit) onInit(*this);
        m_scriptThread = std::thread([this] {
            script(*this);
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
    // Runs `f` on the UI thread and waits for it.
    void OnUi(const std::function<void()>& f) {
        std::promise<void> done;
        Post([&] {
            f();
            done.set_value();
        });
        done.get_future().wait();
    }

private:
    void Check() { callbacksOnUiThread = callbacksOnUiThread && std::this_thread::get_id() == m_uiThread; }
    std::thread::id m_uiThread;
    std::thread m_scriptThread;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", m_dir.Path().c_str(), 1); }
    // The socket opens once OnAppInit has returned: retry until it answers.
    static std::string Ecp(const std::string& command) {
        CascadeString reply("<none>");
        for (int i = 0; i < 200 && !CascadeInput::DispatchECPCommand(command, reply); ++i) CascadeThread::Sleep(10);
        return reply.Std();
    }
    ScopedTempDir m_dir;
};

// Timers tick on the UI thread until killed; wormhole messages arrive there
// with a copy of their data, and only at the wormhole they name.
TEST_F(AppTest, TimersAndWormholeMessagesArriveOnTheUiThread) {
    ScriptedApp app;
    CascadeWormhole hole;
    const char* address = "wormhole://127.0.0.1/test.Quendrel.wormhole";
    unsigned long fast = 0;
    app.onInit = [&](ScriptedApp& a) {
        ASSERT_TRUE(hole.Create(address));
        fast = a.SetTimer(5);
        a.SetTimer(100000);  // never due during the test
    };
    app.script = [&](ScriptedApp& a) {
        std::size_t ticks = 0;
        while (ticks < 3) {
            a.OnUi([&] { ticks = a.timerTicks.size(); });
            CascadeThread::Sleep(5);
        }
        a.OnUi([&] {
            a.KillTimer(fast);
            a.timerTicks.clear();
        });
        char text[] = "hello";
        CascadeWormhole::PostMessage(address, 0xFACED, text, 6);
        text[0] = 'J';  // the message holds its own copy
        CascadeWormhole::PostMessage(address, 0xDEFACE, nullptr, 0);
        CascadeWormhole::PostMessage("wormhole://127.0.0.1/nobody", 0xFACE, nullptr, 0);
        CascadeThread::Sleep(100);
    };
    EXPECT_EQ(app.Run(0, nullptr), 0);
    EXPECT_TRUE(app.timerTicks.empty());  // no tick after the kill
    ASSERT_EQ(app.messages.size(), 2u);
    EXPECT_EQ(app.messages[0], std::make_pair(uint32_t(0xFACED), std::string("hello")));
    EXPECT_EQ(app.messages[1].first, 0xDEFACEu);
    EXPECT_TRUE(app.callbacksOnUiThread);
}

class KeyWindow : public CascadeWindow {
public:
    bool OnKeyDown(unsigned long key) override {
        keys.push_back(key);
        return key == CascadeKeys::kSelect;
    }
    void OnPaint(CascadeBitmap& target) override { target.Clear(CascadeColor(0x3366CCFFu)); }
    std::vector<unsigned long> keys;
};

// The socket is private and removed at exit; registered prefixes match
// without regard to case; "keypress" goes to the focused window, then to
// the application; "screenshot" writes the composed screen.
TEST_F(AppTest, EcpSocketPrefixesKeypressAndScreenshot) {
    ScriptedApp app;
    KeyWindow window;
    app.onInit = [&](ScriptedApp& a) {
        a.RegisterECPCommand("Quendrel");
        window.SetRectAbsolute({10, 20, 30, 40});
        window.Materialize(1);
        window.SetFocus();
    };
    const std::string file = m_dir.File("shot.png");
    std::map<std::string, std::string> replies;
    mode_t socketMode = 0, dirMode = 0;
    app.script = [&](ScriptedApp&) {
        for (const char* command : {"Quendrel ping", "QUENDREL PING", "Somebody else", "keypress Select",
                                    "keypress 0x10020", "keypress Teleport"})
            replies[command] = Ecp(command);
        replies["screenshot"] = Ecp("screenshot " + file);
        struct stat st {};
        stat(CascadeInput::GetSocketPath().c_str(), &st);
        socketMode = st.st_mode & 0777;
        stat(m_dir.File("quendrel").c_str(), &st);
        dirMode = st.st_mode & 0777;
    };
    app.Run(0, nullptr);
    EXPECT_EQ(replies["Quendrel ping"], "got Quendrel ping");
    EXPECT_EQ(replies["QUENDREL PING"], "got QUENDREL PING");
    EXPECT_EQ(replies["Somebody else"], "");  // not ours: the framework's empty reply
    EXPECT_EQ(replies["keypress Select"], "OK");
    EXPECT_EQ(replies["keypress 0x10020"], "OK");
    EXPECT_NE(replies["keypress Teleport"], "OK");
    EXPECT_EQ(socketMode, 0600u);
    EXPECT_EQ(dirMode, 0700u);
    EXPECT_FALSE(std::filesystem::exists(CascadeInput::GetSocketPath()));
    CascadeString reply("unchanged");
    EXPECT_FALSE(CascadeInput::DispatchECPCommand("Quendrel ping", reply));  // nothing listens now
    EXPECT_EQ(reply, "unchanged");

    EXPECT_EQ(window.keys, (std::vector<unsigned long>{CascadeKeys::kSelect, CascadeKeys::kMenu}));
    EXPECT_EQ(app.keys, (std::vector<unsigned long>{CascadeKeys::kMenu}));  // only the one not consumed
    EXPECT_TRUE(app.callbacksOnUiThread);
    ASSERT_EQ(replies["screenshot"], "OK");
    CascadeBitmap image;
    ASSERT_TRUE(image.LoadFromFile(file));
    EXPECT_EQ(image.GetDims(), CascadeDims(1024, 576));
    EXPECT_EQ(image.GetPixel(15, 25), CascadeColor(0x3366CCFFu).ToARGB());
    EXPECT_EQ(image.GetPixel(5, 5), CascadeColor(0x000000FFu).ToARGB());
}

}  // namespace
