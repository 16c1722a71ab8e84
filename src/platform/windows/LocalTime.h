#pragma once
// The C runtime's local time on Windows. Its TZ variable knows only "CET-1CEST"-style values
// with fixed, American change-over dates; a TZ inherited from elsewhere (Wine passes the Unix
// one on, "Europe/Berlin") would be misread as UTC. The C runtime is therefore made to follow
// Windows' own time zone, which it does when TZ is not set.

#include <ctime>

namespace tavolin {

/// Drops TZ from the C runtime's environment (once per process) so that local time is
/// Windows' time zone.
void UseSystemTimeZone();

}  // namespace tavolin

namespace {

inline std::tm* LocalTimeOf(const std::time_t* t, std::tm* out) {
    tavolin::UseSystemTimeZone();
    return ::localtime_s(out, t) == 0 ? out : nullptr;
}

inline std::time_t UtcTimeOf(std::tm* fields) {
    return ::_mkgmtime(fields);
}

// Windows' struct tm has no UTC offset: it is the local fields read back as UTC, less t.
inline long GmtOffset(const std::tm& local, std::time_t t) {
    std::tm copy = local;
    return static_cast<long>(::_mkgmtime(&copy) - t);
}

}  // namespace
