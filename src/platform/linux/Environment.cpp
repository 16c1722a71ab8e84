#include "platform/linux/Environment.h"

#include <sys/stat.h>

#include <cstring>

extern char** environ;

namespace tavolin {

EnvironmentTable ReadProcessEnvironment() {
    EnvironmentTable table;
    for (char** e = environ; e && *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (!eq || eq == *e) continue;
        table.emplace(std::string(*e, static_cast<size_t>(eq - *e)), std::string(eq + 1));
    }
    return table;
}

EnvironmentLookup TableEnvironment(EnvironmentTable table) {
    return [table = std::move(table)](const std::string& name) -> std::optional<std::string> {
        const auto it = table.find(name);
        if (it == table.end() || it->second.empty()) return std::nullopt;
        return it->second;
    };
}

std::optional<std::string> SessionBusAddress(const EnvironmentLookup& env) {
    if (auto address = env("DBUS_SESSION_BUS_ADDRESS")) return address;
    if (const auto runtime = env("XDG_RUNTIME_DIR"); runtime && runtime->front() == '/') {
        const std::string socket = *runtime + "/bus";
        struct stat st {};
        if (::stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return "unix:path=" + socket;
    }
    return std::nullopt;
}

EnvironmentTable ToolEnvironment(EnvironmentTable table) {
    table["LC_ALL"] = "C.UTF-8";
    // LANGUAGE would still pick translated messages in some tools.
    table.erase("LANGUAGE");
    if (table["DBUS_SESSION_BUS_ADDRESS"].empty()) {
        table.erase("DBUS_SESSION_BUS_ADDRESS");
        if (const auto bus = SessionBusAddress(TableEnvironment(table))) {
            table["DBUS_SESSION_BUS_ADDRESS"] = *bus;
        }
    }
    return table;
}

std::vector<std::string> EnvironmentEntries(const EnvironmentTable& table) {
    std::vector<std::string> entries;
    entries.reserve(table.size());
    for (const auto& [name, value] : table) entries.push_back(name + "=" + value);
    return entries;
}

}  // namespace tavolin
