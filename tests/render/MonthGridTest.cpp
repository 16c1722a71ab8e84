#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/DateRules.h"
#include "render/WallpaperCanvas.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

constexpr Colour kBackground = 0x00000000;
constexpr Colour kDay = 0x00FFFFFF;
constexpr Colour kMonth = 0x00C0C0C0;
constexpr Colour kHoliday = 0x000000FF;
constexpr Colour kToday = 0x0000D7FF;

constexpr int kX = 10;  // the sheet's corner on the test canvas
constexpr int kY = 6;

WallpaperCanvas BlankCanvas() {
    WallpaperCanvas canvas;
    canvas.Create(220, 130, 24, nullptr, 1);
    canvas.FillRect(0, 0, 220, 130, kBackground);
    return canvas;
}

WallpaperCanvas Sheet(int month, bool sundayFirst, CalendarDate today) {
    WallpaperCanvas canvas = BlankCanvas();
    canvas.DrawMonth(month, kX, kY, kDay, kMonth, kHoliday, kToday, sundayFirst, today);
    return canvas;
}

// True when every pixel of text drawn at (x, y) has the colour on the canvas.
::testing::AssertionResult TextAt(const WallpaperCanvas& canvas, const std::string& text, int x,
                                  int y, Colour colour) {
    WallpaperCanvas probe = BlankCanvas();
    constexpr Colour kMarker = 0x00010203;
    probe.DrawText(text, x, y, kMarker);
    int pixels = 0;
    for (int py = 0; py < probe.Height(); ++py) {
        for (int px = 0; px < probe.Width(); ++px) {
            if (probe.GetPixel(px, py) != kMarker) continue;
            ++pixels;
            if (canvas.GetPixel(px, py) != colour) {
                return ::testing::AssertionFailure()
                       << "'" << text << "' at (" << x - kX << ", " << y - kY << "): pixel (" << px
                       << ", " << py << ") is " << std::hex << canvas.GetPixel(px, py);
            }
        }
    }
    if (pixels == 0) return ::testing::AssertionFailure() << "'" << text << "' draws nothing";
    return ::testing::AssertionSuccess();
}

std::string Pixels(const WallpaperCanvas& canvas) {
    std::string s;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) s += std::to_string(canvas.GetPixel(x, y)) + ",";
    }
    return s;
}

struct Label {
    const char* text;
    int x;    // from the sheet's left edge
    int row;  // 0..5
    Colour colour;
};

TEST(MonthGridTest, WholeSheetOfFebruary2026MondayFirst) {
    // 1 February 2026 is a Sunday; no holiday falls in the month.
    const WallpaperCanvas sheet = Sheet(2, false, CalendarDate{15, 1, 2026});

    WallpaperCanvas expected = BlankCanvas();
    expected.DrawText("Februar", kX + 78, kY + 3, kMonth);
    const std::pair<const char*, int> header[] = {{"M", 30},  {"D", 51},  {"M", 72}, {"D", 93},
                                                  {"F", 115}, {"S", 136}, {"S", 157}};
    for (auto [initial, x] : header) expected.DrawText(initial, kX + x, kY + 17, kMonth);
    for (int x = 24; x <= 170; ++x) expected.SetPixel(kX + x, kY + 29, kDay);
    for (int y = 29; y <= 111; ++y) expected.SetPixel(kX + 24, kY + y, kDay);
    const Label labels[] = {
        {"5", 11, 0, kMonth}, {"1", 161, 0, kHoliday},  {"6", 11, 1, kMonth}, {"2", 35, 1, kDay},
        {"3", 56, 1, kDay},   {"4", 77, 1, kDay},       {"5", 98, 1, kDay},   {"6", 119, 1, kDay},
        {"7", 140, 1, kDay},  {"8", 161, 1, kHoliday},  {"7", 11, 2, kMonth}, {"9", 35, 2, kDay},
        {"10", 48, 2, kDay},  {"11", 69, 2, kDay},      {"12", 90, 2, kDay},  {"13", 111, 2, kDay},
        {"14", 132, 2, kDay}, {"15", 153, 2, kHoliday}, {"8", 11, 3, kMonth}, {"16", 27, 3, kDay},
        {"17", 48, 3, kDay},  {"18", 69, 3, kDay},      {"19", 90, 3, kDay},  {"20", 111, 3, kDay},
        {"21", 132, 3, kDay}, {"22", 153, 3, kHoliday}, {"9", 11, 4, kMonth}, {"23", 27, 4, kDay},
        {"24", 48, 4, kDay},  {"25", 69, 4, kDay},      {"26", 90, 4, kDay},  {"27", 111, 4, kDay},
        {"28", 132, 4, kDay},
    };
    for (const Label& l : labels)
        expected.DrawText(l.text, kX + l.x, kY + 31 + 14 * l.row, l.colour);

    EXPECT_EQ(Pixels(sheet), Pixels(expected));
}

