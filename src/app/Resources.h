#pragma once

namespace tavolin {

/// Registers the program's pictures (:/art/...); a static library's resources are not
/// registered by themselves. Safe to call more than once.
void EnsureResources();

}  // namespace tavolin
