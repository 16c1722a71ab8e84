#include "appointments/ics/RuleStepper.h"

#include <algorithm>

#include "util/CivilDays.h"

namespace tavolin::ics {

Until TakeUntil(icalrecurrencetype& rule) {
    Until u;
    if (!icaltime_is_null_time(rule.until)) {
        u.set = true;
        u.value = FromIcal(rule.until, icaltime_is_utc(rule.until));
        rule.until = icaltime_null_time();
    }
    return u;
}

bool PastUntil(const Until& u, const Civil& wall, std::optional<int64_t> utcInstant) {
    if (!u.set) return false;
    if (u.value.isDate || wall.isDate) {
        return CivilDays(wall.year, wall.month, wall.day) >
               CivilDays(u.value.year, u.value.month, u.value.day);
    }
    if (u.value.utc && utcInstant) return *utcInstant > WallSeconds(u.value);
    return WallSeconds(wall) > WallSeconds(u.value);
}

bool SimpleRule::Make(const icalrecurrencetype& rule, const Civil& start) {
    const auto empty = [](const short* list) { return list[0] == ICAL_RECURRENCE_ARRAY_MAX; };
    if ((rule.freq != ICAL_DAILY_RECURRENCE && rule.freq != ICAL_WEEKLY_RECURRENCE) ||
        rule.interval < 1 || rule.rscale || !empty(rule.by_second) || !empty(rule.by_minute) ||
        !empty(rule.by_hour) || !empty(rule.by_month_day) || !empty(rule.by_year_day) ||
        !empty(rule.by_week_no) || !empty(rule.by_month) || !empty(rule.by_set_pos)) {
        return false;
    }
    m_start = start;
    m_first = CivilDays(start.year, start.month, start.day);
    m_interval = rule.interval;
    m_count = rule.count;
    m_weekly = rule.freq == ICAL_WEEKLY_RECURRENCE;
    m_weekStart = rule.week_start == ICAL_NO_WEEKDAY ? 1 : static_cast<int>(rule.week_start) - 1;
    bool any = false;
    for (size_t i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        if (icalrecurrencetype_day_position(rule.by_day[i]) != 0) return false;
        const int day = static_cast<int>(icalrecurrencetype_day_day_of_week(rule.by_day[i]));
        if (day < 1 || day > 7) return false;
        if (!m_weekly) return false;  // BYDAY in a daily rule filters; libical knows how
        m_days[(day - 1 - m_weekStart + 7) % 7] = true;
        any = true;
    }
    if (m_weekly && !any) m_days[(Weekday(m_first) - m_weekStart + 7) % 7] = true;
    // With COUNT, libical counts from the start only when the start is one of the days.
    if (m_weekly && m_count > 0 && !m_days[(Weekday(m_first) - m_weekStart + 7) % 7]) {
        return false;
    }
    m_period = m_weekly ? WeekOf(m_first) : m_first;
    return true;
}

void SimpleRule::SetStart(const Civil& from) {
    const int64_t day = CivilDays(from.year, from.month, from.day);
    m_skipBefore = std::max(m_skipBefore, day);
    const int64_t step = int64_t{m_interval} * (m_weekly ? 7 : 1);
    const int64_t base = m_weekly ? WeekOf(day) : day;
    if (base > m_period) m_period += (base - m_period) / step * step;
}

std::optional<Civil> SimpleRule::Next() {
    for (int guard = 0; guard < 16; ++guard) {
        if (m_count > 0 && m_emitted >= m_count) return std::nullopt;
        int64_t day = 0;
        if (m_weekly) {
            while (m_slot < 7 && !m_days[m_slot]) ++m_slot;
            if (m_slot == 7) {
                m_slot = 0;
                m_period += int64_t{7} * m_interval;
                continue;
            }
            day = m_period + m_slot++;
        } else {
            day = m_period;
            m_period += m_interval;
        }
        if (day < m_first) continue;
        if (day > kLastDay) return std::nullopt;
        ++m_emitted;
        if (day < m_skipBefore) continue;
        const Civil date = CivilOfWall(day * 86400);
        Civil c = m_start;
        c.year = date.year;
        c.month = date.month;
        c.day = date.day;
        return c;
    }
    return std::nullopt;  // unreachable: a week holds one of the days
}

}  // namespace tavolin::ics
