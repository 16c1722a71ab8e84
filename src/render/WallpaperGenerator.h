#pragma once
// The one road from config.ini, Termine.dat and a background picture to Background.bmp on the
// desktop. Each run reads every setting afresh and leaves only files behind.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Desktop.h"

namespace tavolin {

class WallpaperGenerator {
public:
    /// Runs one generation: true when Background.bmp was written and the desktop took it.
    /// Problems with the settings or the picture are logged to ErrorLog.dat; a failed save or
    /// hand-over is shown as a message.
    bool Generate();

    /// How the last Generate ended at the hand-over; NoDesktop when the picture was written
    /// but there was no graphical session to give it to.
    const WallpaperResult& LastWallpaperResult() const { return m_wallpaper; }

    /// Hands Background.bmp of the data directory to the desktop.
    WallpaperResult SetWallpaper();

    static void LogError(int code);
    static int ScreenWidth();
    static int ScreenHeight();
    /// The characters after the last '.' of path, searched from the end of the whole text
    /// (folders included); empty when there is none.
    static std::string FileExtension(std::string_view path);

private:
    WallpaperResult m_wallpaper;
};

}  // namespace tavolin
