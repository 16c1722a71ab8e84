#pragma once
// Operations on Termine.dat. Nothing is cached: each call opens, reads or rewrites and closes
// the file. Lines are raw bytes (Windows-1252 in practice). Rewrites go through a temporary
// file and a rename, so a reader never sees half a file and a failed rewrite leaves the old
// one. Every change (append, replace, remove, tidy-up) holds the file's FileLock, so commands,
// the program and its threads never lose each other's records. Nothing here shows anything to
// the user; callers get a status.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "appointments/TidyUp.h"
#include "platform/Context.h"

namespace tavolin {

enum class StoreStatus {
    Ok,
    Missing,      // the file does not exist
    Unreadable,   // not a regular file, or it cannot be read
    TooLarge,     // larger than kMaxAppointmentFileBytes, or would become so; left alone
    NotFound,     // ReplaceRecord/RemoveRecord: no line equals the given one
    InvalidLine,  // the new line holds a line feed and would split into two records
    WriteFailed,  // the file could not be created or written; the old content is intact
};

/// Short English description, for the command line.
const char* StoreStatusText(StoreStatus status);

/// Files above this size are not read, and no command makes one; a real appointment book is a
/// few kilobytes.
inline constexpr uint64_t kMaxAppointmentFileBytes = uint64_t{256} << 20;

/// The lines of a file's bytes: a line ends at LF, with a CR just before it removed; a line end
/// at the very end adds no line; an empty text has none. Every other byte is text.
std::vector<std::string> SplitRecordLines(std::string_view bytes);

/// The file bytes of lines: CR LF between two lines, none after the last.
std::string JoinRecordLines(const std::vector<std::string>& lines);

class AppointmentStore {
public:
    /// The store of the context's data directory's Termine.dat.
    explicit AppointmentStore(const Context& context);
    /// faults: what the writes meet (tests); none by default.
    explicit AppointmentStore(std::filesystem::path path,
                              std::shared_ptr<WriteFaults> faults = nullptr);
    const std::filesystem::path& Path() const { return m_path; }

    /// The lines in file order; empty for a missing or unreadable file, which is not created.
    std::vector<std::string> ReadRecords(StoreStatus* status = nullptr) const;

    /// Appends line as the last record, creating the file when it is missing. A line end goes
    /// before it when the file holds anything that does not already end with one; none after.
    StoreStatus AppendRecord(std::string_view line) const;

    /// Replaces the first line equal to oldLine (byte for byte); later equal lines stay. A
    /// missing file is not created.
    StoreStatus ReplaceRecord(std::string_view oldLine, std::string_view newLine) const;

    /// Removes the first line equal to line; later equal lines stay. A missing file is not
    /// created; removing the last record leaves an empty file.
    StoreStatus RemoveRecord(std::string_view line) const;

    /// Appends lines (none may hold a line feed) and tidies as TidyUp does, replacing the file
    /// once under its lock: readers and a kill see the old file or the whole result. A missing
    /// file is created.
    StoreStatus AddAndTidy(const std::vector<std::string>& lines, bool deleteExpired,
                           TimePoint now, TidyStats* stats = nullptr) const;

    /// Expiry handling as of 00:00 local time of the day that holds now, sorting, removal of
    /// duplicates and rewrite; see TidyRecords. A missing or unreadable file is left as it is.
    StoreStatus TidyUp(bool deleteExpired, TimePoint now, TidyStats* stats = nullptr) const;

private:
    StoreStatus Load(std::string& bytes) const;
    StoreStatus Rewrite(const std::string& oldBytes, const std::string& bytes) const;

    std::filesystem::path m_path;
    std::shared_ptr<WriteFaults> m_faults;
};

}  // namespace tavolin
