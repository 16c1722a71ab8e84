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
        if (c == '\t') {
            out += ' ';
            ++i;
            continue;
        }
        // One character at a time, so one that cannot be converted costs only itself; a byte
        // that starts no valid sequence is one character of its own.
        char32_t cp = 0;
        size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0) len = 1;
        // Control characters (ESC, BEL, DEL, the C1 range) would drive a terminal that shows
        // the remark; they are replaced like characters Windows-1252 lacks.
        const bool control =
            len > 1 ? (cp >= 0x80 && cp <= 0x9F) : (c >= 0 && c < 0x20) || c == 0x7F;
        if (control) {
            out += '?';
            any = true;
        } else if (const auto byte = Utf8ToCp1252(utf8.substr(i, len))) {
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

std::string ImportedKey(int day, int month, int year, int hour, int minute) {
    std::string key = FormatWhen(day, month, year, 0, 0);
    key.resize(key.size() - 5);  // the "00:00" of FormatWhen
    return key + QuarterTime(hour, minute);
}

}  // namespace tavolin
