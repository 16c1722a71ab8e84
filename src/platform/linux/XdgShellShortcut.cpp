#include "platform/linux/XdgShellShortcut.h"

#include <unistd.h>

#include <optional>
#include <string>

#include "platform/linux/DesktopEntry.h"
#include "util/Atoi.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

// An autostart entry is a few hundred bytes; anything far larger is not ours.
constexpr uint64_t kMaxEntryBytes = 64 * 1024;

// Arguments are words separated by blanks.
std::vector<std::string> SplitArguments(std::string_view arguments) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < arguments.size()) {
        const size_t end = arguments.find(' ', start);
        const size_t stop = end == std::string_view::npos ? arguments.size() : end;
        if (stop > start) words.emplace_back(arguments.substr(start, stop - start));
        start = stop + 1;
    }
    return words;
}

}  // namespace

std::unique_ptr<ShellShortcut> CreateShellShortcut() {
    return std::make_unique<XdgShellShortcut>();
}

bool XdgShellShortcut::SetInfo(const ShortcutInfo& info) {
    m_info = info;
    return true;
}

std::string XdgShellShortcut::EntryText(const ShortcutInfo& info) {
    // Settings for the program go through env(1): Exec runs a program, not a shell.
    std::string exec;
    if (!info.environment.empty()) {
        exec = "env";
        for (const std::string& setting : info.environment) {
            exec += ' ';
            exec += QuoteExecArgument(setting);
        }
        exec += ' ';
    }
    exec += QuoteExecArgument(info.targetPath);
    for (const std::string& word : SplitArguments(info.arguments)) {
        exec += ' ';
        exec += QuoteExecArgument(word);
    }
    std::string text = "[Desktop Entry]\nType=Application\nName=Tavolin\n";
    text += "Comment=" + EscapeDesktopString(info.description) + "\n";
    text += "Exec=" + EscapeDesktopString(exec) + "\n";
    if (!info.workingDirectory.empty()) {
        text += "Path=" + EscapeDesktopString(info.workingDirectory) + "\n";
    }
    if (!info.iconPath.empty()) text += "Icon=" + EscapeDesktopString(info.iconPath) + "\n";
    text += "Terminal=false\n";
    text += "X-Tavolin-IconIndex=" + std::to_string(info.iconIndex) + "\n";
    text += "X-Tavolin-ShowCommand=" + std::to_string(info.showCommand) + "\n";
    text += "X-Tavolin-HotKey=" + std::to_string(info.hotKey) + "\n";
    return text;
}

std::optional<ShortcutInfo> XdgShellShortcut::ParseEntry(std::string_view text) {
    const auto keys = ReadDesktopEntry(text);
    const auto type = keys.find("Type");
    const auto exec = keys.find("Exec");
    if (type == keys.end() || type->second != "Application" || exec == keys.end()) {
        return std::nullopt;
    }
    const auto words = SplitExec(exec->second);
    if (!words || words->empty()) return std::nullopt;

    ShortcutInfo info;
    size_t first = 0;
    if (words->front() == "env") {
        for (first = 1; first < words->size(); ++first) {
            const std::string& word = (*words)[first];
            const size_t equals = word.find('=');
            if (equals == std::string::npos || equals == 0) break;
            info.environment.push_back(word);
        }
        if (first == words->size()) return std::nullopt;
    }
    info.targetPath = (*words)[first];
    for (size_t i = first + 1; i < words->size(); ++i) {
        if (i > first + 1) info.arguments += ' ';
        info.arguments += (*words)[i];
    }
    const auto value = [&keys](const char* key) {
        const auto it = keys.find(key);
        return it == keys.end() ? std::string() : it->second;
    };
    info.description = value("Comment");
    info.workingDirectory = value("Path");
    info.iconPath = value("Icon");
    info.iconIndex = Atoi(value("X-Tavolin-IconIndex"));
    if (keys.count("X-Tavolin-ShowCommand"))
        info.showCommand = Atoi(value("X-Tavolin-ShowCommand"));
    info.hotKey = static_cast<uint16_t>(Atoi(value("X-Tavolin-HotKey")));
    return info;
}

bool XdgShellShortcut::Save(const std::filesystem::path& path) {
    // A linked entry (dotfiles kept elsewhere) is rewritten where it lives.
    return AtomicWriteFile(path, EntryText(m_info));
}

bool XdgShellShortcut::Load(const std::filesystem::path& path) {
    std::string text;
    if (ReadWholeFile(path, text, kMaxEntryBytes) != ReadStatus::Ok) return false;
    const auto info = ParseEntry(text);
    if (!info) return false;
    m_info = *info;
    return true;
}

bool XdgShellShortcut::Resolve() const {
    return !m_info.targetPath.empty() && ::access(m_info.targetPath.c_str(), X_OK) == 0;
}

}  // namespace tavolin
