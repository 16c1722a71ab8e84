#pragma once
// Desktop seam: hands the finished wallpaper file to the running desktop, the counterpart of
// Windows' wallpaper registry values, the system wallpaper call and the Active Desktop
// refresh. The user's own display style (zoom, stretch, ...) is left alone wherever the
// desktop allows it; the picture has the screen's size, so every style shows it alike.

#include <filesystem>
#include <stop_token>
#include <string>

namespace tavolin {

enum class WallpaperStatus {
    Set,        // the desktop accepted the picture
    NoDesktop,  // no graphical session: nothing to hand the picture to
    Failed,     // there is a desktop, but it did not take the picture
    Stored,     // the desktop's settings hold the picture, but nothing draws it: the program
                // that draws the desktop is not running; the picture shows once it starts
    Cancelled,  // stopped on request before the desktop confirmed the picture
};

struct WallpaperResult {
    WallpaperStatus status = WallpaperStatus::Failed;
    std::string desktop;  // the desktop that was addressed ("GNOME", "XFCE", ...); may be empty
    std::string detail;   // English, for logs and the command line; empty on success. With
                          // Failed and Stored it says what is missing and what will happen

    bool Succeeded() const { return status == WallpaperStatus::Set; }
};

class Desktop {
public:
    virtual ~Desktop() = default;

    /// Makes the BMP file at bmpPath the desktop wallpaper. Set only when the desktop accepted
    /// it and its drawing program runs to show it; NoDesktop when there is no graphical session
    /// to address. May run desktop tools for
    /// a few seconds; a stop request ends it early with Cancelled.
    virtual WallpaperResult SetWallpaper(const std::filesystem::path& bmpPath,
                                         std::stop_token stop) = 0;
};

}  // namespace tavolin
