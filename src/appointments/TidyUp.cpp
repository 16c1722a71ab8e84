#include "appointments/TidyUp.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "appointments/Appointment.h"

namespace tavolin {
namespace {

struct SortEntry {
    TimePoint when;  // unused for notes
    std::string_view remark;
    size_t line;  // index into the kept lines
    bool note;
};

// A note before a dated appointment; notes by remark; appointments by time, then by remark.
// string_view compares through char_traits<char>, which compares bytes as unsigned char.
bool Before(const SortEntry& a, const SortEntry& b) {
    if (a.note != b.note) return a.note;
    if (!a.note && a.when != b.when) return a.when < b.when;
    return a.remark < b.remark;
}

void AppendTwoDigits(std::string& out, int value) {
    if (value < 10) out += '0';
    out += std::to_string(value);
}

}  // namespace

std::vector<std::string> TidyRecords(std::vector<std::string> lines, bool deleteExpired,
                                     TimePoint todayStart, TidyStats* stats) {
    TidyStats counts;
    std::vector<std::string> kept;
    std::vector<TimePoint> when;
    std::vector<size_t> keyLength;
    std::vector<bool> note;
    std::vector<std::string> unrecognised;
    kept.reserve(lines.size());
    when.reserve(lines.size());
    keyLength.reserve(lines.size());

    // "DD.MM.YYYY - " of today, the date part of every moved key.
    std::string todayPrefix;
    if (!deleteExpired) {
        const std::tm today = LocalFields(todayStart);
        AppendTwoDigits(todayPrefix, today.tm_mday);
        todayPrefix += '.';
        AppendTwoDigits(todayPrefix, today.tm_mon + 1);
        todayPrefix += '.';
        todayPrefix += std::to_string(int64_t{today.tm_year} + 1900);
        todayPrefix += kDateTimeSeparator;
    }

    for (std::string& line : lines) {
        const size_t split = line.find(kRecordSeparator);
        const std::string_view key = split == std::string::npos
                                         ? std::string_view{}
                                         : std::string_view(line).substr(0, split);
        const bool isNote = split != std::string::npos && key == kNoteKey;
        if (split == std::string::npos ||
            (!isNote && key.find(kDateTimeSeparator) == std::string_view::npos)) {
            unrecognised.push_back(std::move(line));
            continue;
        }
        if (isNote) {
            kept.push_back(std::move(line));
            when.push_back(0);
            keyLength.push_back(split);
            note.push_back(true);
            continue;
        }
        const TimePoint t = ParseWhen(key);
        if (t >= todayStart) {
            kept.push_back(std::move(line));
            when.push_back(t);
            keyLength.push_back(split);
            note.push_back(false);
            continue;
        }
        if (deleteExpired) {
            ++counts.deleted;
            continue;
        }
        // Moved: today's date, the record's own time of day; an unrepresentable time has none.
        std::string moved = todayPrefix;
        if (t != -1) {
            const std::tm fields = LocalFields(t);
            AppendTwoDigits(moved, fields.tm_hour);
            moved += ':';
            AppendTwoDigits(moved, fields.tm_min);
        }
        const size_t movedKeyLength = moved.size();
        moved.append(line, split, std::string::npos);
        ++counts.moved;
        kept.push_back(std::move(moved));
        when.push_back(ParseWhen(std::string_view(kept.back()).substr(0, movedKeyLength)));
        keyLength.push_back(movedKeyLength);
        note.push_back(false);
    }

    // kept no longer grows, so views into its strings stay valid.
    std::vector<SortEntry> order;
    order.reserve(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        const std::string_view remark =
            std::string_view(kept[i]).substr(keyLength[i] + kRecordSeparator.size());
        order.push_back(SortEntry{when[i], remark, i, note[i]});
    }
    // Stable, so the result equals that of repeated neighbour swaps of out-of-order pairs.
    std::stable_sort(order.begin(), order.end(), Before);

    std::vector<std::string> result;
    result.reserve(order.size() + unrecognised.size());
    for (const SortEntry& e : order) {
        // Equal lines have equal keys and remarks, because the key ends at the first " # ".
        if (!result.empty() && result.back() == kept[e.line]) {
            ++counts.duplicates;
            continue;
        }
        result.push_back(std::move(kept[e.line]));
    }
    counts.unrecognised = unrecognised.size();
    for (std::string& line : unrecognised) result.push_back(std::move(line));
    counts.records = result.size();
    if (stats) *stats = counts;
    return result;
}

}  // namespace tavolin
