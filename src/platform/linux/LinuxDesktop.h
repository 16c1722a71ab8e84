#pragma once
// The desktop seam on Linux: detects the running desktop and hands it the picture with the
// desktop's own tool, started without a shell and with a time limit.
//
//   GNOME, Unity, Budgie  gsettings org.gnome.desktop.background picture-uri, picture-uri-dark
//   Cinnamon              gsettings org.cinnamon.desktop.background picture-uri
//   MATE                  gsettings org.mate.background picture-filename
//   XFCE                  xfconf-query: every .../last-image property of xfce4-desktop
//   KDE Plasma            org.kde.PlasmaShell.evaluateScript over D-Bus
//   LXQt                  pcmanfm-qt --set-wallpaper, checked in pcmanfm-qt's saved settings
//   LXDE                  pcmanfm --set-wallpaper
//   sway                  swaymsg output * bg PATH fill
//   plain X11             feh --no-fehbg --bg-fill, else xwallpaper --zoom
//
// The display style stays the user's. Where a desktop has a style that shows no picture at
// all (GNOME's 'none', XFCE's image style 0, pcmanfm-qt's "none") it is set to one that does
// (zoom; stretch for pcmanfm-qt), since the user asked for a wallpaper. sway and the plain X11
// tools need a style with every call: the fill/zoom style is used, which shows a picture of the
// screen's size pixel for pixel and fills other outputs without distortion.
//
// A tool that stores the picture does not show it: that takes the program that draws the
// desktop (xfdesktop, caja, gnome-shell, ...), and the tools succeed without it. So after the
// picture is stored the hand-over looks for that program the way its desktop exposes it: its
// name on the session bus, its desktop window (_NET_WM_WINDOW_TYPE_DESKTOP), or for sway the
// swaybg that shows the new picture. Without it the result is Stored, with the reason. A plain
// X11 session whose root window is covered by a desktop window is handed over on that
// desktop's own way. Where none of these can be looked at, the tools' word is taken.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/ProcessRunner.h"
#include "platform/linux/DesktopDetection.h"
#include "platform/linux/DrawingClient.h"
#include "platform/linux/Environment.h"

namespace tavolin {

class LinuxDesktop final : public Desktop {
public:
    struct Options {
        std::chrono::milliseconds timeout{10000};  // for each command
        std::chrono::milliseconds total{20000};    // for the whole hand-over
        // LXQt: how long pcmanfm-qt's desktop may take to save the new picture in its settings
        // sway: how long swaybg may take to come up with the new picture
        std::chrono::milliseconds settle{5000};
        // Where the processes are listed (swaybg)
        std::filesystem::path procRoot = "/proc";
    };

    LinuxDesktop(ProcessRunner& runner, EnvironmentLookup env, Options options);
    LinuxDesktop(ProcessRunner& runner, EnvironmentLookup env)
        : LinuxDesktop(runner, std::move(env), Options{}) {}

    WallpaperResult SetWallpaper(const std::filesystem::path& bmpPath,
                                 std::stop_token stop) override;

    /// As SetWallpaper, for a given desktop instead of the detected one.
    WallpaperResult SetWallpaperOn(DesktopKind kind, const std::filesystem::path& bmpPath,
                                   std::stop_token stop = {});

    /// True for the desktops that are given a fresh copy under a new name each time.
    static bool NeedsFreshCopy(DesktopKind kind);

    /// True for the desktops whose tools reach them over the session bus: without one the
    /// hand-over fails before any tool is started.
    bool NeedsSessionBus(DesktopKind kind) const;

    /// Why nothing would show a picture stored on this desktop now: "XFCE's desktop
    /// (xfdesktop) is not running: ..."; nullopt when its drawing program runs or cannot be
    /// looked for. The hand-over asks this once the desktop's settings took the picture.
    std::optional<std::string> MissingDrawer(DesktopKind kind);

    /// The script for Plasma's evaluateScript that sets the picture at uri on every desktop.
    static std::string PlasmaScript(const std::string& uri);

private:
    struct Outcome {
        bool ok = true;
        std::string detail;
        bool partial = false;  // a command succeeded before the failure: the file is in use
    };

    WallpaperResult HandOver(DesktopKind kind, const std::filesystem::path& bmpPath,
                             const std::stop_token& stop);
    Outcome Apply(DesktopKind kind, const std::filesystem::path& file, const std::stop_token& stop);
    Outcome SetGnomeLike(const char* schema, const char* key, const std::string& value,
                         const char* darkKey);
    Outcome SetXfce(const std::filesystem::path& file);
    Outcome SetPlasma(const std::filesystem::path& file);
    Outcome SetLxqt(const std::filesystem::path& file, const std::stop_token& stop);
    Outcome SetSway(const std::filesystem::path& file, const std::stop_token& stop);
    Outcome SetPlainX11(const std::filesystem::path& file);
    Outcome RunStep(const std::vector<std::string>& argv, const std::string& what);
    Outcome ShowPictureStyle(const char* schema);

    // The names on the session bus; nullopt when they cannot be listed.
    std::optional<std::vector<std::string>> BusNames();
    // The desktop windows (bottom-most first) as the window manager lists them; nullopt
    // without a display, xprop or an EWMH window manager.
    std::optional<std::vector<WindowFacts>> DesktopWindows();

    ProcessRunner& m_runner;
    EnvironmentLookup m_env;
    Options m_options;
    // The end of the whole hand-over, for waits that run no tool.
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
};

/// The property/value pairs of `xfconf-query -l -v` output; lines that do not start with a
/// property path are skipped.
std::vector<std::pair<std::string, std::string>> ParseXfconfList(std::string_view text);

}  // namespace tavolin
