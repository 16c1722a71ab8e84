// The canvas's share of one 3840 x 2160 wallpaper: load the prepared background, paint the
// three-month layout with the date text, save the result.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "render/DateRules.h"
#include "render/WallpaperCanvas.h"
#include "settings/Settings.h"

using namespace tavolin;

namespace {

constexpr int kW = 3840;
constexpr int kH = 2160;
constexpr Colour kWhite = PackColour(255, 255, 255);
constexpr Colour kRed = PackColour(255, 0, 0);
constexpr Colour kGold = PackColour(255, 215, 0);

std::filesystem::path BenchDir() {
    const auto dir = std::filesystem::temp_directory_path() / "tavolin-bench-canvas";
    std::filesystem::create_directories(dir);
    return dir;
}

void PaintLayoutTwo(WallpaperCanvas& canvas, const CalendarDate& today) {
    const int x1 = kW - 214, x2 = kW - 428;
    canvas.DrawFrame(x2, 20, kWhite);
    canvas.DrawFrame(x1, 173, kWhite);
    canvas.DrawFrame(x2, 173, kWhite);
    canvas.DrawMonth(today.month - 1, x2, 20, kWhite, kWhite, kRed, kGold, false, today);
    canvas.DrawMonth(today.month, x2, 173, kWhite, kWhite, kRed, kGold, false, today);
    canvas.DrawMonth(today.month + 1, x1, 173, kWhite, kWhite, kRed, kGold, false, today);
    canvas.DrawText("Mittwoch", x1 + 76, 79, kWhite);
    canvas.DrawText("07.Dezember.2026", x1 + 40, 96, kWhite);
}

void BM_LoadPaintSave(benchmark::State& state) {
    const auto dir = BenchDir();
    {
        WallpaperCanvas background;
        background.Create(kW, kH, 24, nullptr, 1);
        background.FillRect(0, 0, kW, kH, PackColour(58, 110, 165));
        background.Save(dir / "Background.bmp");
    }
    const CalendarDate today{7, 12, 2026};
    for (auto _ : state) {
        WallpaperCanvas canvas;
        if (canvas.Load(dir / "Background.bmp", 1) != kCanvasOk) state.SkipWithError("load");
        PaintLayoutTwo(canvas, today);
        if (canvas.Save(dir / "out.bmp") != kCanvasOk) state.SkipWithError("save");
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadPaintSave)->Unit(benchmark::kMillisecond);

void BM_PaintThreeMonths(benchmark::State& state) {
    WallpaperCanvas canvas;
    canvas.Create(kW, kH, 24, nullptr, 1);
    const CalendarDate today{7, 12, 2026};
    for (auto _ : state) PaintLayoutTwo(canvas, today);
}
BENCHMARK(BM_PaintThreeMonths)->Unit(benchmark::kMicrosecond);

void BM_FillScreen(benchmark::State& state) {
    WallpaperCanvas canvas;
    canvas.Create(kW, kH, 24, nullptr, 1);
    for (auto _ : state) canvas.FillRect(0, 0, kW, kH, PackColour(58, 110, 165));
}
BENCHMARK(BM_FillScreen)->Unit(benchmark::kMillisecond);

void BM_SetPixelScreen(benchmark::State& state) {
    WallpaperCanvas canvas;
    canvas.Create(kW, kH, 24, nullptr, 1);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) canvas.SetPixel(x, y, static_cast<Colour>(x ^ y));
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetPixelScreen)->Unit(benchmark::kMillisecond);

}  // namespace
