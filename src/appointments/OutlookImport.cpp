#include "appointments/OutlookImport.h"

#include <cmath>
#include <optional>

#include "appointments/Appointment.h"
#include "appointments/AppointmentTime.h"
#include "appointments/ImportText.h"
#include "util/Atoi.h"
#include "util/CivilDays.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

// The range of dates an OLE date can hold: 01.01.100 to 31.12.9999.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958466.0;
constexpr int64_t kMinutesPerDay = 24 * 60;

// Minutes since 01.01.1970 00:00 on the civil calendar of an OLE date, rounded to the second
// as Windows does before the seconds are dropped; nullopt outside the OLE date range.
std::optional<int64_t> OleDateMinutes(double ole) {
    if (!std::isfinite(ole) || ole < kMinOleDate || ole >= kMaxOleDate) return std::nullopt;
    // The integer part counts days (negative before 30.12.1899); the fraction is the time of
    // day on either side of zero.
    int64_t day = static_cast<int64_t>(std::trunc(ole));
    int64_t seconds = std::llround(std::fabs(ole - std::trunc(ole)) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    const int64_t days = CivilDays(1899, 12, 30) + day;
    return days * kMinutesPerDay + seconds / 60;
}

// Values an import call must give back; anything else is a type mismatch, as a typed call into
// the server would report it.
std::optional<std::string> Expect(const DispatchResult& r, AutomationValue::Type type,
                                  const char* member) {
    if (!r.ok)
        return r.error.empty() ? std::string("Outlook reported an error in ") + member : r.error;
    if (r.value.type != type) return std::string("Type mismatch in ") + member;
    return std::nullopt;
}

// Calls that give an object; "no object" (an empty value) is a valid answer for GetFirst and
// GetNext, so only errors and other types are refused.
class Walker {
public:
    explicit Walker(std::string& error) : m_error(error) {}

    bool Call(AutomationObject& object, int32_t id, DispatchKind kind,
              const std::vector<AutomationValue>& args, const char* member, AutomationValue& out) {
        DispatchResult r = object.Invoke(id, kind, args);
        if (!r.ok) {
            m_error =
                r.error.empty() ? std::string("Outlook reported an error in ") + member : r.error;
            return false;
        }
        out = std::move(r.value);
        return true;
    }

    bool Object(AutomationObject& object, int32_t id, DispatchKind kind,
                const std::vector<AutomationValue>& args, const char* member,
                std::shared_ptr<AutomationObject>& out, bool noneAllowed) {
        AutomationValue v;
        if (!Call(object, id, kind, args, member, v)) return false;
        if (v.IsObject()) {
            out = v.object;
            return true;
        }
        out = nullptr;
        if (noneAllowed &&
            (v.type == AutomationValue::Type::Empty || v.type == AutomationValue::Type::Object)) {
            return true;
        }
        m_error = std::string("Outlook gave no object for ") + member;
        return false;
    }

    bool Typed(AutomationObject& object, int32_t id, AutomationValue::Type type, const char* member,
               AutomationValue& out) {
        DispatchResult r = object.Invoke(id, DispatchKind::PropertyGet, {});
        if (const auto e = Expect(r, type, member)) {
            m_error = *e;
            return false;
        }
        out = std::move(r.value);
        return true;
    }

private:
    std::string& m_error;
};

}  // namespace

bool IsOutlookAvailable(const ClassRegistry& registry) {
    const auto value = registry.DefaultValue("Outlook.Application\\CurVer");
    // The value is read into a buffer of 255 bytes with its terminating zero.
    if (!value || value->empty() || value->size() >= 255) return false;
    return Atoi(value->substr(value->size() - 1)) == 9;
}

std::string ImportedReminderKey(double oleMoment, int64_t leadMinutes) {
    const auto minutes = OleDateMinutes(oleMoment);
    constexpr int64_t kLimit = int64_t{1} << 40;  // far beyond any date, far from overflow
    if (minutes && leadMinutes > -kLimit && leadMinutes < kLimit) {
        const int64_t t = *minutes - leadMinutes;
        const int64_t days =
            t >= 0 ? t / kMinutesPerDay : -((-t + kMinutesPerDay - 1) / kMinutesPerDay);
        const int64_t clock = t - days * kMinutesPerDay;
        int64_t year = 0;
        int month = 0;
        int day = 0;
        CivilFromDays(days, year, month, day);
        if (year >= 100 && year <= 9999) {
            return ImportedKey(day, month, static_cast<int>(year), static_cast<int>(clock / 60),
                               static_cast<int>(clock % 60));
        }
    }
    // A date that cannot be converted has no clock time either; 00:00 keeps the key readable.
    return "Invalid DateTime - " + QuarterTime(0, 0);
}

