#pragma once
// The reminder due check, shared by the program's reminder timer and `tavolin-cli remind`: which
// dated records of Termine.dat fall due in a given minute, and which minutes a tick checks.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "appointments/Appointment.h"
#include "appointments/AppointmentStore.h"
#include "platform/Clock.h"

namespace tavolin {

/// The local minute that holds t, as the point in time where its local seconds are 0. In the
/// hour the clocks go back this keeps the real instant, so a key of that hour (which names the
/// first of the two) is due once, not in both passes.
TimePoint MinuteStart(TimePoint t);

/// A run of whole minutes, both ends minute starts, first <= last.
struct MinuteRange {
    TimePoint first;
    TimePoint last;
    bool operator==(const MinuteRange&) const = default;
};

/// Finds the records due in a run of minutes in the bytes of Termine.dat, fed in pieces of any
/// size. Memory stays bounded whatever the input: only the first kMaxLineBytes of a line are
/// kept (the key is at its start; a longer remark is cut).
class DueScanner {
public:
    static constexpr size_t kMaxLineBytes = 4096;

    explicit DueScanner(MinuteRange minutes);
    void Feed(std::string_view bytes);
    /// Ends the input. The due appointments, earlier minutes first, each minute in file order.
    std::vector<Appointment> Finish();

private:
    void EndLine();

    MinuteRange m_minutes;
    std::string m_line;
    bool m_lineCut = false;
    bool m_pendingLine = false;  // bytes (or a line end) seen since the last line was taken
    std::vector<Appointment> m_due;
};

/// The appointments of the store's file due in the minutes, read as a stream (a huge file costs
/// time, never memory). Notes and hand-edited lines never fall due. A missing file, a directory
/// or another non-regular file, or one that cannot be read gives none, with the status saying
/// why. Takes no lock: rewrites are atomic, so the reader sees the old file or the new one.
std::vector<Appointment> DueAppointments(const AppointmentStore& store, MinuteRange minutes,
                                         StoreStatus* status = nullptr);

/// Which minutes each reminder tick checks. Ticks should come just after each minute boundary,
/// but timers drift, come late or twice; the last minute checked is remembered so that each
/// minute is checked exactly once. After a gap longer than kMaxCatchUpMinutes (a suspended
/// machine, a clock set forward) only the current minute is checked: reminders of a past minute
/// are never shown late. A clock set back by more than that starts afresh.
class ReminderSchedule {
public:
    static constexpr int kMaxCatchUpMinutes = 3;

    /// Starts with the minute of now counted as checked: the first check is the next minute's.
    void Start(TimePoint now);
    /// Forgets the last minute: the next tick checks its own minute.
    void Reset() { m_last.reset(); }

    /// The minutes a tick at now must check; nullopt when they have all been checked already.
    std::optional<MinuteRange> Tick(TimePoint now);

    /// The minute start after which the next tick is due (the boundary ending the last checked
    /// minute); nullopt before the first tick or Start.
    std::optional<TimePoint> NextMinute() const;

private:
    std::optional<TimePoint> m_last;
};

/// The last minute reminded for one data directory, in "Termine.dat.reminded" beside the
/// appointments file. Every copy of the program on that directory claims its minutes here
/// before it reminds, under the file's lock, so a minute is reminded once however many copies
/// run and whatever the clock does (a clock set back does not repeat the minutes it crosses).
/// A record more than kMaxAheadSeconds after the minutes asked for comes from a clock that was
/// wrong then; it is ignored, so reminders do not stay silent for long.
class ReminderLedger {
public:
    static constexpr TimePoint kMaxAheadSeconds = 24 * 60 * 60;

    explicit ReminderLedger(const std::filesystem::path& appointmentsFile);

    /// The part of minutes no copy has reminded yet, recorded as reminded; nullopt when none
    /// is left. Where the record cannot be kept (a read-only directory) every minute is
    /// given out: a repeated reminder is better than a lost one.
    std::optional<MinuteRange> Claim(MinuteRange minutes) const;

    const std::filesystem::path& Path() const { return m_path; }

    /// The minute a record names: decimal seconds, optionally followed by one line feed;
    /// nullopt for anything else.
    static std::optional<TimePoint> ParseRecord(std::string_view text);

private:
    std::filesystem::path m_path;
};

}  // namespace tavolin
