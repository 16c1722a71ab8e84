// Creating config.ini with every default costs about thirty whole-file rewrites.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "settings/Settings.h"

static void BM_CreateDefaultConfig(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "tavolin-bench-settings";
    std::filesystem::create_directories(dir);
    const auto path = dir / "config.ini";
    for (auto _ : state) {
        std::filesystem::remove(path);
        benchmark::DoNotOptimize(tavolin::EnsureConfigFile(path));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CreateDefaultConfig)->Unit(benchmark::kMicrosecond);
