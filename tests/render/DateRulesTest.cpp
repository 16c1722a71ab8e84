#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "render/DateRules.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

// Noon UTC of a date, as broken-down UTC fields (tm_wday and tm_yday filled in).
std::tm UtcNoon(int day, int month, int year) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    const std::time_t tt = ::timegm(&t);
    std::tm out{};
    ::gmtime_r(&tt, &out);
    return out;
}

// The Anonymous Gregorian (Meeus/Jones/Butcher) computus, a formula independent of Gauss's.
int EasterMeeus(int year, int& month) {
    const int a = year % 19, b = year / 100, c = year % 100, d = b / 4, e = b % 4;
    const int f = (b + 8) / 25, g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4, k = c % 4, l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    month = (h + l - 7 * m + 114) / 31;
    return (h + l - 7 * m + 114) % 31 + 1;
}

TEST(DateRulesTest, DaysInMonthFollowsTheGregorianLeapRule) {
    EXPECT_EQ(DaysInMonth(2, 2000), 29);
    EXPECT_EQ(DaysInMonth(2, 2100), 28);
    EXPECT_EQ(DaysInMonth(2, 2004), 29);
    EXPECT_EQ(DaysInMonth(2, 2026), 28);
    EXPECT_EQ(DaysInMonth(13, 2004), 0);
    EXPECT_EQ(DaysInMonth(0, 2004), 0);
    EXPECT_EQ(DaysInMonth(-1, 2004), 0);
    const int expected[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(DaysInMonth(m, 2026), expected[m - 1]) << m;
}

TEST(DateRulesTest, DayOfWeekAgreesWithTheCLibrary) {
    for (int year : {1901, 1970, 2000, 2026, 2099}) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= DaysInMonth(month, year); ++day) {
                ASSERT_EQ(DayOfWeek(day, month, year), UtcNoon(day, month, year).tm_wday)
                    << day << "." << month << "." << year;
            }
        }
    }
}

TEST(DateRulesTest, EasterSundayWorkedExamples) {
    EXPECT_EQ(EasterSunday(2004), 42);  // 11 April
    EXPECT_EQ(EasterSunday(2010), 35);  // 4 April
    EXPECT_EQ(EasterSunday(2011), 55);  // 24 April
    EXPECT_EQ(EasterSunday(2025), 51);  // 20 April
    EXPECT_EQ(EasterSunday(2008), 23);  // 23 March
}

TEST(DateRulesTest, EasterSundayMatchesAnIndependentComputus) {
    for (int year = 1583; year <= 4099; ++year) {
        int month = 0;
        const int day = EasterMeeus(year, month);
        const int n = EasterSunday(year);
        ASSERT_GE(n, 22) << year;
        ASSERT_LE(n, 56) << year;
        ASSERT_EQ(n, month == 3 ? day : day + 31) << year;
        ASSERT_EQ(DayOfWeek(month == 3 ? n : n - 31, month, year), 0) << year;
    }
}

TEST(DateRulesTest, EasterHolidaysOf2011And2008) {
    // 2011: Easter 24 April.
    EXPECT_TRUE(IsHolidayDate(22, 4, 2011));   // Good Friday
    EXPECT_TRUE(IsHolidayDate(25, 4, 2011));   // Easter Monday
    EXPECT_TRUE(IsHolidayDate(2, 6, 2011));    // Ascension Day
    EXPECT_TRUE(IsHolidayDate(12, 6, 2011));   // Whit Sunday
    EXPECT_TRUE(IsHolidayDate(13, 6, 2011));   // Whit Monday
    EXPECT_TRUE(IsHolidayDate(23, 6, 2011));   // Corpus Christi
    EXPECT_FALSE(IsHolidayDate(24, 4, 2011));  // Easter Sunday itself
    EXPECT_FALSE(IsHolidayDate(1, 6, 2011));
    EXPECT_FALSE(IsHolidayDate(22, 6, 2011));
    // 2008: Easter 23 March; Ascension Day falls on 1 May.
    EXPECT_TRUE(IsHolidayDate(21, 3, 2008));
    EXPECT_TRUE(IsHolidayDate(24, 3, 2008));
    EXPECT_TRUE(IsHolidayDate(1, 5, 2008));
    EXPECT_TRUE(IsHolidayDate(11, 5, 2008));
    EXPECT_TRUE(IsHolidayDate(12, 5, 2008));
    EXPECT_TRUE(IsHolidayDate(22, 5, 2008));
    // The same days of another year are ordinary days.
    EXPECT_FALSE(IsHolidayDate(21, 3, 2011));
    EXPECT_FALSE(IsHolidayDate(22, 5, 2011));
}

