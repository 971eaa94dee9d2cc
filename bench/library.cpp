// The library window against the server simulator with a generated library
// of 20,000 extra artists (`make-library --large 20000`), on loopback: a
// page flip in the artist list from the key press to the new page painted
// into the screen image, the simulator's own share of it (the bare CLI round
// trip of one artist page), a letter jump (time and requests), and the peak
// resident memory after paging through every artist page.
//
// Run from the build directory: bench/bench_library (QUENDREL_BUILD_DIR and
// QUENDREL_SOURCE_DIR may point elsewhere).

#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"
#include "screens/MusicLibraryWindow.h"
#include "server/SlimCLIConnection.h"
#include "support/SlimSimulator.h"
#include "ui/Configuration.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr const char* kMac = "00:04:20:12:34:58";

std::string BuildDir() {
    const char* dir = std::getenv("QUENDREL_BUILD_DIR");
    return dir ? dir : ".";
}

std::string LargeLibrary() {
    const std::string dir = BuildDir() + "/sim-library-large";
    if (std::ifstream(dir + "/manifest.json").good()) return dir;
    const char* source = std::getenv("QUENDREL_SOURCE_DIR");
    const std::string command = "flock '" + dir + ".lock' sh -c \"test -f '" + dir + "/manifest.json' || python3 '" +
                                std::string(source ? source : QUENDREL_SOURCE_DIR) +
                                "/tools/slimserver-sim/make-library' '" + dir + "' --large 20000 >/dev/null\"";
    return std::system(command.c_str()) == 0 ? dir : std::string();
}

long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

class BenchApp : public CascadeApp {};

// One simulator, connection and library window for the whole program.
struct Setup {
    Setup() {
        g_appPath = BuildDir() + "/app/";
        g_config.SetApplicationDirectory(g_appPath.Std());
        const std::string skin = g_appPath.Std() + "images/Default/Configuration.xml";
        g_config.LoadConfiguration(skin.c_str(), "Default");
        const std::string library = LargeLibrary();
        if (library.empty() || !sim.Start({}, {"--library", library}) || !sim.ConnectPlayer(kMac)) return;
        cli.SetPlayerId(kMac);
        cli.SetWebPort(std::to_string(sim.GetPorts().web));
        if (!cli.Connect("127.0.0.1", sim.GetPorts().cli)) return;
        ScreenContext context;
        context.server = &cli;
        window = std::make_unique<MusicLibraryWindow>();
        window->Attach(context);
        window->SetRectAbsolute({0, 0, 1024, 576});
        window->Materialize(1);
        window->GetLevels().Tick();
        if (!window->WaitUntilIdle(120000)) return;
        window->GetLevels().List(LibraryLevel::kArtist).SetFocus();
        (void)app.GetDesktop().PaintDirty();
        ready = true;
    }
    ~Setup() { window.reset(); }

    void Press(unsigned long key) {
        app.GetDesktop().DispatchKeyDown(key);
        (void)window->WaitUntilIdle(120000);
        (void)app.GetDesktop().PaintDirty();
    }
    LibraryLevels::PageState Artists() { return window->GetLevels().GetPageState(LibraryLevel::kArtist); }
    void FirstPage() {
        window->GetLevels().RequestPage(LibraryLevel::kArtist, 1);
        (void)window->WaitUntilIdle(120000);
        (void)app.GetDesktop().PaintDirty();
    }

    BenchApp app;
    SlimSimulator sim;
    SlimCLIConnection cli;
    std::unique_ptr<MusicLibraryWindow> window;
    bool ready = false;
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

void BM_ArtistPageFlip(benchmark::State& state) {
    Setup& s = Shared();
    if (!s.ready) {
        state.SkipWithError("simulator or window not ready");
        return;
    }
    for (auto _ : state) s.Press(CascadeKeys::kZoomOut);
    state.counters["page"] = double(s.Artists().page);
}

// The simulator's reply alone: one artist page over the CLI, no window.
void BM_ArtistPageRoundTrip(benchmark::State& state) {
    Setup& s = Shared();
    if (!s.ready) {
        state.SkipWithError("simulator not ready");
        return;
    }
    unsigned long start = 6000;
    for (auto _ : state) {
        BrowseEntryList page;
        s.cli.GetArtists(start, 6, page);
        start += 6;
        benchmark::DoNotOptimize(page.GetNumEntries());
    }
}

// From page 1, Next: the search walks the pages after the first until the
// next letter appears.
void BM_ArtistLetterJumpForward(benchmark::State& state) {
    Setup& s = Shared();
    if (!s.ready) {
        state.SkipWithError("simulator or window not ready");
        return;
    }
    double requests = 0, searches = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.FirstPage();
        (void)s.sim.Control("reset");
        state.ResumeTiming();
        s.Press(CascadeKeys::kNext);
        state.PauseTiming();
        requests = double(s.sim.CliLines().size());
        searches = s.window->GetLevels().LastJumpSearches();
        state.ResumeTiming();
    }
    state.counters["cli_requests"] = requests;
    state.counters["letters_searched"] = searches;
    state.counters["landed_page"] = double(s.Artists().page);
}

// Every artist page once, forward; resident memory stays where the first
// pages left it because only the page shown is kept.
void BM_PageThroughEveryArtistPage(benchmark::State& state) {
    Setup& s = Shared();
    if (!s.ready) {
        state.SkipWithError("simulator or window not ready");
        return;
    }
    for (auto _ : state) {
        s.FirstPage();
        for (int i = 0; i < 50; ++i) s.Press(CascadeKeys::kZoomOut);
        const long after50 = PeakResidentKb();
        const unsigned long pages = s.Artists().pageCount;
        while (s.Artists().page != pages) s.Press(CascadeKeys::kZoomOut);
        state.counters["pages"] = double(pages);
        state.counters["peak_rss_kb_after_50_pages"] = double(after50);
        state.counters["peak_rss_kb_after_all_pages"] = double(PeakResidentKb());
    }
}

}  // namespace

BENCHMARK(BM_ArtistPageFlip)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ArtistPageRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ArtistLetterJumpForward)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_PageThroughEveryArtistPage)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK_MAIN();
