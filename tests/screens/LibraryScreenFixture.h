#pragma once

#include "LibraryFakeServer.h"
#include "app/base/AppServices.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeBitmap.h"
#include "screens/ScreenContext.h"
#include "ui/Configuration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

// What the library screens' tests share: the built application directory
// with its Default skin, an application whose desktop the windows live on,
// the fake server and an application-services double that runs posted
// commands at once and records the please-wait messages.
class LibraryTestServices : public AppServices {
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
    void ChangeSkin(const char*) override {}
    CascadeString GetCurrentSkinName() const override { return "Default"; }
    void ExitApplication() override {}
    void HideApplication() override {}

    std::vector<uint32_t> Messages() const {
        std::lock_guard lock(m_lock);
        return messages;
    }
    std::vector<std::string> Commands() const {
        std::lock_guard lock(m_lock);
        return commands;
    }

private:
    mutable std::mutex m_lock;
    std::vector<uint32_t> messages;
    std::vector<std::string> commands;
};

class LibraryTestApp : public CascadeApp {};

class LibraryScreenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* build = std::getenv("QUENDREL_BUILD_DIR");
        s_build = build ? build : "build";
        g_appPath = s_build + "/app/";
        g_config.SetApplicationDirectory(g_appPath.Std());
        const std::string skin = g_appPath.Std() + "images/Default/Configuration.xml";
        g_config.LoadConfiguration(skin.c_str(), "Default");
    }
    void SetUp() override {
        m_savedLargeFont = g_useLargeFont;
        m_savedWrap = g_wrapAround;
        m_context.app = &m_services;
        m_context.server = &m_server;
    }
    void TearDown() override {
        g_useLargeFont = m_savedLargeFont;
        g_wrapAround = m_savedWrap;
    }

    bool Key(unsigned long key) { return m_app.GetDesktop().DispatchKeyDown(key); }
    void Paint() { (void)m_app.GetDesktop().PaintDirty(); }
    // Paints the whole screen and keeps it as build/screens/<name>.png.
    void Screenshot(const std::string& name) {
        Paint();
        const std::string dir = s_build + "/screens";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        EXPECT_TRUE(m_app.GetDesktop().Screen().SaveAsPNG(dir + "/" + name + ".png"));
    }
    uint32_t ScreenPixel(int x, int y) { return m_app.GetDesktop().Screen().GetPixel(x, y); }

    // `count` entries named by `name(i)`, ids from `firstId`.
    template <typename Name>
    static std::vector<LibraryFakeServer::Entry> Entries(int count, unsigned long firstId, Name name) {
        std::vector<LibraryFakeServer::Entry> out;
        for (int i = 0; i < count; ++i) out.push_back({firstId + unsigned(i), name(i)});
        return out;
    }

    inline static std::string s_build;
    LibraryTestApp m_app;
    LibraryFakeServer m_server;
    LibraryTestServices m_services;
    ScreenContext m_context;
    uint32_t m_savedLargeFont = 0, m_savedWrap = 0;
};
