#pragma once
// Screen seam: the size of the primary screen in physical pixels, the size the wallpaper is
// rendered at.

#include <stop_token>
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

/// A measured size, or the default with the reason it was not measured.
struct ScreenReading {
    ScreenSize size = kDefaultScreenSize;
    bool measured = false;
    std::string note;  // English: which tool answered, or why the default is used
};

class Screen {
public:
    virtual ~Screen() = default;

    /// The primary screen's size, always at least 1 x 1.
    virtual ScreenSize PrimarySize() = 0;

    /// PrimarySize with where it came from; a screen that can fall back to a default says so.
    virtual ScreenReading Read() { return {PrimarySize(), true, {}}; }
    /// Read, given up early (with the default size) once stop is requested; a screen that asks
    /// helper programs stops them then.
    virtual ScreenReading Read(std::stop_token stop) {
        (void)stop;
        return Read();
    }
};

/// A screen of a fixed size ("--size WxH", tests).
class FixedScreen final : public Screen {
public:
    explicit FixedScreen(ScreenSize size) : m_size(size) {}
    ScreenSize PrimarySize() override { return m_size; }

private:
    ScreenSize m_size;
};

}  // namespace tavolin
