#pragma once
// The calendar rules of the wallpaper: German month and weekday names, month lengths, Easter
// and the public holidays painted in the holiday colour, calendar weeks and the long date
// text. Pure functions of a date; the first day of the week is passed in by the caller.

#include <string>

#include "platform/Clock.h"

namespace tavolin {

/// A date of the Gregorian calendar: day 1..31, month 1..12, full year.
struct CalendarDate {
    int day = 1;
    int month = 1;
    int year = 1970;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

/// The local calendar date of t (TZ decides).
CalendarDate LocalDate(TimePoint t);

/// "Januar" .. "Dezember" in Windows-1252 for months 1..12; empty for other months.
std::string MonthName(int month);

/// "Sonntag" .. "Samstag" in Windows-1252 for weekday 0 (Sunday) .. 6; empty otherwise.
std::string WeekdayName(int weekday);

/// "S", "M", "D", "M", "D", "F", "S" for weekday 0 (Sunday) .. 6; '\0' otherwise.
char WeekdayInitial(int weekday);

/// Gregorian leap-year rule.
bool IsLeapYear(int year);

/// 28..31; 0 for a month outside 1..12.
int DaysInMonth(int month, int year);

/// Weekday of a date, 0 = Sunday .. 6 = Saturday. The Gregorian weekday, the same that the
/// local-time conversion gives, but without its range limits.
int DayOfWeek(int day, int month, int year);

/// Easter Sunday of the year as a day counted from 1 March (22 = 22 March, 32 = 1 April).
int EasterSunday(int year);

/// True for the German public holidays painted in the holiday colour: 1 January, 1 May,
/// 3 October, 25 and 26 December, Good Friday, Easter Monday, Ascension Day, Whit Sunday,
/// Whit Monday and Corpus Christi. Easter Sunday itself is not among them.
bool IsHolidayDate(int day, int month, int year);

/// IsHolidayDate of the local date of t.
bool IsHoliday(TimePoint t);

/// The calendar week of a valid date, 1..53; 0 for an invalid date. A week belongs to the
/// year that holds its fourth day and weeks are counted from that year's first such week.
/// With Monday-first this is the ISO 8601 week (the German "Kalenderwoche"); with
/// Sunday-first the same rule applies to Sunday-to-Saturday weeks. Days before a year's
/// first week belong to the previous year's last week, and the last days of December may
/// already be week 1, so there is no week 0.
int WeekOfYear(int day, int month, int year, bool sundayFirst);

/// "07.Dezember.2026": two-digit day, month name, four-digit year, Windows-1252.
std::string FormatLongDate(TimePoint t);

}  // namespace tavolin
