#include "appointments/TidyUp.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "appointments/Appointment.h"
#include "util/TwoDigits.h"

namespace tavolin {
namespace {

// One kept record, a view into the caller's text. A moved record gets a new key (today's date
// with its own time of day, or without a time when it had none); its remark stays in place.
// No copy of a line is made, so a tidy-up needs little more than the file and its result.
struct Entry {
    std::string_view line;
    size_t keyLength;  // the old key; the remark starts at keyLength + 3
    TimePoint when;    // unused for notes
    size_t index;      // file order, for a stable result from an unstable sort
    int8_t movedHour;  // the time of a moved key, -1 without
    int8_t movedMinute;
    bool note;
    bool moved;
};

class Tidier {
public:
    Tidier(bool deleteExpired, TimePoint todayStart)
        : m_deleteExpired(deleteExpired), m_todayStart(todayStart) {
        if (!deleteExpired) {
            // "DD.MM.YYYY - " of today, the date part of every moved key.
            const std::tm today = LocalFields(todayStart);
            AppendTwoDigits(m_todayPrefix, today.tm_mday);
            m_todayPrefix += '.';
            AppendTwoDigits(m_todayPrefix, today.tm_mon + 1);
            m_todayPrefix += '.';
            m_todayPrefix += std::to_string(int64_t{today.tm_year} + 1900);
            m_todayPrefix += kDateTimeSeparator;
        }
    }

    void Add(std::string_view line) {
        const size_t split = line.find(kRecordSeparator);
        const std::string_view key =
            split == std::string_view::npos ? std::string_view{} : line.substr(0, split);
        const bool isNote = split != std::string_view::npos && key == kNoteKey;
        if (split == std::string_view::npos ||
            (!isNote && key.find(kDateTimeSeparator) == std::string_view::npos)) {
            m_unrecognised.push_back(line);
            return;
        }
        Entry e{line, split, 0, m_entries.size(), -1, -1, isNote, false};
        if (!isNote) {
            const TimePoint t = ParseWhen(key);
            if (t < m_todayStart) {
                if (m_deleteExpired) {
                    ++m_stats.deleted;
                    return;
                }
                // Moved: today's date, the record's own time of day; an unrepresentable time
                // has none.
                if (t != -1) {
                    const std::tm fields = LocalFields(t);
                    e.movedHour = static_cast<int8_t>(fields.tm_hour);
                    e.movedMinute = static_cast<int8_t>(fields.tm_min);
                }
                e.moved = true;
                ++m_stats.moved;
                char buffer[kKeyBufferSize];
                e.when = ParseWhen(Key(e, buffer));
            } else {
                e.when = t;
            }
        }
        m_entries.push_back(e);
    }

    // Sorts and drops duplicates; then Size and Emit give the result.
    void Finish() {
        // Unstable sort with the file order as the last key: the stable order, without the
        // stable sort's buffer of a copy of every entry.
        std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
            if (a.note != b.note) return a.note;
            if (!a.note && a.when != b.when) return a.when < b.when;
            const int c = Remark(a).compare(Remark(b));
            if (c != 0) return c < 0;
            return a.index < b.index;
        });
        // A record equal to the one kept just before it goes.
        size_t kept = 0;
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (kept > 0 && SameLine(m_entries[kept - 1], m_entries[i])) {
                ++m_stats.duplicates;
                continue;
            }
            m_entries[kept++] = m_entries[i];
        }
        m_entries.resize(kept);
        m_stats.unrecognised = m_unrecognised.size();
        m_stats.records = m_entries.size() + m_unrecognised.size();
    }

    // The bytes of the result joined with CR LF, without a line end after the last line.
    size_t JoinedSize() const {
        size_t size = 0;
        char buffer[kKeyBufferSize];
        for (const Entry& e : m_entries) size += Key(e, buffer).size() + Rest(e).size() + 2;
        for (std::string_view line : m_unrecognised) size += line.size() + 2;
        return size == 0 ? 0 : size - 2;
    }

    // Calls emit(key part, rest) for each line of the result in order; their concatenation is
    // the line.
    template <class F>
    void Emit(F&& emit) const {
        char buffer[kKeyBufferSize];
        for (const Entry& e : m_entries) emit(Key(e, buffer), Rest(e));
        for (std::string_view line : m_unrecognised) emit(std::string_view{}, line);
    }

    const TidyStats& Stats() const { return m_stats; }

private:
    static constexpr size_t kKeyBufferSize = 32;

    static std::string_view Remark(const Entry& e) {
        return e.line.substr(e.keyLength + kRecordSeparator.size());
    }

    // The key of the result line: the old one, or the moved one built in buffer.
    std::string_view Key(const Entry& e, char (&buffer)[kKeyBufferSize]) const {
        if (!e.moved) return e.line.substr(0, e.keyLength);
        size_t n = m_todayPrefix.copy(buffer, kKeyBufferSize);
        if (e.movedHour >= 0) {
            char* p = PutTwoDigits(buffer + n, e.movedHour);
            *p++ = ':';
            p = PutTwoDigits(p, e.movedMinute);
            n = static_cast<size_t>(p - buffer);
        }
        return std::string_view(buffer, n);
    }

    // The rest of the result line after its key: " # " and the remark.
    static std::string_view Rest(const Entry& e) { return e.line.substr(e.keyLength); }

    // Equal lines have equal keys and rests, because the key ends at the first " # ".
    bool SameLine(const Entry& a, const Entry& b) const {
        char bufferA[kKeyBufferSize], bufferB[kKeyBufferSize];
        return Rest(a) == Rest(b) && Key(a, bufferA) == Key(b, bufferB);
    }

    bool m_deleteExpired;
    TimePoint m_todayStart;
    std::string m_todayPrefix;
    std::vector<Entry> m_entries;
    std::vector<std::string_view> m_unrecognised;
    TidyStats m_stats;
};

}  // namespace

std::vector<std::string> TidyRecords(std::vector<std::string> lines, bool deleteExpired,
                                     TimePoint todayStart, TidyStats* stats) {
    Tidier tidier(deleteExpired, todayStart);
    for (const std::string& line : lines) tidier.Add(line);
    tidier.Finish();
    std::vector<std::string> result;
    result.reserve(tidier.Stats().records);
    tidier.Emit([&result](std::string_view key, std::string_view rest) {
        std::string line;
        line.reserve(key.size() + rest.size());
        line += key;
        line += rest;
        result.push_back(std::move(line));
    });
    if (stats) *stats = tidier.Stats();
    return result;
}

std::string TidyRecordBytes(std::string_view bytes, bool deleteExpired, TimePoint todayStart,
                            TidyStats* stats) {
    Tidier tidier(deleteExpired, todayStart);
    ForEachRecordLine(bytes, [&tidier](std::string_view line) { tidier.Add(line); });
    tidier.Finish();
    std::string out;
    out.reserve(tidier.JoinedSize());
    bool first = true;
    tidier.Emit([&](std::string_view key, std::string_view rest) {
        if (!first) out += "\r\n";
        first = false;
        out += key;
        out += rest;
    });
    if (stats) *stats = tidier.Stats();
    return out;
}

}  // namespace tavolin
