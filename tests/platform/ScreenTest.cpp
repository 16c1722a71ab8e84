// The screen size from recorded outputs of the display tools, the order the tools are asked
// in, and the fallback to 1920 x 1080.

#include <gtest/gtest.h>

#include <random>

#include "RecordingRunner.h"
#include "platform/linux/LinuxScreen.h"
#include "platform/linux/ScreenParsers.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;
using test::Argv;
using test::RecordingRunner;

const char* kXrandrTwoOutputs =
    "Screen 0: minimum 320 x 200, current 3840 x 1320, maximum 16384 x 16384\n"
    "eDP-1 connected 1920x1080+0+120 (normal left inverted right x axis y axis) 309mm x 174mm\n"
    "   1920x1080     60.01*+  60.01    59.97    59.96    59.93  \n"
    "   1680x1050     59.95    59.88  \n"
    "HDMI-1 connected primary 1920x1200+1920+0 (normal left inverted right x axis y axis) 518mm x "
    "324mm\n"
    "   1920x1200     59.95*+\n"
    "DP-1 disconnected (normal left inverted right x axis y axis)\n";

const char* kXdpyinfo =
    "name of display:    :0\n"
    "version number:    11.0\n"
    "screen #0:\n"
    "  dimensions:    2560x1440 pixels (677x381 millimeters)\n"
    "  resolution:    96x96 dots per inch\n"
    "screen #1:\n"
    "  dimensions:    800x600 pixels (211x158 millimeters)\n";

const char* kWlrRandr =
    "HDMI-A-1 \"Dell Inc. DELL U2415 XYZ (HDMI-A-1)\"\n"
    "  Make: Dell Inc.\n"
    "  Physical size: 520x320 mm\n"
    "  Enabled: yes\n"
    "  Modes:\n"
    "    1920x1200 px, 59.950001 Hz (preferred, current)\n"
    "    1600x1200 px, 60.000000 Hz\n"
    "  Position: 2560,0\n"
    "  Transform: normal\n"
    "  Scale: 1.000000\n"
    "eDP-1 \"Sharp Corporation 0x14D0 (eDP-1)\"\n"
    "  Enabled: yes\n"
    "  Modes:\n"
    "    3840x2160 px, 60.000000 Hz (preferred)\n"
    "    2560x1440 px, 60.000000 Hz (current)\n"
    "  Position: 0,0\n"
    "  Transform: 90\n"
    "  Scale: 2.000000\n";

const char* kSwayOutputs = R"([
  {
    "id": 3, "type": "output", "name": "HDMI-A-1", "active": true, "primary": false,
    "scale": 1.0, "transform": "normal",
    "modes": [ { "width": 1920, "height": 1080, "refresh": 60000 } ],
    "current_mode": { "width": 1920, "height": 1080, "refresh": 60000 },
    "rect": { "x": 1920, "y": 0, "width": 1920, "height": 1080 }
  },
  {
    "id": 4, "type": "output", "name": "eDP-1", "active": true, "make": "Sharp \"X\" \u00fc",
    "scale": 2.0, "transform": "270",
    "current_mode": { "width": 3840, "height": 2160, "refresh": 59997 },
    "rect": { "x": 0, "y": 0, "width": 1080, "height": 1920 }, "focused": true
  },
  { "id": 5, "name": "DP-1", "active": false, "current_mode": null, "rect": { "x": 0, "y": 0 } }
])";

std::optional<ScreenSize> Size(int w, int h) {
    return ScreenSize{w, h};
}

