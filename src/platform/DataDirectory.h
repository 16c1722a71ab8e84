#pragma once
// Where config.ini, Termine.dat, Background.bmp, Temp.bmp and ErrorLog.dat live.

#include <filesystem>

namespace tavolin {

/// $TAVOLIN_DIR when set; else the program's own directory when it is writable; else the
/// per-user directory $XDG_DATA_HOME/tavolin (~/.local/share/tavolin), created on demand.
std::filesystem::path DataDirectory();

/// DataDirectory() / name.
std::filesystem::path DataFile(const char* name);

/// Test hook: a fixed directory for every DataDirectory() call; empty restores the rules.
void SetDataDirectoryForTesting(const std::filesystem::path& dir);

}  // namespace tavolin
