#include "platform/Clock.h"

#include <cerrno>
#include <initializer_list>

#ifdef _WIN32
#include "platform/windows/LocalTime.h"
#else
namespace {
std::tm* LocalTimeOf(const std::time_t* t, std::tm* out) { return localtime_r(t, out); }
std::time_t UtcTimeOf(std::tm* fields) { return ::timegm(fields); }
long GmtOffset(const std::tm& local, std::time_t) { return local.tm_gmtoff; }
}  // namespace
#endif

namespace tavolin {

TimePoint SystemNow() {
    return static_cast<TimePoint>(std::time(nullptr));
}

std::tm LocalFields(TimePoint t) {
    std::tm fields{};
    const std::time_t tt = static_cast<std::time_t>(t);
    if (!LocalTimeOf(&tt, &fields)) fields = std::tm{};
    return fields;
}

TimePoint MakeLocal(int year, int month, int day, int hour, int minute, int second) {
    // mktime's answer for a wall-clock time that occurs twice (the hour the clocks go back)
    // depends on the calls made before it, so the same record could sort differently from one
    // tidy-up to the next. Resolve it here instead: the fields are normalised as UTC (no
    // daylight saving involved), then every UTC offset in force around that moment is tried.
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    errno = 0;
    const std::time_t wall = UtcTimeOf(&fields);
    if (wall == static_cast<std::time_t>(-1) && errno != 0) return -1;

    const auto offsetAt = [](std::time_t t, long* offset) {
        std::tm local{};
        if (!LocalTimeOf(&t, &local)) return false;
        *offset = GmtOffset(local, t);
        return true;
    };
    // The offsets in force a day either side: transitions are far further apart than that.
    // At the very ends of the representable range one side may not exist.
    constexpr std::time_t kDay = 86400;
    long offsets[2] = {};
    size_t count = 0;
    for (const std::time_t probe : {wall - kDay, wall + kDay}) {
        if (offsetAt(probe, &offsets[count])) ++count;
    }
    if (count == 0) return -1;

    // The earlier instant whose own offset matches: the first of a repeated hour.
    std::time_t best = 0;
    bool found = false;
    for (size_t i = 0; i < count; ++i) {
        const std::time_t candidate = wall - offsets[i];
        long actual = 0;
        if (offsetAt(candidate, &actual) && actual == offsets[i] &&
            (!found || candidate < best)) {
            best = candidate;
            found = true;
        }
    }
    // None matches in the hour the clocks skip: read the time with the offset before the
    // change, which moves it forward by the gap, as the clocks themselves did.
    if (!found) {
        best = wall - offsets[0];
        long unused = 0;
        if (!offsetAt(best, &unused)) return -1;  // past the end of the representable range
    }
    return static_cast<TimePoint>(best);
}

TimePoint StartOfLocalDay(TimePoint t) {
    const std::tm f = LocalFields(t);
    return MakeLocal(f.tm_year + 1900, f.tm_mon + 1, f.tm_mday, 0, 0, 0);
}

}  // namespace tavolin