TEST(ScreenParsers, Xrandr) {
    EXPECT_EQ(ParseXrandr(kXrandrTwoOutputs), Size(1920, 1200));  // the primary output
    // Without a primary: the output at the origin, then the first one that is on.
    EXPECT_EQ(ParseXrandr("VGA-1 connected 1024x768+1280+0 (normal) 0mm x 0mm\n"
                          "LVDS-1 connected 1280x800+0+0 (normal) 261mm x 163mm\n"),
              Size(1280, 800));
    EXPECT_EQ(ParseXrandr("VGA-1 connected 1024x768+1280+10 (normal)\n"
                          "LVDS-1 connected (normal left)\n"),
              Size(1024, 768));
    // A rotated output already shows turned sides; negative offsets occur.
    EXPECT_EQ(
        ParseXrandr("DP-2 connected primary 1080x1920+-1080+0 left (normal left) 0mm x 0mm\n"),
        Size(1080, 1920));
    // Nothing on: the screen's total size.
    EXPECT_EQ(ParseXrandr("Screen 0: minimum 8 x 8, current 1024 x 768, maximum 32767 x 32767\n"
                          "Virtual-1 connected (normal left)\n"),
              Size(1024, 768));
    EXPECT_EQ(ParseXrandr(""), std::nullopt);
    EXPECT_EQ(ParseXrandr("Can't open display\n"), std::nullopt);
    EXPECT_EQ(ParseXrandr("X connected primary 0x1080+0+0\n"), std::nullopt);
    EXPECT_EQ(ParseXrandr("X connected primary 40000x1080+0+0\n"), std::nullopt);
    EXPECT_EQ(ParseXrandr("X connected primary 99999999999999x1080+0+0\n"), std::nullopt);
    EXPECT_EQ(ParseXrandr("X connected primary 1920x1080+0\n"), std::nullopt);
    EXPECT_EQ(ParseXrandr("X connected primary 1920x1080+0+0junk\n"), std::nullopt);
    EXPECT_EQ(ParseXrandr("Screen 0: current 1024 x\n"), std::nullopt);
}

TEST(ScreenParsers, Xdpyinfo) {
    EXPECT_EQ(ParseXdpyinfo(kXdpyinfo), Size(2560, 1440));
    EXPECT_EQ(ParseXdpyinfo("  dimensions:\n"), std::nullopt);
    EXPECT_EQ(ParseXdpyinfo("  dimensions: 12x pixels\n"), std::nullopt);
    EXPECT_EQ(ParseXdpyinfo("  dimensions: 1920x1080x3 pixels\n"), std::nullopt);
}

TEST(ScreenParsers, WlrRandr) {
    // eDP-1 sits at 0,0, its current mode 2560x1440 turned by 90 degrees.
    EXPECT_EQ(ParseWlrRandr(kWlrRandr), Size(1440, 2560));
    EXPECT_EQ(ParseWlrRandr("A \"x\"\n  Enabled: no\n  Modes:\n    800x600 px, 60 Hz (current)\n"
                            "  Position: 0,0\n"
                            "B \"y\"\n  Enabled: yes\n  Modes:\n    1024x768 px, 60 Hz (current)\n"
                            "  Position: 800,0\n"),
              Size(1024, 768));
    EXPECT_EQ(ParseWlrRandr("A\n  Modes:\n    800x600 px (preferred)\n"), std::nullopt);
    EXPECT_EQ(ParseWlrRandr("  Modes:\n    800x600 px (current)\n"), std::nullopt);
    EXPECT_EQ(ParseWlrRandr(""), std::nullopt);
}

TEST(ScreenParsers, SwayOutputs) {
    EXPECT_EQ(ParseSwayOutputs(kSwayOutputs), Size(2160, 3840));
    EXPECT_EQ(ParseSwayOutputs(R"([{"active":true,"current_mode":{"width":1280,"height":1024},
                                    "rect":{"x":5,"y":0}}])"),
              Size(1280, 1024));
    for (const char* bad :
         {"", "[", "{}", "[]", "null", "[{\"active\":true}]",
          "[{\"active\":true,\"current_mode\":{\"width\":-1,\"height\":5}}]",
          "[{\"active\":true,\"current_mode\":{\"width\":1e3,\"height\":5}}]",
          "[{\"active\":true,\"current_mode\":{\"width\":99999999999999999999,\"height\":5}}]",
          "[{\"active\":\"yes\",\"current_mode\":{\"width\":10,\"height\":5}}]",
          "[{\"active\":true,\"current_mode\":{\"width\":10,\"height\":5}}] trailing",
          "[{\"a\":\"unterminated}]", "[{\"a\":\"\\u12\"}]"}) {
        EXPECT_EQ(ParseSwayOutputs(bad), std::nullopt) << bad;
    }
    // Deep nesting is refused, not recursed into without end.
    EXPECT_EQ(ParseSwayOutputs(std::string(100000, '[') + std::string(100000, ']')), std::nullopt);
}

