// Whole generation runs at two screen sizes: plain colour, a stretched JPEG, a centred PNG and
// a stretched 8-bit GIF, all in layout 2 with 30 appointments. The pictures are made once with
// ImageMagick's convert (installed by the bootstrap); without it those cases are skipped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "image/ImageBuffer.h"
#include "platform/Clock.h"
#include "platform/Context.h"
#include "platform/Desktop.h"
#include "platform/Screen.h"
#include "render/WallpaperGenerator.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

using namespace tavolin;

namespace {

class NoDesktop final : public Desktop {
public:
    WallpaperResult SetWallpaper(const std::filesystem::path&, std::stop_token) override {
        return {WallpaperStatus::Set, "bench", ""};
    }
};

const std::filesystem::path& BenchDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / "tavolin-bench-generate";
        std::filesystem::remove_all(d);
        std::filesystem::create_directories(d);
        EnsureConfigFile(d / "config.ini");
        IniFile ini;
        ini.Open(d / "config.ini", false);
        ini.WriteValues({SettingValue(keys::ShowAppointments, "1"),
                         SettingValue(keys::CalendarWeeks, "1")},
                        true);
        std::ofstream out(d / "Termine.dat", std::ios::binary);
        for (int i = 0; i < 30; ++i) {
            out << (i < 10 ? "0" : "") << i % 28 + 1 << ".12.2099 - 10:00 # Termin " << i << "\r\n";
        }
        // Pictures of 2560 x 1600 for stretching and 1280 x 800 for centring.
        const std::string convert = "convert -size 2560x1600 gradient:red-blue -swirl 180 ";
        std::system((convert + (d / "bild.jpg").string() + " 2>/dev/null").c_str());
        std::system(("convert -size 1280x800 gradient:yellow-green " + (d / "bild.png").string() + " 2>/dev/null").c_str());
        std::system((convert + "-colors 200 " + (d / "bild.gif").string() + " 2>/dev/null").c_str());
        return d;
    }();
    return dir;
}

void Configure(const std::string& picture, bool centre) {
    IniFile ini;
    ini.Open(BenchDir() / "config.ini", false);
    ini.WriteValues(
        {SettingValue(keys::BackgroundKind, SwitchText(!picture.empty())),
         SettingValue(keys::BackgroundPicture,
                      picture.empty() ? "" : (BenchDir() / picture).string()),
         SettingValue(keys::BackgroundCentre, SwitchText(centre))},
        true);
}

void RunGeneration(benchmark::State& state, const std::string& picture, bool centre) {
    Configure(picture, centre);
    if (!picture.empty() && !std::filesystem::exists(BenchDir() / picture)) {
        state.SkipWithError("ImageMagick's convert is needed for the picture");
        return;
    }
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    Context context;
    context.dataDirectory = BenchDir();
    context.desktop = std::make_shared<NoDesktop>();
    context.screen = std::make_shared<FixedScreen>(ScreenSize{w, h});
    for (auto _ : state) {
        if (!WallpaperGenerator(context).Generate().Succeeded()) {
            state.SkipWithError("generation failed");
            return;
        }
    }
    state.counters["MPixel/s"] = benchmark::Counter(static_cast<double>(w) * h * state.iterations() / 1e6,
                                                    benchmark::Counter::kIsRate);
}

void BM_GeneratePlain(benchmark::State& state) { RunGeneration(state, "", false); }
void BM_GenerateStretchedJpeg(benchmark::State& state) { RunGeneration(state, "bild.jpg", false); }
void BM_GenerateCentredPng(benchmark::State& state) { RunGeneration(state, "bild.png", true); }
void BM_GenerateStretchedGif(benchmark::State& state) { RunGeneration(state, "bild.gif", false); }

void BM_DecodeJpegOnly(benchmark::State& state) {
    if (!std::filesystem::exists(BenchDir() / "bild.jpg")) {
        state.SkipWithError("ImageMagick's convert is needed for the picture");
        return;
    }
    for (auto _ : state) {
        ImageBuffer image;
        benchmark::DoNotOptimize(image.Load(BenchDir() / "bild.jpg", kFormatJpeg));
    }
}

}  // namespace

#define SIZES ->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_GeneratePlain) SIZES;
BENCHMARK(BM_GenerateStretchedJpeg) SIZES;
BENCHMARK(BM_GenerateCentredPng) SIZES;
BENCHMARK(BM_GenerateStretchedGif) SIZES;
BENCHMARK(BM_DecodeJpegOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
