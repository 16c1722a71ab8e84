#include "platform/linux/DrawingClient.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "util/UniqueFd.h"

namespace tavolin {
namespace {

bool IsBusNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' ||
           c == ':';
}

std::string_view Trim(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t\r");
    if (start == std::string_view::npos) return {};
    const size_t end = text.find_last_not_of(" \t\r");
    return text.substr(start, end - start + 1);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Each line of text, without its line end.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        f(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    }
}

// At most limit bytes of a small kernel file; /proc files report no size, so they are read
// until their end.
std::string ReadSmallFile(const std::filesystem::path& path, size_t limit) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::string out;
    if (!fd.IsValid()) return out;
    char buffer[4096];
    while (out.size() < limit) {
        const ssize_t n = ::read(fd.Get(), buffer, std::min(sizeof buffer, limit - out.size()));
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

}  // namespace

std::vector<std::string> ParseBusNames(std::string_view text) {
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find_first_of("\"'", pos);
        if (open == std::string_view::npos) break;
        const size_t close = text.find(text[open], open + 1);
        if (close == std::string_view::npos) break;
        const std::string_view name = text.substr(open + 1, close - open - 1);
        // A bus name is at most 255 characters of a small alphabet.
        if (!name.empty() && name.size() <= 255 &&
            std::all_of(name.begin(), name.end(), IsBusNameChar)) {
            names.emplace_back(name);
        }
        pos = close + 1;
    }
    return names;
}

WindowList ParseXpropWindowList(std::string_view text, std::string_view property) {
    WindowList list;
    ForEachLine(text, [&](std::string_view line) {
        if (list.found || line.substr(0, property.size()) != property) return;
        line.remove_prefix(property.size());
        constexpr std::string_view kHeader = "(WINDOW): window id #";
        if (line.substr(0, kHeader.size()) != kHeader) return;
        list.found = true;
        line.remove_prefix(kHeader.size());
        while (!line.empty() && list.ids.size() < WindowList::kMaxWindows) {
            const size_t comma = line.find(',');
            const std::string_view id = Trim(line.substr(0, comma));
            line.remove_prefix(comma == std::string_view::npos ? line.size() : comma + 1);
            if (id.size() > 2 && id.size() <= 10 && id.substr(0, 2) == "0x" &&
                id.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string_view::npos) {
                list.ids.emplace_back(id);
            }
        }
    });
    return list;
}

WindowFacts ParseXpropWindow(std::string_view text) {
    WindowFacts facts;
    ForEachLine(text, [&](std::string_view line) {
        constexpr std::string_view kType = "_NET_WM_WINDOW_TYPE(ATOM) =";
        constexpr std::string_view kClass = "WM_CLASS(STRING) =";
        if (line.substr(0, kType.size()) == kType) {
            std::string_view rest = line.substr(kType.size());
            while (!rest.empty()) {
                const size_t comma = rest.find(',');
                if (Trim(rest.substr(0, comma)) == "_NET_WM_WINDOW_TYPE_DESKTOP") {
                    facts.desktop = true;
                }
                rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
            }
        } else if (line.substr(0, kClass.size()) == kClass && facts.classes.empty()) {
            // "instance", "Class", with xprop's backslash escapes inside the quotes.
            std::string_view rest = line.substr(kClass.size());
            while (facts.classes.size() < 2) {
                const size_t open = rest.find('"');
                if (open == std::string_view::npos) break;
                std::string value;
                size_t i = open + 1;
                for (; i < rest.size() && rest[i] != '"'; ++i) {
                    if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
                    value += rest[i];
                }
                if (i >= rest.size()) break;
                facts.classes.push_back(std::move(value));
                rest.remove_prefix(i + 1);
            }
        }
    });
    return facts;
}

DesktopKind DesktopOfWindowClass(const std::vector<std::string>& classes) {
    struct Known {
        std::string_view name;  // lower case
        DesktopKind kind;
    };
    // The programs that draw the background into their desktop window.
    static constexpr Known kKnown[] = {
        {"xfdesktop", DesktopKind::Xfce},        {"pcmanfm-qt", DesktopKind::Lxqt},
        {"pcmanfm", DesktopKind::Lxde},          {"caja", DesktopKind::Mate},
        {"nemo-desktop", DesktopKind::Cinnamon}, {"plasmashell", DesktopKind::Kde},
    };
    for (const auto& name : classes) {
        const std::string lower = Lower(name);
        for (const auto& known : kKnown) {
            if (lower == known.name) return known.kind;
        }
    }
    return DesktopKind::X11;
}

std::vector<int> FindProcessesWithArgument(const std::filesystem::path& procRoot,
                                           std::string_view name,
                                           const std::vector<std::string>& arguments) {
    std::vector<int> found;
    DIR* dir = ::opendir(procRoot.c_str());
    if (!dir) return found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view id = entry->d_name;
        if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != id.npos) continue;
        const std::filesystem::path process = procRoot / entry->d_name;
        std::string comm = ReadSmallFile(process / "comm", 64);
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        if (comm != name) continue;
        // The state follows the name in parentheses, which may itself hold ") ".
        const std::string stat = ReadSmallFile(process / "stat", 4096);
        const size_t paren = stat.rfind(')');
        if (paren == std::string::npos || paren + 2 >= stat.size() || stat[paren + 2] == 'Z') {
            continue;
        }
        const std::string cmdline = ReadSmallFile(process / "cmdline", 1 << 16);
        std::string_view rest = cmdline;
        bool first = true, match = false;
        while (!rest.empty() && !match) {
            const size_t nul = rest.find('\0');
            const std::string_view arg = rest.substr(0, nul);
            rest.remove_prefix(nul == std::string_view::npos ? rest.size() : nul + 1);
            if (!first) {
                match = std::find(arguments.begin(), arguments.end(), arg) != arguments.end();
            }
            first = false;
        }
        if (match) found.push_back(std::stoi(std::string(id)));
        if (found.size() >= 256) break;
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace tavolin
