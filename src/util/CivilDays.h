#pragma once
// Day numbers of the proleptic Gregorian calendar, exact for every year: the one conversion
// the date rules and the importers share.

#include <cstdint>

namespace tavolin {

/// Days from 01.01.1970 to a date of the proleptic Gregorian calendar, and back.
int64_t CivilDays(int64_t year, int64_t month, int64_t day);
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day);

}  // namespace tavolin
