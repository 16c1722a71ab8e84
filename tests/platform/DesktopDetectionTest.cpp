// Which desktop a session is taken for, from its variables.

#include <gtest/gtest.h>

#include "platform/linux/DesktopDetection.h"

namespace tavolin {
namespace {

using Env = std::map<std::string, std::string>;

DesktopKind Detect(Env env) {
    return DetectDesktop(TableEnvironment(std::move(env)));
}

TEST(DesktopDetection, NamesInXdgCurrentDesktop) {
    const struct {
        const char* value;
        DesktopKind kind;
    } cases[] = {
        {"GNOME", DesktopKind::Gnome},
        {"ubuntu:GNOME", DesktopKind::Gnome},
        {"GNOME-Classic:GNOME", DesktopKind::Gnome},
        {"GNOME-Flashback:GNOME", DesktopKind::Gnome},
        {"Unity", DesktopKind::Gnome},
        {"Unity:Unity7:ubuntu", DesktopKind::Gnome},
        {"Budgie:GNOME", DesktopKind::Gnome},
        {"Pantheon", DesktopKind::Gnome},
        {"X-Cinnamon", DesktopKind::Cinnamon},
        {"MATE", DesktopKind::Mate},
        {"XFCE", DesktopKind::Xfce},
        {"KDE", DesktopKind::Kde},
        {"LXQt", DesktopKind::Lxqt},
        {"LXDE", DesktopKind::Lxde},
        {"sway", DesktopKind::Sway},
        {"kde", DesktopKind::Kde},  // case does not matter
        // The first entry we know wins, unknown ones are passed over.
        {"Hyprland:XFCE", DesktopKind::Xfce},
        {"::MATE:", DesktopKind::Mate},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", c.value}, {"DISPLAY", ":0"}}), c.kind) << c.value;
    }
}

TEST(DesktopDetection, SessionNamesWhenXdgCurrentDesktopDoesNotHelp) {
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "plasma"}}), DesktopKind::Kde);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "/usr/share/xsessions/plasma"}}), DesktopKind::Kde);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "xfce"}}), DesktopKind::Xfce);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "ubuntu"}}), DesktopKind::Gnome);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "cinnamon"}}), DesktopKind::Cinnamon);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "LXDE-pi"}}), DesktopKind::Lxde);
    EXPECT_EQ(Detect({{"XDG_SESSION_DESKTOP", "mate"}}), DesktopKind::Mate);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "lxqt.desktop"}}), DesktopKind::Lxqt);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "i3"}, {"DESKTOP_SESSION", "mate"}}),
              DesktopKind::Mate);
    // XDG_CURRENT_DESKTOP, when it names a desktop we know, outranks the session name.
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "GNOME"}, {"DESKTOP_SESSION", "plasma"}}),
              DesktopKind::Gnome);
}

TEST(DesktopDetection, DesktopMarkersThenDisplayVariables) {
    EXPECT_EQ(Detect({{"GNOME_DESKTOP_SESSION_ID", "this-is-deprecated"}, {"DISPLAY", ":0"}}),
              DesktopKind::Gnome);
    EXPECT_EQ(Detect({{"KDE_FULL_SESSION", "true"}, {"DISPLAY", ":0"}}), DesktopKind::Kde);
    EXPECT_EQ(Detect({{"MATE_DESKTOP_SESSION_ID", "this-is-deprecated"}}), DesktopKind::Mate);
    EXPECT_EQ(
        Detect({{"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}, {"WAYLAND_DISPLAY", "wayland-1"}}),
        DesktopKind::Sway);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "Hyprland"},
                      {"WAYLAND_DISPLAY", "wayland-1"},
                      {"DISPLAY", ":0"}}),
              DesktopKind::UnknownWayland);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "i3"}, {"DISPLAY", ":0"}}), DesktopKind::X11);
    EXPECT_EQ(Detect({{"DISPLAY", ":1"}}), DesktopKind::X11);
}

TEST(DesktopDetection, NothingMeansNoDesktop) {
    EXPECT_EQ(Detect({}), DesktopKind::None);
    // Empty variables count as unset.
    EXPECT_EQ(Detect({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"XDG_CURRENT_DESKTOP", ""}}),
              DesktopKind::None);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "tty"}, {"TERM", "xterm"}}), DesktopKind::None);
}

}  // namespace
}  // namespace tavolin
