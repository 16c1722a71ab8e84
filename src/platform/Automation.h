#pragma once
// Late-bound automation: objects created by programmatic identifier and driven by dispatch id,
// the way a script drives an automation server (Outlook on Windows). Linux has no such servers;
// tests script their own.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolin {

class AutomationObject;

/// A small variant: what automation calls take and give back.
struct AutomationValue {
    enum class Type {
        Empty,    // no value (a method without result, or "nothing" in a collection)
        Omitted,  // an optional argument left out
        Integer,  // 32-bit integer
        Text,     // UTF-8
        Date,     // OLE date: days since 30.12.1899 00:00, the fraction is the time of day
        Object,
    };
    Type type = Type::Empty;
    int32_t integer = 0;
    std::string text;
    double date = 0;
    std::shared_ptr<AutomationObject> object;

    static AutomationValue Omitted() { return {Type::Omitted}; }
    static AutomationValue Int(int32_t v) { return {Type::Integer, v}; }
    static AutomationValue Str(std::string v) { return {Type::Text, 0, std::move(v)}; }
    static AutomationValue OleDate(double v) { return {Type::Date, 0, {}, v}; }
    static AutomationValue Obj(std::shared_ptr<AutomationObject> v) {
        return {Type::Object, 0, {}, 0, std::move(v)};
    }

    /// An object that can be called (a null object counts as none).
    bool IsObject() const { return type == Type::Object && object != nullptr; }
};

enum class DispatchKind { Method, PropertyGet };

/// The outcome of one call: a value, or the server's error description.
struct DispatchResult {
    bool ok = true;
    AutomationValue value;
    std::string error;  // UTF-8; set when !ok

    static DispatchResult Value(AutomationValue v) { return {true, std::move(v), {}}; }
    static DispatchResult Failure(std::string message) { return {false, {}, std::move(message)}; }
};

class AutomationObject {
public:
    virtual ~AutomationObject() = default;
    virtual DispatchResult Invoke(int32_t dispatchId, DispatchKind kind,
                                  const std::vector<AutomationValue>& args) = 0;
};

class AutomationHost {
public:
    virtual ~AutomationHost() = default;
    /// A new object of the class registered as progId; null when it cannot be created.
    virtual std::shared_ptr<AutomationObject> Create(std::string_view progId) = 0;
};

/// Read access to the registered classes (HKEY_CLASSES_ROOT on Windows).
class ClassRegistry {
public:
    virtual ~ClassRegistry() = default;
    /// The unnamed value of the key (path below the classes root, parts separated by "\");
    /// nullopt when the key or the value cannot be read.
    virtual std::optional<std::string> DefaultValue(std::string_view key) const = 0;
};

/// The platform's automation servers and class registry; on Linux there are none, so creation
/// always fails and no class is registered.
std::unique_ptr<AutomationHost> CreateSystemAutomationHost();
std::unique_ptr<ClassRegistry> CreateSystemClassRegistry();

}  // namespace tavolin
