#pragma once
// A value as Qt 5's QSettings writes it into an ini file without a text codec (pcmanfm-qt on
// Debian 12): ASCII controls and everything beyond ASCII as \x escapes of UTF-16 code units, a
// hex digit right after such an escape escaped too, quotes around a value with ; , = or a blank
// at either end. For tests and the fuzz harness; the input must be valid UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavolin::test {

inline std::u16string Utf16(std::string_view utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        uint32_t c = lead;
        size_t n = 1;
        if (lead >= 0xF0) {
            c = lead & 0x07u, n = 4;
        } else if (lead >= 0xE0) {
            c = lead & 0x0Fu, n = 3;
        } else if (lead >= 0xC0) {
            c = lead & 0x1Fu, n = 2;
        }
        for (size_t k = 1; k < n && i + k < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

inline std::string Qt5IniEscape(std::string_view utf8) {
    static const char* const kHex = "0123456789abcdef";
    const auto hexEscape = [](char16_t ch) {
        std::string digits;
        for (uint32_t v = ch; v != 0 || digits.empty(); v >>= 4) digits.insert(0, 1, kHex[v & 0xF]);
        return "\\x" + digits;
    };
    std::string out;
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const char16_t ch : Utf16(utf8)) {
        if (ch == ';' || ch == ',' || ch == '=') needsQuotes = true;
        const bool hexDigit =
            (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
        if (escapeNextIfDigit && hexDigit) {
            out += hexEscape(ch);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
            case '\0':
                out += "\\0";
                escapeNextIfDigit = true;
                break;
            case '\a':
                out += "\\a";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += static_cast<char>(ch);
                break;
            default:
                if (ch <= 0x1F || ch >= 0x7F) {
                    out += hexEscape(ch);
                    escapeNextIfDigit = true;
                } else {
                    out += static_cast<char>(ch);
                }
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) {
        out = "\"" + out + "\"";
    }
    return out;
}

}  // namespace tavolin::test
