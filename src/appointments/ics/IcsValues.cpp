#include "appointments/ics/IcsValues.h"

#include <mutex>

#include "util/CivilDays.h"

namespace tavolin::ics {
namespace {

bool Digits(std::string_view s, size_t pos, size_t n, int& out) {
    if (pos + n > s.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// A date of the calendar: its day number leads back to the same day.
bool RealDate(const Civil& c) {
    int64_t year = 0;
    int month = 0, day = 0;
    CivilFromDays(CivilDays(c.year, c.month, c.day), year, month, day);
    return year == c.year && month == c.month && day == c.day;
}

}  // namespace

Civil CivilOfWall(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    Civil c;
    int64_t year = 0;
    CivilFromDays(days, year, c.month, c.day);
    c.year = static_cast<int>(year);
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

std::optional<Civil> ParseDateTime(std::string_view s, bool forceDate) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    Civil c;
    if (!Digits(s, 0, 4, c.year) || !Digits(s, 4, 2, c.month) || !Digits(s, 6, 2, c.day)) {
        return std::nullopt;
    }
    if (s.size() == 8) {
        c.isDate = true;
    } else if (forceDate) {
        return std::nullopt;
    } else {
        if (s.size() < 15 || (s[8] != 'T' && s[8] != 't') || !Digits(s, 9, 2, c.hour) ||
            !Digits(s, 11, 2, c.minute) || !Digits(s, 13, 2, c.second)) {
            return std::nullopt;
        }
        if (s.size() == 16 && (s[15] == 'Z' || s[15] == 'z')) {
            c.utc = true;
        } else if (s.size() != 15) {
            return std::nullopt;
        }
    }
    if (c.year < 1 || c.month < 1 || c.month > 12 || c.day < 1 || !RealDate(c) || c.hour > 23 ||
        c.minute > 59 || c.second > 60) {
        return std::nullopt;
    }
    if (c.second == 60) c.second = 59;
    return c;
}

icaltimetype ToIcal(const Civil& c) {
    icaltimetype t = icaltime_null_time();
    t.year = c.year;
    t.month = c.month;
    t.day = c.day;
    t.is_date = c.isDate ? 1 : 0;
    if (!c.isDate) {
        t.hour = c.hour;
        t.minute = c.minute;
        t.second = c.second;
    }
    return t;
}

Civil FromIcal(const icaltimetype& t, bool utc) {
    Civil c;
    c.year = t.year;
    c.month = t.month;
    c.day = t.day;
    c.isDate = t.is_date != 0;
    if (!c.isDate) {
        c.hour = t.hour;
        c.minute = t.minute;
        c.second = t.second;
        c.utc = utc;
    }
    return c;
}

std::optional<int> ParseOffset(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.size() != 5 && s.size() != 7) return std::nullopt;
    if (s[0] != '+' && s[0] != '-') return std::nullopt;
    int h = 0, m = 0, sec = 0;
    if (!Digits(s, 1, 2, h) || !Digits(s, 3, 2, m) || (s.size() == 7 && !Digits(s, 5, 2, sec))) {
        return std::nullopt;
    }
    if (h > 23 || m > 59 || sec > 59) return std::nullopt;
    const int value = h * 3600 + m * 60 + sec;
    return s[0] == '-' ? -value : value;
}

std::optional<icaldurationtype> ParseDuration(std::string_view s) {
    if (s.empty() || s.size() > 64) return std::nullopt;
    const icaldurationtype d = icaldurationtype_from_string(std::string(s).c_str());
    icalerror_clear_errno();
    if (icaldurationtype_is_bad_duration(d)) return std::nullopt;
    return d;
}

icalrecurrencetype ParseRule(std::string_view s) {
    icalrecurrencetype rule;
    icalrecurrencetype_clear(&rule);
    if (s.size() > kMaxRuleText) return rule;
    rule = icalrecurrencetype_from_string(std::string(s).c_str());
    icalerror_clear_errno();
    return rule;
}

std::string UnescapeText(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char n = v[++i];
            out += (n == 'n' || n == 'N') ? '\n' : n;
        } else {
            out += v[i];
        }
    }
    return out;
}

void InitLibical() {
    static std::once_flag once;
    // libical aborts on errors unless told otherwise; bad input must never end the program.
    std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

}  // namespace tavolin::ics
