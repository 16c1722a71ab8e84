#include "appointments/AppointmentStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/Clock.h"
#include "util/FileIO.h"
#include "util/FileLock.h"

namespace tavolin {
namespace {

// Whether the regular file at path ends with a line feed. False when it cannot be read (for
// example a file with write permission only): a line end too many is harmless, one too few
// would glue two records together.
bool EndsWithLineFeed(const std::filesystem::path& path, off_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    char last = 0;
    const bool lf = ::pread(fd, &last, 1, size - 1) == 1 && last == '\n';
    ::close(fd);
    return lf;
}

}  // namespace

const char* StoreStatusText(StoreStatus status) {
    switch (status) {
        case StoreStatus::Ok:
            return "done";
        case StoreStatus::Missing:
            return "the file does not exist";
        case StoreStatus::Unreadable:
            return "the file cannot be read";
        case StoreStatus::TooLarge:
            return "the file is too large";
        case StoreStatus::NotFound:
            return "no such record";
        case StoreStatus::InvalidLine:
            return "a record cannot contain a line break";
        case StoreStatus::WriteFailed:
            return "the file cannot be written";
    }
    return "unknown error";
}

std::vector<std::string> SplitRecordLines(std::string_view bytes) {
    std::vector<std::string> lines;
    ForEachRecordLine(bytes, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

namespace {

// Lines (strings or views) joined with CR LF between them, none after the last.
template <typename Line>
std::string JoinLines(const std::vector<Line>& lines) {
    size_t size = 0;
    for (const Line& line : lines) size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += lines[i];
    }
    return out;
}

}  // namespace

std::string JoinRecordLines(const std::vector<std::string>& lines) {
    return JoinLines(lines);
}

AppointmentStore::AppointmentStore(const Context& context)
    : m_path(context.DataFile("Termine.dat")), m_faults(context.writeFaults) {}

AppointmentStore::AppointmentStore(std::filesystem::path path, std::shared_ptr<WriteFaults> faults)
    : m_path(std::move(path)), m_faults(std::move(faults)) {}

StoreStatus AppointmentStore::Load(std::string& bytes) const {
    // Only regular files, opened without blocking: a FIFO or a device could block or never end.
    switch (ReadWholeFile(m_path, bytes, kMaxAppointmentFileBytes)) {
        case ReadStatus::Ok:
            return StoreStatus::Ok;
        case ReadStatus::Missing:
            return StoreStatus::Missing;
        case ReadStatus::Unreadable:
        case ReadStatus::NotRegular:
            return StoreStatus::Unreadable;
        case ReadStatus::TooLarge:
            return StoreStatus::TooLarge;
    }
    return StoreStatus::Unreadable;
}

StoreStatus AppointmentStore::Rewrite(const std::string& oldBytes, const std::string& bytes) const {
    // Same bytes: leave the file alone (no needless temporary file, no needless sync).
    if (bytes == oldBytes) return StoreStatus::Ok;
    // What one command refuses to read, no command writes.
    if (bytes.size() > kMaxAppointmentFileBytes) return StoreStatus::TooLarge;
    return AtomicWriteFile(m_path, bytes, Durability::Sync, m_faults.get()) ? StoreStatus::Ok : StoreStatus::WriteFailed;
}

std::vector<std::string> AppointmentStore::ReadRecords(StoreStatus* status) const {
    std::string bytes;
    const StoreStatus s = Load(bytes);
    if (status) *status = s;
    if (s != StoreStatus::Ok) return {};
    return SplitRecordLines(bytes);
}

StoreStatus AppointmentStore::AppendRecord(std::string_view line) const {
    if (line.find('\n') != std::string_view::npos) return StoreStatus::InvalidLine;
    // Under the lock the length below is the real end: no other append or rewrite can come
    // between, so two appends never glue their records together and a tidy-up never renames an
    // older copy over a new record.
    const FileLock lock(m_path);
    // Never truncates: an existing file that cannot be read is appended to, not replaced.
    // O_NONBLOCK keeps a FIFO in the way from blocking; it is refused below.
    const UniqueFd fd(::open(
        m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
    if (!fd.IsValid()) return StoreStatus::WriteFailed;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return StoreStatus::WriteFailed;
    std::string data;
    data.reserve(line.size() + 2);
    // A hand-edited file may already end with a line end; a second one would add an empty line.
    if (st.st_size > 0 && !EndsWithLineFeed(m_path, st.st_size)) data += "\r\n";
    data += line;
    // The same limit as every reader's: a file that tidy-up and list would refuse is not made.
    if (static_cast<uint64_t>(st.st_size) + data.size() > kMaxAppointmentFileBytes) {
        return StoreStatus::TooLarge;
    }
    // A full disk leaves no part of the record behind.
    if (!AppendAllOrNothing(fd.Get(), st.st_size, data, m_faults.get())) {
        return StoreStatus::WriteFailed;
    }
    return StoreStatus::Ok;
}

namespace {

// The lines of bytes as views into it.
std::vector<std::string_view> LineViews(std::string_view bytes) {
    std::vector<std::string_view> lines;
    ForEachRecordLine(bytes, [&lines](std::string_view line) { lines.push_back(line); });
    return lines;
}

}  // namespace

StoreStatus AppointmentStore::ReplaceRecord(std::string_view oldLine,
                                            std::string_view newLine) const {
    if (newLine.find('\n') != std::string_view::npos) return StoreStatus::InvalidLine;
    const FileLock lock(m_path);
    std::string bytes;
    if (const StoreStatus s = Load(bytes); s != StoreStatus::Ok) return s;
    std::vector<std::string_view> lines = LineViews(bytes);
    const auto it = std::find(lines.begin(), lines.end(), oldLine);
    if (it == lines.end()) return StoreStatus::NotFound;
    *it = newLine;
    return Rewrite(bytes, JoinLines(lines));
}

StoreStatus AppointmentStore::RemoveRecord(std::string_view line) const {
    const FileLock lock(m_path);
    std::string bytes;
    if (const StoreStatus s = Load(bytes); s != StoreStatus::Ok) return s;
    std::vector<std::string_view> lines = LineViews(bytes);
    const auto it = std::find(lines.begin(), lines.end(), line);
    if (it == lines.end()) return StoreStatus::NotFound;
    lines.erase(it);
    return Rewrite(bytes, JoinLines(lines));
}

StoreStatus AppointmentStore::TidyUp(bool deleteExpired, TimePoint now, TidyStats* stats) const {
    if (stats) *stats = TidyStats{};
    const TimePoint todayStart = StartOfLocalDay(now);
    const FileLock lock(m_path);
    std::string bytes;
    if (const StoreStatus s = Load(bytes); s != StoreStatus::Ok) return s;
    const std::string tidied = TidyRecordBytes(bytes, deleteExpired, todayStart, stats);
    return Rewrite(bytes, tidied);
}

StoreStatus AppointmentStore::AddAndTidy(const std::vector<std::string>& lines, bool deleteExpired,
                                         TimePoint now, TidyStats* stats) const {
    if (stats) *stats = TidyStats{};
    for (const std::string& line : lines) {
        if (line.find('\n') != std::string::npos) return StoreStatus::InvalidLine;
    }
    const TimePoint todayStart = StartOfLocalDay(now);
    const FileLock lock(m_path);
    std::string bytes;
    const StoreStatus s = Load(bytes);
    if (s != StoreStatus::Ok && s != StoreStatus::Missing) return s;
    std::string joined = bytes;
    if (!joined.empty() && !lines.empty() && joined.back() != '\n') joined += "\r\n";
    joined += JoinLines(lines);
    const std::string tidied = TidyRecordBytes(joined, deleteExpired, todayStart, stats);
    if (s == StoreStatus::Missing) {
        if (tidied.size() > kMaxAppointmentFileBytes) return StoreStatus::TooLarge;
        return AtomicWriteFile(m_path, tidied, Durability::Sync, m_faults.get()) ? StoreStatus::Ok : StoreStatus::WriteFailed;
    }
    return Rewrite(bytes, tidied);
}

}  // namespace tavolin
