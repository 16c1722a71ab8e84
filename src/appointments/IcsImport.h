#pragma once
// Importing iCalendar (.ics) files, the format every calendar program exports. Each event gives
// one record at its first reminder (or its start), each task at its reminder (or its due
// time); repeating events are expanded for the next twelve months. Times are turned from their
// time zone into local time and moved to a quarter hour, like every imported time.

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "appointments/AppointmentStore.h"
#include "platform/Clock.h"

namespace tavolin {

/// Why an entry of a file gave no record.
enum class IcsSkipReason {
    Past,             // its reminder lies before today
    Cancelled,        // STATUS:CANCELLED
    Completed,        // a finished task
    NoDate,           // no start, due or alarm time that can be read
    NoSummary,        // no SUMMARY, or an empty one
    UnknownTimeZone,  // a TZID neither the file nor the system knows
    UnsupportedRule,  // repeats more often than daily, or an unreadable RRULE
    ExpansionLimit,   // too many repetitions to look through
    TooManyEntries,   // beyond kMaxIcsRecordsPerFile
    DamagedRule,      // an RRULE that cannot be read: the entry came in once, at its start
    Superseded,       // an older copy of an entry (same UID) that the file holds again
};
inline constexpr size_t kIcsSkipReasonCount = 11;

/// Files above this size are refused; a calendar of ten thousand events is a few megabytes.
inline constexpr size_t kMaxIcsFileBytes = size_t{16} << 20;
/// At most this many records come from one file.
inline constexpr size_t kMaxIcsRecordsPerFile = 5000;
/// Repetitions of one event looked through, and of all events of a file together.
inline constexpr size_t kMaxIcsStepsPerEvent = 50000;
inline constexpr size_t kMaxIcsStepsPerFile = 1000000;

/// Wall-clock time one file may spend expanding repetitions and the rules of its time zones.
/// libical can spend a second inside a single step of a rule that never matches (the 30th of
/// February), so counting steps alone does not bound the time; events left when it runs out
/// are skipped whole.
inline constexpr double kDefaultIcsExpansionSeconds = 5.0;

enum class IcsFileStatus {
    Ok,
    Unreadable,    // the file cannot be read
    TooLarge,      // above kMaxIcsFileBytes
    Empty,         // nothing but blanks
    NotICalendar,  // does not start with BEGIN:VCALENDAR, holds binary data or nests too deep
    Truncated,     // a calendar without its END:VCALENDAR
    WriteFailed,   // Termine.dat could not be written; it is unchanged
};

struct IcsImportResult {
    IcsFileStatus status = IcsFileStatus::Ok;
    std::vector<std::string> records;  // Windows-1252 lines, in file order (ParseIcs)
    size_t imported = 0;               // records found (ParseIcs) or written (ImportIcsFile)
    size_t replaced = 0;               // records whose remark had characters replaced by "?"
    size_t ignoredLines = 0;           // lines outside every calendar, after the first one
    std::array<size_t, kIcsSkipReasonCount> skipped{};

    size_t SkippedTotal() const;
};

/// The records of an iCalendar text as of now (local time decides "today" and the twelve
/// months). Nothing is written.
IcsImportResult ParseIcs(std::string_view text, TimePoint now,
                         double expansionSeconds = kDefaultIcsExpansionSeconds);

/// Reads file and adds its records to store together with one tidy-up (deleteExpired as
/// AppointmentStore::TidyUp takes it), replacing the file once: a kill or a failure leaves the
/// old file or the whole import, never a part. A refused file leaves store untouched. Touches
/// nothing but the two files, so it may run on any thread.
IcsImportResult ImportIcsFile(const std::filesystem::path& file, const AppointmentStore& store,
                              TimePoint now, bool deleteExpired);

/// A few lines of plain English telling what one file gave: how many entries were imported,
/// how many were skipped and why, how many had characters replaced. name is shown as given.
std::string IcsSummaryText(const std::string& name, const IcsImportResult& result);

}  // namespace tavolin
