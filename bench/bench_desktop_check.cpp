// What the look for the program that draws the desktop adds to a hand-over, per desktop, with
// the real tools (dbus-send, xprop) and /proc. Needs a display and a session bus: run it in
// tests/support/run-in-x11.sh. Nothing draws a desktop there, so every look is the longest one.
#include <benchmark/benchmark.h>

#include "platform/linux/DrawingClient.h"
#include "platform/linux/LinuxDesktop.h"

namespace tavolin {
namespace {

struct Session {
    Session() : table(ToolEnvironment(ReadProcessEnvironment())) {
        runner = MakeProcessRunner(EnvironmentEntries(table));
    }
    EnvironmentTable table;
    std::shared_ptr<ProcessRunner> runner;
};

void BM_MissingDrawer(benchmark::State& state, DesktopKind kind) {
    Session session;
    if (!session.table.count("DISPLAY")) {
        state.SkipWithError("needs a display (run in run-in-x11.sh)");
        return;
    }
    LinuxDesktop desktop(*session.runner, TableEnvironment(session.table));
    for (auto _ : state) benchmark::DoNotOptimize(desktop.MissingDrawer(kind));
    state.SetLabel(desktop.MissingDrawer(kind) ? "missing" : "not looked for or running");
}

void BM_SwaybgScan(benchmark::State& state) {
    const std::vector<std::string> paths = {"/nowhere/Background.bmp"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindProcessesWithArgument("/proc", "swaybg", paths));
    }
}

BENCHMARK_CAPTURE(BM_MissingDrawer, gnome, DesktopKind::Gnome)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MissingDrawer, cinnamon, DesktopKind::Cinnamon)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MissingDrawer, mate, DesktopKind::Mate)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MissingDrawer, xfce, DesktopKind::Xfce)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MissingDrawer, lxde, DesktopKind::Lxde)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwaybgScan)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolin
