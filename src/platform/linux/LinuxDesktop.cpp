#include "platform/linux/LinuxDesktop.h"

#include <algorithm>
#include <cctype>
#include <system_error>
#include <thread>

#include "platform/linux/BmpToPng.h"
#include "platform/linux/FreshCopy.h"
#include "platform/linux/PcmanfmQtSettings.h"
#include "platform/linux/WallpaperText.h"

namespace tavolin {
namespace {

constexpr const char* kGnomeSchema = "org.gnome.desktop.background";
constexpr const char* kCinnamonSchema = "org.cinnamon.desktop.background";
constexpr const char* kMateSchema = "org.mate.background";
constexpr const char* kXfceChannel = "xfce4-desktop";

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The program that draws each desktop's background, and how it shows that it runs.
struct Drawer {
    DesktopKind kind;
    const char* who;
    std::vector<std::string_view> busNames;  // any of them owned
    bool window;                             // or a desktop window of this desktop
};

const Drawer* DrawerOf(DesktopKind kind) {
    static const Drawer kDrawers[] = {
        // gnome-shell; the other mutter-based shells (Budgie, Pantheon) and GNOME Flashback
        // own mutter's display configuration name.
        {DesktopKind::Gnome,
         "GNOME's shell (gnome-shell)",
         {"org.gnome.Shell", "org.gnome.Mutter.DisplayConfig"},
         false},
        // nemo-desktop draws the background where cinnamon does not.
        {DesktopKind::Cinnamon, "Cinnamon's desktop (cinnamon)", {"org.Cinnamon"}, true},
        // mate-settings-daemon draws the background where caja does not.
        {DesktopKind::Mate,
         "MATE's desktop (caja)",
         {"org.mate.Caja", "org.mate.SettingsDaemon"},
         true},
        {DesktopKind::Xfce, "XFCE's desktop (xfdesktop)", {"org.xfce.xfdesktop"}, true},
        {DesktopKind::Kde, "KDE Plasma's desktop (plasmashell)", {"org.kde.plasmashell"}, true},
        {DesktopKind::Lxde, "LXDE's desktop (pcmanfm --desktop)", {}, true},
    };
    for (const auto& drawer : kDrawers) {
        if (drawer.kind == kind) return &drawer;
    }
    return nullptr;
}

bool IsUnity(std::string_view desktops) {
    while (!desktops.empty()) {
        const size_t colon = desktops.find(':');
        std::string entry(desktops.substr(0, colon));
        for (char& c : entry) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry == "unity") return true;
        desktops.remove_prefix(colon == std::string_view::npos ? desktops.size() : colon + 1);
    }
    return false;
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseXfconfList(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> properties;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() != '/') continue;
        const size_t blank = line.find_first_of(" \t");
        std::string_view name = line.substr(0, blank);
        std::string_view value;
        if (blank != std::string_view::npos) {
            value = line.substr(blank);
            const size_t start = value.find_first_not_of(" \t");
            value = start == std::string_view::npos ? std::string_view() : value.substr(start);
        }
        properties.emplace_back(std::string(name), std::string(value));
    }
    return properties;
}

LinuxDesktop::LinuxDesktop(ProcessRunner& runner, EnvironmentLookup env, Options options)
    : m_runner(runner), m_env(std::move(env)), m_options(options) {}

WallpaperResult LinuxDesktop::SetWallpaper(const std::filesystem::path& bmpPath,
                                           std::stop_token stop) {
    return SetWallpaperOn(DetectDesktop(m_env), bmpPath, std::move(stop));
}

bool LinuxDesktop::NeedsFreshCopy(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::Gnome:
        case DesktopKind::Cinnamon:
        case DesktopKind::Mate:
        case DesktopKind::Xfce:
        case DesktopKind::Kde:
        case DesktopKind::Lxqt:  // pcmanfm-qt does not reload an unchanged path
            return true;
        default:
            // pcmanfm, swaybg, feh and xwallpaper read the file anew with every call.
            return false;
    }
}

