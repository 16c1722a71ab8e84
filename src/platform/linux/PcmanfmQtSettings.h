#pragma once
// pcmanfm-qt's own settings (the LXQt desktop): read to learn the wallpaper mode and to check
// that a new wallpaper was really taken, since pcmanfm-qt exits 0 whether or not it was.
// The file is QSettings' ini format ([Desktop] Wallpaper=..., WallpaperMode=...), written by
// another program, so it is read defensively and within a size limit.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/Environment.h"

namespace tavolin {

/// pcmanfm-qt's settings are a few kilobytes; a larger file is not read at all.
inline constexpr uint64_t kMaxPcmanfmQtSettingsSize = uint64_t{1} << 20;

/// The settings files pcmanfm-qt may use, most likely first: the "lxqt" profile (the one an
/// LXQt session starts its desktop with), then "default"; under $XDG_CONFIG_HOME when it is
/// an absolute path, else ~/.config. Empty when neither is known.
std::vector<std::filesystem::path> PcmanfmQtSettingsFiles(const EnvironmentLookup& env);

/// The last value of key in the [Desktop] group of a settings file's text, unescaped as
/// QSettings reads it (quotes, backslash escapes, \x and octal escapes as UTF-16 code units
/// turned into UTF-8; other bytes kept as they are). nullopt when the key is missing or holds
/// no plain string (a list, a typed "@..." value).
std::optional<std::string> PcmanfmQtDesktopValue(std::string_view text, std::string_view key);

/// The same from a settings file, read without blocking and only when it is a regular file of
/// at most kMaxPcmanfmQtSettingsSize bytes; nullopt otherwise.
std::optional<std::string> ReadPcmanfmQtDesktopValue(const std::filesystem::path& file,
                                                     std::string_view key);

}  // namespace tavolin