TEST(MonthGridTest, MonthStartingOnSundayInBothModes) {
    const CalendarDate today{15, 1, 2026};
    const WallpaperCanvas sunday = Sheet(2, true, today);
    EXPECT_TRUE(TextAt(sunday, "1", kX + 35, kY + 31, kHoliday));
    EXPECT_TRUE(TextAt(sunday, "5", kX + 11, kY + 31, kMonth));
    EXPECT_TRUE(TextAt(sunday, "7", kX + 161, kY + 31, kDay));  // a Saturday
    EXPECT_TRUE(TextAt(sunday, "8", kX + 35, kY + 45, kHoliday));
    EXPECT_TRUE(TextAt(sunday, "6", kX + 11, kY + 45, kMonth));
    EXPECT_TRUE(TextAt(sunday, "28", kX + 153, kY + 73, kDay));
    const std::pair<const char*, int> header[] = {{"S", 30},  {"M", 51},  {"D", 72}, {"M", 93},
                                                  {"D", 115}, {"F", 136}, {"S", 157}};
    for (auto [initial, x] : header) EXPECT_TRUE(TextAt(sunday, initial, kX + x, kY + 17, kMonth));

    const WallpaperCanvas monday = Sheet(2, false, today);
    EXPECT_TRUE(TextAt(monday, "1", kX + 161, kY + 31, kHoliday));
    EXPECT_TRUE(TextAt(monday, "5", kX + 11, kY + 31, kMonth));
}

TEST(MonthGridTest, SixRowMonthEndsAtTheSixthRow) {
    // March 2026 begins on a Sunday: Monday-first it needs six rows.
    const WallpaperCanvas sheet = Sheet(3, false, CalendarDate{15, 3, 2026});
    EXPECT_TRUE(TextAt(sheet, "M\xE4rz", kX + 2 + 83, kY + 3, kMonth));
    EXPECT_TRUE(TextAt(sheet, "9", kX + 11, kY + 31, kMonth));
    EXPECT_TRUE(TextAt(sheet, "1", kX + 161, kY + 31, kHoliday));
    EXPECT_TRUE(TextAt(sheet, "10", kX + 3, kY + 45, kMonth));
    EXPECT_TRUE(TextAt(sheet, "15", kX + 153, kY + 59, kToday));  // today on a Sunday
    EXPECT_TRUE(TextAt(sheet, "14", kX + 3, kY + 101, kMonth));
    EXPECT_TRUE(TextAt(sheet, "30", kX + 27, kY + 101, kDay));
    EXPECT_TRUE(TextAt(sheet, "31", kX + 48, kY + 101, kDay));
}

TEST(MonthGridTest, TodayWinsOverHolidayAndSunday) {
    const WallpaperCanvas christmas = Sheet(12, false, CalendarDate{25, 12, 2026});
    EXPECT_TRUE(TextAt(christmas, "25", kX + 111, kY + 73, kToday));    // Friday, holiday
    EXPECT_TRUE(TextAt(christmas, "26", kX + 132, kY + 73, kHoliday));  // Saturday, holiday
    EXPECT_TRUE(TextAt(christmas, "27", kX + 153, kY + 73, kHoliday));  // Sunday
    EXPECT_TRUE(TextAt(christmas, "24", kX + 90, kY + 73, kDay));
    EXPECT_TRUE(TextAt(christmas, "5", kX + 140, kY + 31, kDay));  // Saturday
    EXPECT_TRUE(TextAt(christmas, "53", kX + 3, kY + 87, kMonth));
    EXPECT_TRUE(TextAt(christmas, "31", kX + 90, kY + 87, kDay));

    const WallpaperCanvas sunday = Sheet(12, false, CalendarDate{27, 12, 2026});
    EXPECT_TRUE(TextAt(sunday, "25", kX + 111, kY + 73, kHoliday));
    EXPECT_TRUE(TextAt(sunday, "27", kX + 153, kY + 73, kToday));
}