TEST(DateRulesTest, FixedHolidaysAndNothingElse) {
    EXPECT_TRUE(IsHolidayDate(1, 1, 2026));
    EXPECT_TRUE(IsHolidayDate(1, 5, 2026));
    EXPECT_TRUE(IsHolidayDate(3, 10, 2026));
    EXPECT_TRUE(IsHolidayDate(25, 12, 2026));
    EXPECT_TRUE(IsHolidayDate(26, 12, 2026));
    EXPECT_FALSE(IsHolidayDate(24, 12, 2026));
    EXPECT_FALSE(IsHolidayDate(31, 12, 2026));
    EXPECT_FALSE(IsHolidayDate(6, 1, 2026));   // regional only
    EXPECT_FALSE(IsHolidayDate(1, 11, 2026));  // regional only
    // Eleven days a year, ten when Ascension Day falls on 1 May.
    for (int year : {2008, 2011, 2026}) {
        int count = 0;
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= DaysInMonth(m, year); ++d) count += IsHolidayDate(d, m, year);
        }
        EXPECT_EQ(count, year == 2008 ? 10 : 11) << year;
    }
}

TEST(DateRulesTest, IsHolidayUsesTheLocalDate) {
    const TimePoint lateUtc = 1777591800;  // 30 April 2026, 23:30 UTC
    {
        test::ScopedTimeZone tz("UTC");
        EXPECT_FALSE(IsHoliday(lateUtc));
    }
    {
        test::ScopedTimeZone tz("Europe/Berlin");
        EXPECT_TRUE(IsHoliday(lateUtc));                              // already 1 May
        EXPECT_TRUE(IsHoliday(test::Local(2026, 4, 3, 23, 59, 59)));  // Good Friday
        EXPECT_FALSE(IsHoliday(test::Local(2026, 4, 4, 0, 0, 0)));
    }
}

TEST(DateRulesTest, MondayFirstWeekIsTheIsoWeekFrom1901To2099) {
    char buffer[8];
    for (int year = 1901; year <= 2099; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= DaysInMonth(month, year); ++day) {
                const std::tm t = UtcNoon(day, month, year);
                ASSERT_EQ(std::strftime(buffer, sizeof buffer, "%V", &t), 2u);
                ASSERT_EQ(WeekOfYear(day, month, year, false), std::atoi(buffer))
                    << day << "." << month << "." << year;
            }
        }
    }
}

TEST(DateRulesTest, MondayFirstWorkedExamples) {
    EXPECT_EQ(WeekOfYear(1, 1, 2007, false), 1);  // a Monday
    EXPECT_EQ(WeekOfYear(8, 1, 2007, false), 2);
    EXPECT_EQ(WeekOfYear(31, 12, 2003, false), 1);  // a Wednesday: week 1 of 2004
    // 1 January 2004 and 2026 are Thursdays: their weeks are already week 1.
    EXPECT_EQ(WeekOfYear(1, 1, 2004, false), 1);
    EXPECT_EQ(WeekOfYear(4, 1, 2004, false), 1);
    EXPECT_EQ(WeekOfYear(5, 1, 2004, false), 2);
    EXPECT_EQ(WeekOfYear(7, 12, 2026, false), 50);
    EXPECT_EQ(WeekOfYear(10, 12, 2025, false), 50);
    // No week 0: early January days belong to the last week of the year before.
    EXPECT_EQ(WeekOfYear(1, 1, 2021, false), 53);  // a Friday
    EXPECT_EQ(WeekOfYear(3, 1, 2021, false), 53);
    EXPECT_EQ(WeekOfYear(4, 1, 2021, false), 1);
    EXPECT_EQ(WeekOfYear(1, 1, 2023, false), 52);  // a Sunday
    EXPECT_EQ(WeekOfYear(31, 12, 2026, false), 53);
    EXPECT_EQ(WeekOfYear(1, 1, 2027, false), 53);
}

// Week 1 of a Sunday-first year starts on the Sunday on or before 4 January.
int SundayFirstOracle(int day, int month, int year) {
    auto dayNumber = [](int d, int m, int y) {
        std::tm t{};
        t.tm_year = y - 1900;
        t.tm_mon = m - 1;
        t.tm_mday = d;
        t.tm_hour = 12;
        return static_cast<long>(::timegm(&t) / 86400);
    };
    auto weekOneStart = [&](int y) { return dayNumber(4, 1, y) - UtcNoon(4, 1, y).tm_wday; };
    const long n = dayNumber(day, month, year);
    int y = year;
    if (n >= weekOneStart(year + 1)) {
        y = year + 1;
    } else if (n < weekOneStart(year)) {
        y = year - 1;
    }
    return static_cast<int>((n - weekOneStart(y)) / 7 + 1);
}

