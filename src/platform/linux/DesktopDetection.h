#pragma once
// Which desktop runs the current session, from the session variables it sets.

#include <string>

#include "platform/linux/Environment.h"

namespace tavolin {

enum class DesktopKind {
    None,   // no graphical session at all
    Gnome,  // GNOME, Unity, Budgie, Pantheon, GNOME Flashback
    Cinnamon,
    Mate,
    Xfce,
    Kde,  // KDE Plasma
    Lxqt,
    Lxde,
    Sway,
    X11,             // a plain X11 window manager (or an X11 desktop we do not know)
    UnknownWayland,  // a Wayland compositor we have no way to address
};

/// "GNOME", "KDE Plasma", "plain X11", ...
const char* DesktopKindName(DesktopKind kind);

/// The desktop as named by one XDG_CURRENT_DESKTOP entry or DESKTOP_SESSION value (case does
/// not matter); None when the name is not one we know.
DesktopKind DesktopFromName(const std::string& name);

/// In this order: the first known entry of XDG_CURRENT_DESKTOP (split at ':'); DESKTOP_SESSION
/// and XDG_SESSION_DESKTOP (also as a path such as /usr/share/xsessions/plasma); the
/// desktops' own markers (GNOME_DESKTOP_SESSION_ID, KDE_FULL_SESSION, MATE_DESKTOP_SESSION_ID,
/// SWAYSOCK); then WAYLAND_DISPLAY (an unknown compositor) and DISPLAY (a plain X11 window
/// manager); None without any of them.
DesktopKind DetectDesktop(const EnvironmentLookup& env);

}  // namespace tavolin
