// Software renderer timings: a full-screen repaint of a typical screen and
// the decode of an album cover into its tile.

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeJpegFile.h"
#include "platform/CascadeTextFlags.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr CascadeDims kScreen{1024, 576};

// A diagonal colour gradient with a little texture, like a skin background.
CascadeBitmap MakeBackground(const CascadeDims& dims) {
    CascadeBitmap bitmap;
    if (!bitmap.Create(dims)) return bitmap;
    uint32_t noise = 12345;
    for (int y = 0; y < dims.h; ++y) {
        for (int x = 0; x < dims.w; ++x) {
            noise = noise * 1103515245u + 12345u;
            const uint32_t grain = (noise >> 16) & 15;
            const uint32_t r = (x * 200 / dims.w + grain) & 0xFF, g = (y * 160 / dims.h + grain) & 0xFF;
            const uint32_t b = ((x + y) * 255 / (dims.w + dims.h)) & 0xFF;
            bitmap.GetPixels()[y * dims.w + x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
    return bitmap;
}

void BM_FullScreenRepaint(benchmark::State& state) {
    CascadeBitmap screen;
    if (!screen.Create(kScreen)) {
        state.SkipWithError("no screen bitmap");
        return;
    }
    const CascadeBitmap background = MakeBackground(kScreen);
    const CascadeFont font("system", CascadeFont::kNormal, 20);
    std::vector<std::string> lines;
    for (int i = 0; i < 20; ++i)
        lines.push_back(std::to_string(i + 1) + ". The Artist \xe2\x80\x93 A Song Title From The Album (Remastered)");
    const CascadeColor panel(0x10, 0x18, 0x30, 0xA0), black(0, 0, 0), white(255, 255, 255);
    for (auto _ : state) {
        screen.CopyFrom(background, {0, 0});
        screen.FillRect({24, 24, 620, 528}, panel);
        screen.FillRect({660, 24, 340, 300}, panel);
        screen.FillRect({660, 340, 340, 212}, panel);
        for (int i = 0; i < 20; ++i) {
            const CascadeRect row{40, 34 + i * 25, 590, 25};
            screen.DrawText(font, row.Offset(2, 2), lines[std::size_t(i)], black, CascadeTextFlags::kEllipsis);
            screen.DrawText(font, row, lines[std::size_t(i)], white, CascadeTextFlags::kEllipsis);
        }
        benchmark::DoNotOptimize(screen.GetPixels());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullScreenRepaint)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// A 1000x1000 cover with detail everywhere, as encoded bytes.
std::vector<uint8_t> MakeCoverJpeg() {
    const CascadeBitmap cover = MakeBackground({1000, 1000});
    const std::string path =
        (std::filesystem::temp_directory_path() / ("quendrel-bench-cover-" + std::to_string(getpid()) + ".jpg")).string();
    if (!cover.SaveAsJPEG(path, 90)) return {};
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return bytes;
}

void BM_CoverDecode1000Into400(benchmark::State& state) {
    const std::vector<uint8_t> bytes = MakeCoverJpeg();
    if (bytes.empty()) {
        state.SkipWithError("no cover JPEG");
        return;
    }
    for (auto _ : state) {
        CascadeJpegFile jpeg;
        if (!jpeg.Init(bytes.data(), bytes.size()) || !jpeg.Decode({400, 400})) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(jpeg.GetBitmapData());
    }
}
BENCHMARK(BM_CoverDecode1000Into400)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
