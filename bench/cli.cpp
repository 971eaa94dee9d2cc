// CLI reply parsing and a library page round trip against the simulator.
#include "server/SlimCLIConnection.h"
#include "server/SongList.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <thread>

// Allocations made while a benchmark runs, reported per parse.
static std::atomic<unsigned long> s_allocations{0};

void* operator new(std::size_t size) {
    s_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

std::string StatusReply100() {
    std::string reply =
        "00%3A04%3A20%3A12%3A34%3A56 status - 100 tags%3Agaldtypesru player_name%3ALiving%20Room "
        "player_connected%3A1 power%3A1 mode%3Aplay time%3A12.34 rate%3A1 duration%3A297.117 "
        "playlist%20repeat%3A0 playlist%20shuffle%3A0 playlist_cur_index%3A0 playlist_tracks%3A100";
    for (int i = 0; i < 100; ++i) {
        const std::string n = std::to_string(i);
        reply += " playlist%20index%3A" + n + " id%3A" + n + " title%3ASong%20Number%20" + n +
                 " genre%3AVocal artist%3ADiana%20Krall album%3AAll%20for%20You duration%3A297.117 tracknum%3A" +
                 n + " year%3A1996 genre_id%3A2 album_id%3A12 artist_id%3A3 bitrate%3A160kbps%20VBR "
                 "url%3Afile%3A%2F%2F%2Fmusic%2FDiana%2520Krall%2F" + n + ".mp3";
    }
    return reply;
}

std::string ArtistPage500() {
    std::string reply = "artists 0 500 count%3A20000";
    for (int i = 0; i < 500; ++i)
        reply += " id%3A" + std::to_string(i) + " artist%3AArtist%20" + std::to_string(i) + "%20%C3%98deg%C3%A5rd";
    return reply;
}

void BM_ParseStatus100(benchmark::State& state) {
    const std::string reply = StatusReply100();
    unsigned long allocations = 0;
    for (auto _ : state) {
        SongList list;
        const unsigned long before = s_allocations.load();
        list.ParseEntryList(reply, true);
        allocations += s_allocations.load() - before;
        benchmark::DoNotOptimize(list.GetNumEntries());
    }
    state.counters["allocs/parse"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_ParseStatus100)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ParseArtistPage500(benchmark::State& state) {
    const std::string reply = ArtistPage500();
    unsigned long allocations = 0;
    for (auto _ : state) {
        BrowseEntryList list;
        list.SetKey("artist");
        const unsigned long before = s_allocations.load();
        list.ParseEntryList(reply);
        allocations += s_allocations.load() - before;
        benchmark::DoNotOptimize(list.GetNumEntries());
    }
    state.counters["allocs/parse"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_ParseArtistPage500)->Repetitions(5)->ReportAggregatesOnly(true);

// The simulator on loopback with the shared test library.
class Simulator {
public:
    Simulator() {
        std::string source = __FILE__;
        source = source.substr(0, source.rfind('/'));
        source = source.substr(0, source.rfind('/'));
        const char* build = std::getenv("QUENDREL_BUILD_DIR");
        const std::string library = std::string(build ? build : "/tmp") + "/sim-library";
        const std::string ready = "/tmp/bench-cli-ready-" + std::to_string(::getpid());
        if (std::system(("test -f " + library + "/manifest.json || python3 " + source +
                         "/tools/slimserver-sim/make-library " + library + " >/dev/null")
                            .c_str()) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            const std::string sim = source + "/tools/slimserver-sim/slimserver-sim";
            ::execlp("python3", "python3", sim.c_str(), "--library", library.c_str(), "--bind", "127.0.0.1",
                     "--proto-port", "0", "--cli-port", "0", "--web-port", "0", "--ready-file", ready.c_str(),
                     nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 1500 && m_cliPort == 0; ++i) {
            std::ifstream file(ready);
            std::string line;
            while (std::getline(file, line))
                if (line.rfind("cli=", 0) == 0) m_cliPort = static_cast<unsigned short>(std::atoi(line.c_str() + 4));
            if (m_cliPort == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::remove(ready.c_str());
    }
    ~Simulator() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    unsigned short CliPort() const { return m_cliPort; }

private:
    pid_t m_pid = -1;
    unsigned short m_cliPort = 0;
};

void BM_ArtistPageRoundTrip(benchmark::State& state) {
    Simulator sim;
    SlimCLIConnection cli;
    if (sim.CliPort() == 0 || !cli.Connect("127.0.0.1", sim.CliPort())) {
        state.SkipWithError("simulator did not start");
        return;
    }
    for (auto _ : state) {
        BrowseEntryList list;
        benchmark::DoNotOptimize(cli.GetArtists(0, 50, list));
    }
}
BENCHMARK(BM_ArtistPageRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