bool LinuxDesktop::NeedsSessionBus(DesktopKind kind) const {
    switch (kind) {
        case DesktopKind::Gnome:
        case DesktopKind::Cinnamon:
        case DesktopKind::Mate: {
            // gsettings reaches dconf over the bus; another backend (a keyfile) stores without.
            const auto backend = m_env("GSETTINGS_BACKEND");
            return !backend || *backend == "dconf";
        }
        case DesktopKind::Xfce:
        case DesktopKind::Kde:
        case DesktopKind::Lxqt:  // pcmanfm-qt hands its arguments to the desktop over the bus
            return true;
        default:
            return false;
    }
}

WallpaperResult LinuxDesktop::SetWallpaperOn(DesktopKind kind, const std::filesystem::path& bmpPath,
                                             std::stop_token stop) {
    // However many steps a desktop needs and however its tools hang, the hand-over ends
    // within its overall time, and at once when a stop is requested.
    const auto deadline = std::chrono::steady_clock::now() + m_options.total;
    BoundedRunner bounded(m_runner, deadline, stop);
    LinuxDesktop within(bounded, m_env, m_options);
    within.m_deadline = deadline;
    WallpaperResult result = within.HandOver(kind, bmpPath, stop);
    if (result.status == WallpaperStatus::Failed && stop.stop_requested()) {
        result.status = WallpaperStatus::Cancelled;
    }
    return result;
}

WallpaperResult LinuxDesktop::HandOver(DesktopKind kind, const std::filesystem::path& bmpPath,
                                       const std::stop_token& stop) {
    namespace fs = std::filesystem;
    WallpaperResult result;
    result.desktop = DesktopKindName(kind);
    if (kind == DesktopKind::None) {
        result.desktop.clear();
        result.status = WallpaperStatus::NoDesktop;
        result.detail = "no graphical session found (neither DISPLAY nor WAYLAND_DISPLAY is set)";
        return result;
    }
    if (kind == DesktopKind::X11) {
        // A desktop window covers the root window: a picture there would not be seen, so
        // the picture goes the way of the desktop that shows that window.
        if (const auto windows = DesktopWindows(); windows && !windows->empty()) {
            for (const WindowFacts& window : *windows) {
                const DesktopKind owner = DesktopOfWindowClass(window.classes);
                if (owner != DesktopKind::X11) return HandOver(owner, bmpPath, stop);
            }
            const auto& classes = windows->front().classes;
            result.detail = "a desktop window" +
                            (classes.empty() ? std::string() : " of '" + classes.back() + "'") +
                            " covers the root window, so a picture set there would not be seen, "
                            "and its desktop is not one whose wallpaper can be set";
            return result;
        }
    }
    if (kind == DesktopKind::UnknownWayland) {
        const auto name = m_env("XDG_CURRENT_DESKTOP");
        result.detail = "the Wayland compositor" + (name ? " '" + *name + "'" : std::string()) +
                        " is not one whose wallpaper can be set";
        return result;
    }

    if (stop.stop_requested()) {
        result.status = WallpaperStatus::Cancelled;
        result.detail = "stopped before the hand-over";
        return result;
    }
    std::error_code ec;
    const fs::path source = fs::absolute(bmpPath, ec);
    if (ec || !fs::is_regular_file(source, ec)) {
        result.detail = "the picture " + bmpPath.string() + " does not exist";
        return result;
    }
    // Without a session bus the tools would start a private one (or fail later): the value
    // would land where no desktop reads it.
    if (NeedsSessionBus(kind) && !SessionBusAddress(m_env)) {
        result.detail = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set), so the " +
                        result.desktop + " settings cannot be reached";
        return result;
    }

    fs::path file = source;
    const bool fresh = NeedsFreshCopy(kind);
    if (fresh) {
        std::string error;
        const auto copy = MakeFreshCopy(source, error);
        if (!copy) {
            result.detail = error;
            return result;
        }
        file = *copy;
    }

    const Outcome outcome = Apply(kind, file, stop);
    if (outcome.ok) {
        if (fresh) RemoveOlderCopies(source, file);
        if (auto missing = MissingDrawer(kind)) {
            result.status = WallpaperStatus::Stored;
            result.detail = std::move(*missing);
            return result;
        }
        result.status = WallpaperStatus::Set;
        return result;
    }
    // A copy nothing points to is removed; one a desktop may already show stays.
    if (fresh && !outcome.partial) fs::remove(file, ec);
    result.detail = outcome.detail;
    return result;
}

