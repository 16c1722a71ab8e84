// The month sheets of the wallpaper: title, weekday initials, a ruled corner, week numbers
// and day numbers at fixed offsets from the sheet's top-left corner. They belong to
// WallpaperCanvas and draw only through DrawText and SetPixel.

#include <array>
#include <string>

#include "render/DateRules.h"
#include "render/WallpaperCanvas.h"

namespace tavolin {
namespace {

// Left edges of the seven weekday initials; the fourth gap is one pixel wider.
constexpr std::array<int, 7> kHeaderColumns = {30, 51, 72, 93, 115, 136, 157};

constexpr int kTitleBand = 188;
constexpr int kHeaderRow = 17;
constexpr int kRuleOffset = 24;  // the vertical rule's column and the horizontal rule's start
constexpr int kRuleRow = 29;
constexpr int kRuleRight = 170;
constexpr int kRuleBottom = 111;
constexpr int kFirstRow = 31;
constexpr int kRowHeight = 14;

// Column 1..7 of a weekday (0 = Sunday) in the sheet.
int ColumnOf(int weekday, bool sundayFirst) {
    if (sundayFirst) return weekday + 1;
    return weekday == 0 ? 7 : weekday;
}

}  // namespace

void WallpaperCanvas::DrawMonthTitle(int month, int x, int y, int bandWidth, Colour colour) {
    const std::string name = MonthName(month);
    if (name.empty()) return;
    DrawText(name, x + (bandWidth - TextWidth(name)) / 2, y, colour);
}

void WallpaperCanvas::DrawMonth(int month, int x, int y, Colour dayColour, Colour monthColour,
                                Colour holidayColour, Colour currentDayColour, bool sundayFirst,
                                const CalendarDate& today) {
    // The neighbours of January and December arrive as 0 and 13.
    if (month > 12) {
        month -= 12;
    } else if (month < 1) {
        month += 12;
    }
    // The sheet shows the month nearest to today.
    int year = today.year;
    if (today.month == 1 && month == 12) {
        --year;
    } else if (today.month == 12 && month == 1) {
        ++year;
    }
    DrawMonthSheet(month, year, x, y, dayColour, monthColour, holidayColour, currentDayColour,
                   sundayFirst, today);
}

void WallpaperCanvas::DrawMonthSheet(int month, int year, int x, int y, Colour dayColour,
                                     Colour monthColour, Colour holidayColour,
                                     Colour currentDayColour, bool sundayFirst,
                                     const CalendarDate& today) {
    DrawMonthTitle(month, x + 2, y + 3, kTitleBand, monthColour);

    for (int column = 1; column <= 7; ++column) {
        const int weekday = sundayFirst ? column - 1 : column % 7;
        const char initial[2] = {WeekdayInitial(weekday), '\0'};
        DrawText(initial, x + kHeaderColumns[static_cast<size_t>(column - 1)], y + kHeaderRow,
                 monthColour);
    }

    for (int i = x + kRuleOffset; i <= x + kRuleRight; ++i) SetPixel(i, y + kRuleRow, dayColour);
    for (int j = y + kRuleRow; j <= y + kRuleBottom; ++j) SetPixel(x + kRuleOffset, j, dayColour);

    const int days = DaysInMonth(month, year);
    int rowTop = y + kFirstRow;
    for (int day = 1; day <= days; ++day) {
        const int weekday = DayOfWeek(day, month, year);
        const int column = ColumnOf(weekday, sundayFirst);
        Colour colour = weekday == 0 ? holidayColour : dayColour;
        if (today == CalendarDate{day, month, year}) {
            colour = currentDayColour;
        } else if (IsHolidayDate(day, month, year)) {
            colour = holidayColour;
        }
        // Each row is labelled with the week of its first painted day.
        if (day == 1 || column == 1) {
            const int week = WeekOfYear(day, month, year, sundayFirst);
            DrawText(std::to_string(week), week >= 10 ? x + 3 : x + 11, rowTop, monthColour);
        }
        DrawText(std::to_string(day), x + 21 * column + (day >= 10 ? 6 : 14), rowTop, colour);
        if (column == 7) rowTop += kRowHeight;
    }
}

}  // namespace tavolin
