#include "platform/linux/Environment.h"

#include <cstdlib>

namespace tavolin {

EnvironmentLookup SystemEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value || !*value) return std::nullopt;
        return std::string(value);
    };
}

EnvironmentLookup TableEnvironment(std::map<std::string, std::string> table) {
    return [table = std::move(table)](const std::string& name) -> std::optional<std::string> {
        const auto it = table.find(name);
        if (it == table.end() || it->second.empty()) return std::nullopt;
        return it->second;
    };
}

}  // namespace tavolin