TEST(ScreenParsers, ModeText) {
    EXPECT_EQ(ParseModeText("1920x1080"), Size(1920, 1080));
    EXPECT_EQ(ParseModeText("1920x1080i\n1280x720\n"), Size(1920, 1080));
    EXPECT_EQ(ParseModeText("x1080"), std::nullopt);
    EXPECT_EQ(ParseModeText("1920*1080"), std::nullopt);
    EXPECT_EQ(ParseModeText("32768x10"), std::nullopt);
    EXPECT_EQ(ParseModeText("32767x1"), Size(32767, 1));
}

// Random changes of the recorded outputs never crash a reader and never yield a size out of
// range.
TEST(ScreenParsers, SurviveMangledInput) {
    std::mt19937 rng(4711);
    const std::string samples[] = {kXrandrTwoOutputs, kXdpyinfo, kWlrRandr, kSwayOutputs};
    for (int round = 0; round < 3000; ++round) {
        std::string text = samples[round % 4];
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = rng() % text.size();
            switch (rng() % 3) {
                case 0:
                    text[at] = static_cast<char>(rng());
                    break;
                case 1:
                    text.erase(at, rng() % 16);
                    break;
                default:
                    text.insert(at,
                                std::string(1 + rng() % 4, "0123456789x+-,{}[]\"\n :"[rng() % 23]));
            }
        }
        for (auto parse : {ParseXrandr, ParseXdpyinfo, ParseWlrRandr, ParseSwayOutputs}) {
            if (const auto s = parse(text)) {
                EXPECT_TRUE(s->width >= 1 && s->height >= 1 && s->width <= kMaxScreenSide &&
                            s->height <= kMaxScreenSide);
            }
        }
    }
}

// ---- the kernel's connector list ----

void Connector(const fs::path& drm, const std::string& name, const std::string& status,
               const std::string& enabled, const std::string& modes) {
    fs::create_directories(drm / name);
    test::WriteBytes(drm / name / "status", status + "\n");
    if (!enabled.empty()) test::WriteBytes(drm / name / "enabled", enabled + "\n");
    test::WriteBytes(drm / name / "modes", modes);
}

TEST(DrmConnectors, InternalPanelFirstThenFirstConnected) {
    test::TempDir drm;
    fs::create_directories(drm / "card0");
    test::WriteBytes(drm / "version", "drm 1.1.0");
    Connector(drm.path(), "card0-DP-1", "connected", "enabled", "2560x1440\n1920x1080\n");
    Connector(drm.path(), "card0-HDMI-A-1", "disconnected", "disabled", "");
    EXPECT_EQ(ReadDrmConnectors(drm.path()), Size(2560, 1440));
    Connector(drm.path(), "card0-eDP-1", "connected", "enabled", "1920x1200\n");
    EXPECT_EQ(ReadDrmConnectors(drm.path()), Size(1920, 1200));
    // A panel that is switched off or has no modes is passed over.
    Connector(drm.path(), "card0-eDP-1", "connected", "disabled", "1920x1200\n");
    EXPECT_EQ(ReadDrmConnectors(drm.path()), Size(2560, 1440));
    Connector(drm.path(), "card0-DP-1", "connected", "enabled", "");
    EXPECT_EQ(ReadDrmConnectors(drm.path()), std::nullopt);
    EXPECT_EQ(ReadDrmConnectors(drm / "missing"), std::nullopt);
}

// ---- the order of the sources ----

class LinuxScreenTest : public ::testing::Test {
protected:
    LinuxScreen::Measurement Measure(std::map<std::string, std::string> env) {
        LinuxScreen screen(m_runner, TableEnvironment(std::move(env)),
                           {std::chrono::milliseconds(777), m_drm.path()});
        return screen.Measure();
    }
    RecordingRunner m_runner;
    test::TempDir m_drm;
};

TEST_F(LinuxScreenTest, NoGraphicalSessionGivesTheDefaultWithoutAskingAnything) {
    m_runner.installed = {"xrandr", "xdpyinfo", "wlr-randr", "swaymsg"};
    Connector(m_drm.path(), "card0-eDP-1", "connected", "enabled", "3000x2000\n");
    const auto m = Measure({{"TERM", "xterm"}});
    EXPECT_EQ(m.size, (ScreenSize{1920, 1080}));
    EXPECT_TRUE(m_runner.calls.empty());
    EXPECT_TRUE(m_runner.installChecks.empty());
}

