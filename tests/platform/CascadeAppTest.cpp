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

namespace {

// Runs an application whose OnAppInit hands control to a test body on a
// second thread; the body talks to the app (ECP, wormholes) and ends it.
class ScriptedApp : public CascadeApp, public CascadeTimer {
public:
    std::function<void(ScriptedApp&)> onInit;     // UI thread
    std::function<void(ScriptedApp&)> script;     // a second thread
    std::vector<unsigned long> timerTicks;
    std::vector<std::pair<uint32_t, std::string>> messages;
    std::vector<unsigned long> keys;
    std::vector<std::string> commands;
    std::thread::id uiThread;
    bool callbacksOnUiThread = true;

    void OnAppInit() override {
        uiThread = std::this_thread::get_id();
        if (onInit) onInit(*this);
        if (script) m_scriptThread = std::thread([this] {
            script(*this);
            Terminate(0);
        });
    }
    void OnAppExit() override {
        if (m_scriptThread.joinable()) m_scriptThread.join();
    }
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
        commands.push_back(command.Std());
        reply = "got " + command.Std();
    }

private:
    void Check() {
        if (std::this_thread::get_id() != uiThread) callbacksOnUiThread = false;
    }
    std::thread m_scriptThread;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quendrel-apptest-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    // The socket opens once OnAppInit has returned: retry until it answers.
    std::string Ecp(const std::string& command) {
        CascadeString reply("<none>");
        for (int i = 0; i < 200 && !CascadeInput::DispatchECPCommand(command, reply); ++i) CascadeThread::Sleep(10);
        return reply.Std();
    }
    std::string m_dir;
};

TEST_F(AppTest, TimersTickOnTheUiThreadUntilKilled) {
    ScriptedApp app;
    unsigned long fast = 0;
    app.onInit = [&](ScriptedApp& a) {
        fast = a.SetTimer(5);
        a.SetTimer(100000);  // never due during the test
    };
    app.script = [&](ScriptedApp& a) {
        while (true) {
            std::promise<std::size_t> count;
            a.Post([&] { count.set_value(a.timerTicks.size()); });
            if (count.get_future().get() >= 3) break;
            CascadeThread::Sleep(5);
        }
        std::promise<void> killed;
        a.Post([&] {
            a.KillTimer(fast);
            a.timerTicks.clear();
            killed.set_value();
        });
        killed.get_future().wait();
        CascadeThread::Sleep(50);
    };
    EXPECT_EQ(app.Run(0, nullptr), 0);
    EXPECT_TRUE(app.timerTicks.empty());  // no tick after the kill
    EXPECT_TRUE(app.callbacksOnUiThread);
}

TEST_F(AppTest, WormholeMessagesArriveOnTheUiThreadWithACopyOfTheData) {
    ScriptedApp app;
    CascadeWormhole hole;
    app.onInit = [&](ScriptedApp&) { ASSERT_TRUE(hole.Create("wormhole://127.0.0.1/test.Quendrel.wormhole")); };
    app.script = [&](ScriptedApp&) {
        char text[] = "hello";
        CascadeWormhole::PostMessage("wormhole://127.0.0.1/test.Quendrel.wormhole", 0xFACED, text, 6);
        text[0] = 'J';  // the message holds its own copy
        CascadeWormhole::PostMessage("wormhole://127.0.0.1/test.Quendrel.wormhole", 0xDEFACE, nullptr, 0);
        CascadeWormhole::PostMessage("wormhole://127.0.0.1/nobody", 0xFACE, nullptr, 0);
        CascadeThread::Sleep(100);
    };
    app.Run(0, nullptr);
    ASSERT_EQ(app.messages.size(), 2u);
    EXPECT_EQ(app.messages[0], std::make_pair(uint32_t(0xFACED), std::string("hello")));
    EXPECT_EQ(app.messages[1].first, 0xDEFACEu);
    EXPECT_TRUE(app.callbacksOnUiThread);
}

