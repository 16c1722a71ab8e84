#include "platform/linux/DesktopDetection.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tavolin {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct NamedDesktop {
    std::string_view name;  // lower case
    DesktopKind kind;
};

// Names as desktops put them in XDG_CURRENT_DESKTOP and as display managers put session
// files in DESKTOP_SESSION.
constexpr NamedDesktop kNames[] = {
    {"gnome", DesktopKind::Gnome},
    {"gnome-classic", DesktopKind::Gnome},
    {"gnome-flashback", DesktopKind::Gnome},
    {"gnome-xorg", DesktopKind::Gnome},
    {"gnome-wayland", DesktopKind::Gnome},
    {"ubuntu", DesktopKind::Gnome},
    {"ubuntu-wayland", DesktopKind::Gnome},
    {"ubuntu-xorg", DesktopKind::Gnome},
    {"unity", DesktopKind::Gnome},
    {"budgie", DesktopKind::Gnome},
    {"budgie-desktop", DesktopKind::Gnome},
    {"pantheon", DesktopKind::Gnome},
    {"x-cinnamon", DesktopKind::Cinnamon},
    {"cinnamon", DesktopKind::Cinnamon},
    {"cinnamon2d", DesktopKind::Cinnamon},
    {"mate", DesktopKind::Mate},
    {"xfce", DesktopKind::Xfce},
    {"xfce4", DesktopKind::Xfce},
    {"xubuntu", DesktopKind::Xfce},
    {"kde", DesktopKind::Kde},
    {"kde-plasma", DesktopKind::Kde},
    {"plasma", DesktopKind::Kde},
    {"plasmawayland", DesktopKind::Kde},
    {"plasmax11", DesktopKind::Kde},
    {"lxqt", DesktopKind::Lxqt},
    {"lxde", DesktopKind::Lxde},
    {"lxde-pi", DesktopKind::Lxde},
    {"lubuntu", DesktopKind::Lxqt},
    {"sway", DesktopKind::Sway},
};

}  // namespace

const char* DesktopKindName(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::None:
            return "none";
        case DesktopKind::Gnome:
            return "GNOME";
        case DesktopKind::Cinnamon:
            return "Cinnamon";
        case DesktopKind::Mate:
            return "MATE";
        case DesktopKind::Xfce:
            return "XFCE";
        case DesktopKind::Kde:
            return "KDE Plasma";
        case DesktopKind::Lxqt:
            return "LXQt";
        case DesktopKind::Lxde:
            return "LXDE";
        case DesktopKind::Sway:
            return "sway";
        case DesktopKind::X11:
            return "plain X11";
        case DesktopKind::UnknownWayland:
            return "unknown Wayland compositor";
    }
    return "unknown";
}

DesktopKind DesktopFromName(const std::string& name) {
    std::string key = Lower(name);
    while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
    const auto it = std::find_if(std::begin(kNames), std::end(kNames),
                                 [&](const NamedDesktop& n) { return n.name == key; });
    return it == std::end(kNames) ? DesktopKind::None : it->kind;
}

DesktopKind DetectDesktop(const EnvironmentLookup& env) {
    if (const auto current = env("XDG_CURRENT_DESKTOP")) {
        std::string_view rest = *current;
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const auto entry = rest.substr(0, colon);
            if (const auto kind = DesktopFromName(std::string(entry)); kind != DesktopKind::None) {
                return kind;
            }
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const char* var : {"DESKTOP_SESSION", "XDG_SESSION_DESKTOP"}) {
        if (const auto session = env(var)) {
            std::string_view name = *session;
            if (const size_t slash = name.find_last_of('/'); slash != std::string_view::npos) {
                name.remove_prefix(slash + 1);
            }
            if (name.size() > 8 && name.substr(name.size() - 8) == ".desktop") {
                name.remove_suffix(8);
            }
            if (const auto kind = DesktopFromName(std::string(name)); kind != DesktopKind::None) {
                return kind;
            }
        }
    }
    if (env("GNOME_DESKTOP_SESSION_ID")) return DesktopKind::Gnome;
    if (env("KDE_FULL_SESSION")) return DesktopKind::Kde;
    if (env("MATE_DESKTOP_SESSION_ID")) return DesktopKind::Mate;
    if (env("SWAYSOCK")) return DesktopKind::Sway;
    if (env("WAYLAND_DISPLAY")) return DesktopKind::UnknownWayland;
    if (env("DISPLAY")) return DesktopKind::X11;
    return DesktopKind::None;
}

}  // namespace tavolin
