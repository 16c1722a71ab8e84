#pragma once
// The screen seam on Linux. Physical pixels of the primary output, asked in this order:
//   Wayland: swaymsg (in sway), wlr-randr, the kernel's connector list, then the X11 tools
//            through Xwayland;
//   X11:     xrandr, xdpyinfo, the kernel's connector list;
//   no graphical session, or nothing answered: 1920 x 1080.

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/ProcessRunner.h"
#include "platform/Screen.h"
#include "platform/linux/Environment.h"

namespace tavolin {

class LinuxScreen final : public Screen {
public:
    struct Options {
        std::chrono::milliseconds timeout{5000};  // for each tool
        std::filesystem::path drmDir = "/sys/class/drm";
    };

    struct Measurement {
        ScreenSize size;
        std::string source;  // English: which tool answered, or why the default is used
        bool measured = true;
    };

    LinuxScreen(ProcessRunner& runner, EnvironmentLookup env, Options options);
    LinuxScreen(ProcessRunner& runner, EnvironmentLookup env)
        : LinuxScreen(runner, std::move(env), Options{}) {}

    ScreenSize PrimarySize() override { return Measure().size; }
    ScreenReading Read() override;
    ScreenReading Read(std::stop_token stop) override;
    Measurement Measure(std::stop_token stop = {});

private:
    std::string RunTool(const std::vector<std::string>& argv, std::stop_token stop);

    ProcessRunner& m_runner;
    EnvironmentLookup m_env;
    Options m_options;
};

}  // namespace tavolin
