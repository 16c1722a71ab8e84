#include "platform/linux/ScreenParsers.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "util/FileIO.h"

namespace tavolin {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A decimal number of at most 9 digits at text[i]; advances i past it.
std::optional<int64_t> ReadNumber(std::string_view text, size_t& i) {
    const size_t start = i;
    int64_t value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (i - start >= 9) return std::nullopt;
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == start) return std::nullopt;
    return value;
}

std::optional<ScreenSize> CheckedSize(int64_t w, int64_t h) {
    if (w < 1 || h < 1 || w > kMaxScreenSide || h > kMaxScreenSide) return std::nullopt;
    return ScreenSize{static_cast<int>(w), static_cast<int>(h)};
}

bool IsQuarterTurn(std::string_view transform) {
    return transform == "90" || transform == "270" || transform == "flipped-90" ||
           transform == "flipped-270";
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    }
    return lines;
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpace(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !IsSpace(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

// ---- xrandr ----

struct Geometry {
    ScreenSize size;
    int64_t x = 0, y = 0;
};

// "1920x1080+0+0" (offsets may be negative: "+-1920").
std::optional<Geometry> ParseGeometry(std::string_view word) {
    size_t i = 0;
    const auto w = ReadNumber(word, i);
    if (!w || i >= word.size() || word[i] != 'x') return std::nullopt;
    ++i;
    const auto h = ReadNumber(word, i);
    if (!h) return std::nullopt;
    int64_t offsets[2];
    for (int64_t& offset : offsets) {
        if (i >= word.size() || (word[i] != '+' && word[i] != '-')) return std::nullopt;
        bool negative = word[i] == '-';
        ++i;
        if (i < word.size() && word[i] == '-') negative = !negative, ++i;
        const auto v = ReadNumber(word, i);
        if (!v) return std::nullopt;
        offset = negative ? -*v : *v;
    }
    if (i != word.size()) return std::nullopt;
    const auto size = CheckedSize(*w, *h);
    if (!size) return std::nullopt;
    return Geometry{*size, offsets[0], offsets[1]};
}

// ---- a small JSON reader for swaymsg ----

struct Json {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;        // array elements, or object values
    std::vector<std::string> keys;  // object keys, one per item

    const Json* Get(std::string_view key) const {
        if (type != Type::Object) return nullptr;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) return &items[i];
        }
        return nullptr;
    }
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    bool ReadDocument(Json& out) {
        if (!Read(out, 0)) return false;
        SkipSpace();
        return m_pos == m_text.size();
    }

private:
    static constexpr int kMaxDepth = 32;
    static constexpr size_t kMaxNodes = 50000;

    void SkipSpace() {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos])) ++m_pos;
    }

    bool Literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) return false;
        m_pos += word.size();
        return true;
    }

    bool Read(Json& out, int depth) {
        if (depth > kMaxDepth || ++m_nodes > kMaxNodes) return false;
        SkipSpace();
        if (m_pos >= m_text.size()) return false;
        const char c = m_text[m_pos];
        if (c == '{') return ReadObject(out, depth);
        if (c == '[') return ReadArray(out, depth);
        if (c == '"') {
            out.type = Json::Type::String;
            return ReadString(out.text);
        }
        if (Literal("true")) {
            out.type = Json::Type::Bool;
            out.boolean = true;
            return true;
        }
        if (Literal("false")) {
            out.type = Json::Type::Bool;
            return true;
        }
        if (Literal("null")) return true;
        return ReadNumberValue(out);
    }

    bool ReadObject(Json& out, int depth) {
        out.type = Json::Type::Object;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') return ++m_pos, true;
        for (;;) {
            SkipSpace();
            std::string key;
            if (m_pos >= m_text.size() || m_text[m_pos] != '"' || !ReadString(key)) return false;
            SkipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != ':') return false;
            ++m_pos;
            Json value;
            if (!Read(value, depth + 1)) return false;
            out.keys.push_back(std::move(key));
            out.items.push_back(std::move(value));
            SkipSpace();
            if (m_pos >= m_text.size()) return false;
            if (m_text[m_pos] == '}') return ++m_pos, true;
            if (m_text[m_pos] != ',') return false;
            ++m_pos;
        }
    }

    bool ReadArray(Json& out, int depth) {
        out.type = Json::Type::Array;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') return ++m_pos, true;
        for (;;) {
            Json value;
            if (!Read(value, depth + 1)) return false;
            out.items.push_back(std::move(value));
            SkipSpace();
            if (m_pos >= m_text.size()) return false;
            if (m_text[m_pos] == ']') return ++m_pos, true;
            if (m_text[m_pos] != ',') return false;
            ++m_pos;
        }
    }

    // Escapes are kept simple: \uXXXX becomes '?' unless it is ASCII; only names and transforms
    // are compared, and those are ASCII.
    bool ReadString(std::string& out) {
        ++m_pos;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) return false;
            const char e = m_text[m_pos++];
            switch (e) {
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (m_text.size() - m_pos < 4) return false;
                    unsigned v = 0;
                    for (int k = 0; k < 4; ++k) {
                        const char h = m_text[m_pos++];
                        v <<= 4;
                        if (IsDigit(h)) {
                            v |= static_cast<unsigned>(h - '0');
                        } else if (h >= 'a' && h <= 'f') {
                            v |= static_cast<unsigned>(h - 'a' + 10);
                        } else if (h >= 'A' && h <= 'F') {
                            v |= static_cast<unsigned>(h - 'A' + 10);
                        } else {
                            return false;
                        }
                    }
                    out += (v > 0 && v < 0x80) ? static_cast<char>(v) : '?';
                    break;
                }
                default:
                    out += e;
                    break;
            }
        }
        return false;
    }

    // Integers are all we need; a fraction or exponent is read and dropped.
    bool ReadNumberValue(Json& out) {
        const size_t start = m_pos;
        bool negative = false;
        if (m_pos < m_text.size() && m_text[m_pos] == '-') negative = true, ++m_pos;
        double value = 0;
        size_t digits = 0;
        while (m_pos < m_text.size() && IsDigit(m_text[m_pos])) {
            if (digits++ < 15) value = value * 10 + (m_text[m_pos] - '0');
            ++m_pos;
        }
        if (digits == 0) return false;
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            while (m_pos < m_text.size() && IsDigit(m_text[m_pos])) ++m_pos;
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            // An exponent would make the integer part meaningless; refuse such a size.
            return false;
        }
        if (digits > 15) value = 1e18;
        out.type = Json::Type::Number;
        out.number = negative ? -value : value;
        return m_pos > start;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_nodes = 0;
};

