#include "appointments/AppointmentTime.h"

#include <climits>
#include <cstdint>

#include "util/Atoi.h"
#include "util/TwoDigits.h"

namespace tavolin {
namespace {

// The number text after the first occurrence of c, or empty when there is none.
std::string_view After(std::string_view text, char c) {
    const size_t pos = text.find(c);
    return pos == std::string_view::npos ? std::string_view{} : text.substr(pos + 1);
}

}  // namespace

TimePoint ParseWhen(std::string_view key) {
    const size_t dash = key.find(" - ");
    const std::string_view date = key.substr(0, dash);
    const std::string_view time =
        dash == std::string_view::npos ? std::string_view{} : key.substr(dash + 3);

    // atoi stops at the first non-digit, so each number can be read from where it starts.
    const int day = Atoi(date);
    const std::string_view afterDay = After(date, '.');
    const int month = Atoi(afterDay);
    const int year = Atoi(After(afterDay, '.'));
    const int hour = Atoi(time);
    const int minute = Atoi(After(time, ':'));

    // Carry the month into the year here, in 64 bits: the extreme values atoi can produce
    // would overflow the int fields of struct tm before they were ever normalised.
    const int64_t month0 = int64_t{month} - 1;
    int64_t carry = month0 / 12;
    int64_t monthInYear = month0 % 12;
    if (monthInYear < 0) {
        monthInYear += 12;
        --carry;
    }
    const int64_t fullYear = int64_t{year} + carry;
    if (fullYear > INT_MAX || fullYear - 1900 < INT_MIN) return -1;
    return MakeLocal(static_cast<int>(fullYear), static_cast<int>(monthInYear) + 1, day, hour,
                     minute, 0);
}

std::string FormatWhen(int day, int month, int year, int hour, int minute) {
    std::string out;
    out.reserve(18);
    AppendTwoDigits(out, day);
    out += '.';
    AppendTwoDigits(out, month);
    out += '.';
    out += std::to_string(year);
    out += " - ";
    AppendTwoDigits(out, hour);
    out += ':';
    AppendTwoDigits(out, minute);
    return out;
}

std::string QuarterTime(int hour, int minute) {
    int quarter = 0;
    if (minute < 7) {
        quarter = 0;
    } else if (minute <= 22) {
        quarter = 15;
    } else if (minute <= 37) {
        quarter = 30;
    } else if (minute <= 52) {
        quarter = 45;
    } else {
        quarter = 0;
        if (hour < INT_MAX) ++hour;
    }
    if (hour > 23) hour = 0;
    std::string out;
    AppendTwoDigits(out, hour);
    out += ':';
    AppendTwoDigits(out, quarter);
    return out;
}

}  // namespace tavolin