TEST(DateRulesTest, SundayFirstOnYearsStartingOnEachWeekday) {
    struct Case {
        int year;         // 1 January falls on
        int firstWeek;    // the week of 1 January
        int firstSunday;  // the day in January that starts week 2 (or week 1)
        int sundayWeek;
    };
    const Case cases[] = {
        {2017, 1, 8, 2},   // Sunday
        {2018, 1, 7, 2},   // Monday
        {2019, 1, 6, 2},   // Tuesday
        {2020, 1, 5, 2},   // Wednesday
        {2015, 53, 4, 1},  // Thursday: the week of 31 December 2014 (its Wednesday)
        {2016, 52, 3, 1},  // Friday
        {2022, 52, 2, 1},  // Saturday
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DayOfWeek(1, 1, c.year), &c - cases) << c.year;
        EXPECT_EQ(WeekOfYear(1, 1, c.year, true), c.firstWeek) << c.year;
        EXPECT_EQ(WeekOfYear(c.firstSunday - 1, 1, c.year, true), c.firstWeek) << c.year;
        EXPECT_EQ(WeekOfYear(c.firstSunday, 1, c.year, true), c.sundayWeek) << c.year;
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= DaysInMonth(month, c.year); ++day) {
                ASSERT_EQ(WeekOfYear(day, month, c.year, true),
                          SundayFirstOracle(day, month, c.year))
                    << day << "." << month << "." << c.year;
            }
        }
    }
    // A Tuesday 31 December lies in the week whose Wednesday is New Year's Day.
    EXPECT_EQ(WeekOfYear(31, 12, 2019, true), 1);
    EXPECT_EQ(WeekOfYear(28, 12, 2019, true), 52);
}

TEST(DateRulesTest, SundayFirstNeverGivesWeekZeroFrom1901To2099) {
    for (int year = 1901; year <= 2099; ++year) {
        for (int day = 1; day <= 7; ++day) {
            const int week = WeekOfYear(day, 1, year, true);
            ASSERT_TRUE(week == 1 || week == 2 || week == 52 || week == 53) << day << ".1." << year;
            ASSERT_EQ(week, SundayFirstOracle(day, 1, year));
        }
        for (int day = 25; day <= 31; ++day) {
            ASSERT_EQ(WeekOfYear(day, 12, year, true), SundayFirstOracle(day, 12, year));
        }
    }
}

TEST(DateRulesTest, InvalidDatesHaveNoWeek) {
    EXPECT_EQ(WeekOfYear(0, 1, 2026, false), 0);
    EXPECT_EQ(WeekOfYear(32, 1, 2026, false), 0);
    EXPECT_EQ(WeekOfYear(29, 2, 2026, true), 0);
    EXPECT_EQ(WeekOfYear(1, 13, 2026, false), 0);
}

TEST(DateRulesTest, NamesAreWindows1252) {
    EXPECT_EQ(MonthName(1), "Januar");
    EXPECT_EQ(MonthName(3), "M\xE4rz");
    EXPECT_EQ(MonthName(12), "Dezember");
    EXPECT_EQ(MonthName(0), "");
    EXPECT_EQ(MonthName(13), "");
    EXPECT_EQ(WeekdayName(0), "Sonntag");
    EXPECT_EQ(WeekdayName(3), "Mittwoch");
    EXPECT_EQ(WeekdayName(6), "Samstag");
    EXPECT_EQ(WeekdayName(7), "");
    std::string initials;
    for (int w = 0; w < 7; ++w) initials += WeekdayInitial(w);
    EXPECT_EQ(initials, "SMDMDFS");
}

TEST(DateRulesTest, FormatLongDate) {
    test::ScopedTimeZone tz("Europe/Berlin");
    EXPECT_EQ(FormatLongDate(test::Local(2026, 12, 7, 9, 30)), "07.Dezember.2026");
    EXPECT_EQ(FormatLongDate(test::Local(2004, 3, 1)), "01.M\xE4rz.2004");
    EXPECT_EQ(FormatLongDate(test::Local(2004, 3, 31, 23, 59, 59)), "31.M\xE4rz.2004");
    // The local date decides: 23:30 UTC on 31 December is New Year in Berlin.
    EXPECT_EQ(FormatLongDate(1798759800), "01.Januar.2027");
    EXPECT_EQ(LocalDate(1798759800), (CalendarDate{1, 1, 2027}));
}

}  // namespace
}  // namespace tavolin
