#pragma once
// Desktops that cache a wallpaper by its name (GNOME keeps it by URI, and an unchanged
// setting is no change at all) are handed a copy under a new name each time:
// Background.bmp -> Background-<stamp>.bmp beside it. Older copies go once the desktop has
// switched to the new one.

#include <filesystem>
#include <optional>
#include <string>

namespace tavolin {

/// Copies source to "<stem>-<digits><extension>" in the same directory, a name not used yet.
/// nullopt (and an English reason in error) when the copy cannot be made; no partial file
/// remains then.
std::optional<std::filesystem::path> MakeFreshCopy(const std::filesystem::path& source,
                                                   std::string& error);

/// True when fileName has the form of a fresh copy of source ("<stem>-<digits><extension>").
bool IsFreshCopyName(const std::filesystem::path& source, const std::string& fileName);

/// Removes every fresh copy of source in its directory except keep. Failures are ignored: a
/// copy left behind is only untidy.
void RemoveOlderCopies(const std::filesystem::path& source, const std::filesystem::path& keep);

}  // namespace tavolin