std::optional<int64_t> JsonInt(const Json* value) {
    if (!value || value->type != Json::Type::Number) return std::nullopt;
    if (value->number < -1e9 || value->number > 1e9) return std::nullopt;
    return static_cast<int64_t>(value->number);
}

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::string text;
    if (ReadWholeFile(path, text, 1 << 16) != ReadStatus::Ok) return {};
    return text;
}

}  // namespace

std::optional<ScreenSize> ParseModeText(std::string_view text) {
    size_t i = 0;
    const auto w = ReadNumber(text, i);
    if (!w || i >= text.size() || text[i] != 'x') return std::nullopt;
    ++i;
    const auto h = ReadNumber(text, i);
    if (!h) return std::nullopt;
    return CheckedSize(*w, *h);
}

std::optional<ScreenSize> ParseXrandr(std::string_view text) {
    std::optional<ScreenSize> primary, atOrigin, firstConnected, screenCurrent;
    for (const auto line : SplitLines(text)) {
        if (line.empty() || IsSpace(line.front())) continue;
        const auto words = SplitWords(line);
        if (words.size() >= 2 && words[0] == "Screen") {
            // "Screen 0: minimum 8 x 8, current 1920 x 1080, maximum 32767 x 32767"
            for (size_t k = 0; k + 3 < words.size() && !screenCurrent; ++k) {
                if (words[k] != "current" || words[k + 2] != "x") continue;
                size_t a = 0, b = 0;
                const auto w = ReadNumber(words[k + 1], a);
                const auto h = ReadNumber(words[k + 3], b);
                if (w && h) screenCurrent = CheckedSize(*w, *h);
            }
            continue;
        }
        if (words.size() < 3 || words[1] != "connected") continue;
        size_t k = 2;
        const bool isPrimary = words[k] == "primary";
        if (isPrimary) ++k;
        if (k >= words.size()) continue;
        const auto geometry = ParseGeometry(words[k]);
        if (!geometry) continue;  // connected but switched off
        if (isPrimary && !primary) primary = geometry->size;
        if (geometry->x == 0 && geometry->y == 0 && !atOrigin) atOrigin = geometry->size;
        if (!firstConnected) firstConnected = geometry->size;
    }
    if (primary) return primary;
    if (atOrigin) return atOrigin;
    if (firstConnected) return firstConnected;
    return screenCurrent;
}

