#include <gtest/gtest.h>

#include "render/AppointmentBlock.h"
#include "render/PixelFont.h"
#include "render/WallpaperCanvas.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

constexpr Colour kDay = 0x00FFFFFF;
constexpr Colour kToday = 0x0000D7FF;

class AppointmentBlockTest : public test::DataDirTest {
protected:
    // Wednesday 10 December 2025, 20:00 in Berlin.
    TimePoint m_now = test::Local(2025, 12, 10, 20, 0, 0);

    std::vector<AppointmentBlockLine> Lines(const std::vector<std::string>& records,
                                            bool weeks = false) {
        return AppointmentBlockLines(records, m_now, kDay, kToday, weeks);
    }
};

TEST_F(AppointmentBlockTest, TodayNotesAndLaterAppointmentsInFileOrder) {
    const auto lines = Lines({
        "10.12.2025 - 08:00 # Zahnarzt",  // today, already over: still shown
        "09.12.2025 - 23:45 # gestern",   // past: left out, no gap
        "Notiz # Milch kaufen",
        "11.12.2025 - 00:00 # morgen",
        "01.01.2026 - 10:00 # Neujahr",
    });
    const std::vector<AppointmentBlockLine> expected = {
        {"10.12.2025 - 08:00 - Zahnarzt", kToday},
        {std::string(19, ' ') + "Milch kaufen", kToday},
        {"11.12.2025 - 00:00 - morgen", kDay},
        {"01.01.2026 - 10:00 - Neujahr", kDay},
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(AppointmentBlockTest, CalendarWeeksAreMondayFirstWithTwoDigits) {
    const auto lines = Lines({"10.12.2025 - 14:30 # Zahnarzt", "Notiz # n",
                              "01.01.2026 - 09:00 # Neujahr", "29.12.2025 - 09:00 # KW eins"},
                             true);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "10.12.2025 - 14:30 (50) - Zahnarzt");
    EXPECT_EQ(lines[1].text, std::string(23, ' ') + "n");
    EXPECT_EQ(lines[2].text, "01.01.2026 - 09:00 (01) - Neujahr");
    EXPECT_EQ(lines[3].text, "29.12.2025 - 09:00 (01) - KW eins");  // ISO week 1 of 2026
}

TEST_F(AppointmentBlockTest, OnlyTheSeparatorHashBecomesADash) {
    const auto lines = Lines({"11.12.2025 - 10:00 # Raum #3 # oben", "Notiz # a # b"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "11.12.2025 - 10:00 - Raum #3 # oben");
    EXPECT_EQ(lines[1].text, std::string(19, ' ') + "a # b");  // notes show the remark only
}

TEST_F(AppointmentBlockTest, MalformedLinesAreSkipped) {
    const auto lines = Lines({
        "",
        "kein Trenner",
        "11.12.2025 # ohne Zeit",
        "31.02.2026 - 10:00 # kein Tag",
        "11.13.2025 - 10:00 # kein Monat",
        "notiz # klein",
        "x.y.z - 10:00 # Unsinn",
        "11.12.2025 - 10:00 # gut",
    });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "11.12.2025 - 10:00 - gut");
}

TEST_F(AppointmentBlockTest, DatesWithoutLeadingZerosCountAsDates) {
    const auto lines = Lines({"10.12.2025 - 9:00 # today", "1.1.2026 - 09:00 # later"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].colour, kToday);
    EXPECT_EQ(lines[1].colour, kDay);
}

TEST_F(AppointmentBlockTest, DrawsTwentyPixelLinesFromTheStartLine) {
    test::WriteBytes(
        File("Termine.dat"),
        "12.12.2025 - 10:00 # a\r\n09.12.2025 - 10:00 # old\r\n13.12.2025 - 10:00 # b\r\n"
        "14.12.2025 - 10:00 # c");
    WallpaperCanvas canvas;
    canvas.Create(600, 200, 24, nullptr, 1);
    canvas.FillRect(0, 0, 600, 200, 0);
    DrawAppointmentBlock(canvas, File("Termine.dat"), 10, 64, m_now, kDay, kToday, false);
    // The digit "1" of each line's day has a pixel in its top row; rows between lines are empty.
    auto rowHasInk = [&](int y) {
        for (int x = 0; x < 600; ++x) {
            if (canvas.GetPixel(x, y) != 0) return true;
        }
        return false;
    };
    for (int top : {64, 84, 104}) EXPECT_TRUE(rowHasInk(top)) << top;
    EXPECT_FALSE(rowHasInk(124));
    EXPECT_FALSE(rowHasInk(63));
}

// An over-long (imported) remark ends at the screen edge with its last whole character; a
// character it never reaches is not reported as undrawable.
TEST_F(AppointmentBlockTest, AnOverlongLineEndsAtTheScreenEdge) {
    test::WriteBytes(File("Termine.dat"),
                     "12.12.2025 - 10:00 # " + std::string(200, 'M') + "\x80 Ende");
    WallpaperCanvas canvas;
    canvas.Create(300, 40, 24, nullptr, 1);
    canvas.FillRect(0, 0, 300, 40, 0);
    DrawAppointmentBlock(canvas, File("Termine.dat"), 10, 10, m_now, kDay, kToday, false);
    EXPECT_TRUE(canvas.MissingGlyphs().empty());
    // The last column that has ink belongs to a whole "M": the glyph right of it would not fit.
    int lastInk = -1;
    for (int x = 0; x < 300; ++x) {
        for (int y = 0; y < 40; ++y) {
            if (canvas.GetPixel(x, y) != 0) lastInk = x;
        }
    }
    const int advance = PixelFont::Advance('M');
    EXPECT_GT(lastInk, 300 - 2 * (advance + 1));
    EXPECT_EQ(FittingText("MMMM", 0, 2 * advance + 1), "MM");
    EXPECT_EQ(FittingText("MMMM", 0, 2 * advance), "M");
    EXPECT_EQ(FittingText("M\x80M", 0, 1000), "M\x80M");
}

TEST_F(AppointmentBlockTest, MissingFileDrawsNothing) {
    WallpaperCanvas canvas;
    canvas.Create(50, 50, 24, nullptr, 1);
    DrawAppointmentBlock(canvas, File("Termine.dat"), 0, 0, m_now, kDay, kToday, true);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 50; ++x) ASSERT_EQ(canvas.GetPixel(x, y), 0x00FFFFFFu);
    }
    EXPECT_TRUE(canvas.MissingGlyphs().empty());
}

}  // namespace
}  // namespace tavolin
