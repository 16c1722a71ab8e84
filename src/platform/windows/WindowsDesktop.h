#pragma once
// The wallpaper and the screen on Windows: the user's "Control Panel\Desktop" values and the
// system wallpaper call, and the primary screen's size from the system metrics.

#include "platform/Desktop.h"
#include "platform/Screen.h"

namespace tavolin {

class WindowsDesktop final : public Desktop {
public:
    /// Writes "TileWallPaper" = "0" and "WallPaper" = the full path under
    /// HKEY_CURRENT_USER\Control Panel\Desktop, then SystemParametersInfoW with
    /// SPI_SETDESKWALLPAPER, saving to the profile and telling every window. Set only when the
    /// system accepted the picture.
    WallpaperResult SetWallpaper(const std::filesystem::path& bmpPath,
                                 std::stop_token stop) override;
};

class WindowsScreen final : public Screen {
public:
    ScreenSize PrimarySize() override;
    ScreenReading Read() override;
};

}  // namespace tavolin