std::optional<ScreenSize> ParseXdpyinfo(std::string_view text) {
    for (const auto line : SplitLines(text)) {
        const auto words = SplitWords(line);
        if (words.size() >= 2 && words[0] == "dimensions:") {
            // The whole word must be the size: "1920x1080".
            size_t i = 0;
            const auto w = ReadNumber(words[1], i);
            if (!w || i >= words[1].size() || words[1][i] != 'x') continue;
            ++i;
            const auto h = ReadNumber(words[1], i);
            if (h && i == words[1].size()) return CheckedSize(*w, *h);
        }
    }
    return std::nullopt;
}

std::optional<ScreenSize> ParseWlrRandr(std::string_view text) {
    struct Output {
        bool enabled = true;
        std::optional<ScreenSize> mode;
        bool atOrigin = false;
        bool quarterTurn = false;
    };
    std::vector<Output> outputs;
    bool inModes = false;
    for (const auto line : SplitLines(text)) {
        if (Trim(line).empty()) continue;
        if (!IsSpace(line.front())) {
            outputs.emplace_back();
            inModes = false;
            continue;
        }
        if (outputs.empty()) continue;
        Output& out = outputs.back();
        const auto item = Trim(line);
        if (item.rfind("Enabled:", 0) == 0) {
            out.enabled = Trim(item.substr(8)) == "yes";
            inModes = false;
        } else if (item == "Modes:") {
            inModes = true;
        } else if (item.rfind("Position:", 0) == 0) {
            out.atOrigin = Trim(item.substr(9)) == "0,0";
            inModes = false;
        } else if (item.rfind("Transform:", 0) == 0) {
            out.quarterTurn = IsQuarterTurn(Trim(item.substr(10)));
            inModes = false;
        } else if (inModes && item.find("current") != std::string_view::npos) {
            if (!out.mode) out.mode = ParseModeText(item);
        } else if (!inModes || !ParseModeText(item)) {
            inModes = false;
        }
    }
    const Output* chosen = nullptr;
    for (const auto& out : outputs) {
        if (!out.enabled || !out.mode) continue;
        if (!chosen || (out.atOrigin && !chosen->atOrigin)) chosen = &out;
    }
    if (!chosen) return std::nullopt;
    ScreenSize size = *chosen->mode;
    if (chosen->quarterTurn) std::swap(size.width, size.height);
    return size;
}

std::optional<ScreenSize> ParseSwayOutputs(std::string_view json) {
    Json root;
    if (!JsonReader(json).ReadDocument(root) || root.type != Json::Type::Array) {
        return std::nullopt;
    }
    std::optional<ScreenSize> first, origin;
    for (const auto& output : root.items) {
        const Json* active = output.Get("active");
        if (!active || active->type != Json::Type::Bool || !active->boolean) continue;
        const Json* mode = output.Get("current_mode");
        if (!mode) continue;
        const auto w = JsonInt(mode->Get("width"));
        const auto h = JsonInt(mode->Get("height"));
        if (!w || !h) continue;
        auto size = CheckedSize(*w, *h);
        if (!size) continue;
        const Json* transform = output.Get("transform");
        if (transform && transform->type == Json::Type::String && IsQuarterTurn(transform->text)) {
            std::swap(size->width, size->height);
        }
        if (!first) first = size;
        const Json* rect = output.Get("rect");
        if (rect && JsonInt(rect->Get("x")) == 0 && JsonInt(rect->Get("y")) == 0 && !origin) {
            origin = size;
        }
    }
    return origin ? origin : first;
}

std::optional<ScreenSize> ReadDrmConnectors(const std::filesystem::path& drmDir) {
    namespace fs = std::filesystem;
    std::vector<fs::path> connectors;
    std::error_code ec;
    fs::directory_iterator it(drmDir, ec), end;
    for (int count = 0; !ec && it != end && count < 1000; it.increment(ec), ++count) {
        const std::string name = it->path().filename().native();
        // "card0-eDP-1": a connector of a card, not the card itself.
        if (name.rfind("card", 0) == 0 && name.find('-') != std::string::npos) {
            connectors.push_back(it->path());
        }
    }
    std::sort(connectors.begin(), connectors.end());
    const auto isInternal = [](const fs::path& p) {
        const std::string n = p.filename().native();
        return n.find("-eDP-") != std::string::npos || n.find("-LVDS-") != std::string::npos ||
               n.find("-DSI-") != std::string::npos;
    };
    std::stable_partition(connectors.begin(), connectors.end(), isInternal);
    for (const auto& dir : connectors) {
        if (Trim(ReadSmallFile(dir / "status")) != "connected") continue;
        const std::string enabled = ReadSmallFile(dir / "enabled");
        if (!enabled.empty() && Trim(enabled) != "enabled") continue;
        const std::string modes = ReadSmallFile(dir / "modes");
        if (const auto size = ParseModeText(modes)) return size;
    }
    return std::nullopt;
}

}  // namespace tavolin
