#include "render/AppointmentBlock.h"

#include <cstdint>

#include <cstdio>
#include <string_view>
#include <tuple>

#include "appointments/Appointment.h"
#include "appointments/AppointmentStore.h"
#include "render/DateRules.h"
#include "render/PixelFont.h"
#include "render/WallpaperCanvas.h"
#include "util/Atoi.h"

namespace tavolin {
namespace {

// Day, month and year of "DD.MM.YYYY" by atoi rules; nullopt when it is no real calendar day.
std::optional<CalendarDate> ParseBlockDate(std::string_view date) {
    const size_t dot1 = date.find('.');
    if (dot1 == std::string_view::npos) return std::nullopt;
    const size_t dot2 = date.find('.', dot1 + 1);
    if (dot2 == std::string_view::npos) return std::nullopt;
    CalendarDate d;
    d.day = Atoi(date.substr(0, dot1));
    d.month = Atoi(date.substr(dot1 + 1, dot2 - dot1 - 1));
    d.year = Atoi(date.substr(dot2 + 1));
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > DaysInMonth(d.month, d.year)) {
        return std::nullopt;
    }
    return d;
}

void ReplaceFirstHash(std::string& text) {
    if (const size_t hash = text.find('#'); hash != std::string::npos) text[hash] = '-';
}

}  // namespace

std::vector<AppointmentBlockLine> AppointmentBlockLines(const std::vector<std::string>& records,
                                                        TimePoint now, Colour dayColour,
                                                        Colour currentDayColour,
                                                        bool calendarWeeks) {
    const CalendarDate today = LocalDate(now);
    const auto todayKey = std::tuple(today.year, today.month, today.day);
    std::vector<AppointmentBlockLine> lines;
    for (const std::string& line : records) {
        const auto record = SplitRecord(line);
        if (!record) continue;
        if (record->IsNote()) {
            lines.push_back(
                {std::string(calendarWeeks ? 23 : 19, ' ') + record->remark, currentDayColour});
            continue;
        }
        const size_t dash = record->key.find(kDateTimeSeparator);
        if (dash == std::string::npos) continue;
        const auto date = ParseBlockDate(std::string_view(record->key).substr(0, dash));
        if (!date) continue;

        // Dates compare as dates: "later than today 00:00" without a round trip through
        // local time, which some zones lack at midnight on DST days.
        const auto key = std::tuple(date->year, date->month, date->day);
        Colour colour;
        if (key == todayKey) {
            colour = currentDayColour;
        } else if (key > todayKey) {
            colour = dayColour;
        } else {
            continue;
        }
        std::string text;
        if (calendarWeeks) {
            char week[8];
            std::snprintf(week, sizeof week, "%02d",
                          WeekOfYear(date->day, date->month, date->year, false));
            text = record->key + " (" + week + ") # " + record->remark;
        } else {
            text = line;
        }
        ReplaceFirstHash(text);
        lines.push_back({std::move(text), colour});
    }
    return lines;
}

std::string_view FittingText(std::string_view text, int x, int right) {
    int64_t pen = x;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int advance = PixelFont::HasGlyph(c)  ? PixelFont::Advance(c)
                            : PixelFont::IsSilent(c) ? 0
                                                     : PixelFont::kMissingGlyphAdvance;
        if (pen + advance > right) return text.substr(0, i);
        pen += advance + 1;
    }
    return text;
}

void DrawAppointmentBlock(WallpaperCanvas& canvas, const std::filesystem::path& appointmentsFile,
                          int x, int y, TimePoint now, Colour dayColour, Colour currentDayColour,
                          bool calendarWeeks) {
    const auto records = AppointmentStore(appointmentsFile).ReadRecords();
    for (const auto& line :
         AppointmentBlockLines(records, now, dayColour, currentDayColour, calendarWeeks)) {
        // A long imported remark ends at the screen edge with its last whole character; what
        // lies beyond is neither drawn nor reported as undrawable.
        canvas.DrawText(FittingText(line.text, x, canvas.Width()), x, y, line.colour);
        y += kAppointmentLineHeight;
    }
}

}  // namespace tavolin
