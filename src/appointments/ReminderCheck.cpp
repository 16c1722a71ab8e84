#include "appointments/ReminderCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tavolin {

namespace {

// The second instant of first's clock time when the clocks go back over it. A key cannot say
// which of the two it means and ParseWhen gives the first; an entry imported for the second
// (an event at 02:30 after the clocks went back) would otherwise be reminded an hour early.
std::optional<TimePoint> RepeatedInstant(TimePoint first) {
    const std::tm a = LocalFields(first);
    const std::tm later = LocalFields(first + 86400);
    if (later.tm_gmtoff >= a.tm_gmtoff) return std::nullopt;
    const TimePoint candidate = first + (a.tm_gmtoff - later.tm_gmtoff);
    const std::tm b = LocalFields(candidate);
    if (b.tm_mday != a.tm_mday || b.tm_hour != a.tm_hour || b.tm_min != a.tm_min) {
        return std::nullopt;
    }
    return candidate;
}

}  // namespace

TimePoint MinuteStart(TimePoint t) {
    const std::tm fields = LocalFields(t);
    return t - fields.tm_sec;
}

DueScanner::DueScanner(MinuteRange minutes) : m_minutes(minutes) {}

void DueScanner::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        m_pendingLine = true;
        const size_t lf = bytes.find('\n');
        const std::string_view part = bytes.substr(0, lf);
        if (!m_lineCut) {
            const size_t room = kMaxLineBytes - m_line.size();
            m_line.append(part.substr(0, room));
            m_lineCut = part.size() > room;
        }
        if (lf == std::string_view::npos) return;
        // A CR right before the LF belongs to the line end; it was kept only if the line fit.
        if (!m_lineCut && !m_line.empty() && m_line.back() == '\r') m_line.pop_back();
        EndLine();
        bytes.remove_prefix(lf + 1);
    }
}

void DueScanner::EndLine() {
    const auto record = SplitRecord(m_line);
    if (record && record->IsDated()) {
        const TimePoint when = record->When();
        if (when != -1 && when >= m_minutes.first && when <= m_minutes.last) {
            m_due.push_back(*record);
        } else if (when != -1 && when < m_minutes.first && m_minutes.first - when <= 86400) {
            const auto second = RepeatedInstant(when);
            if (second && *second >= m_minutes.first && *second <= m_minutes.last) {
                m_due.push_back(*record);
            }
        }
    }
    m_line.clear();
    m_lineCut = false;
    m_pendingLine = false;
}

std::vector<Appointment> DueScanner::Finish() {
    // A last line without a line end is a line; a line end at the very end adds none.
    if (m_pendingLine) EndLine();
    std::stable_sort(m_due.begin(), m_due.end(), [](const Appointment& a, const Appointment& b) {
        return a.When() < b.When();
    });
    return std::move(m_due);
}

std::vector<Appointment> DueAppointments(const AppointmentStore& store, MinuteRange minutes,
                                         StoreStatus* status) {
    const auto report = [status](StoreStatus s) {
        if (status) *status = s;
    };
    // O_NONBLOCK: a FIFO put in the file's place must not hang the reminder thread.
    const int fd = ::open(store.Path().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        report(errno == ENOENT || errno == ENOTDIR ? StoreStatus::Missing
                                                   : StoreStatus::Unreadable);
        return {};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        report(StoreStatus::Unreadable);
        return {};
    }
    DueScanner scanner(minutes);
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            report(StoreStatus::Unreadable);
            return {};
        }
        if (n == 0) break;
        scanner.Feed(std::string_view(buffer, static_cast<size_t>(n)));
    }
    ::close(fd);
    report(StoreStatus::Ok);
    return scanner.Finish();
}

void ReminderSchedule::Start(TimePoint now) {
    m_last = MinuteStart(now);
}

std::optional<MinuteRange> ReminderSchedule::Tick(TimePoint now) {
    constexpr TimePoint kCatchUp = TimePoint{kMaxCatchUpMinutes} * 60;
    const TimePoint minute = MinuteStart(now);
    if (!m_last || minute - *m_last > kCatchUp || *m_last - minute > kCatchUp) {
        m_last = minute;
        return MinuteRange{minute, minute};
    }
    if (minute <= *m_last) return std::nullopt;  // a second tick in a minute already checked
    const MinuteRange range{*m_last + 60, minute};
    m_last = minute;
    return range;
}

std::optional<TimePoint> ReminderSchedule::NextMinute() const {
    if (!m_last) return std::nullopt;
    return *m_last + 60;
}

}  // namespace tavolin
