#pragma once
// The "start with every logon" switch: an autostart shortcut that runs the program with "/go".
// On Linux the shortcut is $XDG_CONFIG_HOME/autostart/Tavolin.desktop.

#include <filesystem>
#include <memory>
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

/// The icon of the installed program, from the icon theme.
inline constexpr const char* kThemeIconName = "tavolin";

/// The shortcut that starts program with "/go" from the program's directory, with the data
/// directory it runs with now (TAVOLIN_DIR) when one is set, so the start at logon uses the
/// same files.
ShortcutInfo AutostartShortcut(const std::filesystem::path& program,
                               const std::optional<std::string>& dataDirectory = std::nullopt);

enum class AutostartResult {
    Done,
    FolderUnavailable,  // no folder could be determined, or it could not be created
    SaveFailed,         // the entry could not be written
    DeleteFailed,       // the entry is still there
};

/// Writes (enable) or deletes the autostart entry for program in folder. Writing creates the
/// folder when missing and replaces an existing entry; deleting a missing entry is no error.
AutostartResult ApplyAutostart(bool enable, const std::optional<std::filesystem::path>& folder,
                               const std::filesystem::path& program,
                               const std::optional<std::string>& dataDirectory = std::nullopt);

/// The autostart entry of one user, as the program switches it.
class AutostartSwitch {
public:
    virtual ~AutostartSwitch() = default;
    /// Writes (enable) or deletes the entry that starts program with "/go", with dataDirectory
    /// as its TAVOLIN_DIR when given.
    virtual AutostartResult Apply(bool enable, const std::filesystem::path& program,
                                  const std::optional<std::string>& dataDirectory) = 0;
};

/// The entry in AutostartFolder(env) (ApplyAutostart).
std::shared_ptr<AutostartSwitch> MakeAutostartSwitch(EnvironmentLookup env);

/// The error message (caption "Fehler") for a failed switch on or off; Windows-1252.
std::string AutostartErrorText(bool enable);

}  // namespace tavolin
