#pragma once
// The description of one start-up shortcut: what it starts, with which arguments, from where,
// and how it presents itself. On Linux it becomes an XDG autostart entry.

#include <cstdint>
#include <string>
#include <vector>

namespace tavolin {

struct ShortcutInfo {
    std::string targetPath;        // file the shortcut starts
    std::string arguments;         // command-line arguments, separated by blanks
    std::string description;       // comment shown by the desktop
    uint16_t hotKey = 0;           // key combination; kept, but Linux desktops do not use it
    std::string iconPath;          // file holding the icon
    int iconIndex = 0;             // icon number in that file
    int showCommand = 5;           // window state of the started program (5 show, 1 normal)
    std::string workingDirectory;  // start directory
    std::vector<std::string> environment;  // NAME=value settings the program is started with

    bool operator==(const ShortcutInfo&) const = default;
};

}  // namespace tavolin
