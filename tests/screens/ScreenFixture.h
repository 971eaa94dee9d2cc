#pragma once

#include "app/base/AppServices.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeWindow.h"
#include "player/PlayerView.h"
#include "screens/ManagePlaylistDialog.h"
#include "screens/ScreenContext.h"
#include "support/FakeSlimConnection.h"
#include "support/ScopedTempDir.h"
#include "ui/AlbumButton.h"
#include "ui/Configuration.h"
#include "ui/EListView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <unistd.h>

// The player as the screens see it: a state, seconds played, the IR codes
// it was asked to send, and a display window that holds the focus while no
// dialog is up.
class FakePlayer : public PlayerView {
public:
    uint32_t GetPlayerState() const override { return state.load(); }
    bool IsAudioPlaying() const override { return audio.load(); }
    unsigned long GetPlayedSeconds() const override { return seconds.load(); }
    bool SendIRCode(unsigned long code) override {
        std::lock_guard lock(m_lock);
        m_codes.push_back(code);
        return true;
    }
    CascadeWindow& GetDisplayWindow() override { return display; }
    void ShowDisplay(bool) override {}

    std::vector<unsigned long> Codes() const {
        std::lock_guard lock(m_lock);
        return m_codes;
    }
    void Play(unsigned long at) {
        seconds = at;
        state = kPlaying;
        audio = true;
    }

    std::atomic<uint32_t> state{kStopped};
    std::atomic<bool> audio{false};
    std::atomic<unsigned long> seconds{0};
    CascadeWindow display;

private:
    mutable std::mutex m_lock;
    std::vector<unsigned long> m_codes;
};

// The application as the screens see it: commands run at once on the
// caller's thread (in order, as the command queue would run them), messages
// are recorded with the please-wait texts, a skin change loads the skin for
// real. Any thread may call it; tests read the records through Read.
class FakeApp final : public AppServices {
public:
    void PostCommand(const char*, std::function<void()> command) override {
        if (command) command();
    }
    void PostAppMessage(uint32_t id, const void* data, std::size_t length) override {
        std::lock_guard lock(m_lock);
        messages.push_back(id);
        if (id == kSetPleaseWaitText) texts.emplace_back(static_cast<const char*>(data), length);
    }
    void ChangeSkin(const char* name) override {
        {
            std::lock_guard lock(m_lock);
            skinChanges.emplace_back(name);
        }
        const std::string path = g_appPath.Std() + "images/" + name + "/Configuration.xml";
        g_config.LoadConfiguration(path.c_str(), name);
    }
    CascadeString GetCurrentSkinName() const override {
        std::lock_guard lock(m_lock);
        return skinChanges.empty() ? "Default" : skinChanges.back().c_str();
    }
    void ExitApplication() override {}
    void HideApplication() override {}

    // A copy of one of the records below, taken under the lock.
    template <typename Record>
    Record Read(const Record& record) const {
        std::lock_guard lock(m_lock);
        return record;
    }
    std::vector<std::string> texts, skinChanges;
    std::vector<uint32_t> messages;

private:
    mutable std::mutex m_lock;  // the records
};

class ManageClientRecorder : public ManagePlaylistDialog::Client {
public:
    void OnManagePlaylistCommand(const CascadeString& command) override { commands.push_back(command.Std()); }
    std::vector<std::string> commands;
};

// Screens on an off-screen desktop with the Default skin the build draws
// (build/app/images), a fake server, player and application. The desktop
// is made in SetUp, at the size QUENDREL_SCREEN gives (1024 x 576 unless a
// test sets it first through ScreenSize()). The settings a test may change
// are put back afterwards.
class ScreenFixture : public ::testing::Test {
protected:
    // The screen size for this test, as QUENDREL_SCREEN gives it.
    virtual const char* ScreenSize() const { return "1024x576"; }

    // The settings a test may change.
    static auto Settings() {
        return std::tie(g_appPath, g_portWeb, g_useLargeFont, g_wrapAround, g_largeCoverArt, g_ssTransport);
    }
    void SetUp() override {
        ::setenv("QUENDREL_SCREEN", ScreenSize(), 1);
        app = std::make_unique<CascadeApp>();
        ::unsetenv("QUENDREL_SCREEN");
        m_saved = Settings();
        g_appPath = CascadeString(BuildDir() + "/app/");
        // Cover requests go nowhere unless a test serves them: nothing listens on port 1.
        g_portWeb = "1";
        g_config.SetApplicationDirectory(g_appPath.Std());
        const std::string skin = g_appPath.Std() + "images/Default/Configuration.xml";
        ASSERT_TRUE(std::filesystem::exists(skin)) << "no skin at " << skin << " (build the skins target)";
        g_config.LoadConfiguration(skin.c_str(), "Default");
        context.app = &fakeApp;
        context.server = &server;
        context.player = &player;
        context.serverAddress = "127.0.0.1";
        // The player display holds the focus, as after start-up.
        player.display.SetRectAbsolute({352, 21, 320, 33});
        player.display.Materialize(2);
        player.display.SetFocus();
    }
    void TearDown() override {
        player.display.Vanish();
        if (g_config.GetSkinName() != "Default")
            g_config.LoadConfiguration((g_appPath.Std() + "images/Default/Configuration.xml").c_str(), "Default");
        Settings() = m_saved;
    }

