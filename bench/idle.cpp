// An idle second: a running application with a full-screen window and no
// input. Nothing is dirty, so nothing may be painted and the process should
// use no measurable CPU (the UI thread sleeps until an event or a timer).
#include "platform/CascadeApp.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeWindow.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <thread>

namespace {

double CpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

class Backdrop : public CascadeWindow {
public:
    void OnPaint(CascadeBitmap& target) override { target.Clear(CascadeColor(0x16263DFFu)); }
};

class IdleApp : public CascadeApp {
public:
    void OnAppInit() override {
        const CascadeDims dims = GetDesktop().GetDims();
        m_window.SetRectAbsolute({0, 0, dims.w, dims.h});
        m_window.Materialize(1);
        m_probe = std::thread([this] {
            CascadeThread::Sleep(300);  // let the first frame be painted
            const uint64_t paints = GetDesktop().PaintCount();
            const double cpu = CpuMilliseconds();
            CascadeThread::Sleep(1000);
            idleCpuMs = CpuMilliseconds() - cpu;
            idlePaints = double(GetDesktop().PaintCount() - paints);
            Terminate(0);
        });
    }
    void OnAppExit() override { m_probe.join(); }
    double idleCpuMs = 0, idlePaints = 0;

private:
    Backdrop m_window;
    std::thread m_probe;
};

void BM_IdleSecond(benchmark::State& state) {
    double cpu = 0, paints = 0;
    for (auto _ : state) {
        IdleApp app;
        app.Run(0, nullptr);
        cpu = app.idleCpuMs;
        paints = app.idlePaints;
    }
    state.counters["cpu_ms_per_idle_s"] = cpu;
    state.counters["paints_per_idle_s"] = paints;
}
BENCHMARK(BM_IdleSecond)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
