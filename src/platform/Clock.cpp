#include "platform/Clock.h"

#include <cstdlib>
#include <mutex>

#include "util/Atoi.h"

namespace tavolin {
namespace {

std::mutex g_clockMutex;
std::function<TimePoint()> g_clock;

}  // namespace

TimePoint Now() {
    {
        std::lock_guard lock(g_clockMutex);
        if (g_clock) return g_clock();
    }
    if (const char* fixed = std::getenv("TAVOLIN_NOW"); fixed && *fixed) {
        char* end = nullptr;
        const long long v = std::strtoll(fixed, &end, 10);
        if (end && *end == '\0') return v;
    }
    return static_cast<TimePoint>(std::time(nullptr));
}

void SetClockForTesting(std::function<TimePoint()> clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = std::move(clock);
}

std::tm LocalFields(TimePoint t) {
    std::tm fields{};
    const std::time_t tt = static_cast<std::time_t>(t);
    if (!localtime_r(&tt, &fields)) fields = std::tm{};
    return fields;
}

TimePoint MakeLocal(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    const std::time_t t = std::mktime(&fields);
    return static_cast<TimePoint>(t);
}

TimePoint StartOfLocalDay(TimePoint t) {
    const std::tm f = LocalFields(t);
    return MakeLocal(f.tm_year + 1900, f.tm_mon + 1, f.tm_mday, 0, 0, 0);
}

}  // namespace tavolin
