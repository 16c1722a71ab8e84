// Arbitrary bytes as the output of the display and desktop tools (xrandr, xdpyinfo,
// wlr-randr, swaymsg, gsettings, xfconf-query, dbus-send, gdbus, xprop) and as a path to be quoted:
// no reader may crash or yield a size out of range, and every quoted form must stay within its
// alphabet.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/linux/DrawingClient.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/ScreenParsers.h"
#include "platform/linux/WallpaperText.h"

using namespace tavolin;

namespace {

void CheckSize(const std::optional<ScreenSize>& s) {
    if (s && (s->width < 1 || s->height < 1 || s->width > kMaxScreenSide ||
              s->height > kMaxScreenSide)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckSize(ParseXrandr(text));
    CheckSize(ParseXdpyinfo(text));
    CheckSize(ParseWlrRandr(text));
    CheckSize(ParseSwayOutputs(text));
    CheckSize(ParseModeText(text));
    for (const auto& [name, value] : ParseXfconfList(text)) {
        if (name.empty() || name.front() != '/' || name.find('\n') != std::string::npos)
            std::abort();
    }

    for (const auto& name : ParseBusNames(text)) {
        if (name.empty() || name.size() > 255 ||
            name.find_first_of(" '\"\n/") != std::string::npos) {
            std::abort();
        }
    }
    for (const char* property : {"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST"}) {
        const WindowList list = ParseXpropWindowList(text, property);
        if (list.ids.size() > WindowList::kMaxWindows || (!list.found && !list.ids.empty()))
            std::abort();
        for (const auto& id : list.ids) {
            if (id.size() < 3 || id.size() > 10 || id.compare(0, 2, "0x") != 0) std::abort();
        }
    }
    const WindowFacts window = ParseXpropWindow(text);
    if (window.classes.size() > 2) std::abort();
    DesktopOfWindowClass(window.classes);

    // What gsettings prints, read and written again, must read back the same.
    if (const auto value = ParseGVariantString(text)) {
        if (const auto literal = GVariantStringLiteral(*value)) {
            if (ParseGVariantString(*literal) != *value) std::abort();
        }
    }

    const std::string path = "/" + std::string(text);
    for (unsigned char c : FileUri(path)) {
        if (c >= 0x80 || c <= 0x20 || c == '\'' || c == '"' || c == '\\') std::abort();
    }
    const std::string js = JsStringLiteral(text);
    if (js.size() < 2 || js.front() != '"' || js.back() != '"') std::abort();
    for (size_t i = 1; i + 1 < js.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(js[i]);
        if (c < 0x20 || c >= 0x7F) std::abort();
        // A quote inside must be escaped by an odd run of backslashes.
        if (c == '"') {
            size_t run = 0;
            while (run < i - 1 && js[i - 1 - run] == '\\') ++run;
            if (run % 2 == 0) std::abort();
        }
    }
    if (const auto sway = SwayPathArgument(path)) {
        if (sway->find_first_of("'\\$`;,\n*?[~&|<>(){}#\t", 0) != std::string::npos) std::abort();
        if (sway->substr(1, sway->size() - 2).find('"') != std::string::npos) std::abort();
    }
    return 0;
}