LinuxDesktop::Outcome LinuxDesktop::Apply(DesktopKind kind, const std::filesystem::path& file,
                                          const std::stop_token& stop) {
    switch (kind) {
        case DesktopKind::Gnome:
            return SetGnomeLike(kGnomeSchema, "picture-uri", FileUri(file), "picture-uri-dark");
        case DesktopKind::Cinnamon:
            return SetGnomeLike(kCinnamonSchema, "picture-uri", FileUri(file), nullptr);
        case DesktopKind::Mate:
            return SetGnomeLike(kMateSchema, "picture-filename", file.native(), nullptr);
        case DesktopKind::Xfce:
            return SetXfce(file);
        case DesktopKind::Kde:
            return SetPlasma(file);
        case DesktopKind::Lxqt:
            return SetLxqt(file, stop);
        case DesktopKind::Lxde:
            return RunStep({"pcmanfm", "--set-wallpaper", file.native()},
                           "pcmanfm --set-wallpaper");
        case DesktopKind::Sway:
            return SetSway(file, stop);
        case DesktopKind::X11:
            return SetPlainX11(file);
        case DesktopKind::None:
        case DesktopKind::UnknownWayland:
            break;
    }
    return {false, "no way to set the wallpaper on this desktop"};
}

std::optional<std::vector<std::string>> LinuxDesktop::BusNames() {
    if (!SessionBusAddress(m_env)) return std::nullopt;
    ProcessResult r;
    if (m_runner.IsInstalled("dbus-send")) {
        r = m_runner.Run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                          "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"},
                         m_options.timeout);
    } else if (m_runner.IsInstalled("gdbus")) {
        r = m_runner.Run(
            {"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.ListNames"},
            m_options.timeout);
    } else {
        return std::nullopt;
    }
    if (!r.Succeeded()) return std::nullopt;
    auto names = ParseBusNames(r.output);
    // The bus always lists itself; a reply without it is none.
    if (!Contains(names, "org.freedesktop.DBus")) return std::nullopt;
    return names;
}

std::optional<std::vector<WindowFacts>> LinuxDesktop::DesktopWindows() {
    if (!m_env("DISPLAY") || !m_runner.IsInstalled("xprop")) return std::nullopt;
    const ProcessResult root = m_runner.Run(
        {"xprop", "-root", "_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST"}, m_options.timeout);
    if (!root.Succeeded()) return std::nullopt;
    // Desktop windows lie below all others, so bottom-up the first other window ends the
    // search; the unordered list is searched whole, up to a bound.
    WindowList list = ParseXpropWindowList(root.output, "_NET_CLIENT_LIST_STACKING");
    const bool bottomUp = list.found;
    if (!bottomUp) list = ParseXpropWindowList(root.output, "_NET_CLIENT_LIST");
    if (!list.found) return std::nullopt;
    constexpr size_t kMaxLooked = 64;
    std::vector<WindowFacts> desktops;
    for (size_t i = 0; i < list.ids.size() && i < kMaxLooked; ++i) {
        const ProcessResult w = m_runner.Run(
            {"xprop", "-id", list.ids[i], "_NET_WM_WINDOW_TYPE", "WM_CLASS"}, m_options.timeout);
        // A window that closed in between is no answer; a tool that hangs or is stopped is.
        if (w.status != ProcessResult::Status::Exited) return std::nullopt;
        if (!w.Succeeded()) continue;
        WindowFacts facts = ParseXpropWindow(w.output);
        if (facts.desktop) {
            desktops.push_back(std::move(facts));
        } else if (bottomUp) {
            break;
        }
    }
    return desktops;
}

