#pragma once
// Taking appointments and tasks over from Microsoft Outlook through its automation interface.
// Every item of the default calendar folder becomes one dated record at the moment of its
// reminder; the list is refreshed (and so the file tidied) after each one.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "appointments/AppointmentStore.h"
#include "platform/Automation.h"

namespace tavolin {

/// Outlook's dispatch ids of the members the import uses.
namespace outlook {
inline constexpr int32_t kGetNamespace = 0x110;
inline constexpr int32_t kLogon = 0x2105;
inline constexpr int32_t kLogoff = 0x2106;
inline constexpr int32_t kGetDefaultFolder = 0x210B;
inline constexpr int32_t kItems = 0x3100;
inline constexpr int32_t kCount = 0x50;
inline constexpr int32_t kGetFirst = 0x56;
inline constexpr int32_t kGetNext = 0x57;
inline constexpr int32_t kGetPrevious = 0x59;
inline constexpr int32_t kClass = 0xF00A;
inline constexpr int32_t kSubject = 0x37;
inline constexpr int32_t kStart = 0x820D;
inline constexpr int32_t kReminderMinutesBeforeStart = 0x8501;
inline constexpr int32_t kReminderTime = 0x8502;

inline constexpr int32_t kCalendarFolder = 14;
inline constexpr int32_t kAppointmentClass = 26;
inline constexpr int32_t kTaskClass = 48;
}  // namespace outlook

/// Whether a usable Outlook is registered: the class "Outlook.Application" names its current
/// version in CurVer, and the last character of that name is 9 ("Outlook.Application.9").
bool IsOutlookAvailable(const ClassRegistry& registry);

/// The key of a reminder lead minutes before the OLE date moment, by calendar arithmetic on the
/// date and clock time (no time zone is involved: OLE dates are local). The date part is
/// "Invalid DateTime" when the moment is no date between the years 100 and 9999.
std::string ImportedReminderKey(double oleMoment, int64_t leadMinutes);

/// Appends the record of one item (subject in UTF-8) and then calls refreshList.
StoreStatus AddImported(const AppointmentStore& store, std::string_view subject, double oleMoment,
                        int64_t leadMinutes, const std::function<void()>& refreshList);

struct OutlookImportResult {
    enum class Status {
        Done,           // every item was taken (or the folder was empty)
        NotAccessible,  // "Outlook.Application" could not be created
        CallFailed,     // Outlook reported an error; records appended so far stay
        WriteFailed,    // Termine.dat could not be written; records appended so far stay
    };
    Status status = Status::Done;
    size_t imported = 0;
    std::string error;  // what failed, UTF-8, for CallFailed and WriteFailed
};

/// The import: logs on to Outlook's MAPI namespace, walks the default calendar folder and
/// appends one record per appointment (class 26) or task (class 48), calling refreshList after
/// each; logs off at the end. An error in any call ends the import at that call.
OutlookImportResult ImportFromOutlook(AutomationHost& host, const AppointmentStore& store,
                                      const std::function<void()>& refreshList);

/// "Auf MS Outlook konnte nicht zugegriffen werden." (caption "Fehler"), Windows-1252.
std::string OutlookNotAccessibleText();

}  // namespace tavolin