TEST_F(AppTest, EcpSocketIsPrivateAndPrefixesIgnoreCase) {
    ScriptedApp app;
    app.onInit = [](ScriptedApp& a) { a.RegisterECPCommand("Quendrel"); };
    std::string a, b, c;
    mode_t socketMode = 0, dirMode = 0;
    app.script = [&](ScriptedApp&) {
        a = Ecp("Quendrel ping");
        b = Ecp("QUENDREL PING");
        c = Ecp("Somebody else");
        struct stat st {};
        stat(CascadeInput::GetSocketPath().c_str(), &st);
        socketMode = st.st_mode & 0777;
        stat((m_dir + "/quendrel").c_str(), &st);
        dirMode = st.st_mode & 0777;
    };
    app.Run(0, nullptr);
    EXPECT_EQ(a, "got Quendrel ping");
    EXPECT_EQ(b, "got QUENDREL PING");
    EXPECT_EQ(c, "");  // not ours: the framework's empty reply
    EXPECT_EQ(socketMode, 0600u);
    EXPECT_EQ(dirMode, 0700u);
    EXPECT_FALSE(std::filesystem::exists(CascadeInput::GetSocketPath()));  // removed at exit
    CascadeString reply("unchanged");
    EXPECT_FALSE(CascadeInput::DispatchECPCommand("Quendrel ping", reply));  // nothing listens now
    EXPECT_EQ(reply, "unchanged");
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

// Keys go to the focused window, then to the application; the screenshot
// is the composed screen.
TEST_F(AppTest, KeypressGoesToTheFocusedWindowThenToTheApplicationAndScreenshotsComposeTheScreen) {
    ScriptedApp app;
    KeyWindow window;
    app.onInit = [&](ScriptedApp&) {
        window.SetRectAbsolute({10, 20, 30, 40});
        window.Materialize(1);
        window.SetFocus();
    };
    const std::string file = m_dir + "/shot.png";
    std::string byName, byCode, bad, shot;
    app.script = [&](ScriptedApp&) {
        byName = Ecp("keypress Select");
        byCode = Ecp("keypress 0x10020");
        bad = Ecp("keypress Teleport");
        shot = Ecp("screenshot " + file);
    };
    app.Run(0, nullptr);
    EXPECT_EQ(byName, "OK");
    EXPECT_EQ(byCode, "OK");
    EXPECT_NE(bad, "OK");
    EXPECT_EQ(window.keys, (std::vector<unsigned long>{CascadeKeys::kSelect, CascadeKeys::kMenu}));
    EXPECT_EQ(app.keys, (std::vector<unsigned long>{CascadeKeys::kMenu}));  // only the one not consumed
    ASSERT_EQ(shot, "OK");
    CascadeBitmap image;
    ASSERT_TRUE(image.LoadFromFile(file));
    EXPECT_EQ(image.GetDims(), CascadeDims(1024, 576));
    EXPECT_EQ(image.GetPixel(15, 25), CascadeColor(0x3366CCFFu).ToARGB());
    EXPECT_EQ(image.GetPixel(5, 5), CascadeColor(0x000000FFu).ToARGB());
}

TEST_F(AppTest, InactiveKeysReachOnlyAnInterestedApplication) {
    struct HiddenApp : ScriptedApp {
        std::vector<unsigned long> inactive;
        void OnKeyDownInactive(unsigned long key) override { inactive.push_back(key); }
    } app;
    app.onInit = [](ScriptedApp& a) { a.Deactivate(); };
    app.script = [&](ScriptedApp& a) {
        Ecp("keypress Menu");  // not registered yet: dropped
        std::promise<void> done;
        a.Post([&] {
            a.RegisterInactiveKeyInterest(true);
            done.set_value();
        });
        done.get_future().wait();
        Ecp("keypress Menu");
    };
    app.Run(0, nullptr);
    EXPECT_EQ(app.inactive, (std::vector<unsigned long>{CascadeKeys::kMenu}));
    EXPECT_TRUE(app.keys.empty());
}

}  // namespace