std::optional<std::string> LinuxDesktop::MissingDrawer(DesktopKind kind) {
    // Plasma's answer to its script already came from plasmashell.
    const Drawer* drawer = kind == DesktopKind::Kde ? nullptr : DrawerOf(kind);
    if (!drawer) return std::nullopt;
    // Unity shares GNOME's settings but not its shell; what draws there is not looked for.
    if (const auto current = m_env("XDG_CURRENT_DESKTOP");
        kind == DesktopKind::Gnome && current && IsUnity(*current)) {
        return std::nullopt;
    }
    bool looked = false;
    if (!drawer->busNames.empty()) {
        if (const auto names = BusNames()) {
            looked = true;
            for (const auto name : drawer->busNames) {
                if (Contains(*names, name)) return std::nullopt;
            }
        }
    }
    if (drawer->window) {
        if (const auto windows = DesktopWindows()) {
            looked = true;
            for (const WindowFacts& window : *windows) {
                if (DesktopOfWindowClass(window.classes) == kind) return std::nullopt;
            }
        }
    }
    if (!looked) return std::nullopt;
    return std::string(drawer->who) +
           " is not running: the picture is stored and will show when it starts";
}

LinuxDesktop::Outcome LinuxDesktop::RunStep(const std::vector<std::string>& argv,
                                            const std::string& what) {
    const ProcessResult r = m_runner.Run(argv, m_options.timeout);
    if (r.Succeeded()) return {};
    return {false, what + ": " + r.Describe()};
}

LinuxDesktop::Outcome LinuxDesktop::SetGnomeLike(const char* schema, const char* key,
                                                 const std::string& value, const char* darkKey) {
    const auto literal = GVariantStringLiteral(value);
    if (!literal) {
        return {false, "the path " + value + " is not valid UTF-8, which " + std::string(schema) +
                           " cannot hold"};
    }
    const std::string what = std::string("gsettings set ") + schema + " ";
    Outcome outcome = RunStep({"gsettings", "set", schema, key, *literal}, what + key);
    if (!outcome.ok) return outcome;

    if (darkKey) {
        // GNOME before 42 has no dark-style picture; that is no failure.
        Outcome dark = RunStep({"gsettings", "set", schema, darkKey, *literal}, what + darkKey);
        if (!dark.ok) {
            const ProcessResult keys =
                m_runner.Run({"gsettings", "list-keys", schema}, m_options.timeout);
            const std::string line = std::string(darkKey) + "\n";
            const bool hasKey = keys.output.find("\n" + line) != std::string::npos ||
                                keys.output.compare(0, line.size(), line) == 0;
            if (!keys.Succeeded() || hasKey) {
                dark.partial = true;
                return dark;
            }
        }
    }

    // Without a settings service gsettings writes to memory only and still succeeds, so the
    // value is read back by a new process.
    const ProcessResult check = m_runner.Run({"gsettings", "get", schema, key}, m_options.timeout);
    if (!check.Succeeded()) {
        return {false,
                std::string("gsettings get ") + schema + " " + key + ": " + check.Describe()};
    }
    const auto stored = ParseGVariantString(check.output);
    if (!stored || *stored != value) {
        return {false, std::string("the setting ") + schema + " " + key +
                           " did not keep the new value (is the settings service running?)"};
    }
    Outcome style = ShowPictureStyle(schema);
    style.partial = true;
    return style;
}

LinuxDesktop::Outcome LinuxDesktop::ShowPictureStyle(const char* schema) {
    const ProcessResult style =
        m_runner.Run({"gsettings", "get", schema, "picture-options"}, m_options.timeout);
    // Not knowing the style is no reason to fail: the picture is set.
    if (!style.Succeeded()) return {};
    const auto value = ParseGVariantString(style.output);
    if (!value || *value != "none") return {};
    return RunStep({"gsettings", "set", schema, "picture-options", "'zoom'"},
                   std::string("gsettings set ") + schema + " picture-options");
}

