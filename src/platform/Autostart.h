#pragma once
// The "start with every logon" switch: an autostart shortcut that runs the program with "/go".
// On Linux the shortcut is $XDG_CONFIG_HOME/autostart/Tavolin.desktop.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/ShortcutInfo.h"
#include "platform/linux/Environment.h"

namespace tavolin {

#ifdef _WIN32
inline constexpr const char* kAutostartEntryName = "Tavolin.lnk";
#else
inline constexpr const char* kAutostartEntryName = "Tavolin.desktop";
#endif

/// The user's autostart folder ($XDG_CONFIG_HOME/autostart, else $HOME/.config/autostart);
/// nullopt when neither variable gives an absolute path. The folder is not created here.
/// On Windows the shell's Startup folder; env is not used there.
std::optional<std::filesystem::path> AutostartFolder(const EnvironmentLookup& env);

/// The path of the running program (/proc/self/exe); empty when it cannot be read.
std::filesystem::path OwnProgramPath();

/// The shortcut that starts program with "/go" from the program's directory.
ShortcutInfo AutostartShortcut(const std::filesystem::path& program);

enum class AutostartResult {
    Done,
    FolderUnavailable,  // no folder could be determined, or it could not be created
    SaveFailed,         // the entry could not be written
    DeleteFailed,       // the entry is still there
};

/// Writes (enable) or deletes the autostart entry for program in folder. Writing creates the
/// folder when missing and replaces an existing entry; deleting a missing entry is no error.
AutostartResult ApplyAutostart(bool enable, const std::optional<std::filesystem::path>& folder,
                               const std::filesystem::path& program);

/// The error message (caption "Fehler") for a failed switch on or off; Windows-1252.
std::string AutostartErrorText(bool enable);

}  // namespace tavolin
