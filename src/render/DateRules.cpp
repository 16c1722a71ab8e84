#include "render/DateRules.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "util/CivilDays.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

int WeekdayOfDayNumber(int64_t days) {
    // 1 January 1970 was a Thursday.
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

// An Easter-based holiday n days after 1 March as (day, month).
bool MatchesMarchDay(int n, int day, int month) {
    if (n <= 31) return month == 3 && day == n;
    if (n <= 61) return month == 4 && day == n - 31;
    if (n <= 92) return month == 5 && day == n - 61;
    return month == 6 && day == n - 92;
}

}  // namespace

CalendarDate LocalDate(TimePoint t) {
    const std::tm f = LocalFields(t);
    return CalendarDate{f.tm_mday, f.tm_mon + 1, f.tm_year + 1900};
}

std::string MonthName(int month) {
    static const std::array<std::string, 12> kNames = {
        W1252("Januar"),    W1252("Februar"), W1252("März"),     W1252("April"),
        W1252("Mai"),       W1252("Juni"),    W1252("Juli"),     W1252("August"),
        W1252("September"), W1252("Oktober"), W1252("November"), W1252("Dezember")};
    if (month < 1 || month > 12) return {};
    return kNames[static_cast<size_t>(month - 1)];
}

std::string WeekdayName(int weekday) {
    static const std::array<const char*, 7> kNames = {
        "Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    if (weekday < 0 || weekday > 6) return {};
    return kNames[static_cast<size_t>(weekday)];
}

char WeekdayInitial(int weekday) {
    static constexpr char kInitials[] = "SMDMDFS";
    if (weekday < 0 || weekday > 6) return '\0';
    return kInitials[weekday];
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int month, int year) {
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2:
            return IsLeapYear(year) ? 29 : 28;
        case 1:
        case 3:
        case 5:
        case 7:
        case 8:
        case 10:
        case 12:
            return 31;
        default:
            return 0;
    }
}

int DayOfWeek(int day, int month, int year) {
    return WeekdayOfDayNumber(CivilDays(year, month, day));
}

int EasterSunday(int year) {
    // Gauss's formula in Lichtenberg's form.
    const int k = year / 100;
    const int a = year % 19;
    const int s = (3 * k + 3) / 4;
    const int p = (8 * k + 13) / 25;
    const int d = (19 * a - p + s + 15) % 30;
    const int r = d / 29 + (d / 28 - d / 29) * (a / 11);
    const int og = 21 + d - r;
    const int x = (year + year / 4 - s + 2) % 7;
    return og + 7 - ((og - 7 + x) % 7);
}

bool IsHolidayDate(int day, int month, int year) {
    if ((day == 1 && month == 1) || (day == 1 && month == 5) || (day == 3 && month == 10) ||
        (day == 25 && month == 12) || (day == 26 && month == 12)) {
        return true;
    }
    // Easter holidays fall between 20 March and 24 June; skip the computus elsewhere.
    if (month < 3 || month > 6) return false;
    const int easter = EasterSunday(year);
    for (int offset : {-2, 1, 39, 49, 50, 60}) {
        if (MatchesMarchDay(easter + offset, day, month)) return true;
    }
    return false;
}

bool IsHoliday(TimePoint t) {
    const CalendarDate d = LocalDate(t);
    return IsHolidayDate(d.day, d.month, d.year);
}

int WeekOfYear(int day, int month, int year, bool sundayFirst) {
    if (day < 1 || day > DaysInMonth(month, year)) return 0;
    const int64_t date = CivilDays(year, month, day);
    const int firstWeekday = sundayFirst ? 0 : 1;
    const int intoWeek = (WeekdayOfDayNumber(date) - firstWeekday + 7) % 7;
    // The week's fourth day decides its year.
    const int64_t fourth = date - intoWeek + 3;
    int64_t weekYear = year;
    if (fourth < CivilDays(year, 1, 1)) {
        weekYear = int64_t{year} - 1;
    } else if (fourth >= CivilDays(int64_t{year} + 1, 1, 1)) {
        weekYear = int64_t{year} + 1;
    }
    return static_cast<int>((fourth - CivilDays(weekYear, 1, 1)) / 7 + 1);
}

std::string FormatLongDate(TimePoint t) {
    const CalendarDate d = LocalDate(t);
    char day[16];
    char year[16];
    std::snprintf(day, sizeof day, "%02d.", d.day);
    std::snprintf(year, sizeof year, ".%04d", d.year);
    return day + MonthName(d.month) + year;
}

}  // namespace tavolin
