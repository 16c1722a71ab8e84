#include "FakeOutlook.h"

#include "appointments/ImportText.h"
#include "util/CivilDays.h"

namespace tavolin::test {
namespace {

std::string Describe(const std::vector<AutomationValue>& args) {
    std::string out;
    for (const AutomationValue& a : args) {
        if (!out.empty()) out += ',';
        switch (a.type) {
            case AutomationValue::Type::Omitted:
                out += "omitted";
                break;
            case AutomationValue::Type::Integer:
                out += std::to_string(a.integer);
                break;
            case AutomationValue::Type::Text:
                out += a.text;
                break;
            default:
                out += "?";
        }
    }
    return out;
}

const char* MemberName(int32_t id) {
    switch (id) {
        case 0x110:
            return "GetNamespace";
        case 0x2105:
            return "Logon";
        case 0x2106:
            return "Logoff";
        case 0x210B:
            return "GetDefaultFolder";
        case 0x3100:
            return "Items";
        case 0x50:
            return "Count";
        case 0x56:
            return "GetFirst";
        case 0x57:
            return "GetNext";
        case 0x59:
            return "GetPrevious";
        case 0xF00A:
            return "Class";
        case 0x37:
            return "Subject";
        case 0x820D:
            return "Start";
        case 0x8501:
            return "ReminderMinutesBeforeStart";
        case 0x8502:
            return "ReminderTime";
    }
    return "Unknown";
}

// One object of the fake server; what it answers depends on its role.
class FakeObject : public AutomationObject, public std::enable_shared_from_this<FakeObject> {
public:
    enum class Role { Application, Namespace, Folder, Items, Item };
    FakeObject(FakeOutlook& server, Role role, size_t index = 0)
        : m_server(server), m_role(role), m_index(index) {}

    DispatchResult Invoke(int32_t id, DispatchKind kind,
                          const std::vector<AutomationValue>& args) override {
        const std::string call = Name() + "." + MemberName(id) +
                                 (kind == DispatchKind::Method ? "(" + Describe(args) + ")" : "");
        if (!m_server.Record(call)) return DispatchResult::Failure("Fake failure in " + call);
        return Answer(id);
    }

private:
    std::string Name() const {
        switch (m_role) {
            case Role::Application:
                return "Application";
            case Role::Namespace:
                return "NameSpace";
            case Role::Folder:
                return "Folder";
            case Role::Items:
                return "Items";
            case Role::Item:
                return "Item" + std::to_string(m_index + 1);
        }
        return "?";
    }

    DispatchResult Obj(Role role, size_t index = 0) {
        return DispatchResult::Value(
            AutomationValue::Obj(std::make_shared<FakeObject>(m_server, role, index)));
    }

    // The item at the cursor, or nothing when the cursor stands outside the collection.
    DispatchResult AtCursor() {
        const long n = static_cast<long>(m_server.items.size());
        if (m_server.position < 0 || m_server.position >= n) {
            m_server.position = std::max(-1L, std::min(m_server.position, n));
            return DispatchResult::Value({});
        }
        return Obj(Role::Item, static_cast<size_t>(m_server.position));
    }

    DispatchResult Answer(int32_t id) {
        const FakeItem* item = m_role == Role::Item ? &m_server.items[m_index] : nullptr;
        switch (id) {
            case 0x110:
                return Obj(Role::Namespace);
            case 0x2105:
            case 0x2106:
                return DispatchResult::Value({});
            case 0x210B:
                return Obj(Role::Folder);
            case 0x3100:
                return Obj(Role::Items);
            case 0x50:
                return DispatchResult::Value(
                    AutomationValue::Int(static_cast<int32_t>(m_server.items.size())));
            case 0x56:
                m_server.position = 0;
                return AtCursor();
            case 0x57:
                ++m_server.position;
                return AtCursor();
            case 0x59:
                --m_server.position;
                return AtCursor();
            case 0xF00A:
                return DispatchResult::Value(AutomationValue::Int(item->itemClass));
            case 0x37:
                return DispatchResult::Value(AutomationValue::Str(item->subject));
            case 0x820D:
                return DispatchResult::Value(AutomationValue::OleDate(item->start));
            case 0x8501:
                return DispatchResult::Value(AutomationValue::Int(item->leadMinutes));
            case 0x8502:
                return DispatchResult::Value(AutomationValue::OleDate(item->reminderTime));
        }
        return DispatchResult::Failure("Unknown name");
    }

    FakeOutlook& m_server;
    Role m_role;
    size_t m_index;
};

}  // namespace

std::shared_ptr<AutomationObject> FakeOutlook::Create(std::string_view progId) {
    log.push_back("Create(" + std::string(progId) + ")");
    if (!creatable || progId != "Outlook.Application") return nullptr;
    return std::make_shared<FakeObject>(*this, FakeObject::Role::Application);
}

bool FakeOutlook::Record(const std::string& call) {
    log.push_back(call);
    return !(failAtCall && *failAtCall == log.size());
}

double OleDate(int year, int month, int day, int hour, int minute) {
    // Before 30.12.1899 the day counts down while the time of day still counts up.
    const auto days = static_cast<double>(CivilDays(year, month, day) - CivilDays(1899, 12, 30));
    const double time = (hour * 60 + minute) / 1440.0;
    return days < 0 ? days - time : days + time;
}

}  // namespace tavolin::test
