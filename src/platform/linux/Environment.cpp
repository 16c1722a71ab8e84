#include "platform/linux/Environment.h"

#include <sys/stat.h>

#include <cstring>
#include <string_view>

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
    if (const auto address = env("DBUS_SESSION_BUS_ADDRESS")) {
        // Alternatives are separated by ';'; each starts with its transport's name.
        std::string usable;
        std::string_view rest = *address;
        while (!rest.empty()) {
            const size_t end = rest.find(';');
            const std::string_view entry = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            const std::string_view transport = entry.substr(0, entry.find(':'));
            if (entry.empty() || transport == "autolaunch" || transport == "disabled") continue;
            if (!usable.empty()) usable += ';';
            usable += entry;
        }
        // An address set but unusable is the user's choice: no other bus is looked for.
        if (usable.empty()) return std::nullopt;
        return usable;
    }
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
    const auto bus = SessionBusAddress(TableEnvironment(table));
    table["DBUS_SESSION_BUS_ADDRESS"] = bus ? *bus : kNoSessionBus;
    return table;
}

std::vector<std::string> EnvironmentEntries(const EnvironmentTable& table) {
    std::vector<std::string> entries;
    entries.reserve(table.size());
    for (const auto& [name, value] : table) entries.push_back(name + "=" + value);
    return entries;
}

}  // namespace tavolin
