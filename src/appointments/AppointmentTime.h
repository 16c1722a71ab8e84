#pragma once
// The date-time text of Termine.dat keys: DD.MM.YYYY - HH:MM, read back with atoi rules and
// mktime's normalisation so that hand-edited keys like 7.3.2003 - 9:5 still work.

#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace tavolin {

/// Local point in time of a key "day.month.year - hour:minute" with 0 seconds. Each number is
/// read like atoi (no digits give 0) and out-of-range values carry over as mktime does them
/// (month 13 is January of the next year, day 0 the last day of the month before); daylight
/// saving is decided for that date. -1 when the time cannot be represented. A key without
/// " - " is read as a date at 00:00.
TimePoint ParseWhen(std::string_view key);

/// Key text "DD.MM.YYYY - HH:MM": day, month, hour and minute below 10 get a leading "0", the
/// year is plain decimal. FormatWhen(7, 3, 2003, 9, 5) is "07.03.2003 - 09:05".
std::string FormatWhen(int day, int month, int year, int hour, int minute);

/// "HH:MM" moved to the nearest quarter hour: minutes below 7 give :00, 7..22 :15, 23..37 :30,
/// 38..52 :45, 53 and above the next full hour. An hour past 23 wraps to 00 without touching
/// any date, so 23:55 becomes 00:00 of the same day.
std::string QuarterTime(int hour, int minute);

}  // namespace tavolin
