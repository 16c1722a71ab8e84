#pragma once
// What tells whether the program that draws a desktop's background is running: the names on
// the session bus, the desktop windows of the X server, and the processes in /proc. Each reader
// takes the text a tool or the kernel gave and keeps only what is well formed.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/DesktopDetection.h"

namespace tavolin {

/// The bus names in the reply to org.freedesktop.DBus.ListNames, as dbus-send --print-reply
/// (string "name") or gdbus call (['name', ...],) prints it. Quoted texts that are no bus name
/// are skipped.
std::vector<std::string> ParseBusNames(std::string_view text);

/// The windows of `xprop -root PROPERTY` for a WINDOW-list property such as
/// _NET_CLIENT_LIST_STACKING: found is false when the property is missing (no EWMH window
/// manager); ids are the "0x..." numbers in the order given, at most kMaxWindows.
struct WindowList {
    bool found = false;
    std::vector<std::string> ids;
    static constexpr size_t kMaxWindows = 4096;
};
WindowList ParseXpropWindowList(std::string_view text, std::string_view property);

/// One window as `xprop -id ID _NET_WM_WINDOW_TYPE WM_CLASS` shows it.
struct WindowFacts {
    bool desktop = false;              // its type includes _NET_WM_WINDOW_TYPE_DESKTOP
    std::vector<std::string> classes;  // WM_CLASS: instance and class name
};
WindowFacts ParseXpropWindow(std::string_view text);

/// The desktop whose program shows a desktop window of these WM_CLASS names; X11 when the
/// names are not those of a desktop we can address.
DesktopKind DesktopOfWindowClass(const std::vector<std::string>& classes);

/// The processes under procRoot (normally /proc) whose name (comm) is name, that are not
/// zombies, and one of whose arguments after the first is argument; their ids, at most 256.
std::vector<int> FindProcessesWithArgument(const std::filesystem::path& procRoot,
                                           std::string_view name,
                                           const std::vector<std::string>& arguments);

}  // namespace tavolin
