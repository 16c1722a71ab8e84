// Peak memory and time of a tidy-up of a large Termine.dat, measured in a child process per
// run (its own maximum resident set, less that of a child that does nothing), for files of 16,
// 64 and 248 MB with about a third of the appointments expired and moved to today.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "appointments/AppointmentStore.h"
#include "appointments/AppointmentTime.h"
#include "platform/Clock.h"

namespace {

using namespace tavolin;

// Writes about megabytes of records, streamed, so that the parent process stays small.
void WriteBook(const std::filesystem::path& path, size_t megabytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::mt19937 rng(4711);
    size_t written = 0;
    std::string line;
    while (written < megabytes << 20) {
        line.clear();
        if (rng() % 10 == 0) {
            line = "Notiz # Einkaufen " + std::to_string(rng() % 100000);
        } else {
            line = FormatWhen(1 + rng() % 28, 1 + rng() % 12, 2002 + rng() % 4, rng() % 24,
                              15 * (rng() % 4)) +
                   " # Termin beim Zahnarzt " + std::to_string(rng() % 1000000);
        }
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), f);
        written += line.size();
    }
    std::fclose(f);
}

// Runs work in a child; its peak resident set in kilobytes.
template <class Work>
long ChildPeakKb(Work work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
    return usage.ru_maxrss;
}

void BM_TidyUpPeakMemory(benchmark::State& state) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    const TimePoint now = MakeLocal(2003, 3, 8, 15, 0, 0);
    const auto dir = std::filesystem::temp_directory_path() / "tavolin-bench-file-safety";
    std::filesystem::create_directories(dir);
    const auto source = dir / "source.dat";
    const auto path = dir / "Termine.dat";
    const auto megabytes = static_cast<size_t>(state.range(0));
    WriteBook(source, megabytes);
    const double fileMb = static_cast<double>(std::filesystem::file_size(source)) / (1 << 20);
    const long baselineKb = ChildPeakKb([] {});
    long peakKb = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        peakKb = ChildPeakKb([&] {
            if (AppointmentStore(path).TidyUp(false, now) != StoreStatus::Ok) ::_exit(1);
        });
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double peakMb = static_cast<double>(peakKb - baselineKb) / 1024;
    state.counters["file_MB"] = fileMb;
    state.counters["peak_MB"] = peakMb;
    state.counters["peak_per_file"] = peakMb / fileMb;
    state.counters["seconds"] = seconds;
    std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_TidyUpPeakMemory)
    ->Arg(16)
    ->Arg(64)
    ->Arg(248)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
