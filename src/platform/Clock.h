#pragma once
// Time seam. The core never calls time() itself, so tests and the command line can fix the
// clock. Local calendar fields come from localtime_r and timegm, so TZ decides.

#include <cstdint>
#include <ctime>
#include <functional>

namespace tavolin {

using TimePoint = int64_t;  // seconds since 1970-01-01 00:00 UTC

/// The current time: the installed test clock, else $TAVOLIN_NOW (decimal seconds, for
/// end-to-end runs), else the system clock.
TimePoint Now();

/// Installs a clock for tests; an empty function restores the real one.
void SetClockForTesting(std::function<TimePoint()> clock);

/// Local calendar fields of t (tm_year since 1900, tm_mon 0..11, as struct tm).
std::tm LocalFields(TimePoint t);

/// Local time of the given fields with mktime's normalisation (month 13, day 0, ...). A time
/// the clocks pass twice is the first of the two, one they skip is moved on by the gap; the
/// answer never depends on earlier calls. -1 when the time cannot be represented.
TimePoint MakeLocal(int year, int month, int day, int hour, int minute, int second);

/// 00:00 local time of the day that holds t.
TimePoint StartOfLocalDay(TimePoint t);

}  // namespace tavolin
