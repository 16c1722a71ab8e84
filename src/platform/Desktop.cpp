#include "platform/Desktop.h"

#include <mutex>

namespace tavolin {
namespace {

std::mutex g_mutex;
std::shared_ptr<Desktop> g_desktop;

}  // namespace

WallpaperResult SetDesktopWallpaper(const std::filesystem::path& bmpPath) {
    std::shared_ptr<Desktop> desktop;
    {
        std::lock_guard lock(g_mutex);
        if (!g_desktop) g_desktop = MakeSystemDesktop();
        desktop = g_desktop;
    }
    return desktop->SetWallpaper(bmpPath);
}

std::shared_ptr<Desktop> SetDesktop(std::shared_ptr<Desktop> desktop) {
    std::lock_guard lock(g_mutex);
    std::shared_ptr<Desktop> previous = std::move(g_desktop);
    g_desktop = std::move(desktop);
    return previous;
}

}  // namespace tavolin
