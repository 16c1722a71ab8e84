#pragma once

#include <cstdint>
#include <string_view>

namespace tavolin {

/// The C library's atoi rules: leading white space, an optional sign, then decimal digits up
/// to the first other character; no digits gives 0. Unlike atoi, values beyond the int range
/// saturate instead of being undefined.
int Atoi(std::string_view text);

}  // namespace tavolin
