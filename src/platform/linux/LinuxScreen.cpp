#include "platform/linux/LinuxScreen.h"

#include "platform/linux/ScreenParsers.h"

namespace tavolin {

LinuxScreen::LinuxScreen(ProcessRunner& runner, EnvironmentLookup env, Options options)
    : m_runner(runner), m_env(std::move(env)), m_options(std::move(options)) {}

std::string LinuxScreen::RunTool(const std::vector<std::string>& argv, std::stop_token stop) {
    // A tool that is missing is simply skipped, without trying to start it; after a stop
    // request nothing more is started.
    if (stop.stop_requested() || !m_runner.IsInstalled(argv.front())) return {};
    ProcessResult r = m_runner.RunUntilStopped(argv, m_options.timeout, stop);
    return r.Succeeded() ? std::move(r.output) : std::string();
}

LinuxScreen::Measurement LinuxScreen::Measure(std::stop_token stop) {
    const bool wayland = m_env("WAYLAND_DISPLAY").has_value();
    const bool x11 = m_env("DISPLAY").has_value();
    if (!wayland && !x11) return {kDefaultScreenSize, "no graphical session", false};

    const auto tryX11 = [&]() -> std::optional<Measurement> {
        if (!x11) return std::nullopt;
        if (const auto s = ParseXrandr(RunTool({"xrandr", "--current"}, stop)))
            return Measurement{*s, "xrandr"};
        if (const auto s = ParseXdpyinfo(RunTool({"xdpyinfo"}, stop))) return Measurement{*s, "xdpyinfo"};
        return std::nullopt;
    };

    if (wayland) {
        if (m_env("SWAYSOCK")) {
            if (const auto s = ParseSwayOutputs(RunTool({"swaymsg", "-t", "get_outputs", "-r"}, stop))) {
                return {*s, "swaymsg"};
            }
        }
        if (const auto s = ParseWlrRandr(RunTool({"wlr-randr"}, stop))) return {*s, "wlr-randr"};
        // Xwayland may report scaled sizes, so the kernel's own view comes first here.
        if (const auto s = ReadDrmConnectors(m_options.drmDir)) return {*s, "kernel connectors"};
        if (const auto m = tryX11()) return *m;
    } else {
        if (const auto m = tryX11()) return *m;
        if (const auto s = ReadDrmConnectors(m_options.drmDir)) return {*s, "kernel connectors"};
    }
    return {kDefaultScreenSize, "no tool could measure the screen", false};
}

ScreenReading LinuxScreen::Read() {
    return Read(std::stop_token());
}

ScreenReading LinuxScreen::Read(std::stop_token stop) {
    Measurement m = Measure(stop);
    if (stop.stop_requested()) return {kDefaultScreenSize, false, "stopped: default size"};
    return {m.size, m.measured, std::move(m.source)};
}

}  // namespace tavolin
