// UI toolkit timings: a full-screen repaint of a browsing screen (background,
// a 9-row list, a 400x400 cover tile), a cover decoded into a 400x400 box
// through the toolkit's JPEG helper, and one direct player display frame.

#include "platform/CascadeApp.h"
#include "platform/CascadeBitmap.h"
#include "player/PlayerDisplay.h"
#include "ui/EJpegWidget.h"
#include "ui/EListView.h"
#include "ui/EUtilsDrawing.h"
#include "ui/MemoryBitmap.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr CascadeDims kScreen{1024, 576};

CascadeBitmap Background() {
    CascadeBitmap b;
    if (!b.Create(kScreen)) return b;
    EUtils::FillRectGradient(b, {0, 0, kScreen.w, kScreen.h}, CascadeColor(22, 38, 61), CascadeColor(7, 11, 20),
                             EUtils::kDown);
    return b;
}

// A cover-like picture: smooth colour with detail, so the codec has work.
CascadeBitmap CoverPicture(int side) {
    CascadeBitmap b;
    if (!b.Create({side, side})) return b;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            b.GetPixels()[y * side + x] =
                0xFF000000u | uint32_t((x * 255 / side) << 16) | uint32_t(((x ^ y) & 0xFF) << 8) | uint32_t(y * 255 / side);
    return b;
}

std::string WriteCoverJpeg(int side) {
    const std::string path = "/tmp/quendrel-bench-cover-" + std::to_string(getpid()) + ".jpg";
    if (!CoverPicture(side).SaveAsJPEG(path, 90)) return {};
    return path;
}

void BM_ListAndCoverRepaint(benchmark::State& state) {
    const CascadeBitmap background = Background();
    std::vector<uint8_t> pixels;
    CascadeDims coverSize;
    const std::string path = WriteCoverJpeg(1000);
    if (!EJpegWidget::GetJpegBitmap(path.c_str(), {400, 400}, coverSize, pixels, EJpegWidget::PixelOrder::kAlphaFirst)) {
        state.SkipWithError("cover did not decode");
        return;
    }
    std::remove(path.c_str());
    CascadeBitmap cover;
    if (!cover.Create(coverSize) || !EUtils::BufferBlit(cover, {0, 0}, pixels.data(), coverSize, 32, {})) return;
    EListView list;
    list.SetRectAbsolute({40, 90, 520, 9 * 40 + 40});
    list.SetRowHeight(40);
    list.AddColumn("Index", "#", EListView::ColumnVisibility::kVisible, 60, 0);
    list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, 0);
    list.AddColumn("Time", "Time", EListView::ColumnVisibility::kVisible, 90, 0);
    for (int i = 0; i < 30; ++i) {
        EListView::ListItem* item = list.AddItem(std::to_string(i + 1).c_str());
        item->SetCell(1, ("Track number " + std::to_string(i + 1) + " of the long album").c_str());
        item->SetCell(2, "3:45");
    }
    list.SetSelectedIndex(4, EListView::RedrawMode::kNoRedraw);
    CascadeBitmap screen;
    if (!screen.Create(kScreen)) return;
    for (auto _ : state) {
        screen.CopyFrom(background, {0, 0});
        CascadeBitmap listView = screen.View({40, 90}, {40, 90, 520, 400});
        list.OnPaint(listView);
        screen.DrawBitmap(cover, {590, 100});
        benchmark::DoNotOptimize(screen.GetPixels());
    }
}
BENCHMARK(BM_ListAndCoverRepaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CoverDecodeTo400(benchmark::State& state) {
    const std::string path = WriteCoverJpeg(1000);
    std::vector<uint8_t> pixels;
    CascadeDims size;
    for (auto _ : state) {
        if (!EJpegWidget::GetJpegBitmap(path.c_str(), {400, 400}, size, pixels, EJpegWidget::PixelOrder::kAlphaFirst))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pixels.data());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_CoverDecodeTo400)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DirectDisplayFrame(benchmark::State& state) {
    class BenchApp : public CascadeApp {} app;
    std::array<uint8_t, PlayerDisplay::kFrameBytes> frame{};
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 37);  // busy text-like pattern
    const PlayerDisplay::Colors colors{CascadeColor(0xE8F1FFFFu), CascadeColor(0x080C14FFu), CascadeColor(0x080C14FFu)};
    MemoryBitmap surface;
    for (auto _ : state) {
        surface.Init({352, 21, 320, 33});
        if (!surface.Open()) {
            state.SkipWithError("no screen");
            break;
        }
        PlayerDisplay::DrawFrame(surface, frame.data(), colors);
        surface.Close();
    }
}
BENCHMARK(BM_DirectDisplayFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
