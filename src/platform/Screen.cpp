#include "platform/Screen.h"

#include <mutex>

namespace tavolin {
namespace {

std::mutex g_mutex;
std::shared_ptr<Screen> g_screen;

}  // namespace

ScreenSize PrimaryScreenSize() {
    std::shared_ptr<Screen> screen;
    {
        std::lock_guard lock(g_mutex);
        if (!g_screen) g_screen = MakeSystemScreen();
        screen = g_screen;
    }
    const ScreenSize size = screen->PrimarySize();
    if (size.width < 1 || size.height < 1 || size.width > kMaxScreenSide ||
        size.height > kMaxScreenSide) {
        return kDefaultScreenSize;
    }
    return size;
}

std::shared_ptr<Screen> SetScreen(std::shared_ptr<Screen> screen) {
    std::lock_guard lock(g_mutex);
    std::shared_ptr<Screen> previous = std::move(g_screen);
    g_screen = std::move(screen);
    return previous;
}

}  // namespace tavolin
