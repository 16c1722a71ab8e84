#pragma once
// The tidy-up pass over the lines of Termine.dat, apart from the file so that it can be
// tested, fuzzed and measured on its own. AppointmentStore::TidyUp reads and rewrites.

#include <cstddef>
#include <string>
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

}  // namespace tavolin
