#pragma once
// Colours at the controls' interface keep the Windows layout 0x00BBGGRR (red in the lowest
// byte), as they are stored in config.ini; 0xFF000000 means automatic (no colour chosen).

#include <QColor>
#include <cstdint>

namespace tavolin::ui {

using ColourValue = std::uint32_t;

constexpr ColourValue kAutomaticColour = 0xFF000000u;

constexpr ColourValue Rgb(int r, int g, int b) {
    return static_cast<ColourValue>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(ColourValue c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(ColourValue c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(ColourValue c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

/// Automatic stays automatic; any other value keeps its three colour bytes only.
constexpr ColourValue NormalColour(ColourValue c) {
    return c == kAutomaticColour ? c : (c & 0x00FFFFFFu);
}

inline QColor ToQColor(ColourValue c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}
inline ColourValue FromQColor(const QColor& c) {
    return Rgb(c.red(), c.green(), c.blue());
}

}  // namespace tavolin::ui
