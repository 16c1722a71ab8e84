#pragma once
// A scripted stand-in for Outlook's automation server: a calendar folder of items, one shared
// cursor in the items collection (as Outlook keeps it), a log of every call in order, and an
// error at any chosen call.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Automation.h"

namespace tavolin::test {

struct FakeItem {
    int32_t itemClass = 26;
    std::string subject;
    double start = 0;         // appointments
    int32_t leadMinutes = 0;  // appointments
    double reminderTime = 0;  // tasks
};

class FakeOutlook : public AutomationHost {
public:
    std::vector<FakeItem> items;
    bool creatable = true;
    std::optional<size_t> failAtCall;  // 1-based index into log; that call reports an error
    std::vector<std::string> log;      // "Object.Member(args)"; "Create(progId)" first

    std::shared_ptr<AutomationObject> Create(std::string_view progId) override;

    /// Records a call; false (after logging) when this is the call that is to fail.
    bool Record(const std::string& call);
    /// The shared cursor of the items collection.
    long position = -1;
};

/// A registry holding the given default values.
class FakeRegistry : public ClassRegistry {
public:
    std::map<std::string, std::string> values;
    std::optional<std::string> DefaultValue(std::string_view key) const override {
        const auto it = values.find(std::string(key));
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
};

/// The OLE date of a local date and time.
double OleDate(int year, int month, int day, int hour = 0, int minute = 0);

}  // namespace tavolin::test
