#pragma once
// The tidy-up pass over the lines of Termine.dat, apart from the file so that it can be
// tested, fuzzed and measured on its own. AppointmentStore::TidyUp reads and rewrites.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace tavolin {

struct TidyStats {
    size_t records = 0;       // lines in the result
    size_t deleted = 0;       // expired appointments dropped
    size_t moved = 0;         // expired appointments moved to today
    size_t duplicates = 0;    // exact duplicates dropped
    size_t unrecognised = 0;  // hand-edited lines kept unchanged at the end
};

/// The tidied lines as of todayStart (today 00:00 local time):
/// - appointments before todayStart are dropped (deleteExpired) or get today's date with their
///   own time of day; notes never change;
/// - notes first, by remark; then appointments by time, equal times by remark; remarks compare
///   as unsigned bytes; the order is stable, so ties keep their file order;
/// - a record equal to the one kept just before it is dropped;
/// - lines without " # " and dated keys without " - " (hand edits) follow, byte for byte and in
///   their original order; they are never dropped or moved.
/// No limit on the number of lines.
std::vector<std::string> TidyRecords(std::vector<std::string> lines, bool deleteExpired,
                                     TimePoint todayStart, TidyStats* stats = nullptr);

/// The same over the bytes of a whole file, giving the bytes to write back (CR LF between lines,
/// none after the last): JoinRecordLines(TidyRecords(SplitRecordLines(bytes), ...)) without a
/// copy of each line, so that a tidy-up of a large file needs little more than the file and its
/// result.
std::string TidyRecordBytes(std::string_view bytes, bool deleteExpired, TimePoint todayStart,
                            TidyStats* stats = nullptr);

/// Calls f(line) for each line of a file's bytes: a line ends at LF, with a CR just before it
/// removed; a line end at the very end adds no line; an empty text has none. Every other byte
/// is text.
template <class F>
void ForEachRecordLine(std::string_view bytes, F&& f) {
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos) {
            f(bytes.substr(start));
            return;
        }
        size_t end = lf;
        if (end > start && bytes[end - 1] == '\r') --end;
        f(bytes.substr(start, end - start));
        start = lf + 1;
    }
}

}  // namespace tavolin
