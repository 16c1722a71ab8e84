// Linux has no automation servers and no class registry: every creation fails and every
// lookup finds nothing, so importers that need them report themselves unavailable.

#include "platform/Automation.h"

namespace tavolin {
namespace {

class NoAutomationHost : public AutomationHost {
public:
    std::shared_ptr<AutomationObject> Create(std::string_view) override { return nullptr; }
};

class NoClassRegistry : public ClassRegistry {
public:
    std::optional<std::string> DefaultValue(std::string_view) const override {
        return std::nullopt;
    }
};

}  // namespace

std::unique_ptr<AutomationHost> CreateSystemAutomationHost() {
    return std::make_unique<NoAutomationHost>();
}

std::unique_ptr<ClassRegistry> CreateSystemClassRegistry() {
    return std::make_unique<NoClassRegistry>();
}

}  // namespace tavolin
