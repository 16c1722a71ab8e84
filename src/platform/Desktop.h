#pragma once
// Desktop seam: hands the finished wallpaper file to the running desktop, the counterpart of
// Windows' wallpaper registry values, the system wallpaper call and the Active Desktop
// refresh. The user's own display style (zoom, stretch, ...) is left alone wherever the
// desktop allows it; the picture has the screen's size, so every style shows it alike.

#include <filesystem>
#include <memory>
#include <string>

namespace tavolin {

enum class WallpaperStatus {
    Set,        // the desktop accepted the picture
    NoDesktop,  // no graphical session: nothing to hand the picture to
    Failed,     // there is a desktop, but it did not take the picture
};

struct WallpaperResult {
    WallpaperStatus status = WallpaperStatus::Failed;
    std::string desktop;  // the desktop that was addressed ("GNOME", "XFCE", ...); may be empty
    std::string detail;   // English, for logs and the command line; empty on success

    bool Succeeded() const { return status == WallpaperStatus::Set; }
};

class Desktop {
public:
    virtual ~Desktop() = default;

    /// Makes the BMP file at bmpPath the desktop wallpaper. Set only when the desktop accepted
    /// it; NoDesktop when there is no graphical session to address.
    virtual WallpaperResult SetWallpaper(const std::filesystem::path& bmpPath) = 0;
};

/// The desktop of the running session (on Linux: detected from the session variables at each
/// call, addressed with the desktop's own tools).
std::shared_ptr<Desktop> MakeSystemDesktop();

/// Hands the picture to the installed desktop, by default the system one.
WallpaperResult SetDesktopWallpaper(const std::filesystem::path& bmpPath);

/// Installs the desktop that SetDesktopWallpaper uses (tests, "--no-wallpaper") and returns
/// the previous one; nullptr restores the system desktop.
std::shared_ptr<Desktop> SetDesktop(std::shared_ptr<Desktop> desktop);

}  // namespace tavolin
