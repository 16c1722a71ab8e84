#pragma once
// Screen seam: the size of the primary screen in physical pixels, the size the wallpaper is
// rendered at.

#include <memory>
#include <string>

namespace tavolin {

struct ScreenSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const ScreenSize&, const ScreenSize&) = default;
};

/// The size used when there is no graphical session or it cannot be measured.
inline constexpr ScreenSize kDefaultScreenSize{1920, 1080};

/// Largest side accepted from any measurement; anything above is taken as garbage.
inline constexpr int kMaxScreenSide = 32767;

class Screen {
public:
    virtual ~Screen() = default;

    /// The primary screen's size, always at least 1 x 1.
    virtual ScreenSize PrimarySize() = 0;
};

/// A screen of a fixed size ("--size WxH", tests).
class FixedScreen final : public Screen {
public:
    explicit FixedScreen(ScreenSize size) : m_size(size) {}
    ScreenSize PrimarySize() override { return m_size; }

private:
    ScreenSize m_size;
};

/// The screen of the running session, measured afresh at each call.
std::shared_ptr<Screen> MakeSystemScreen();

/// The primary screen's size from the installed screen, by default the system one. Each call
/// measures again (on Linux it may run a tool such as xrandr), so call it once per use.
ScreenSize PrimaryScreenSize();

/// Installs the screen that PrimaryScreenSize uses and returns the previous one; nullptr
/// restores the system screen.
std::shared_ptr<Screen> SetScreen(std::shared_ptr<Screen> screen);

}  // namespace tavolin