LinuxDesktop::Outcome LinuxDesktop::SetXfce(const std::filesystem::path& file) {
    if (!IsValidUtf8(file.native())) {
        return {false,
                "the path " + file.string() + " is not valid UTF-8, which xfconf cannot hold"};
    }
    const ProcessResult list =
        m_runner.Run({"xfconf-query", "-c", kXfceChannel, "-l", "-v"}, m_options.timeout);
    if (!list.Succeeded()) return {false, "xfconf-query -c xfce4-desktop -l: " + list.Describe()};
    const auto properties = ParseXfconfList(list.output);

    Outcome outcome;
    bool any = false;
    for (const auto& [name, value] : properties) {
        if (!EndsWith(name, "/last-image")) continue;
        Outcome step =
            RunStep({"xfconf-query", "-c", kXfceChannel, "-p", name, "-s", file.native()},
                    "xfconf-query -p " + name);
        if (!step.ok) {
            step.partial = any;
            return step;
        }
        any = true;
        // Image style 0 shows no picture at all; zoomed (5) shows this one unchanged.
        const std::string styleName = name.substr(0, name.size() - 10) + "image-style";
        for (const auto& [otherName, otherValue] : properties) {
            if (otherName != styleName || otherValue != "0") continue;
            step = RunStep({"xfconf-query", "-c", kXfceChannel, "-p", styleName, "-s", "5"},
                           "xfconf-query -p " + styleName);
            if (!step.ok) {
                step.partial = true;
                return step;
            }
        }
    }
    if (!any) {
        return {false,
                "xfce4-desktop has no backdrop .../last-image property yet (open the desktop "
                "settings once)"};
    }
    return outcome;
}

std::string LinuxDesktop::PlasmaScript(const std::string& uri) {
    return "var uri = " + JsStringLiteral(uri) +
           ";\n"
           "var all = desktops();\n"
           "if (all.length == 0) throw new Error(\"no desktops\");\n"
           "for (var i = 0; i < all.length; ++i) {\n"
           "    var d = all[i];\n"
           "    d.wallpaperPlugin = \"org.kde.image\";\n"
           "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
           "    d.writeConfig(\"Image\", uri);\n"
           "}\n";
}

LinuxDesktop::Outcome LinuxDesktop::SetPlasma(const std::filesystem::path& file) {
    // Plasma keeps the picture in plasmashell's own settings: without it nothing is stored.
    if (const auto names = BusNames(); names && !Contains(*names, "org.kde.plasmashell")) {
        return {false, std::string(DrawerOf(DesktopKind::Kde)->who) +
                           " is not running, so the picture could not be handed to it"};
    }
    const std::string script = PlasmaScript(FileUri(file));
    if (m_runner.IsInstalled("dbus-send")) {
        return RunStep({"dbus-send", "--session", "--type=method_call", "--print-reply",
                        "--dest=org.kde.plasmashell", "/PlasmaShell",
                        "org.kde.PlasmaShell.evaluateScript", "string:" + script},
                       "dbus-send org.kde.PlasmaShell.evaluateScript");
    }
    for (const char* qdbus : {"qdbus6", "qdbus-qt6", "qdbus", "qdbus-qt5"}) {
        if (!m_runner.IsInstalled(qdbus)) continue;
        return RunStep({qdbus, "org.kde.plasmashell", "/PlasmaShell",
                        "org.kde.PlasmaShell.evaluateScript", script},
                       std::string(qdbus) + " org.kde.PlasmaShell.evaluateScript");
    }
    return {false, "neither dbus-send nor qdbus is installed"};
}

