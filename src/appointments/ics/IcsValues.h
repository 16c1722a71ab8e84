#pragma once
// The values of iCalendar properties: dates and times, UTC offsets, durations, repeat rules and
// texts.

#include <libical/ical.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/CivilDays.h"

namespace tavolin::ics {

// Repeat rules and durations longer than this are no real ones and are not handed on.
inline constexpr size_t kMaxRuleText = 2048;

/// A DATE or DATE-TIME value as written: the clock time, UTC when marked so.
struct Civil {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool isDate = false;
    bool utc = false;
};

// Seconds since 1970 of a civil date and time read as UTC.
inline int64_t WallSeconds(const Civil& c) {
    return CivilDays(c.year, c.month, c.day) * 86400 + int64_t{c.hour} * 3600 +
           int64_t{c.minute} * 60 + c.second;
}

/// The civil date and time of seconds since 1970 read as UTC.
Civil CivilOfWall(int64_t seconds);

// YYYYMMDD or YYYYMMDDTHHMMSS with an optional Z; only a date when forceDate (VALUE=DATE).
std::optional<Civil> ParseDateTime(std::string_view s, bool forceDate = false);

icaltimetype ToIcal(const Civil& c);
Civil FromIcal(const icaltimetype& t, bool utc);

// +HHMM or -HHMMSS, in seconds.
std::optional<int> ParseOffset(std::string_view s);

std::optional<icaldurationtype> ParseDuration(std::string_view s);

// A rule libical cannot read has no frequency.
icalrecurrencetype ParseRule(std::string_view s);

// TEXT values: backslash escapes undone.
std::string UnescapeText(std::string_view v);

// Splits a comma list (RDATE, EXDATE).
template <class F>
void ForEachListItem(std::string_view v, F&& f) {
    size_t start = 0;
    while (start <= v.size()) {
        size_t comma = v.find(',', start);
        if (comma == std::string_view::npos) comma = v.size();
        f(v.substr(start, comma - start));
        start = comma + 1;
    }
}

// Sets libical up to report errors instead of aborting; call before libical reads anything.
void InitLibical();

}  // namespace tavolin::ics
