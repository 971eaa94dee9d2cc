// The cover-art grid against the server simulator on loopback, with 1,805
// albums that have covers (`make-library --large 1800 --large-covers`):
//   open: from showing the grid to the paint after its 18th cover (cover
//         cache emptied first), median and worst of the runs;
//   keys: an arrow key handled and painted while the covers load, median
//         and worst over every key pressed during the loads;
//   again: the same page shown a second time, and the covers fetched for it.
//
// A small harness rather than Google Benchmark: each figure needs the UI
// thread's loop run by hand. Run from the build directory:
// bench/bench_artwork [runs] (QUENDREL_BUILD_DIR may point elsewhere).

#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"
#include "screens/BrowseArtworkWindow.h"
#include "server/SlimCLIConnection.h"
#include "support/SlimSimulator.h"
#include "ui/Configuration.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kMac = "00:04:20:12:34:59";

std::string BuildDir() {
    const char* dir = std::getenv("QUENDREL_BUILD_DIR");
    return dir ? dir : ".";
}

// The tests' tone library copied and given 1,800 covered albums.
std::string CoveredLibrary() {
    const std::string dir = BuildDir() + "/sim-library-covers";
    if (std::ifstream(dir + "/manifest.json").good()) return dir;
    const std::string base = SlimSimulator::Library();
    if (base.empty()) return {};
    const std::string command = "flock '" + dir + ".lock' sh -c \"test -f '" + dir + "/manifest.json' || (cp -r '" +
                                base + "' '" + dir + "' && python3 '" + QUENDREL_SOURCE_DIR +
                                "/tools/slimserver-sim/make-library' '" + dir +
                                "' --large 1800 --large-covers >/dev/null 2>&1)\"";
    return std::system(command.c_str()) == 0 ? dir : std::string();
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

class BenchApp : public CascadeApp {};

struct Bench {
    BenchApp app;
    SlimSimulator sim;
    SlimCLIConnection cli;
    BrowseArtworkWindow window;

    bool SetUp() {
        g_appPath = BuildDir() + "/app/";
        g_config.SetApplicationDirectory(g_appPath.Std());
        const std::string skin = g_appPath.Std() + "images/Default/Configuration.xml";
        g_config.LoadConfiguration(skin.c_str(), "Default");
        const std::string library = CoveredLibrary();
        if (library.empty() || !sim.Start({}, {"--library", library}) || !sim.ConnectPlayer(kMac)) return false;
        g_portWeb = std::to_string(sim.GetPorts().web);
        cli.SetPlayerId(kMac);
        cli.SetWebPort(g_portWeb.Std());
        if (!cli.Connect("127.0.0.1", sim.GetPorts().cli)) return false;
        ScreenContext context;
        context.server = &cli;
        window.Attach(context);
        window.SetRectAbsolute({0, 0, 1024, 576});
        return true;
    }

    // One turn of the UI thread: posted tasks, then the paint walk.
    void Turn() {
        app.GetQueue().RunPending();
        (void)app.GetDesktop().PaintDirty();
    }

    // Turns the UI loop until the page shows 18 covers; `during` runs on
    // each turn while they load. The time to the paint after the last one.
    double UntilCoversShown(Clock::time_point from, const std::function<void()>& during = {}) {
        const auto deadline = from + std::chrono::seconds(30);
        for (;;) {
            Turn();
            if (window.CountCoversShown() >= 18 && !window.IsLoadingCovers()) {
                Turn();
                return Ms(Clock::now() - from);
            }
            if (Clock::now() > deadline) return -1;
            if (during) during();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }

    long CoverFetches() {
        const std::string json = sim.Control("http-requests");
        long n = 0;
        for (std::size_t at = json.find("/cover.jpg"); at != std::string::npos; at = json.find("/cover.jpg", at + 1)) ++n;
        return n;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    Bench bench;
    if (!bench.SetUp()) {
        std::fprintf(stderr, "bench_artwork: the simulator or its library did not come up\n");
        return 1;
    }
    std::vector<double> open, keys, again;
    long fetchedAgain = 0;
    for (int run = 0; run < runs; ++run) {
        bench.window.GetCoverCache().Clear();
        const auto shown = Clock::now();
        bench.window.Materialize(1);
        // Arrow keys while the covers come, as a user moving along the row.
        bool right = true;
        auto during = [&] {
            if (!bench.window.IsLoadingCovers()) return;
            const auto pressed = Clock::now();
            (void)bench.app.GetDesktop().DispatchKeyDown(right ? CascadeKeys::kRight : CascadeKeys::kLeft);
            (void)bench.app.GetDesktop().PaintDirty();
            keys.push_back(Ms(Clock::now() - pressed));
            right = !right;
        };
        open.push_back(bench.UntilCoversShown(shown, run % 2 ? std::function<void()>(during) : nullptr));

        // The same page again: out and back in, every cover from the cache.
        bench.window.Vanish();
        const long before = bench.CoverFetches();
        const auto back = Clock::now();
        bench.window.Materialize(1);
        again.push_back(bench.UntilCoversShown(back));
        fetchedAgain += bench.CoverFetches() - before;
        bench.window.Vanish();
    }
    std::printf("open to 18 covers shown (cache empty): median %.1f ms, worst %.1f ms over %d runs\n", Median(open),
                Worst(open), runs);
    std::printf("arrow key handled and painted while covers load: median %.2f ms, worst %.2f ms over %zu keys\n",
                Median(keys), Worst(keys), keys.size());
    std::printf("same page again: median %.1f ms, worst %.1f ms; covers fetched for it: %ld\n", Median(again),
                Worst(again), fetchedAgain);
    return 0;
}
