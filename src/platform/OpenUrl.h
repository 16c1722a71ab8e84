#pragma once
// Opening a link target (a web address, "mailto:", a file) with the desktop's default
// handler, the counterpart of the Windows shell's "open" verb. Results keep the shell's
// numbers so the link control shows the same messages: above 32 is success; 0, 2, 3, 5, 8,
// 11, 26 to 32 are the shell's failures; other small numbers are unknown errors.

#include <memory>
#include <string>
#include <vector>

namespace tavolin {

inline constexpr int kOpenUrlSucceeded = 42;
inline constexpr int kOpenUrlFileNotFound = 2;
inline constexpr int kOpenUrlNoAssociation = 31;

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    /// Opens target; may take a while (the handler may start an application). Safe to call
    /// from any thread.
    virtual int Open(const std::string& target) = 0;
};

/// The opener of this platform (on Linux: xdg-open, never through a shell), started with the
/// given environment ("NAME=value" entries: the user's own, so the handler runs as it would
/// from the desktop).
std::shared_ptr<UrlOpener> MakeSystemUrlOpener(std::vector<std::string> environment);

}  // namespace tavolin
