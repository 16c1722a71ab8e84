// Arbitrary bytes as pcmanfm-qt's settings file: the reader may not crash, a value is never
// longer than the text it came from, and every UTF-8 path Qt 5 writes reads back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../tests/platform/Qt5IniEscape.h"
#include "platform/linux/PcmanfmQtSettings.h"
#include "platform/linux/WallpaperText.h"

using namespace tavolin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"Wallpaper", "WallpaperMode"}) {
        const auto value = PcmanfmQtDesktopValue(text, key);
        if (value && value->size() > size) std::abort();
        if (value && text.find("[Desktop]") == std::string_view::npos) std::abort();
    }

    if (IsValidUtf8(text) && (text.empty() || text.front() != '@')) {
        const std::string file = "[Desktop]\nWallpaper=" + test::Qt5IniEscape(text) + "\n";
        if (PcmanfmQtDesktopValue(file, "Wallpaper") != text) std::abort();
    }
    return 0;
}
