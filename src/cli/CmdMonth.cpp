// tavolin-cli month: one month sheet on a small canvas, written as a BMP to look at by eye.

#include <cstdio>
#include <string>

#include "cli/CliCommand.h"
#include "render/DateRules.h"
#include "render/WallpaperCanvas.h"
#include "settings/Settings.h"
#include "util/Cp1252.h"

namespace tavolin::cli {
namespace {

int RunMonth(const Context& context, const Args& args);

const CliCommand kMonth{
    "month", "[--sunday] [--today DD.MM.YYYY] YEAR MONTH OUT.bmp",
    "draw one month sheet with its frame in the default colours (debugging aid)", RunMonth};
const Registrar kRegistrar(kMonth);

// The colours of a new config.ini.
constexpr Colour kBackground = PackColour(58, 110, 165);
constexpr Colour kDay = PackColour(255, 255, 255);
constexpr Colour kMonthColour = PackColour(255, 255, 255);
constexpr Colour kHoliday = PackColour(255, 0, 0);
constexpr Colour kCurrentDay = PackColour(255, 215, 0);

// A whole decimal number within [low, high].
bool ParseNumber(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 6) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return false;
    out = value;
    return true;
}

bool ParseDate(const std::string& text, CalendarDate& out) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.') return false;
    CalendarDate d;
    if (!ParseNumber(text.substr(0, 2), 1, 31, d.day) ||
        !ParseNumber(text.substr(3, 2), 1, 12, d.month) ||
        !ParseNumber(text.substr(6, 4), 1, 9999, d.year) || d.day > DaysInMonth(d.month, d.year)) {
        return false;
    }
    out = d;
    return true;
}

int RunMonth(const Context& context, const Args& args) {
    bool sundayFirst = false;
    CalendarDate today = LocalDate(context.Now());
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--sunday") {
            sundayFirst = true;
        } else if (args[i] == "--today") {
            if (i + 1 >= args.size() || !ParseDate(args[i + 1], today)) {
                return UsageError(kMonth, "--today needs a date DD.MM.YYYY");
            }
            ++i;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return UsageError(kMonth, "unknown option '" + args[i] + "'");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3) return UsageError(kMonth, "expected YEAR MONTH OUT.bmp");
    int year = 0, month = 0;
    if (!ParseNumber(positional[0], 1, 9999, year)) {
        return UsageError(kMonth, "YEAR must be 1 to 9999");
    }
    if (!ParseNumber(positional[1], 1, 12, month)) {
        return UsageError(kMonth, "MONTH must be 1 to 12");
    }

    // The sheet with its frame and a 20-pixel margin, as at the wallpaper's top-right corner.
    WallpaperCanvas canvas;
    canvas.Create(WallpaperCanvas::kFrameWidth + 40, WallpaperCanvas::kFrameHeight + 40, 24,
                  nullptr, 1);
    canvas.FillRect(0, 0, canvas.Width(), canvas.Height(), kBackground);
    canvas.DrawFrame(20, 20, kDay);
    canvas.DrawMonthSheet(month, year, 20, 20, kDay, kMonthColour, kHoliday, kCurrentDay,
                          sundayFirst, today);
    const std::string& out = positional[2];
    if (canvas.Save(out) != kCanvasOk) return Failure("cannot write " + out);
    std::printf("wrote %s: %s %d, weeks starting on %s\n", out.c_str(),
                Cp1252ToUtf8(MonthName(month)).c_str(), year, sundayFirst ? "Sunday" : "Monday");
    return kExitOk;
}

}  // namespace
}  // namespace tavolin::cli