StoreStatus AddImported(const AppointmentStore& store, std::string_view subject, double oleMoment,
                        int64_t leadMinutes, const std::function<void()>& refreshList) {
    const std::string line = ImportedReminderKey(oleMoment, leadMinutes) +
                             std::string(kRecordSeparator) + ImportedRemark(subject);
    const StoreStatus status = store.AppendRecord(line);
    if (refreshList) refreshList();
    return status;
}

OutlookImportResult ImportFromOutlook(AutomationHost& host, const AppointmentStore& store,
                                      const std::function<void()>& refreshList) {
    using Type = AutomationValue::Type;
    OutlookImportResult result;
    const std::shared_ptr<AutomationObject> application = host.Create("Outlook.Application");
    if (!application) {
        result.status = OutlookImportResult::Status::NotAccessible;
        return result;
    }
    const auto failed = [&result] {
        result.status = OutlookImportResult::Status::CallFailed;
        return result;
    };
    Walker walk(result.error);
    AutomationValue ignored;

    std::shared_ptr<AutomationObject> ns;
    if (!walk.Object(*application, outlook::kGetNamespace, DispatchKind::Method,
                     {AutomationValue::Str("MAPI")}, "GetNamespace", ns, false)) {
        return failed();
    }
    const AutomationValue omitted = AutomationValue::Omitted();
    if (!walk.Call(*ns, outlook::kLogon, DispatchKind::Method, {omitted, omitted, omitted, omitted},
                   "Logon", ignored)) {
        return failed();
    }
    std::shared_ptr<AutomationObject> folder;
    if (!walk.Object(*ns, outlook::kGetDefaultFolder, DispatchKind::Method,
                     {AutomationValue::Int(outlook::kCalendarFolder)}, "GetDefaultFolder", folder,
                     false)) {
        return failed();
    }
    std::shared_ptr<AutomationObject> items;
    if (!walk.Object(*folder, outlook::kItems, DispatchKind::PropertyGet, {}, "Items", items,
                     false)) {
        return failed();
    }
    AutomationValue count;
    if (!walk.Typed(*items, outlook::kCount, Type::Integer, "Count", count)) return failed();

    if (count.integer != 0) {
        std::shared_ptr<AutomationObject> a;
        std::shared_ptr<AutomationObject> b;
        if (!walk.Object(*items, outlook::kGetFirst, DispatchKind::Method, {}, "GetFirst", a,
                         true) ||
            !walk.Object(*items, outlook::kGetFirst, DispatchKind::Method, {}, "GetFirst", b,
                         true)) {
            return failed();
        }
        while (a) {
            AutomationValue itemClass;
            if (!walk.Typed(*a, outlook::kClass, Type::Integer, "Class", itemClass)) {
                return failed();
            }
            AutomationValue subject;
            AutomationValue moment;
            AutomationValue lead = AutomationValue::Int(0);
            bool take = false;
            if (itemClass.integer == outlook::kAppointmentClass) {
                if (!walk.Typed(*a, outlook::kSubject, Type::Text, "Subject", subject) ||
                    !walk.Typed(*a, outlook::kStart, Type::Date, "Start", moment) ||
                    !walk.Typed(*a, outlook::kReminderMinutesBeforeStart, Type::Integer,
                                "ReminderMinutesBeforeStart", lead)) {
                    return failed();
                }
                take = true;
            } else if (itemClass.integer == outlook::kTaskClass) {
                // Tasks are read through the second cursor, which stands on the same item.
                if (!b) {
                    result.error = "Outlook gave no object for GetNext";
                    return failed();
                }
                if (!walk.Typed(*b, outlook::kSubject, Type::Text, "Subject", subject) ||
                    !walk.Typed(*b, outlook::kReminderTime, Type::Date, "ReminderTime", moment)) {
                    return failed();
                }
                take = true;
            }
            if (take) {
                const StoreStatus s =
                    AddImported(store, subject.text, moment.date, lead.integer, refreshList);
                if (s != StoreStatus::Ok) {
                    result.status = OutlookImportResult::Status::WriteFailed;
                    result.error = std::string("cannot write ") + store.Path().string() + ": " +
                                   StoreStatusText(s);
                    return result;
                }
                ++result.imported;
            }
            if (!walk.Object(*items, outlook::kGetNext, DispatchKind::Method, {}, "GetNext", a,
                             true) ||
                !walk.Object(*items, outlook::kGetPrevious, DispatchKind::Method, {}, "GetPrevious",
                             b, true) ||
                !walk.Object(*items, outlook::kGetNext, DispatchKind::Method, {}, "GetNext", b,
                             true)) {
                return failed();
            }
        }
    }
    if (!walk.Call(*ns, outlook::kLogoff, DispatchKind::Method, {}, "Logoff", ignored)) {
        return failed();
    }
    return result;
}

std::string OutlookNotAccessibleText() {
    return W1252("Auf MS Outlook konnte nicht zugegriffen werden.");
}

}  // namespace tavolin
