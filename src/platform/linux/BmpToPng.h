#pragma once
// Some wallpaper setters (xwallpaper) read only PNG and JPEG, so the finished wallpaper is
// handed to them as a PNG copy.

#include <filesystem>
#include <string>

namespace tavolin {

/// Writes the uncompressed 24-bit BMP at bmpPath (as the generator writes it) as a PNG at
/// pngPath, replacing it atomically. False with an English reason in error otherwise.
bool ConvertBmpToPng(const std::filesystem::path& bmpPath, const std::filesystem::path& pngPath,
                     std::string& error);

}  // namespace tavolin
