#pragma once
// Two-digit number fields of dates and times ("07.03.2026 - 09:05").

#include <string>

namespace tavolin {

/// Appends the number with a leading zero below 10 ("07", "12"; larger numbers in full).
inline void AppendTwoDigits(std::string& out, int value) {
    if (value < 10) out += '0';
    out += std::to_string(value);
}

/// Writes 0..99 as exactly two digits at out and returns the position after them.
inline char* PutTwoDigits(char* out, int value) {
    *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

}  // namespace tavolin