LinuxDesktop::Outcome LinuxDesktop::SetLxqt(const std::filesystem::path& file,
                                            const std::stop_token& stop) {
    using namespace std::chrono_literals;
    if (!IsValidUtf8(file.native())) {
        return {false,
                "the path " + file.string() + " is not valid UTF-8, which pcmanfm-qt cannot hold"};
    }
    const auto settingsFiles = PcmanfmQtSettingsFiles(m_env);
    if (settingsFiles.empty()) {
        return {false,
                "pcmanfm-qt's settings cannot be found (neither XDG_CONFIG_HOME nor HOME "
                "is set), so the new picture could not be checked"};
    }
    // The mode "none" shows no picture at all; every other mode the user chose stays.
    // pcmanfm-qt shows the mode it is given but keeps "none" in its settings, so this is
    // repeated on every run.
    std::vector<std::string> argv = {"pcmanfm-qt", "--set-wallpaper", file.native()};
    bool modeSet = false;
    for (const auto& settings : settingsFiles) {
        const auto mode = ReadPcmanfmQtDesktopValue(settings, "WallpaperMode");
        if (!mode) continue;
        if (*mode == "none") {
            argv.push_back("--wallpaper-mode=stretch");
            modeSet = true;
        }
        break;
    }
    Outcome outcome = RunStep(argv, "pcmanfm-qt --set-wallpaper");
    if (!outcome.ok) return outcome;

    // pcmanfm-qt exits 0 even when no desktop of its own runs to take the picture; only its
    // settings tell, and the desktop saves them a moment after it switched.
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::canonical(file, ec);
    const auto namesFile = [&](const std::optional<std::string>& value) {
        return value &&
               (*value == file.native() || (!canonical.empty() && *value == canonical.native()));
    };
    const auto waitStart = std::chrono::steady_clock::now();
    const auto deadline = std::min(waitStart + m_options.settle, m_deadline);
    const std::filesystem::path* confirmed = nullptr;
    while (!confirmed) {
        for (const auto& settings : settingsFiles) {
            if (namesFile(ReadPcmanfmQtDesktopValue(settings, "Wallpaper"))) {
                confirmed = &settings;
                break;
            }
        }
        if (confirmed) break;
        // The desktop may have switched already: the copy stays.
        if (stop.stop_requested())
            return {false, "stopped before pcmanfm-qt confirmed the picture", true};
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            const auto waited =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - waitStart);
            return {false, "pcmanfm-qt did not take the picture: after " +
                               std::to_string(waited.count()) + " ms its settings (" +
                               settingsFiles[0].string() + ", " + settingsFiles[1].string() +
                               ") still do not name it; is the LXQt desktop (pcmanfm-qt "
                               "--desktop) running?"};
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(50ms, deadline - now));
    }

    // Another profile than the one first looked at may be the desktop's.
    if (!modeSet && ReadPcmanfmQtDesktopValue(*confirmed, "WallpaperMode") == "none") {
        Outcome mode =
            RunStep({"pcmanfm-qt", "--wallpaper-mode=stretch"}, "pcmanfm-qt --wallpaper-mode");
        mode.partial = true;
        return mode;
    }
    return {};
}

LinuxDesktop::Outcome LinuxDesktop::SetSway(const std::filesystem::path& file,
                                            const std::stop_token& stop) {
    const auto argument = SwayPathArgument(file.native());
    if (!argument) {
        return {false, "the path " + file.string() +
                           " holds characters that sway would read as part of a command"};
    }
    // sway answers success before it starts swaybg, and also when it cannot (swaybg is only
    // recommended): the picture shows once a new swaybg runs with it.
    std::vector<std::string> paths = {file.native()};
    std::error_code ec;
    if (const auto canonical = std::filesystem::canonical(file, ec); !ec && canonical != file) {
        paths.push_back(canonical.native());
    }
    const bool canLook = std::filesystem::is_directory(m_options.procRoot, ec);
    const auto before = FindProcessesWithArgument(m_options.procRoot, "swaybg", paths);
    Outcome outcome =
        RunStep({"swaymsg", "output", "*", "bg", *argument, "fill"}, "swaymsg output * bg");
    if (!outcome.ok || !canLook) return outcome;

    using namespace std::chrono_literals;
    const auto waitStart = std::chrono::steady_clock::now();
    const auto deadline = std::min(waitStart + m_options.settle, m_deadline);
    for (;;) {
        for (const int pid : FindProcessesWithArgument(m_options.procRoot, "swaybg", paths)) {
            if (!std::binary_search(before.begin(), before.end(), pid)) return {};
        }
        if (stop.stop_requested()) return {false, "stopped before swaybg showed the picture"};
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            const auto waited =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - waitStart);
            return {false, "sway took the picture, but no swaybg showed it within " +
                               std::to_string(waited.count()) +
                               " ms (is swaybg installed?): the background stays as it is"};
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(50ms, deadline - now));
    }
}

LinuxDesktop::Outcome LinuxDesktop::SetPlainX11(const std::filesystem::path& file) {
    if (m_runner.IsInstalled("feh")) {
        return RunStep({"feh", "--no-fehbg", "--bg-fill", file.native()}, "feh --bg-fill");
    }
    if (m_runner.IsInstalled("xwallpaper")) {
        // xwallpaper reads PNG and JPEG only.
        std::filesystem::path png = file;
        png.replace_extension(".png");
        std::string error;
        if (!ConvertBmpToPng(file, png, error)) return {false, error};
        return RunStep({"xwallpaper", "--zoom", png.native()}, "xwallpaper --zoom");
    }
    return {false, "neither feh nor xwallpaper is installed"};
}

}  // namespace tavolin
