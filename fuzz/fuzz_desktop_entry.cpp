// Arbitrary bytes as an autostart entry: reading must never crash, and what is read must be
// written back so that it reads the same again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/DesktopEntry.h"
#include "platform/linux/XdgShellShortcut.h"

using namespace tavolin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto info = XdgShellShortcut::ParseEntry(text);
    if (!info) return 0;
    // Arguments are blank-separated words, so only their normalised form round-trips.
    const auto again = XdgShellShortcut::ParseEntry(XdgShellShortcut::EntryText(*info));
    if (!again || again->targetPath != info->targetPath ||
        again->workingDirectory != info->workingDirectory ||
        again->description != info->description || again->iconPath != info->iconPath ||
        again->environment != info->environment) {
        std::abort();
    }
    return 0;
}
