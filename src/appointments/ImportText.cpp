#include "appointments/ImportText.h"

#include "appointments/AppointmentTime.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

// Length of the UTF-8 sequence starting with b0, or 0 for a byte that starts none.
size_t SequenceLength(unsigned char b0) {
    if (b0 < 0x80) return 1;
    if ((b0 & 0xE0) == 0xC0) return 2;
    if ((b0 & 0xF0) == 0xE0) return 3;
    if ((b0 & 0xF8) == 0xF0) return 4;
    return 0;
}

}  // namespace

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
        size_t len = SequenceLength(static_cast<unsigned char>(c));
        if (len == 0 || i + len > utf8.size()) len = 1;
        for (size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) len = 1;
        }
        // One character at a time, so one that cannot be converted costs only itself.
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
