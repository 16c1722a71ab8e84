#include "platform/linux/PcmanfmQtSettings.h"

#include "util/FileIO.h"

namespace tavolin {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Text built from raw bytes (kept as they are: Qt 6 writes UTF-8) and from escaped UTF-16 code
// units (Qt 5 writes everything outside ASCII so), a pair of surrogates making one character
// and a surrogate without its partner a '?', as Qt turns it into UTF-8.
class Utf8Builder {
public:
    void AppendByte(char c) {
        FlushSurrogate();
        m_text += c;
    }

    void AppendUnit(uint32_t unit) {
        if (unit >= 0xDC00 && unit < 0xE000 && m_high != 0) {
            AppendCodePoint(0x10000 + ((m_high - 0xD800) << 10) + (unit - 0xDC00));
            m_high = 0;
            return;
        }
        FlushSurrogate();
        if (unit >= 0xD800 && unit < 0xDC00) {
            m_high = unit;
        } else if (unit >= 0xDC00 && unit < 0xE000) {
            m_text += '?';
        } else {
            AppendCodePoint(unit);
        }
    }

    // A surrogate still waiting for its partner is not counted: what it becomes is no blank.
    size_t Size() const { return m_text.size(); }

    void ChopBlanks(size_t limit) {
        FlushSurrogate();
        while (m_text.size() > limit && IsBlank(m_text.back())) m_text.pop_back();
    }

    std::string Take() {
        FlushSurrogate();
        return std::move(m_text);
    }

private:
    void FlushSurrogate() {
        if (m_high == 0) return;
        m_high = 0;
        m_text += '?';
    }

    void AppendCodePoint(uint32_t c) {
        if (c < 0x80) {
            m_text += static_cast<char>(c);
        } else if (c < 0x800) {
            m_text += static_cast<char>(0xC0 | (c >> 6));
            m_text += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            m_text += static_cast<char>(0xE0 | (c >> 12));
            m_text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            m_text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            m_text += static_cast<char>(0xF0 | (c >> 18));
            m_text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            m_text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            m_text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    std::string m_text;
    uint32_t m_high = 0;
};

char SimpleEscape(char c) {
    switch (c) {
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        case '"':
        case '?':
        case '\'':
        case '\\':
            return c;
        default:
            return 0;
    }
}

// A value as QSettings reads it: blanks around it dropped unless quoted, quotes removed,
// escapes decoded, ';' outside quotes starting a comment. An unquoted ',' makes a list, which
// is no plain string.
std::optional<std::string> UnescapeValue(std::string_view v) {
    Utf8Builder out;
    bool quoted = false;
    bool inQuotes = false;
    size_t chopLimit = 0;
    size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < v.size() && IsBlank(v[i])) ++i;
        chopLimit = out.Size();
    };
    skipBlanks();
    while (i < v.size()) {
        const char c = v[i];
        if (c == '\\') {
            if (++i >= v.size()) break;
            const char e = v[i++];
            if (const char simple = SimpleEscape(e)) {
                out.AppendByte(simple);
            } else if (e == 'x' && i < v.size() && HexDigit(v[i]) >= 0) {
                // As many digits as follow; QChar keeps the low 16 bits.
                uint32_t unit = 0;
                while (i < v.size() && HexDigit(v[i]) >= 0) {
                    unit = ((unit << 4) | static_cast<uint32_t>(HexDigit(v[i++]))) & 0xFFFF;
                }
                out.AppendUnit(unit);
            } else if (e >= '0' && e <= '7') {
                uint32_t unit = static_cast<uint32_t>(e - '0');
                while (i < v.size() && v[i] >= '0' && v[i] <= '7') {
                    unit = ((unit << 3) | static_cast<uint32_t>(v[i++] - '0')) & 0xFFFF;
                }
                out.AppendUnit(unit);
            } else if (e == '\n' || e == '\r') {
                // A line continued: \r\n and \n\r count as one break.
                if (i < v.size() && (v[i] == '\n' || v[i] == '\r') && v[i] != e) ++i;
            }
            // Any other escaped character is dropped, as QSettings does.
            chopLimit = out.Size();
            continue;
        }
        if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) skipBlanks();
            continue;
        }
        if (!inQuotes && c == ',') return std::nullopt;
        if (!inQuotes && c == ';') break;
        out.AppendByte(c);
        ++i;
    }
    if (!quoted) out.ChopBlanks(chopLimit);
    std::string text = out.Take();
    // QSettings marks typed values with '@' and doubles a leading '@' of a plain string.
    const std::string_view t = text;
    if (t.empty() || t.front() != '@') return text;
    if (t.back() == ')') {
        if (t.substr(0, 8) == "@String(") return std::string(t.substr(8, t.size() - 9));
        for (const std::string_view typed : {"@ByteArray(", "@Variant(", "@DateTime(", "@Rect(",
                                             "@Size(", "@Point(", "@Invalid("}) {
            if (t.substr(0, typed.size()) == typed) return std::nullopt;
        }
    }
    if (t.substr(0, 2) == "@@") return text.substr(1);
    return text;
}

// One logical line: a backslash takes the next character with it, a line break included, and
// a quoted part goes on over line breaks, as QSettings reads them.
std::string_view NextLine(std::string_view& text) {
    size_t i = 0;
    bool inQuotes = false;
    while (i < text.size() && (inQuotes || (text[i] != '\n' && text[i] != '\r'))) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[i + 1];
            i += 2;
            if ((next == '\n' || next == '\r') && i < text.size() &&
                (text[i] == '\n' || text[i] == '\r') && text[i] != next) {
                ++i;
            }
            continue;
        }
        if (text[i] == '"') inQuotes = !inQuotes;
        ++i;
    }
    const std::string_view line = text.substr(0, i);
    while (i < text.size() && (text[i] == '\n' || text[i] == '\r')) ++i;
    text.remove_prefix(i);
    return line;
}

}  // namespace

std::vector<std::filesystem::path> PcmanfmQtSettingsFiles(const EnvironmentLookup& env) {
    std::filesystem::path base;
    if (const auto xdg = env("XDG_CONFIG_HOME"); xdg && xdg->front() == '/') {
        base = *xdg;
    } else if (const auto home = env("HOME"); home && home->front() == '/') {
        base = std::filesystem::path(*home) / ".config";
    } else {
        return {};
    }
    base /= "pcmanfm-qt";
    return {base / "lxqt" / "settings.conf", base / "default" / "settings.conf"};
}

std::optional<std::string> PcmanfmQtDesktopValue(std::string_view text, std::string_view key) {
    bool inDesktop = false;
    std::optional<std::string> found;
    while (!text.empty()) {
        const std::string_view line = TrimBlanks(NextLine(text));
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inDesktop = close != std::string_view::npos && line.substr(1, close - 1) == "Desktop";
            continue;
        }
        if (!inDesktop) continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || TrimBlanks(line.substr(0, eq)) != key) continue;
        found = UnescapeValue(line.substr(eq + 1));
    }
    return found;
}

std::optional<std::string> ReadPcmanfmQtDesktopValue(const std::filesystem::path& file,
                                                     std::string_view key) {
    std::string text;
    if (ReadWholeFile(file, text, kMaxPcmanfmQtSettingsSize) != ReadStatus::Ok) return std::nullopt;
    return PcmanfmQtDesktopValue(text, key);
}

}  // namespace tavolin
