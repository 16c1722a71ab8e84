// The process environment on Windows, read as UTF-16 and kept as UTF-8. There is no session
// bus; helper programs get the environment as it is.

#include "platform/linux/Environment.h"

#include <windows.h>

#include "platform/windows/WideText.h"

namespace tavolin {

EnvironmentTable ReadProcessEnvironment() {
    EnvironmentTable table;
    wchar_t* block = ::GetEnvironmentStringsW();
    if (!block) return table;
    for (const wchar_t* e = block; *e; e += std::wcslen(e) + 1) {
        const std::wstring_view entry(e);
        // Entries such as "=C:=C:\" keep the drives' current directories: no variables.
        const size_t eq = entry.find(L'=', 1);
        if (eq == std::wstring_view::npos || entry.front() == L'=') continue;
        table.emplace(Narrow(entry.substr(0, eq)), Narrow(entry.substr(eq + 1)));
    }
    ::FreeEnvironmentStringsW(block);
    return table;
}

EnvironmentLookup TableEnvironment(EnvironmentTable table) {
    return [table = std::move(table)](const std::string& name) -> std::optional<std::string> {
        const auto it = table.find(name);
        if (it == table.end() || it->second.empty()) return std::nullopt;
        return it->second;
    };
}

std::optional<std::string> SessionBusAddress(const EnvironmentLookup&) {
    return std::nullopt;
}

EnvironmentTable ToolEnvironment(EnvironmentTable table) {
    return table;
}

std::vector<std::string> EnvironmentEntries(const EnvironmentTable& table) {
    std::vector<std::string> entries;
    entries.reserve(table.size());
    for (const auto& [name, value] : table) entries.push_back(name + "=" + value);
    return entries;
}

}  // namespace tavolin
