#pragma once
// Remarks taken over from other programs: one line of Windows-1252 text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace tavolin {

/// The remark of an imported item: every line break (CR LF, CR or LF) and tab becomes one
/// blank, so the item stays one record, and a control character, a character Windows-1252
/// lacks or a byte that is no valid UTF-8 becomes "?". replaced (when given) is set to whether anything was replaced by "?".
std::string ImportedRemark(std::string_view utf8, bool* replaced = nullptr);

/// The key of an imported reminder: the date as DD.MM.YYYY, " - ", and QuarterTime of the
/// clock time. Like every imported time, 23:53 and later become 00:00 of the same date.
std::string ImportedKey(int day, int month, int year, int hour, int minute);

}  // namespace tavolin
