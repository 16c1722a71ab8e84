#include <gtest/gtest.h>

#include "appointments/Appointment.h"
#include "appointments/AppointmentTime.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using test::Local;

class ParseWhenTest : public ::testing::Test {
protected:
    test::ScopedTimeZone m_tz{"Europe/Berlin"};
};

TEST_F(ParseWhenTest, ReadsWrittenKeysAndKeysWithoutLeadingZeros) {
    EXPECT_EQ(ParseWhen("07.03.2003 - 09:30"), Local(2003, 3, 7, 9, 30));
    EXPECT_EQ(ParseWhen("7.3.2003 - 9:5"), Local(2003, 3, 7, 9, 5));
    EXPECT_EQ(ParseWhen("31.12.2003 - 23:59") + 60, ParseWhen("1.1.2004 - 0:0"));
}

TEST_F(ParseWhenTest, NumbersFollowAtoiRules) {
    // Leading blanks and a sign are read, trailing junk ends the number, no digits give 0.
    EXPECT_EQ(ParseWhen(" +7. 3.2003x - 09:05 Uhr"), Local(2003, 3, 7, 9, 5));
    EXPECT_EQ(ParseWhen("7.3.2003 - 9"), Local(2003, 3, 7, 9, 0));
    EXPECT_EQ(ParseWhen("7.3.2003 - :30"), Local(2003, 3, 7, 0, 30));
    // Month "x" is 0: December of the year before.
    EXPECT_EQ(ParseWhen("7.x.2003 - 10:00"), Local(2002, 12, 7, 10, 0));
    // No " - ": the whole key is the date, the time 00:00.
    EXPECT_EQ(ParseWhen("7.3.2003"), Local(2003, 3, 7));
}

TEST_F(ParseWhenTest, OutOfRangeValuesCarryOverLikeMktime) {
    EXPECT_EQ(ParseWhen("1.13.2003 - 00:00"), Local(2004, 1, 1));
    EXPECT_EQ(ParseWhen("0.3.2003 - 00:00"), Local(2003, 2, 28));
    EXPECT_EQ(ParseWhen("0.3.2004 - 00:00"), Local(2004, 2, 29));
    EXPECT_EQ(ParseWhen("31.12.2003 - 24:00"), Local(2004, 1, 1));
    EXPECT_EQ(ParseWhen("1.1.2004 - 0:-1"), Local(2003, 12, 31, 23, 59));
    EXPECT_EQ(ParseWhen("1.-11.2004 - 0:0"), Local(2003, 1, 1));
}

TEST_F(ParseWhenTest, UnrepresentableTimesGiveMinusOneWithoutOverflow) {
    EXPECT_EQ(ParseWhen("1.99999999999.99999999999 - 0:0"), -1);
    EXPECT_EQ(ParseWhen("1.-99999999999.-99999999999 - 0:0"), -1);
    // Extreme fields must not crash or overflow; whatever mktime makes of them is fine.
    ParseWhen("-99999999999.-99999999999.-99999999999 - -99999999999:-99999999999");
    ParseWhen("99999999999.99999999999.2003 - 99999999999:99999999999");
    ParseWhen("");
    ParseWhen(" - ");
}

TEST_F(ParseWhenTest, DaylightSavingDaysHaveTheirRealLength) {
    // Europe/Berlin: 2003-03-30 lost the hour 02:00-03:00, 2003-10-26 had 02:00-03:00 twice.
    EXPECT_EQ(ParseWhen("30.03.2003 - 03:00") - ParseWhen("30.03.2003 - 01:00"), 3600);
    EXPECT_EQ(ParseWhen("31.03.2003 - 00:00") - ParseWhen("30.03.2003 - 00:00"), 23 * 3600);
    EXPECT_EQ(ParseWhen("27.10.2003 - 00:00") - ParseWhen("26.10.2003 - 00:00"), 25 * 3600);
}

TEST(FormatWhen, PadsDayMonthHourMinuteButNotTheYear) {
    EXPECT_EQ(FormatWhen(7, 3, 2003, 9, 5), "07.03.2003 - 09:05");
    EXPECT_EQ(FormatWhen(31, 12, 2003, 23, 59), "31.12.2003 - 23:59");
    EXPECT_EQ(FormatWhen(1, 1, 12345, 0, 0), "01.01.12345 - 00:00");
    EXPECT_EQ(FormatWhen(10, 10, 999, 10, 10), "10.10.999 - 10:10");
}

TEST(FormatWhen, RoundTripsThroughParseWhen) {
    test::ScopedTimeZone tz("Europe/Berlin");
    for (int month = 1; month <= 12; ++month) {
        for (int minute : {0, 15, 59}) {
            const std::string key = FormatWhen(28, month, 2003, 23, minute);
            EXPECT_EQ(ParseWhen(key), Local(2003, month, 28, 23, minute)) << key;
        }
    }
}

TEST(QuarterTime, MovesToTheNearestQuarterHour) {
    EXPECT_EQ(QuarterTime(9, 6), "09:00");
    EXPECT_EQ(QuarterTime(9, 7), "09:15");
    EXPECT_EQ(QuarterTime(14, 38), "14:45");
    EXPECT_EQ(QuarterTime(14, 52), "14:45");
    EXPECT_EQ(QuarterTime(14, 53), "15:00");
    EXPECT_EQ(QuarterTime(23, 55), "00:00");
}

TEST(QuarterTime, BoundariesOfEveryQuarter) {
    const struct {
        int minute;
        const char* text;
    } cases[] = {{0, "10:00"},  {6, "10:00"},  {7, "10:15"},  {22, "10:15"}, {23, "10:30"},
                 {37, "10:30"}, {38, "10:45"}, {52, "10:45"}, {53, "11:00"}, {59, "11:00"}};
    for (const auto& c : cases) EXPECT_EQ(QuarterTime(10, c.minute), c.text) << c.minute;
    EXPECT_EQ(QuarterTime(0, 0), "00:00");
    EXPECT_EQ(QuarterTime(23, 52), "23:45");
    EXPECT_EQ(QuarterTime(23, 53), "00:00");
    EXPECT_EQ(QuarterTime(24, 0), "00:00");
}

TEST(SplitRecord, KeyEndsAtTheFirstSeparator) {
    const auto a = SplitRecord("07.03.2003 - 14:00 # Besprechung # Raum 2");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->key, "07.03.2003 - 14:00");
    EXPECT_EQ(a->remark, "Besprechung # Raum 2");
    EXPECT_TRUE(a->IsDated());
    EXPECT_FALSE(a->IsNote());
    EXPECT_EQ(a->Line(), "07.03.2003 - 14:00 # Besprechung # Raum 2");

    const auto note = SplitRecord("Notiz # ");
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->IsNote());
    EXPECT_FALSE(note->IsDated());
    EXPECT_EQ(note->remark, "");

    EXPECT_FALSE(SplitRecord("Notiz#ohne Leerzeichen"));
    EXPECT_FALSE(SplitRecord(""));
    EXPECT_FALSE(SplitRecord("notiz # x")->IsNote());  // case matters
    EXPECT_FALSE(SplitRecord("Termin # ohne Datum")->IsDated());
}

}  // namespace
}  // namespace tavolin
