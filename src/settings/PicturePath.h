#pragma once
// How the background picture's path is kept in config.ini (BGBild). Every other value of the
// program's files is Windows-1252 text, but a path must open its file: on Linux BGBild holds the
// file system's own bytes (UTF-8 on every current system), so any picture can be chosen, and a
// Windows-1252 reader sees only the non-ASCII letters of such a path differently. On Windows
// the file is read as Windows-1252 by every version of the program, so a path with a character
// Windows-1252 lacks cannot be kept: that picture is refused.

#include <optional>
#include <string>
#include <string_view>

namespace tavolin {

enum class PicturePathRule {
    FileSystemBytes,  // Linux: the bytes as the file system names the file
    Windows1252,      // Windows: the path converted from UTF-8 to Windows-1252
};

/// The rule of the platform the program was built for.
constexpr PicturePathRule kPicturePathRule =
#ifdef _WIN32
    PicturePathRule::Windows1252;
#else
    PicturePathRule::FileSystemBytes;
#endif

/// The value to store for a chosen picture. path is the file system's bytes (FileSystemBytes)
/// or UTF-8 (Windows1252). nullopt when the path cannot be stored under rule (a character
/// Windows-1252 lacks, or UTF-8 that is not valid); the caller refuses the picture then.
std::optional<std::string> PicturePathToStore(std::string_view path,
                                              PicturePathRule rule = kPicturePathRule);

}  // namespace tavolin