TEST_F(LinuxScreenTest, X11AsksXrandrThenXdpyinfoThenTheKernel) {
    m_runner.installed = {"xrandr", "xdpyinfo"};
    m_runner.On({"xrandr"}, ProcessResult::Exit(0, kXrandrTwoOutputs));
    m_runner.On({"xdpyinfo"}, ProcessResult::Exit(0, kXdpyinfo));
    auto m = Measure({{"DISPLAY", ":0"}});
    EXPECT_EQ(m.size, (ScreenSize{1920, 1200}));
    EXPECT_EQ(m.source, "xrandr");
    EXPECT_EQ(m_runner.calls, (std::vector<Argv>{{"xrandr", "--current"}}));
    EXPECT_EQ(m_runner.timeouts.front(), std::chrono::milliseconds(777));

    m_runner.On({"xrandr"}, ProcessResult::Exit(1, "", "Can't open display :0\n"));
    m = Measure({{"DISPLAY", ":0"}});
    EXPECT_EQ(m.size, (ScreenSize{2560, 1440}));
    EXPECT_EQ(m.source, "xdpyinfo");

    m_runner.installed.clear();
    m_runner.calls.clear();
    Connector(m_drm.path(), "card0-eDP-1", "connected", "enabled", "3000x2000\n");
    m = Measure({{"DISPLAY", ":0"}});
    EXPECT_EQ(m.size, (ScreenSize{3000, 2000}));
    EXPECT_TRUE(m_runner.calls.empty());  // tools that are not installed are not started

    fs::remove_all(m_drm / "card0-eDP-1");
    m = Measure({{"DISPLAY", ":0"}});
    EXPECT_EQ(m.size, (ScreenSize{1920, 1080}));
}

TEST_F(LinuxScreenTest, WaylandAsksTheCompositorThenTheKernelBeforeXwayland) {
    m_runner.installed = {"swaymsg", "wlr-randr", "xrandr"};
    m_runner.On({"swaymsg"}, ProcessResult::Exit(0, kSwayOutputs));
    m_runner.On({"wlr-randr"}, ProcessResult::Exit(0, kWlrRandr));
    m_runner.On({"xrandr"}, ProcessResult::Exit(0, kXrandrTwoOutputs));
    const std::map<std::string, std::string> sway = {
        {"WAYLAND_DISPLAY", "wayland-1"}, {"SWAYSOCK", "/run/sway.sock"}, {"DISPLAY", ":0"}};
    auto m = Measure(sway);
    EXPECT_EQ(m.size, (ScreenSize{2160, 3840}));
    EXPECT_EQ(m_runner.calls, (std::vector<Argv>{{"swaymsg", "-t", "get_outputs", "-r"}}));

    // Not sway: wlr-randr.
    m = Measure({{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}});
    EXPECT_EQ(m.size, (ScreenSize{1440, 2560}));

    // Neither answers: the kernel's connector before Xwayland's possibly scaled view.
    m_runner.On({"wlr-randr"},
                ProcessResult::Exit(1, "", "compositor doesn't support wlr-output-management\n"));
    Connector(m_drm.path(), "card1-DP-3", "connected", "", "3440x1440\n");
    m = Measure({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}});
    EXPECT_EQ(m.size, (ScreenSize{3440, 1440}));
    EXPECT_EQ(m.source, "kernel connectors");

    fs::remove_all(m_drm / "card1-DP-3");
    m = Measure({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}});
    EXPECT_EQ(m.size, (ScreenSize{1920, 1200}));
    EXPECT_EQ(m.source, "xrandr");
}

TEST(ScreenSeam, ContextScreenIsUsedAndNonsenseFallsBackToTheDefault) {
    Context context;
    ScreenReading r = context.MeasureScreen();
    EXPECT_EQ(r.size, kDefaultScreenSize);
    EXPECT_FALSE(r.measured);
    context.screen = std::make_shared<FixedScreen>(ScreenSize{1024, 768});
    r = context.MeasureScreen();
    EXPECT_EQ(r.size, (ScreenSize{1024, 768}));
    EXPECT_TRUE(r.measured);
    for (const ScreenSize nonsense : {ScreenSize{0, 768}, ScreenSize{40000, 768}}) {
        context.screen = std::make_shared<FixedScreen>(nonsense);
        r = context.MeasureScreen();
        EXPECT_EQ(r.size, kDefaultScreenSize);
        EXPECT_FALSE(r.measured);
        EXPECT_FALSE(r.note.empty());
    }
}

}  // namespace
}  // namespace tavolin
