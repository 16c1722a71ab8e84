#pragma once
// Stepping through repeat rules: the daily and weekly rules most series have are stepped here,
// the rest by libical; UNTIL is compared by ourselves either way.

#include <libical/ical.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "appointments/ics/IcsValues.h"

namespace tavolin::ics {

// Frees a libical iterator.
struct IteratorDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};
using IteratorPtr = std::unique_ptr<icalrecur_iterator, IteratorDeleter>;

// The end a rule's UNTIL sets, compared by ourselves: libical compares it with the start's
// clock time, which for a zoned series is not the UTC instant that RFC 5545 means.
struct Until {
    bool set = false;
    Civil value;
};

// Takes UNTIL out of the rule, for PastUntil to compare.
Until TakeUntil(icalrecurrencetype& rule);

// Whether an occurrence (its clock time and, when known, its UTC instant) lies past UNTIL.
bool PastUntil(const Until& u, const Civil& wall, std::optional<int64_t> utcInstant);

// The rules most series have (daily, or weekly on plain weekdays, with an interval, a count or
// an end) stepped here: libical takes microseconds per step through its calendar library, which
// a file of thousands of weekly series would feel. Anything else goes to libical.
class SimpleRule {
public:
    // False for a rule stepped by libical instead; start is the series' DTSTART.
    bool Make(const icalrecurrencetype& rule, const Civil& start);
    // The first occurrence on or after from (only for rules without COUNT).
    void SetStart(const Civil& from);
    // The next occurrence; nullopt past the end of the rule.
    std::optional<Civil> Next();

private:
    static constexpr int64_t kLastDay = 2932896;  // 31 December 9999
    // 0 Sunday ... 6 Saturday; 1 January 1970 was a Thursday.
    static int Weekday(int64_t day) { return static_cast<int>(((day % 7) + 7 + 4) % 7); }
    int64_t WeekOf(int64_t day) const { return day - (Weekday(day) - m_weekStart + 7) % 7; }

    Civil m_start;
    int64_t m_first = 0;
    int64_t m_period = 0;  // the day (daily) or the first day of the week (weekly) to step from
    int64_t m_skipBefore = INT64_MIN;
    int m_interval = 1;
    int m_count = 0;
    int m_emitted = 0;
    bool m_weekly = false;
    int m_weekStart = 1;  // Monday
    bool m_days[7] = {};  // by offset from the week's first day
    int m_slot = 0;
};

}  // namespace tavolin::ics
