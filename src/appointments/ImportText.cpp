#include "appointments/ImportText.h"

#include "appointments/AppointmentTime.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

namespace tavolin {

std::string ImportedRemark(std::string_view utf8, bool* replaced) {
    std::string out;
    out.reserve(utf8.size());
    bool any = false;
    size_t i = 0;
    while (i < utf8.size()) {
        const char c = utf8[i];
        if (c == '\r' || c == '\n') {
            out += ' ';
            i += (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        // One character at a time, so one that cannot be converted costs only itself; a byte
        // that starts no valid sequence is one character of its own.
        char32_t cp = 0;
        size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0) len = 1;
        if (const auto byte = Utf8ToCp1252(utf8.substr(i, len))) {
            out += *byte;
        } else {
            out += '?';
            any = true;
        }
        i += len;
    }
    if (replaced) *replaced = any;
    return out;
}

int64_t CivilDays(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

std::string ImportedKey(int day, int month, int year, int hour, int minute) {
    std::string key = FormatWhen(day, month, year, 0, 0);
    key.resize(key.size() - 5);  // the "00:00" of FormatWhen
    return key + QuarterTime(hour, minute);
}

}  // namespace tavolin
