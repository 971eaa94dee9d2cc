// The screens while music plays: the Now Playing screen full-screen over a
// server that answers at once (a stand-in with canned replies) and a player
// that plays. Two figures:
//  - the area repainted per second (only the progress bar and the time text
//    should change, once a second);
//  - key press to presented frame for Menu and Exit: the key is injected on
//    the UI thread and the clock stops in the next turn of the loop, after
//    the dirty region was painted and presented.
#include "app/base/AppServices.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeThread.h"
#include "player/PlayerView.h"
#include "screens/BrowseMusicMenu.h"
#include "screens/ExitDialog.h"
#include "screens/NowPlayingWindow.h"
#include "support/FakeSlimConnection.h"
#include "ui/Configuration.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Plays for ever: the seconds follow the wall clock.
class PlayingPlayer : public PlayerView {
public:
    uint32_t GetPlayerState() const override { return kPlaying; }
    bool IsAudioPlaying() const override { return true; }
    unsigned long GetPlayedSeconds() const override {
        return unsigned(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_start).count()) % 240;
    }
    bool SendIRCode(unsigned long) override { return true; }
    CascadeWindow& GetDisplayWindow() override { return display; }
    void ShowDisplay(bool) override {}
    CascadeWindow display;

private:
    Clock::time_point m_start = Clock::now();
};

class NoApp final : public AppServices {
public:
    void PostCommand(const char*, std::function<void()> command) override { command(); }
    void PostAppMessage(uint32_t, const void*, std::size_t) override {}
    void ChangeSkin(const char*) override {}
    CascadeString GetCurrentSkinName() const override { return "Default"; }
    void ExitApplication() override {}
    void HideApplication() override {}
};

// The application's key handling for the two keys measured.
class BenchApp : public CascadeApp, public BrowseMusicMenu::Client, public ExitDialog::Client {
public:
    BenchApp() {
        FakeSlimConnection::Status status;
        status.trackCount = 12;
        status.currentIndex = 2;
        status.current = FakeSlimConnection::Song("Coffee & Rain", "The Quiet Tones", "Morning Light", "-1", "-1");
        status.current.year = "2001";
        status.current.genre = "Jazz";
        status.current.bitrate = "128kbps CBR";
        status.current.secondsTotal = 240;
        for (int i = 3; i < 12; ++i)
            status.upcoming.push_back(FakeSlimConnection::Song(("Track " + std::to_string(i)).c_str(), "Artist"));
        server.SetStatus(status);
    }
    void OnAppInit() override {
        ScreenContext context;
        context.app = &services;
        context.server = &server;
        context.player = &player;
        context.serverAddress = "127.0.0.1";
        const CascadeDims dims = GetDesktop().GetDims();
        nowPlaying.Attach(context);
        nowPlaying.SetRectAbsolute({0, 0, dims.w, dims.h});
        nowPlaying.Materialize(1);
        player.display.SetRectAbsolute({352, 21, 320, 33});
        player.display.Materialize(2);
        player.display.SetFocus();
        probe = std::thread([this] { work(*this); });
    }
    void OnAppExit() override {
        probe.join();
        nowPlaying.StopUpdate();
    }
    void OnKeyDown(unsigned long key) override {
        if (key == CascadeKeys::kMenu) menu.ShowDialog(this);
        if (key == CascadeKeys::kExit) exitDialog.ShowDialog(this);
    }
    void OnMenuCommand(const CascadeString&) override {}
    void OnExitCommand(const CascadeString&) override {}

    // Milliseconds from injecting `key` to the end of the loop turn that
    // painted and presented its result.
    double KeyToFrame(unsigned long key) {
        std::promise<double> result;
        Post([&] {
            const Clock::time_point start = Clock::now();
            InjectKey(key);
            // Tasks posted now run in the next turn, after this turn's paint.
            Post([&, start] {
                result.set_value(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            });
        });
        return result.get_future().get();
    }

    std::function<void(BenchApp&)> work;
    FakeSlimConnection server;
    PlayingPlayer player;
    NoApp services;
    NowPlayingWindow nowPlaying;
    BrowseMusicMenu menu;
    ExitDialog exitDialog;
    std::thread probe;
};

bool LoadSkin() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return false;
    const std::string app = self.parent_path().parent_path().string() + "/app/";
    g_appPath = CascadeString(app);
    g_portWeb = "1";  // cover requests go nowhere
    g_config.SetApplicationDirectory(app);
    const std::string skin = app + "images/Default/Configuration.xml";
    if (!std::filesystem::exists(skin)) return false;
    g_config.LoadConfiguration(skin.c_str(), "Default");
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_NowPlayingAreaPerSecond(benchmark::State& state) {
    if (!LoadSkin()) return state.SkipWithError("no skin in <build>/app (build the skins target)");
    double area = 0, paints = 0;
    for (auto _ : state) {
        BenchApp app;
        app.work = [&](BenchApp& self) {
            CascadeThread::Sleep(1500);  // the first status, the cover and the first full paint
            const uint64_t before = self.GetDesktop().PaintCount();
            const uint64_t areaBefore = self.GetDesktop().PaintedArea();
            CascadeThread::Sleep(10000);
            area = double(self.GetDesktop().PaintedArea() - areaBefore) / 10.0;
            paints = double(self.GetDesktop().PaintCount() - before) / 10.0;
            self.Terminate(0);
        };
        app.Run(0, nullptr);
    }
    state.counters["pixels_per_s"] = area;
    state.counters["window_paints_per_s"] = paints;
}
BENCHMARK(BM_NowPlayingAreaPerSecond)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

void BM_KeyToPresentedFrame(benchmark::State& state) {
    if (!LoadSkin()) return state.SkipWithError("no skin in <build>/app (build the skins target)");
    std::vector<double> menuOpen, menuClose, exitOpen, exitClose;
    for (auto _ : state) {
        BenchApp app;
        app.work = [&](BenchApp& self) {
            CascadeThread::Sleep(1500);
            for (int i = 0; i < 25; ++i) {
                menuOpen.push_back(self.KeyToFrame(CascadeKeys::kMenu));
                CascadeThread::Sleep(30);
                menuClose.push_back(self.KeyToFrame(CascadeKeys::kExit));
                CascadeThread::Sleep(30);
                exitOpen.push_back(self.KeyToFrame(CascadeKeys::kExit));
                CascadeThread::Sleep(30);
                exitClose.push_back(self.KeyToFrame(CascadeKeys::kExit));
                CascadeThread::Sleep(30);
            }
            self.Terminate(0);
        };
        app.Run(0, nullptr);
    }
    state.counters["menu_open_ms"] = Median(menuOpen);
    state.counters["menu_close_ms"] = Median(menuClose);
    state.counters["exit_open_ms"] = Median(exitOpen);
    state.counters["exit_close_ms"] = Median(exitClose);
    state.counters["worst_ms"] = std::max({*std::max_element(menuOpen.begin(), menuOpen.end()),
                                          *std::max_element(menuClose.begin(), menuClose.end()),
                                          *std::max_element(exitOpen.begin(), exitOpen.end()),
                                          *std::max_element(exitClose.begin(), exitClose.end())});
}
BENCHMARK(BM_KeyToPresentedFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
