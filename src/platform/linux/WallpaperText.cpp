#include "platform/linux/WallpaperText.h"

#include <cstdint>
#include <cstdio>

#include "util/Utf8.h"

namespace tavolin {
namespace {

void AppendU4(std::string& out, uint32_t unit) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(unit & 0xFFFF));
    out += hex;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string FileUri(const std::filesystem::path& absolutePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolutePath.native()) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                          c == '/';
        if (keep) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0x0F];
        }
    }
    return uri;
}

std::string JsStringLiteral(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '\'') {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c == '"' || c == '\\' || c == '\'') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t cp;
        size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            cp = c;  // a stray byte keeps its value rather than vanishing
            len = 1;
        }
        if (cp >= 0x10000) {
            AppendU4(out, 0xD800 + ((cp - 0x10000) >> 10));
            AppendU4(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            AppendU4(out, cp);
        }
        i += len;
    }
    out += '"';
    return out;
}

std::optional<std::string> GVariantStringLiteral(std::string_view text) {
    if (!IsValidUtf8(text) || text.find('\0') != std::string_view::npos) return std::nullopt;
    std::string out = "'";
    for (unsigned char c : text) {
        if (c == '\'' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            AppendU4(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '\'';
    return out;
}

std::optional<std::string> ParseGVariantString(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size() || (text[i] != '\'' && text[i] != '"')) return std::nullopt;
    const char quote = text[i++];
    std::string value;
    for (;;) {
        if (i >= text.size()) return std::nullopt;
        const char c = text[i++];
        if (c == quote) break;
        if (c == '\0') return std::nullopt;  // a GVariant string cannot hold one
        if (c != '\\') {
            value += c;
            continue;
        }
        if (i >= text.size()) return std::nullopt;
        const char e = text[i++];
        switch (e) {
            case 'a':
                value += '\a';
                break;
            case 'b':
                value += '\b';
                break;
            case 'f':
                value += '\f';
                break;
            case 'n':
                value += '\n';
                break;
            case 'r':
                value += '\r';
                break;
            case 't':
                value += '\t';
                break;
            case 'v':
                value += '\v';
                break;
            case 'u':
            case 'U': {
                const size_t digits = e == 'u' ? 4 : 8;
                if (text.size() - i < digits) return std::nullopt;
                uint32_t cp = 0;
                for (size_t k = 0; k < digits; ++k) {
                    const int h = HexValue(text[i + k]);
                    if (h < 0) return std::nullopt;
                    cp = (cp << 4) | static_cast<uint32_t>(h);
                }
                i += digits;
                if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
                AppendUtf8(value, cp);
                break;
            }
            default:
                value += e;
                break;
        }
    }
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i != text.size()) return std::nullopt;
    return value;
}

std::optional<std::string> SwayPathArgument(std::string_view path) {
    if (path.empty() || path.front() != '/' || !IsValidUtf8(path)) return std::nullopt;
    char previous = 0;
    for (unsigned char c : path) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c >= 0x80 ||
            std::string_view("/._-+@%=:").find(static_cast<char>(c)) != std::string_view::npos ||
            (c == ' ' && previous != ' ');
        if (!ok) return std::nullopt;
        previous = static_cast<char>(c);
    }
    if (path.back() == ' ') return std::nullopt;
    return "\"" + std::string(path) + "\"";
}

}  // namespace tavolin
