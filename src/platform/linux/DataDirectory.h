#pragma once
// Where config.ini, Termine.dat, Background.bmp, Temp.bmp and ErrorLog.dat live.

#include <filesystem>
#include <string>

#include "platform/linux/Environment.h"

namespace tavolin {

/// $TAVOLIN_DIR when set; else programDir when it is writable; else the per-user directory
/// $XDG_DATA_HOME/tavolin (~/.local/share/tavolin).
std::filesystem::path ChooseDataDirectory(const EnvironmentLookup& env,
                                          const std::filesystem::path& programDir);

/// Makes dir (and its parents) when it is missing. False, with an English reason, when it
/// cannot be made or is not a directory.
bool MakeDataDirectory(const std::filesystem::path& dir, std::string& error);

/// The directory of the running program; empty when it cannot be found.
std::filesystem::path ProgramDirectory();

}  // namespace tavolin
