#pragma once

#include "app/base/AppServices.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeWindow.h"
#include "screens/ManagePlaylistDialog.h"
#include "screens/ScreenContext.h"
#include "support/FakeSlimConnection.h"
#include "ui/Configuration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The dialogs on an off-screen desktop with the skins the build draws
// (build/app/images), a fake server, a fake application and a focused
// window underneath that must get the focus back.
class DialogTestApp : public CascadeApp {};

// The application services a dialog asks for: commands run at once on the
// caller's thread (in order, as the command queue would run them), skin
// changes load the skin for real.
class FakeAppServices : public AppServices {
public:
    void PostCommand(const char* name, std::function<void()> command) override {
        {
            std::lock_guard lock(m_lock);
            commands.push_back(name ? name : "");
        }
        command();
    }
    void PostAppMessage(uint32_t id, const void*, std::size_t) override {
        std::lock_guard lock(m_lock);
        messages.push_back(id);
    }
    void ChangeSkin(const char* name) override {
        skinChanges.push_back(name);
        skin = name;
        const std::string path = g_appPath.Std() + "images/" + name + "/Configuration.xml";
        g_config.LoadConfiguration(path.c_str(), name);
    }
    CascadeString GetCurrentSkinName() const override { return skin; }
    void ExitApplication() override {}
    void HideApplication() override {}

    std::vector<std::string> commands;
    std::vector<uint32_t> messages;
    std::vector<std::string> skinChanges;
    CascadeString skin = "Default";

private:
    std::mutex m_lock;
};

// A full-screen window that holds the focus before a dialog opens.
class FocusAnchor : public CascadeWindow {
public:
    void OnPaint(CascadeBitmap& target) override { target.Clear(CascadeColor(0x203040FFu)); }
};

class ManageClientRecorder : public ManagePlaylistDialog::Client {
public:
    void OnManagePlaylistCommand(const CascadeString& command) override { commands.push_back(command.Std()); }
    std::vector<std::string> commands;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The build directory: the environment's, else the one this program
        // was built into (<build>/tests/); ctest may not pass the environment.
        const char* build = std::getenv("QUENDREL_BUILD_DIR");
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        m_buildDir = build && *build ? std::string(build) : self.parent_path().parent_path().string();
        const std::string appDir = m_buildDir + "/app/";
        ASSERT_TRUE(std::filesystem::exists(appDir + "images/Default/Configuration.xml")) << appDir;
        m_savedAppPath = g_appPath;
        m_savedWebPort = g_portWeb;
        g_appPath = appDir;
        g_portWeb = "9";  // covers: nothing answers there unless a test serves them
        g_config.SetApplicationDirectory(appDir);
        g_config.LoadConfiguration((appDir + "images/Default/Configuration.xml").c_str(), "Default");
        m_context.app = &m_services;
        m_context.server = &m_server;
        m_anchor.SetRectAbsolute({0, 0, 1024, 576});
        m_anchor.Materialize(1);
        m_anchor.SetFocus();
    }
    void TearDown() override {
        g_config.LoadConfiguration((g_appPath.Std() + "images/Default/Configuration.xml").c_str(), "Default");
        g_appPath = m_savedAppPath;
        g_portWeb = m_savedWebPort;
    }

    void Press(unsigned long key) { m_app.GetDesktop().DispatchKeyDown(key); }
    // Paints what is dirty; returns the screen.
    const CascadeBitmap& Paint() {
        m_app.GetDesktop().PaintDirty();
        return m_app.GetDesktop().Screen();
    }
    // Paints and writes the screen to build/screens/<name>.png for review.
    void Screenshot(const std::string& name) {
        Paint();
        const std::string dir = m_buildDir + "/screens";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        EXPECT_TRUE(m_app.GetDesktop().Screen().SaveAsPNG(dir + "/" + name + ".png"));
    }
    // Runs the tasks posted to the UI thread so far.
    void RunUiTasks() { m_app.GetQueue().RunPending(); }
    // Polls `done` (running UI tasks) until it holds or 10 s pass.
    bool WaitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 1000; ++i) {
            RunUiTasks();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // The children of `parent` that are buttons shown now, left to right.
    template <typename ButtonType>
    static std::vector<const CascadeWindow*> ShownChildren(const CascadeWindow& parent) {
        std::vector<const CascadeWindow*> shown;
        for (const CascadeWindow* child : parent.GetChildren())
            if (dynamic_cast<const ButtonType*>(child) && child->IsShown()) shown.push_back(child);
        std::sort(shown.begin(), shown.end(), [](const CascadeWindow* a, const CascadeWindow* b) {
            return a->GetRectRelative().x < b->GetRectRelative().x;
        });
        return shown;
    }
    // Pixels of `rect` (screen coordinates) that differ between two screens.
    static int Differences(const CascadeBitmap& a, const CascadeBitmap& b, const CascadeRect& rect) {
        int n = 0;
        for (int y = rect.y; y < rect.Bottom(); ++y)
            for (int x = rect.x; x < rect.Right(); ++x) n += a.GetPixel(x, y) != b.GetPixel(x, y);
        return n;
    }
    static CascadeBitmap Copy(const CascadeBitmap& screen) {
        CascadeBitmap copy;
        EXPECT_TRUE(copy.Create(screen.GetDims()));
        copy.CopyFrom(screen, {0, 0});
        return copy;
    }

    DialogTestApp m_app;
    std::string m_buildDir;
    CascadeString m_savedAppPath, m_savedWebPort;
    FakeSlimConnection m_server;
    FakeAppServices m_services;
    ScreenContext m_context;
    FocusAnchor m_anchor;
};
