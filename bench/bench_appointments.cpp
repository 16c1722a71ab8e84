// Tidy-up of 1 000, 10 000 and 100 000 records: an unsorted file with notes, expired and
// pending appointments and duplicates, read, tidied and rewritten through a temporary file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "appointments/AppointmentStore.h"
#include "appointments/AppointmentTime.h"
#include "appointments/TidyUp.h"
#include "platform/Clock.h"
#include "util/FileIO.h"

namespace {

using namespace tavolin;

TimePoint FixClock() {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    return MakeLocal(2003, 3, 8, 15, 0, 0);
}

std::vector<std::string> MakeRecords(size_t n) {
    std::mt19937 rng(4711);
    std::vector<std::string> lines;
    lines.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const std::string remark = "Termin " + std::to_string(rng() % (n / 2 + 1));
        if (rng() % 10 == 0) {
            lines.push_back("Notiz # " + remark);
        } else {
            // 2002 to 2005: about a third expired on 8 March 2003.
            lines.push_back(FormatWhen(1 + rng() % 28, 1 + rng() % 12, 2002 + rng() % 4, rng() % 24,
                                       15 * (rng() % 4)) +
                            " # " + remark);
        }
    }
    return lines;
}

void BM_TidyUpFile(benchmark::State& state, bool deleteExpired) {
    const TimePoint now = FixClock();
    const auto dir = std::filesystem::temp_directory_path() / "tavolin-bench-appointments";
    std::filesystem::create_directories(dir);
    const auto path = dir / "Termine.dat";
    const std::string bytes = JoinRecordLines(MakeRecords(static_cast<size_t>(state.range(0))));
    const AppointmentStore store(path);
    for (auto _ : state) {
        state.PauseTiming();
        AtomicWriteFile(path, bytes);
        state.ResumeTiming();
        benchmark::DoNotOptimize(store.TidyUp(deleteExpired, now));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove_all(dir);
}

void BM_TidyRecordsInMemory(benchmark::State& state) {
    const TimePoint today = StartOfLocalDay(FixClock());
    const auto lines = MakeRecords(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(TidyRecords(lines, false, today));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK_CAPTURE(BM_TidyUpFile, delete, true)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TidyUpFile, move, false)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TidyRecordsInMemory)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