    // The build directory: the environment's, else the one this program
    // was built into (it lives in <build>/tests/).
    static std::string BuildDir() {
        if (const char* dir = std::getenv("QUENDREL_BUILD_DIR"); dir && *dir) return dir;
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        return error ? std::string("build") : self.parent_path().parent_path().string();
    }
    // Attaches `window` and shows it over the whole screen.
    template <typename Window>
    void ShowFullScreen(Window& window) {
        window.Attach(context);
        window.SetRectAbsolute(CascadeRect({0, 0}, ScreenDims()));
        window.Materialize(1);
    }
    CascadeDesktop& Desktop() { return app->GetDesktop(); }
    const CascadeBitmap& Screen() { return app->GetDesktop().Screen(); }
    CascadeDims ScreenDims() { return app->GetDesktop().GetDims(); }
    // Runs the paint walk (what the UI thread does after every event).
    const CascadeBitmap& Paint() {
        (void)app->GetDesktop().PaintDirty();
        return Screen();
    }
    void RepaintAll() {
        Desktop().Invalidate(CascadeRect({0, 0}, ScreenDims()));
        Paint();
    }
    bool Key(unsigned long key) { return Desktop().DispatchKeyDown(key); }
    // Runs the tasks posted to the UI thread so far.
    void RunUiTasks() { app->GetQueue().RunPending(); }
    // Waits (up to 10 s) for what another thread does, running the tasks it
    // posts to the UI thread meanwhile.
    bool WaitUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (RunUiTasks(); !done(); RunUiTasks()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Paints and writes the screen into build/screens/<name>.png for review.
    void Screenshot(const std::string& name) {
        Paint();
        const std::string dir = BuildDir() + "/screens";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        EXPECT_TRUE(Screen().SaveAsPNG(dir + "/" + name + ".png"));
    }

    // The texts of a list's rows: the first `cells` cells of each, joined by a blank.
    static std::vector<std::string> RowTexts(const EListView& list, std::size_t cells = 1) {
        std::vector<std::string> rows(list.ItemCount());
        for (std::size_t i = 0; i < rows.size(); ++i)
            for (std::size_t c = 0; c < cells; ++c)
                rows[i] += (c ? " " : "") + std::string(list.GetItem(int(i))->GetCell(c));
        return rows;
    }
    // Pixels of the screen in `rect` for which `match` holds.
    int CountPixels(const CascadeRect& rect, const std::function<bool(uint8_t r, uint8_t g, uint8_t b)>& match) {
        const CascadeBitmap& screen = Screen();
        const CascadeRect r = rect.MakeIntersectRect(CascadeRect({0, 0}, screen.GetDims()));
        int n = 0;
        for (int y = r.y; y < r.Bottom(); ++y)
            for (int x = r.x; x < r.Right(); ++x) {
                const uint32_t argb = screen.GetPixel(x, y);
                n += match(uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb));
            }
        return n;
    }
    // Pixels as bright as text is drawn (the backdrops and panels are dark).
    int BrightPixels(const CascadeRect& rect) {
        return CountPixels(rect, [](uint8_t r, uint8_t g, uint8_t b) { return r + g + b > 3 * 160; });
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
    // A `side` x `side` JPEG of one colour, as a server's cover is.
    static std::string SolidJpeg(CascadeColor colour, int side) {
        const ScopedTempDir dir("quendrel-cover");
        CascadeBitmap picture;
        if (!picture.Create({side, side})) return {};
        picture.Clear(colour);
        return picture.SaveAsJPEG(dir.File("cover.jpg"), 95) ? dir.ReadFile("cover.jpg") : std::string();
    }
    std::unique_ptr<CascadeApp> app;
    FakeSlimConnection server;
    FakePlayer player;
    FakeApp fakeApp;
    ScreenContext context;

private:
    std::tuple<CascadeString, CascadeString, uint32_t, uint32_t, uint32_t, uint32_t> m_saved;
};

// Dialogs over a full-screen window, as the Now Playing screen lies under
// them; the player display underneath must get the focus back.
class DialogTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        m_backdrop.SetRectAbsolute(CascadeRect({0, 0}, ScreenDims()));
        m_backdrop.Materialize(1);
        player.display.SetFocus();
    }
    void TearDown() override {
        m_backdrop.Vanish();
        ScreenFixture::TearDown();
    }
    template <typename... Keys>
    void Press(Keys... keys) {
        ((void)Key(keys), ...);
    }

private:
    class Backdrop : public CascadeWindow {
    public:
        void OnPaint(CascadeBitmap& target) override { target.Clear(CascadeColor(0x203040FFu)); }
        bool WillAcceptFocus() override { return false; }
    } m_backdrop;
};