TEST(MonthGridTest, NeighbourSheetsWrapIntoTheNextOrLastYear) {
    // In January the previous-month sheet is December of last year: 1 December 2026 is a
    // Tuesday (2027 would put it on a Wednesday).
    const WallpaperCanvas december = Sheet(0, false, CalendarDate{15, 1, 2027});
    EXPECT_TRUE(TextAt(december, "Dezember", kX + 72, kY + 3, kMonth));
    EXPECT_TRUE(TextAt(december, "1", kX + 56, kY + 31, kDay));
    EXPECT_TRUE(TextAt(december, "49", kX + 3, kY + 31, kMonth));
    EXPECT_TRUE(TextAt(december, "25", kX + 111, kY + 73, kHoliday));

    // In December the next-month sheet is January of next year: 1 January 2027 is a Friday in
    // ISO week 53 of 2026.
    const WallpaperCanvas january = Sheet(13, false, CalendarDate{10, 12, 2026});
    EXPECT_TRUE(TextAt(january, "Januar", kX + 80, kY + 3, kMonth));
    EXPECT_TRUE(TextAt(january, "1", kX + 119, kY + 31, kHoliday));
    EXPECT_TRUE(TextAt(january, "53", kX + 3, kY + 31, kMonth));
    EXPECT_TRUE(TextAt(january, "1", kX + 11, kY + 45, kMonth));
    EXPECT_TRUE(TextAt(january, "10", kX + 153, kY + 45, kHoliday));  // Sunday 10 January

    // Months 0 and 13 are December and January of the same year otherwise.
    EXPECT_EQ(Pixels(Sheet(13, true, CalendarDate{5, 6, 2026})),
              Pixels(Sheet(1, true, CalendarDate{5, 6, 2026})));
    EXPECT_EQ(Pixels(Sheet(0, true, CalendarDate{5, 6, 2026})),
              Pixels(Sheet(12, true, CalendarDate{5, 6, 2026})));
}

TEST(MonthGridTest, InkStaysInsideTheFrame) {
    for (int year : {2026, 2027, 2028}) {
        for (bool sundayFirst : {false, true}) {
            for (int month = 1; month <= 12; ++month) {
                const WallpaperCanvas sheet =
                    Sheet(month, sundayFirst, CalendarDate{1, month, year});
                int left = 999, right = -1, top = 999, bottom = -1;
                for (int y = 0; y < sheet.Height(); ++y) {
                    for (int x = 0; x < sheet.Width(); ++x) {
                        if (sheet.GetPixel(x, y) == kBackground || y < kY + 17) continue;
                        left = std::min(left, x - kX);
                        right = std::max(right, x - kX);
                        top = std::min(top, y - kY);
                        bottom = std::max(bottom, y - kY);
                    }
                }
                EXPECT_GE(left, 3) << month << "/" << year;
                EXPECT_EQ(right, 170) << month << "/" << year;
                EXPECT_EQ(top, 17) << month << "/" << year;
                EXPECT_EQ(bottom, 111) << month << "/" << year;
            }
        }
    }
}

TEST(MonthGridTest, TitleIsCentredInItsBand) {
    WallpaperCanvas canvas = BlankCanvas();
    canvas.DrawMonthTitle(9, kX, kY, 188, kMonth);  // "September", 50 wide
    EXPECT_TRUE(TextAt(canvas, "September", kX + 69, kY, kMonth));
    WallpaperCanvas odd = BlankCanvas();
    odd.DrawMonthTitle(4, kX, kY, 60, kMonth);  // (60 - 21) / 2 drops the half
    EXPECT_TRUE(TextAt(odd, "April", kX + 19, kY, kMonth));

    const std::string blank = Pixels(BlankCanvas());
    for (int month : {0, 13, -1, 100}) {
        WallpaperCanvas none = BlankCanvas();
        none.DrawMonthTitle(month, kX, kY, 188, kMonth);
        EXPECT_EQ(Pixels(none), blank) << month;
    }
}

TEST(MonthGridTest, SheetsOfAnyYearAndUnknownMonths) {
    // DrawMonthSheet draws the given year: February 2028 (a leap year) begins on a Tuesday.
    WallpaperCanvas canvas = BlankCanvas();
    canvas.DrawMonthSheet(2, 2028, kX, kY, kDay, kMonth, kHoliday, kToday, false,
                          CalendarDate{29, 2, 2028});
    EXPECT_TRUE(TextAt(canvas, "1", kX + 56, kY + 31, kDay));
    EXPECT_TRUE(TextAt(canvas, "29", kX + 48, kY + 87, kToday));

    // A month beyond any normalisation keeps only the header and the rules.
    WallpaperCanvas unknown = BlankCanvas();
    unknown.DrawMonth(30, kX, kY, kDay, kMonth, kHoliday, kToday, false, CalendarDate{1, 1, 2026});
    EXPECT_TRUE(TextAt(unknown, "M", kX + 30, kY + 17, kMonth));
    EXPECT_EQ(unknown.GetPixel(kX + 24, kY + 111), kDay);
    for (int y = kY + 30; y < 130; ++y) {
        for (int x = kX + 25; x < 220; ++x) ASSERT_EQ(unknown.GetPixel(x, y), kBackground);
    }
}

}  // namespace
}  // namespace tavolin
