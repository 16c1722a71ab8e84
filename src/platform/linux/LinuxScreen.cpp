#include "platform/linux/LinuxScreen.h"

#include "platform/linux/ScreenParsers.h"

namespace tavolin {

LinuxScreen::LinuxScreen(ProcessRunner& runner, EnvironmentLookup env, Options options)
    : m_runner(runner), m_env(std::move(env)), m_options(std::move(options)) {}

std::string LinuxScreen::RunTool(const std::vector<std::string>& argv) {
    // A tool that is missing is simply skipped, without trying to start it.
    if (!m_runner.IsInstalled(argv.front())) return {};
    ProcessResult r = m_runner.Run(argv, m_options.timeout);
    return r.Succeeded() ? std::move(r.output) : std::string();
}

LinuxScreen::Measurement LinuxScreen::Measure() {
    const bool wayland = m_env("WAYLAND_DISPLAY").has_value();
    const bool x11 = m_env("DISPLAY").has_value();
    if (!wayland && !x11) return {kDefaultScreenSize, "no graphical session", false};

    const auto tryX11 = [&]() -> std::optional<Measurement> {
        if (!x11) return std::nullopt;
        if (const auto s = ParseXrandr(RunTool({"xrandr", "--current"})))
            return Measurement{*s, "xrandr"};
        if (const auto s = ParseXdpyinfo(RunTool({"xdpyinfo"}))) return Measurement{*s, "xdpyinfo"};
        return std::nullopt;
    };

    if (wayland) {
        if (m_env("SWAYSOCK")) {
            if (const auto s = ParseSwayOutputs(RunTool({"swaymsg", "-t", "get_outputs", "-r"}))) {
                return {*s, "swaymsg"};
            }
        }
        if (const auto s = ParseWlrRandr(RunTool({"wlr-randr"}))) return {*s, "wlr-randr"};
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
    Measurement m = Measure();
    return {m.size, m.measured, std::move(m.source)};
}

}  // namespace tavolin
