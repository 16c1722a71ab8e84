#pragma once
// Time points and local calendar fields. The current time comes from the Context's clock, so
// tests and the command line can fix it. Local calendar fields come from localtime_r and timegm, so
// TZ decides.

#include <cstdint>
#include <ctime>

namespace tavolin {

using TimePoint = int64_t;  // seconds since 1970-01-01 00:00 UTC

/// The system clock.
TimePoint SystemNow();

/// Local calendar fields of t (tm_year since 1900, tm_mon 0..11, as struct tm).
std::tm LocalFields(TimePoint t);

/// Local time of the given fields with mktime's normalisation (month 13, day 0, ...). A time
/// the clocks pass twice is the first of the two, one they skip is moved on by the gap; the
/// answer never depends on earlier calls. -1 when the time cannot be represented.
TimePoint MakeLocal(int year, int month, int day, int hour, int minute, int second);

/// Seconds local time is ahead of UTC at t (3600 for CET); 0 when t cannot be converted.
long UtcOffsetAt(TimePoint t);

/// 00:00 local time of the day that holds t.
TimePoint StartOfLocalDay(TimePoint t);

}  // namespace tavolin
