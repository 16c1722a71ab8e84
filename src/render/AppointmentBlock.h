#pragma once
// The block of pending appointments and notes painted below the calendar: one 20-pixel line
// per note and per appointment of today or later, in file order.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "settings/Settings.h"

namespace tavolin {

class WallpaperCanvas;

struct AppointmentBlockLine {
    std::string text;  // Windows-1252, as drawn
    Colour colour = 0;
    bool operator==(const AppointmentBlockLine&) const = default;
};

inline constexpr int kAppointmentLineHeight = 20;

/// The lines to draw for the records of Termine.dat as of now: notes and today's appointments
/// in the current-day colour, later ones in the day colour; past appointments and lines that
/// are not records with a real date are left out. With calendarWeeks the Monday-first week
/// number follows the time.
std::vector<AppointmentBlockLine> AppointmentBlockLines(const std::vector<std::string>& records,
                                                        TimePoint now, Colour dayColour,
                                                        Colour currentDayColour, bool calendarWeeks);

/// The start of text that fits, in whole glyphs, between x and right (exclusive), as DrawText
/// would lay it out.
std::string_view FittingText(std::string_view text, int x, int right);

/// Reads the appointments file (a missing or unreadable one draws nothing) and draws its lines
/// from (x, y) downwards.
void DrawAppointmentBlock(WallpaperCanvas& canvas, const std::filesystem::path& appointmentsFile,
                          int x, int y, TimePoint now, Colour dayColour, Colour currentDayColour,
                          bool calendarWeeks);

}  // namespace tavolin
