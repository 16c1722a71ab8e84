#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "platform/Clock.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using test::ScopedTimeZone;

// UTC seconds of a UTC wall-clock time, for expectations independent of the code under test.
TimePoint Utc(int year, int month, int day, int hour, int minute) {
    std::tm f{};
    f.tm_year = year - 1900;
    f.tm_mon = month - 1;
    f.tm_mday = day;
    f.tm_hour = hour;
    f.tm_min = minute;
    return ::timegm(&f);
}

TEST(MakeLocal, OrdinaryTimesAndNormalisation) {
    const ScopedTimeZone tz("Europe/Berlin");
    EXPECT_EQ(MakeLocal(2003, 3, 8, 10, 0, 0), Utc(2003, 3, 8, 9, 0));    // CET
    EXPECT_EQ(MakeLocal(2003, 7, 1, 10, 0, 0), Utc(2003, 7, 1, 8, 0));    // CEST
    EXPECT_EQ(MakeLocal(2003, 13, 1, 0, 0, 0), MakeLocal(2004, 1, 1, 0, 0, 0));
    EXPECT_EQ(MakeLocal(2003, 3, 0, 0, 0, 0), MakeLocal(2003, 2, 28, 0, 0, 0));
    EXPECT_EQ(MakeLocal(2003, 3, 8, 99, 0, 0), MakeLocal(2003, 3, 12, 3, 0, 0));
    EXPECT_EQ(MakeLocal(2003, 3, 8, 0, -1, 0), MakeLocal(2003, 3, 7, 23, 59, 0));
}

// The hour the clocks go back happens twice; the answer must be the first one whatever
// was converted before (mktime remembers its last offset and would answer either).
TEST(MakeLocal, RepeatedHourIsTheFirstRegardlessOfEarlierCalls) {
    const ScopedTimeZone tz("Europe/Berlin");
    const TimePoint expected = Utc(2003, 10, 26, 0, 30);  // 02:30 CEST
    MakeLocal(2002, 1, 1, 0, 0, 0);
    EXPECT_EQ(MakeLocal(2003, 10, 26, 2, 30, 0), expected);
    MakeLocal(2002, 7, 1, 0, 0, 0);
    EXPECT_EQ(MakeLocal(2003, 10, 26, 2, 30, 0), expected);
    EXPECT_EQ(MakeLocal(2003, 10, 26, 3, 0, 0), Utc(2003, 10, 26, 2, 0));  // after: CET
}

TEST(MakeLocal, SkippedHourMovesForwardByTheGap) {
    const ScopedTimeZone tz("Europe/Berlin");
    MakeLocal(2002, 7, 1, 0, 0, 0);
    const TimePoint t = MakeLocal(2003, 3, 30, 2, 30, 0);
    EXPECT_EQ(t, Utc(2003, 3, 30, 1, 30));
    const std::tm f = LocalFields(t);
    EXPECT_EQ(f.tm_hour, 3);
    EXPECT_EQ(f.tm_min, 30);
}

TEST(MakeLocal, UnrepresentableTimesAreMinusOne) {
    const ScopedTimeZone tz("Europe/Berlin");
    // The first representable day: only the day after it can be probed for its offset.
    const std::tm first = LocalFields(MakeLocal(INT_MIN + 1900, 1, 1, 0, 0, 0));
    EXPECT_EQ(first.tm_year, INT_MIN);
    EXPECT_EQ(first.tm_hour, 0);
    EXPECT_EQ(MakeLocal(INT_MIN + 1900, 0, 1, 0, 0, 0), -1);
    // One second before the epoch in UTC is a real time, not a failure.
    const ScopedTimeZone utc("UTC");
    EXPECT_EQ(MakeLocal(1969, 12, 31, 23, 59, 59), -1);
    EXPECT_EQ(MakeLocal(1969, 12, 31, 23, 59, 58), -2);
}

TEST(StartOfLocalDay, IsLocalMidnight) {
    const ScopedTimeZone tz("Europe/Berlin");
    EXPECT_EQ(StartOfLocalDay(MakeLocal(2003, 10, 26, 18, 0, 0)), Utc(2003, 10, 25, 22, 0));
    EXPECT_EQ(StartOfLocalDay(MakeLocal(2003, 3, 8, 0, 0, 0)), MakeLocal(2003, 3, 8, 0, 0, 0));
}

}  // namespace
}  // namespace tavolin
