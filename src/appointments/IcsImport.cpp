#include "appointments/IcsImport.h"

#include <libical/ical.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "appointments/Appointment.h"
#include "appointments/ImportText.h"
#include "util/CivilDays.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

// The content lines are read here, not by libical's parser: its work grows with the square of
// the properties of a component and of the parameters of a line, and it frees what it built
// recursively. libical only reads repeat rules and durations, iterates rules and supplies the
// system's time zones.

// Components nest three deep in practice (calendar, event, alarm); deeper files are refused.
constexpr int kMaxNesting = 12;
// Kept per component and per line; a real event has a few dozen properties, a line a few
// parameters. What lies beyond is ignored, so memory stays in proportion to the file.
constexpr size_t kMaxPropertiesPerComponent = 2000;
constexpr size_t kMaxParametersPerProperty = 64;
// Repeat rules and durations longer than this are no real ones and are not handed on.
constexpr size_t kMaxRuleText = 2048;
// A remark is one line of the wallpaper's appointment block; more is never shown.
constexpr size_t kMaxRemarkBytes = 1024;
// Observances of one VTIMEZONE and their RDATEs; real zones have a handful.
constexpr size_t kMaxObservances = 200;
constexpr size_t kMaxObservanceDates = 1000;
// Observances of all zones one file uses; libical's iterator of a rule takes a few kilobytes.
constexpr size_t kMaxObservancesPerFile = 20000;
// Nominal days of an alarm offset; far beyond any real reminder.
constexpr int64_t kMaxOffsetDays = 100000;
// Zone rules are expanded up to the year asked for; keep that bounded.
constexpr int kMinZonedYear = 1800;
constexpr int kMaxZonedYear = 2600;

void InitLibical() {
    static std::once_flag once;
    // libical aborts on errors unless told otherwise; bad input must never end the program.
    std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// ---- Content lines ----------------------------------------------------------------------

enum class Prop : uint8_t {
    Other,
    DtStart,
    DtEnd,
    Due,
    Duration,
    RRule,
    RDate,
    ExDate,
    RecurrenceId,
    Uid,
    Summary,
    Status,
    Completed,
    Sequence,
    DtStamp,
    LastModified,
    Action,
    Trigger,
    TzId,
    TzOffsetFrom,
    TzOffsetTo,
};

Prop PropOf(std::string_view name) {
    static const std::pair<std::string_view, Prop> kNames[] = {
        {"DTSTART", Prop::DtStart},
        {"DTEND", Prop::DtEnd},
        {"DUE", Prop::Due},
        {"DURATION", Prop::Duration},
        {"RRULE", Prop::RRule},
        {"RDATE", Prop::RDate},
        {"EXDATE", Prop::ExDate},
        {"RECURRENCE-ID", Prop::RecurrenceId},
        {"UID", Prop::Uid},
        {"SUMMARY", Prop::Summary},
        {"STATUS", Prop::Status},
        {"COMPLETED", Prop::Completed},
        {"SEQUENCE", Prop::Sequence},
        {"DTSTAMP", Prop::DtStamp},
        {"LAST-MODIFIED", Prop::LastModified},
        {"ACTION", Prop::Action},
        {"TRIGGER", Prop::Trigger},
        {"TZID", Prop::TzId},
        {"TZOFFSETFROM", Prop::TzOffsetFrom},
        {"TZOFFSETTO", Prop::TzOffsetTo},
    };
    for (const auto& [text, prop] : kNames) {
        if (EqualsNoCase(name, text)) return prop;
    }
    return Prop::Other;
}

enum class Kind : uint8_t { Calendar, Event, Todo, Alarm, TimeZone, Observance, Other };

Kind KindOf(std::string_view name) {
    if (EqualsNoCase(name, "VCALENDAR")) return Kind::Calendar;
    if (EqualsNoCase(name, "VEVENT")) return Kind::Event;
    if (EqualsNoCase(name, "VTODO")) return Kind::Todo;
    if (EqualsNoCase(name, "VALARM")) return Kind::Alarm;
    if (EqualsNoCase(name, "VTIMEZONE")) return Kind::TimeZone;
    if (EqualsNoCase(name, "STANDARD") || EqualsNoCase(name, "DAYLIGHT")) return Kind::Observance;
    return Kind::Other;
}

struct Property {
    Prop name = Prop::Other;
    bool valueDate = false;      // VALUE=DATE
    bool valueDateTime = false;  // VALUE=DATE-TIME
    bool relatedEnd = false;     // RELATED=END
    bool thisAndFuture = false;  // RANGE=THISANDFUTURE
    std::string_view tzid;       // TZID, without quotes
    std::string_view value;
};

struct Component {
    Kind kind = Kind::Other;
    size_t calendar = 0;  // index of the calendar that holds it
    size_t order = 0;     // position in the file
    std::vector<Property> props;
    std::vector<size_t> children;
    size_t droppedProps = 0;

    const Property* First(Prop name) const {
        for (const Property& p : props) {
            if (p.name == name) return &p;
        }
        return nullptr;
    }
};

struct Document {
    IcsFileStatus status = IcsFileStatus::Ok;
    // The logical lines, unfolded; every view points here. On the heap, so that moving the
    // document (or a short text kept inside the string itself) never moves what they see.
    std::unique_ptr<std::string> lines = std::make_unique<std::string>();
    std::vector<Component> components;
    std::vector<size_t> calendars;
    size_t ignoredLines = 0;
};

// Splits one unfolded line into name, parameters and value. Parameter values may be quoted;
// a ':' or ';' inside quotes belongs to the value.
Property ParseLine(std::string_view line, std::string_view& name, bool& ok) {
    Property p;
    ok = false;
    size_t i = line.find_first_of(";:");
    if (i == std::string_view::npos) return p;
    name = line.substr(0, i);
    size_t params = 0;
    while (line[i] == ';') {
        ++i;
        const size_t eq = line.find_first_of("=;:", i);
        if (eq == std::string_view::npos) return p;
        const std::string_view pname = line.substr(i, eq - i);
        std::string_view pvalue;
        i = eq;
        if (line[eq] == '=') {
            i = eq + 1;
            const size_t begin = i;
            bool quoted = false;
            while (i < line.size() && (quoted || (line[i] != ';' && line[i] != ':'))) {
                if (line[i] == '"') quoted = !quoted;
                ++i;
            }
            if (i >= line.size()) return p;
            pvalue = line.substr(begin, i - begin);
        }
        if (++params > kMaxParametersPerProperty) continue;
        if (pvalue.size() >= 2 && pvalue.front() == '"' && pvalue.back() == '"') {
            pvalue = pvalue.substr(1, pvalue.size() - 2);
        }
        if (EqualsNoCase(pname, "TZID")) {
            if (p.tzid.empty()) p.tzid = pvalue;
        } else if (EqualsNoCase(pname, "VALUE")) {
            p.valueDate = EqualsNoCase(pvalue, "DATE");
            p.valueDateTime = EqualsNoCase(pvalue, "DATE-TIME");
        } else if (EqualsNoCase(pname, "RELATED")) {
            p.relatedEnd = EqualsNoCase(pvalue, "END");
        } else if (EqualsNoCase(pname, "RANGE")) {
            p.thisAndFuture = EqualsNoCase(pvalue, "THISANDFUTURE");
        }
    }
    if (params > kMaxParametersPerProperty) return p;
    p.value = std::string_view(line).substr(i + 1);
    ok = true;
    return p;
}

// Every complete calendar of the text, with the properties the import reads. One pass over the
// text; work and memory grow in proportion to it.
Document ParseDocument(std::string_view text) {
    Document doc;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (IsBlank(text)) {
        doc.status = IcsFileStatus::Empty;
        return doc;
    }
    if (text.find('\0') != std::string_view::npos) {
        doc.status = IcsFileStatus::NotICalendar;
        return doc;
    }
    constexpr size_t kUnkept = SIZE_MAX;  // a component the import does not read
    std::vector<size_t> stack;
    bool seenCalendar = false;
    bool stop = false;
    // One logical line; false ends the reading (the status says why).
    const auto handle = [&](std::string_view line) {
        if (IsBlank(line)) return;
        std::string_view name;
        bool ok = false;
        Property p = ParseLine(line, name, ok);
        const bool begin = EqualsNoCase(name, "BEGIN");
        const bool end = EqualsNoCase(name, "END");
        if (stack.empty()) {
            if (begin && ok && KindOf(p.value) == Kind::Calendar) {
                seenCalendar = true;
            } else if (!seenCalendar) {
                doc.status = IcsFileStatus::NotICalendar;
                stop = true;
                return;
            } else {
                ++doc.ignoredLines;  // text after a calendar
                return;
            }
        }
        if (begin) {
            // Counted by name whatever its parameters or folding, as every parser reads it.
            if (stack.size() >= static_cast<size_t>(kMaxNesting)) {
                doc.status = IcsFileStatus::NotICalendar;
                stop = true;
                return;
            }
            const Kind kind = ok ? KindOf(p.value) : Kind::Other;
            const Kind parent = stack.empty() || stack.back() == kUnkept
                                    ? Kind::Other
                                    : doc.components[stack.back()].kind;
            // Only what the import reads is kept: events, tasks and zones of a calendar, alarms
            // of events and tasks, observances of zones.
            const bool keep =
                stack.empty() ? kind == Kind::Calendar
                : parent == Kind::Calendar
                    ? kind == Kind::Event || kind == Kind::Todo || kind == Kind::TimeZone
                : parent == Kind::Event || parent == Kind::Todo ? kind == Kind::Alarm
                : parent == Kind::TimeZone                      ? kind == Kind::Observance
                                                                : false;
            if (!keep) {
                stack.push_back(kUnkept);
                return;
            }
            Component c;
            c.kind = kind;
            c.order = doc.components.size();
            if (stack.empty()) {
                c.calendar = doc.calendars.size();
                doc.calendars.push_back(doc.components.size());
            } else {
                c.calendar = doc.components[stack.front()].calendar;
                doc.components[stack.back()].children.push_back(doc.components.size());
            }
            stack.push_back(doc.components.size());
            doc.components.push_back(std::move(c));
        } else if (end) {
            stack.pop_back();
        } else if (ok && stack.back() != kUnkept) {
            p.name = PropOf(name);
            Component& c = doc.components[stack.back()];
            if (p.name == Prop::Other) return;
            if (c.props.size() >= kMaxPropertiesPerComponent) {
                ++c.droppedProps;
                return;
            }
            c.props.push_back(p);
        }
    };

    // Unfold: a line that begins with a blank or a tab continues the one before it. Each
    // logical line is read once it is complete; the views kept point into lines, which never
    // grows past the text's size reserved here and so never moves.
    std::string& lines = *doc.lines;
    lines.reserve(text.size());
    bool open = false;
    size_t current = 0;
    size_t start = 0;
    while (start < text.size() && !stop) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view physical = text.substr(start, end - start);
        if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
        if (open && !physical.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
            lines.append(physical.substr(1));
        } else {
            if (open) handle(std::string_view(lines).substr(current));
            open = true;
            current = lines.size();
            lines.append(physical);
        }
        start = end + 1;
    }
    if (open && !stop) handle(std::string_view(lines).substr(current));
    if (stop) return doc;
    if (!stack.empty()) {
        doc.status = IcsFileStatus::Truncated;
    } else if (doc.calendars.empty()) {
        doc.status = IcsFileStatus::NotICalendar;
    }
    return doc;
}

// TEXT values: backslash escapes undone.
std::string UnescapeText(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char n = v[++i];
            out += (n == 'n' || n == 'N') ? '\n' : n;
        } else {
            out += v[i];
        }
    }
    return out;
}

// ---- Date-time values -------------------------------------------------------------------

struct Civil {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool isDate = false;
    bool utc = false;
};

// Seconds since 1970 of a civil date and time read as UTC.
int64_t WallSeconds(const Civil& c) {
    return CivilDays(c.year, c.month, c.day) * 86400 + int64_t{c.hour} * 3600 +
           int64_t{c.minute} * 60 + c.second;
}

Civil CivilOfWall(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    Civil c;
    int64_t year = 0;
    CivilFromDays(days, year, c.month, c.day);
    c.year = static_cast<int>(year);
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

bool Digits(std::string_view s, size_t pos, size_t n, int& out) {
    if (pos + n > s.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// YYYYMMDD or YYYYMMDDTHHMMSS with an optional Z.
std::optional<Civil> ParseDateTime(std::string_view s, bool forceDate = false) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    Civil c;
    if (!Digits(s, 0, 4, c.year) || !Digits(s, 4, 2, c.month) || !Digits(s, 6, 2, c.day)) {
        return std::nullopt;
    }
    if (s.size() == 8) {
        c.isDate = true;
    } else if (forceDate) {
        return std::nullopt;
    } else {
        if (s.size() < 15 || (s[8] != 'T' && s[8] != 't') || !Digits(s, 9, 2, c.hour) ||
            !Digits(s, 11, 2, c.minute) || !Digits(s, 13, 2, c.second)) {
            return std::nullopt;
        }
        if (s.size() == 16 && (s[15] == 'Z' || s[15] == 'z')) {
            c.utc = true;
        } else if (s.size() != 15) {
            return std::nullopt;
        }
    }
    if (c.year < 1 || c.month < 1 || c.month > 12 || c.day < 1 ||
        c.day > DaysInMonth(c.year, c.month) || c.hour > 23 || c.minute > 59 || c.second > 60) {
        return std::nullopt;
    }
    if (c.second == 60) c.second = 59;
    return c;
}

icaltimetype ToIcal(const Civil& c) {
    icaltimetype t = icaltime_null_time();
    t.year = c.year;
    t.month = c.month;
    t.day = c.day;
    t.is_date = c.isDate ? 1 : 0;
    if (!c.isDate) {
        t.hour = c.hour;
        t.minute = c.minute;
        t.second = c.second;
    }
    return t;
}

Civil FromIcal(const icaltimetype& t, bool utc) {
    Civil c;
    c.year = t.year;
    c.month = t.month;
    c.day = t.day;
    c.isDate = t.is_date != 0;
    if (!c.isDate) {
        c.hour = t.hour;
        c.minute = t.minute;
        c.second = t.second;
        c.utc = utc;
    }
    return c;
}

// +HHMM or -HHMMSS.
std::optional<int> ParseOffset(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.size() != 5 && s.size() != 7) return std::nullopt;
    if (s[0] != '+' && s[0] != '-') return std::nullopt;
    int h = 0, m = 0, sec = 0;
    if (!Digits(s, 1, 2, h) || !Digits(s, 3, 2, m) || (s.size() == 7 && !Digits(s, 5, 2, sec))) {
        return std::nullopt;
    }
    if (h > 23 || m > 59 || sec > 59) return std::nullopt;
    const int value = h * 3600 + m * 60 + sec;
    return s[0] == '-' ? -value : value;
}

std::optional<icaldurationtype> ParseDuration(std::string_view s) {
    if (s.empty() || s.size() > 64) return std::nullopt;
    const icaldurationtype d = icaldurationtype_from_string(std::string(s).c_str());
    icalerror_clear_errno();
    if (icaldurationtype_is_bad_duration(d)) return std::nullopt;
    return d;
}

// A rule libical cannot read has no frequency.
icalrecurrencetype ParseRule(std::string_view s) {
    icalrecurrencetype rule;
    icalrecurrencetype_clear(&rule);
    if (s.size() > kMaxRuleText) return rule;
    rule = icalrecurrencetype_from_string(std::string(s).c_str());
    icalerror_clear_errno();
    return rule;
}

// Splits a comma list (RDATE, EXDATE).
template <class F>
void ForEachListItem(std::string_view v, F&& f) {
    size_t start = 0;
    while (start <= v.size()) {
        size_t comma = v.find(',', start);
        if (comma == std::string_view::npos) comma = v.size();
        f(v.substr(start, comma - start));
        start = comma + 1;
    }
}

// ---- Time budget ------------------------------------------------------------------------

class Budget {
public:
    explicit Budget(double seconds)
        : m_deadline(std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds))) {}

    bool OutOfTime() {
        if (m_exhausted) return true;
        if (std::chrono::steady_clock::now() >= m_deadline) m_exhausted = true;
        return m_exhausted;
    }
    // One step of a rule; false when the file's budget is spent.
    bool Step() {
        if (m_stepsLeft == 0) m_exhausted = true;
        if (m_exhausted) return false;
        --m_stepsLeft;
        return !OutOfTime();
    }
    bool Exhausted() const { return m_exhausted; }

private:
    std::chrono::steady_clock::time_point m_deadline;
    size_t m_stepsLeft = kMaxIcsStepsPerFile;
    bool m_exhausted = false;
};

// Frees a libical iterator.
struct IteratorDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};
using IteratorPtr = std::unique_ptr<icalrecur_iterator, IteratorDeleter>;

// The end a rule's UNTIL sets, compared by ourselves: libical compares it with the start's
// clock time, which for a zoned series is not the UTC instant that RFC 5545 means.
struct Until {
    bool set = false;
    Civil value;
};

Until TakeUntil(icalrecurrencetype& rule) {
    Until u;
    if (!icaltime_is_null_time(rule.until)) {
        u.set = true;
        u.value = FromIcal(rule.until, icaltime_is_utc(rule.until));
        rule.until = icaltime_null_time();
    }
    return u;
}

// Whether an occurrence (its clock time and, when known, its UTC instant) lies past UNTIL.
bool PastUntil(const Until& u, const Civil& wall, std::optional<int64_t> utcInstant) {
    if (!u.set) return false;
    if (u.value.isDate || wall.isDate) {
        return CivilDays(wall.year, wall.month, wall.day) >
               CivilDays(u.value.year, u.value.month, u.value.day);
    }
    if (u.value.utc && utcInstant) return *utcInstant > WallSeconds(u.value);
    return WallSeconds(wall) > WallSeconds(u.value);
}

// The rules most series have (daily, or weekly on plain weekdays, with an interval, a count or
// an end) stepped here: libical takes microseconds per step through its calendar library, which
// a file of thousands of weekly series would feel. Anything else goes to libical.
class SimpleRule {
public:
    bool Make(const icalrecurrencetype& rule, const Civil& start) {
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
        m_weekStart =
            rule.week_start == ICAL_NO_WEEKDAY ? 1 : static_cast<int>(rule.week_start) - 1;
        bool any = false;
        for (size_t i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX;
             ++i) {
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

    // The first occurrence on or after from (only for rules without COUNT).
    void SetStart(const Civil& from) {
        const int64_t day = CivilDays(from.year, from.month, from.day);
        m_skipBefore = std::max(m_skipBefore, day);
        const int64_t step = int64_t{m_interval} * (m_weekly ? 7 : 1);
        const int64_t base = m_weekly ? WeekOf(day) : day;
        if (base > m_period) m_period += (base - m_period) / step * step;
    }

    std::optional<Civil> Next() {
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

private:
    static constexpr int64_t kLastDay = 2932896;  // 31 December 9999
    // 0 Sunday ... 6 Saturday; 1 January 1970 was a Thursday.
    static int Weekday(int64_t day) { return static_cast<int>(((day % 7) + 7 + 4) % 7); }
    int64_t WeekOf(int64_t day) const { return day - (Weekday(day) - m_weekStart + 7) % 7; }

    Civil m_start;
    int64_t m_first = 0;
    int64_t m_period = 0;  // the day (daily) or the first day of the week (weekly) to step from
    int64_t m_skipBefore = INT64_MIN;
    int m_interval = 1;
    int m_count = 0;
    int m_emitted = 0;
    bool m_weekly = false;
    int m_weekStart = 1;  // Monday
    bool m_days[7] = {};  // by offset from the week's first day
    int m_slot = 0;
};

// ---- Time zones -------------------------------------------------------------------------

enum class Conv { Ok, Invalid, Limit };

// The rules of one VTIMEZONE, expanded year by year as far as asked, within the budget.
class ZoneRules {
public:
    // nullopt for a zone that has no usable observance or whose rules would make the expansion
    // run without end (rules repeating more often than yearly, thousands of observances).
    static std::unique_ptr<ZoneRules> Make(const Document& doc, const Component& tz) {
        auto zone = std::make_unique<ZoneRules>();
        size_t dates = 0;
        for (const size_t ci : tz.children) {
            const Component& o = doc.components[ci];
            if (o.kind != Kind::Observance) continue;
            if (zone->m_obs.size() >= kMaxObservances) return nullptr;
            Observance ob;
            const Property* from = o.First(Prop::TzOffsetFrom);
            const Property* to = o.First(Prop::TzOffsetTo);
            const Property* start = o.First(Prop::DtStart);
            if (!from || !to || !start) continue;
            const auto f = ParseOffset(from->value);
            const auto t = ParseOffset(to->value);
            const auto s = ParseDateTime(start->value);
            if (!f || !t || !s || s->isDate) continue;
            ob.from = *f;
            ob.to = *t;
            ob.start = *s;
            ob.start.utc = false;
            if (const Property* r = o.First(Prop::RRule)) {
                const icalrecurrencetype rule = ParseRule(r->value);
                if (rule.freq != ICAL_YEARLY_RECURRENCE || rule.interval < 1) return nullptr;
                ob.rule = r->value;  // iterated when first needed; libical's state is large
            }
            for (const Property& p : o.props) {
                if (p.name != Prop::RDate) continue;
                bool tooMany = false;
                ForEachListItem(p.value, [&](std::string_view item) {
                    if (++dates > kMaxObservanceDates) tooMany = true;
                    if (tooMany) return;
                    const size_t slash = item.find('/');
                    if (const auto d = ParseDateTime(item.substr(0, slash)); d && !d->isDate) {
                        zone->Push(*d, ob.from, ob.to);
                    }
                });
                if (tooMany) return nullptr;
            }
            zone->Push(ob.start, ob.from, ob.to);
            zone->m_obs.push_back(std::move(ob));
        }
        if (zone->m_obs.empty()) return nullptr;
        zone->Sort();
        return zone;
    }

    // The UTC instant of a clock time in this zone. A time the clocks skip is read with the
    // offset before the change (02:30 in the spring gap is 03:30), a time that occurs twice as
    // the first of the two (RFC 5545 3.3.5); before the zone's first change the offset before
    // that change holds (3.6.5).
    Conv ToUtc(const Civil& wall, Budget& budget, int64_t& out) {
        if (wall.year < kMinZonedYear || wall.year > kMaxZonedYear) return Conv::Invalid;
        if (!Extend(wall.year + 1, budget)) return Conv::Limit;
        const int64_t w = WallSeconds(wall);
        constexpr int64_t kDay = 86400;
        const int offsets[2] = {OffsetAt(w - kDay), OffsetAt(w + kDay)};
        std::optional<int64_t> best;
        for (const int o : offsets) {
            const int64_t candidate = w - o;
            if (OffsetAt(candidate) == o && (!best || candidate < *best)) best = candidate;
        }
        out = best ? *best : w - offsets[0];
        return Conv::Ok;
    }

    size_t Observances() const { return m_obs.size(); }

    // Clock time in this zone of a UTC instant.
    Conv ToWall(int64_t utc, Budget& budget, Civil& out) {
        const Civil approx = CivilOfWall(utc);
        if (approx.year < kMinZonedYear || approx.year > kMaxZonedYear) return Conv::Invalid;
        if (!Extend(approx.year + 1, budget)) return Conv::Limit;
        out = CivilOfWall(utc + OffsetAt(utc));
        return Conv::Ok;
    }

private:
    struct Observance {
        int from = 0, to = 0;
        Civil start;
        std::string_view rule;
        IteratorPtr it;
        Until until;
        bool done = false;
        std::optional<Civil> pending;  // the next onset, already taken from the iterator
    };
    struct Transition {
        int64_t utc;
        int from, to;
    };

    void Push(const Civil& onset, int from, int to) {
        m_transitions.push_back({WallSeconds(onset) - from, from, to});
    }
    void Sort() {
        std::stable_sort(m_transitions.begin(), m_transitions.end(),
                         [](const Transition& a, const Transition& b) { return a.utc < b.utc; });
    }

    // Onsets of every repeating observance up to the end of year.
    bool Extend(int year, Budget& budget) {
        if (year <= m_extendedTo) return true;
        bool added = false;
        for (Observance& ob : m_obs) {
            if (!ob.rule.empty() && !ob.it && !ob.done) {
                icalrecurrencetype rule = ParseRule(ob.rule);
                ob.until = TakeUntil(rule);
                ob.it.reset(icalrecur_iterator_new(rule, ToIcal(ob.start)));
                icalerror_clear_errno();
                if (!ob.it) ob.done = true;
            }
            while (ob.it && !ob.done) {
                if (!ob.pending) {
                    if (!budget.Step()) return false;
                    const icaltimetype t = icalrecur_iterator_next(ob.it.get());
                    if (icaltime_is_null_time(t)) {
                        ob.done = true;
                        break;
                    }
                    Civil c = FromIcal(t, false);
                    if (PastUntil(ob.until, c, WallSeconds(c) - ob.from) ||
                        c.year > kMaxZonedYear + 1) {
                        ob.done = true;
                        break;
                    }
                    ob.pending = c;
                }
                if (ob.pending->year > year) break;
                // The rule's first onset is DTSTART itself, already noted.
                if (WallSeconds(*ob.pending) != WallSeconds(ob.start)) {
                    Push(*ob.pending, ob.from, ob.to);
                    added = true;
                }
                ob.pending.reset();
            }
        }
        for (Observance& ob : m_obs) {
            if (ob.done) ob.it.reset();
        }
        if (added) Sort();
        m_extendedTo = year;
        return true;
    }

    int OffsetAt(int64_t utc) const {
        const auto it =
            std::upper_bound(m_transitions.begin(), m_transitions.end(), utc,
                             [](int64_t t, const Transition& tr) { return t < tr.utc; });
        if (it == m_transitions.begin()) return m_transitions.front().from;
        return std::prev(it)->to;
    }

    std::vector<Observance> m_obs;
    std::vector<Transition> m_transitions;
    int m_extendedTo = INT_MIN;
};

// Names of the system's zone database: letters, digits and "/_+-", no ".." (libical opens the
// file of that name below the zoneinfo directory).
bool PlausibleZoneName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name.front() == '/') return false;
    if (name.find("..") != std::string_view::npos) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '_' || c == '+' ||
               c == '-';
    });
}

// The system's zone of that name, as a VTIMEZONE text from libical; empty when unknown.
std::string SystemZoneText(const std::string& name) {
    static std::mutex mutex;  // libical's table of built-in zones is not thread-safe
    const std::lock_guard<std::mutex> lock(mutex);
    InitLibical();
    icaltimezone* zone = icaltimezone_get_builtin_timezone(name.c_str());
    icalerror_clear_errno();
    if (!zone) return {};
    icalcomponent* c = icaltimezone_get_component(zone);
    if (!c) return {};
    char* text = icalcomponent_as_ical_string_r(c);
    if (!text) return {};
    std::string out = "BEGIN:VCALENDAR\r\n" + std::string(text) + "END:VCALENDAR\r\n";
    free(text);
    return out;
}

// ---- The import -------------------------------------------------------------------------

// A date-time property's value with the zone it is read in.
struct When {
    Civil wall;
    ZoneRules* zone = nullptr;  // null: a date, a UTC time or a floating time
};

struct Alarm {
    bool relative = true;
    icaldurationtype offset{};
    bool relatedEnd = false;
    TimePoint absolute = 0;
};

// What one VEVENT says about its occurrences.
struct EventData {
    std::string summary;
    bool cancelled = false;
    When start;
    TimePoint startInstant = 0;
    TimePoint endOffset = 0;
    std::vector<Alarm> alarms;
};

struct Override {
    const Component* component;
    When rid;
    bool thisAndFuture;
};

enum class Read { Ok, Missing, Invalid, UnknownZone, Limit };

class Importer {
public:
    Importer(const Document& doc, TimePoint now, double expansionSeconds, IcsImportResult& result)
        : m_doc(doc), m_result(result), m_budget(expansionSeconds) {
        m_todayStart = StartOfLocalDay(now);
        const std::tm f = LocalFields(m_todayStart);
        m_windowEnd = MakeLocal(f.tm_year + 1900 + 1, f.tm_mon + 1, f.tm_mday, 0, 0, 0);
    }

    void Run() {
        LoadZones();
        SelectCopies();
        for (const Component& c : m_doc.components) {
            if (m_superseded.count(c.order)) continue;
            if (c.kind == Kind::Event) {
                Event(c);
            } else if (c.kind == Kind::Todo) {
                Todo(c);
            }
        }
    }

private:
    struct ZoneSlot {
        const Component* component;
        std::unique_ptr<ZoneRules> rules;
        bool built;
    };

    // Zones of each calendar by TZID; the system's zones are fetched when first named.
    void LoadZones() {
        m_zones.resize(m_doc.calendars.size());
        for (size_t k = 0; k < m_doc.calendars.size(); ++k) {
            for (const size_t ci : m_doc.components[m_doc.calendars[k]].children) {
                const Component& tz = m_doc.components[ci];
                if (tz.kind != Kind::TimeZone) continue;
                const Property* id = tz.First(Prop::TzId);
                if (!id || id->value.empty()) continue;
                m_zones[k].emplace(std::string(id->value), ZoneSlot{&tz, nullptr, false});
            }
        }
    }

    // A zone of the file, built when first used. Real files name a handful; a file that names
    // thousands finds the later ones unknown once their observances reach the bound.
    ZoneRules* FileZone(ZoneSlot& slot) {
        if (!slot.built) {
            slot.built = true;
            if (m_observancesBuilt < kMaxObservancesPerFile) {
                slot.rules = ZoneRules::Make(m_doc, *slot.component);  // null: unsafe, unknown
                if (slot.rules) m_observancesBuilt += slot.rules->Observances();
            }
        }
        return slot.rules.get();
    }

    ZoneRules* SystemZone(const std::string& name) {
        if (const auto it = m_systemZones.find(name); it != m_systemZones.end()) {
            return it->second.zone.get();
        }
        SystemZoneEntry& entry = m_systemZones[name];
        if (!PlausibleZoneName(name)) return nullptr;
        const std::string text = SystemZoneText(name);
        if (text.empty()) return nullptr;
        entry.doc = std::make_unique<Document>(ParseDocument(text));
        for (const Component& c : entry.doc->components) {
            if (c.kind == Kind::TimeZone) {
                entry.zone = ZoneRules::Make(*entry.doc, c);
                break;
            }
        }
        return entry.zone.get();
    }

    // The value of a date-time property with its zone; false for a TZID nobody knows.
    bool WhenOf(const Component& owner, const Property& p, std::string_view value, When& out) {
        const auto c = ParseDateTime(value, p.valueDate);
        if (!c) return false;
        out.wall = *c;
        out.zone = nullptr;
        if (c->isDate || c->utc || p.tzid.empty()) return true;
        const std::string tzid(p.tzid);
        auto& zones = m_zones[owner.calendar];
        if (const auto it = zones.find(tzid); it != zones.end()) {
            out.zone = FileZone(it->second);
            m_unknownZone = !out.zone;
            return out.zone != nullptr;
        }
        if (EqualsNoCase(tzid, "UTC") || EqualsNoCase(tzid, "GMT")) {
            out.wall.utc = true;
            return true;
        }
        out.zone = SystemZone(tzid);
        m_unknownZone = !out.zone;
        return out.zone != nullptr;
    }

    // Local point in time of a value: dates at 00:00 and floating times on the local clock,
    // UTC and zoned times converted.
    Conv Instant(const When& w, TimePoint& out) {
        const Civil& c = w.wall;
        if (c.year < 1 || c.year > 9999) return Conv::Invalid;
        if (c.isDate) {
            out = MakeLocal(c.year, c.month, c.day, 0, 0, 0);
            return out == -1 ? Conv::Invalid : Conv::Ok;
        }
        if (c.utc) {
            out = WallSeconds(c);
            return Conv::Ok;
        }
        if (w.zone) {
            int64_t utc = 0;
            const Conv r = w.zone->ToUtc(c, m_budget, utc);
            if (r == Conv::Ok) out = utc;
            return r;
        }
        out = MakeLocal(c.year, c.month, c.day, c.hour, c.minute, c.second);
        return out == -1 ? Conv::Invalid : Conv::Ok;
    }

    Read TimeOf(const Component& c, Prop name, TimePoint& out, When* when = nullptr) {
        const Property* p = c.First(name);
        if (!p) return Read::Missing;
        When w;
        m_unknownZone = false;
        if (!WhenOf(c, *p, p->value, w)) return m_unknownZone ? Read::UnknownZone : Read::Invalid;
        switch (Instant(w, out)) {
            case Conv::Ok:
                break;
            case Conv::Invalid:
                return Read::Invalid;
            case Conv::Limit:
                return Read::Limit;
        }
        if (when) *when = w;
        return Read::Ok;
    }

    static std::string Text(const Component& c, Prop name) {
        const Property* p = c.First(name);
        return p ? UnescapeText(p->value) : std::string();
    }

    static bool StatusIs(const Component& c, std::string_view status) {
        const Property* p = c.First(Prop::Status);
        return p && EqualsNoCase(p->value, status);
    }

    // ---- Several copies of one entry ----

    // A copy's rank: SEQUENCE, then LAST-MODIFIED, then DTSTAMP; later in the file wins ties.
    std::tuple<long long, int64_t, int64_t, size_t> Rank(const Component& c) {
        long long sequence = 0;
        if (const Property* p = c.First(Prop::Sequence)) {
            for (const char ch : p->value) {
                if (ch < '0' || ch > '9' || sequence > 1000000000) break;
                sequence = sequence * 10 + (ch - '0');
            }
        }
        const auto stamp = [&c](Prop name) -> int64_t {
            const Property* p = c.First(name);
            const auto t = p ? ParseDateTime(p->value) : std::nullopt;
            return t ? WallSeconds(*t) : INT64_MIN;
        };
        return {sequence, stamp(Prop::LastModified), stamp(Prop::DtStamp), c.order};
    }

    // Of several copies of one UID (or one changed occurrence of it) only the newest counts.
    void SelectCopies() {
        std::map<std::tuple<Kind, std::string, std::string>, const Component*> best;
        for (const Component& c : m_doc.components) {
            if (c.kind != Kind::Event && c.kind != Kind::Todo) continue;
            const Property* uid = c.First(Prop::Uid);
            if (!uid || uid->value.empty()) continue;
            const Property* rid = c.First(Prop::RecurrenceId);
            const auto key = std::make_tuple(c.kind, std::string(uid->value),
                                             rid ? std::string(rid->value) : std::string("-"));
            auto [it, fresh] = best.emplace(key, &c);
            if (fresh) continue;
            const Component* loser = &c;
            if (Rank(c) > Rank(*it->second)) std::swap(loser, it->second);
            m_superseded.insert(loser->order);
            Skip(IcsSkipReason::Superseded);
        }
        for (const auto& [key, c] : best) {
            if (std::get<0>(key) != Kind::Event || std::get<2>(key) == "-") continue;
            const Property* rid = c->First(Prop::RecurrenceId);
            Override o{c, {}, rid->thisAndFuture};
            m_unknownZone = false;
            if (!WhenOf(*c, *rid, rid->value, o.rid)) continue;
            m_overrides[std::get<1>(key)].push_back(o);
        }
    }

    // ---- Alarms and reminders ----

    // The display and audio alarms with a readable trigger.
    std::vector<Alarm> Alarms(const Component& c) {
        std::vector<Alarm> alarms;
        for (const size_t ai : c.children) {
            const Component& a = m_doc.components[ai];
            if (a.kind != Kind::Alarm) continue;
            const Property* action = a.First(Prop::Action);
            if (!action || (!EqualsNoCase(action->value, "DISPLAY") &&
                            !EqualsNoCase(action->value, "AUDIO"))) {
                continue;
            }
            const Property* trigger = a.First(Prop::Trigger);
            if (!trigger) continue;
            Alarm alarm;
            const bool fixed = trigger->valueDateTime ||
                               (!ParseDuration(trigger->value) && ParseDateTime(trigger->value));
            if (fixed) {
                When w;
                TimePoint t = 0;
                if (!WhenOf(a, *trigger, trigger->value, w) || Instant(w, t) != Conv::Ok) continue;
                alarm.relative = false;
                alarm.absolute = t;
            } else {
                const auto d = ParseDuration(trigger->value);
                if (!d) continue;
                alarm.offset = *d;
                alarm.relatedEnd = trigger->relatedEnd;
            }
            alarms.push_back(alarm);
        }
        return alarms;
    }

    // Shifts t by an iCalendar duration: weeks and days on the calendar (the clock time stays
    // across a change of daylight saving), hours, minutes and seconds exactly.
    static std::optional<TimePoint> Shift(TimePoint t, const icaldurationtype& d) {
        const int64_t sign = d.is_neg ? -1 : 1;
        const int64_t days = int64_t{d.weeks} * 7 + d.days;
        const int64_t exact = int64_t{d.hours} * 3600 + int64_t{d.minutes} * 60 + d.seconds;
        if (days > kMaxOffsetDays || exact > kMaxOffsetDays * 86400) return std::nullopt;
        if (days != 0) {
            const std::tm f = LocalFields(t);
            t = MakeLocal(f.tm_year + 1900, f.tm_mon + 1, f.tm_mday + static_cast<int>(sign * days),
                          f.tm_hour, f.tm_min, f.tm_sec);
            if (t == -1) return std::nullopt;
        }
        return t + sign * exact;
    }

    // The reminder of one occurrence: its earliest alarm, else its start. An alarm at a fixed
    // time belongs to a single event only.
    static std::optional<TimePoint> Reminder(TimePoint start, TimePoint endOffset,
                                             const std::vector<Alarm>& alarms, bool single) {
        std::optional<TimePoint> earliest;
        for (const Alarm& a : alarms) {
            std::optional<TimePoint> t;
            if (!a.relative) {
                if (!single) continue;
                t = a.absolute;
            } else {
                t = Shift(a.relatedEnd ? start + endOffset : start, a.offset);
            }
            if (t && (!earliest || *t < *earliest)) earliest = t;
        }
        if (earliest) return earliest;
        return start;
    }

    bool Usable(Read r) {
        switch (r) {
            case Read::Ok:
                return true;
            case Read::UnknownZone:
                Skip(IcsSkipReason::UnknownTimeZone);
                return false;
            case Read::Limit:
                Skip(IcsSkipReason::ExpansionLimit);
                return false;
            case Read::Missing:
            case Read::Invalid:
                Skip(IcsSkipReason::NoDate);
                return false;
        }
        return false;
    }

    // Summary, status, start, length and alarms; false (and counted) when it gives no record.
    bool ReadEvent(const Component& ev, EventData& e) {
        e.cancelled = StatusIs(ev, "CANCELLED");
        e.summary = Text(ev, Prop::Summary);
        if (!Usable(TimeOf(ev, Prop::DtStart, e.startInstant, &e.start))) return false;
        TimePoint end = 0;
        if (TimeOf(ev, Prop::DtEnd, end) == Read::Ok && end > e.startInstant) {
            e.endOffset = end - e.startInstant;
        } else if (const Property* d = ev.First(Prop::Duration)) {
            if (const auto dur = ParseDuration(d->value)) {
                if (const auto t = Shift(e.startInstant, *dur); t && *t > e.startInstant) {
                    e.endOffset = *t - e.startInstant;
                }
            }
        }
        e.alarms = Alarms(ev);
        return true;
    }

    void Event(const Component& ev) {
        if (StatusIs(ev, "CANCELLED")) return Skip(IcsSkipReason::Cancelled);
        if (Text(ev, Prop::Summary).empty()) return Skip(IcsSkipReason::NoSummary);
        EventData e;
        if (!ReadEvent(ev, e)) return;
        if (ev.First(Prop::RecurrenceId)) {
            // A changed occurrence stands for the one it names (with THISANDFUTURE for the later
            // ones too, which the series gives); a rule of its own is not expanded. It counts
            // like the occurrences around it.
            if (e.startInstant < m_todayStart || e.startInstant >= m_windowEnd) return;
            const auto moment = Reminder(e.startInstant, e.endOffset, e.alarms, true);
            if (!moment) return Skip(IcsSkipReason::NoDate);
            return Add(*moment, e.summary);
        }
        const bool repeats = ev.First(Prop::RRule) || ev.First(Prop::RDate);
        if (!repeats) {
            const auto moment = Reminder(e.startInstant, e.endOffset, e.alarms, true);
            if (!moment) return Skip(IcsSkipReason::NoDate);
            return Add(*moment, e.summary);
        }
        Expand(ev, e);
    }

    // Today 00:00 on the clock of a series' start value, a day early so that no zone's offset
    // loses the first occurrence.
    std::optional<icaltimetype> WindowStartIn(const When& start) {
        Civil c;
        if (start.zone && !start.wall.isDate) {
            if (start.zone->ToWall(m_todayStart - 86400, m_budget, c) != Conv::Ok) {
                return std::nullopt;
            }
        } else if (start.wall.utc) {
            c = CivilOfWall(m_todayStart - 86400);
        } else {
            const std::tm f = LocalFields(m_todayStart - 86400);
            c.year = f.tm_year + 1900;
            c.month = f.tm_mon + 1;
            c.day = f.tm_mday;
        }
        c.isDate = start.wall.isDate;
        c.utc = false;
        return ToIcal(c);
    }

    // The occurrence starts of a series' rules and dates, as local instants in the window
    // (and a day before it, for changed occurrences moved forward). Sets limited when the
    // event's own step budget ran out; false when the file's budget ran out.
    bool Occurrences(const Component& ev, const EventData& e, std::vector<TimePoint>& starts,
                     bool& limited, bool& damaged) {
        const TimePoint from = m_todayStart - 86400;
        if (e.startInstant >= from && e.startInstant < m_windowEnd) {
            starts.push_back(e.startInstant);  // the start counts, whether the rule gives it or not
        }
        for (const Property& p : ev.props) {
            if (p.name != Prop::RRule) continue;
            if (m_budget.OutOfTime()) return false;
            icalrecurrencetype rule = ParseRule(p.value);
            if (rule.freq == ICAL_NO_RECURRENCE || rule.interval < 1) {
                damaged = true;
                continue;
            }
            if (rule.freq < ICAL_DAILY_RECURRENCE) {
                m_unsupported = true;
                return true;
            }
            const Until until = TakeUntil(rule);
            const icaltimetype rawStart = ToIcal(
                Civil{e.start.wall.year, e.start.wall.month, e.start.wall.day, e.start.wall.hour,
                      e.start.wall.minute, e.start.wall.second, e.start.wall.isDate, false});
            SimpleRule simple;
            IteratorPtr it;
            if (!simple.Make(rule, e.start.wall)) {
                it.reset(icalrecur_iterator_new(rule, rawStart));
                icalerror_clear_errno();
                if (!it) {
                    damaged = true;
                    continue;
                }
            }
            // A series begun long ago (a birthday since 1960) is entered near today; a series
            // with COUNT has to be counted from its start.
            if (rule.count == 0) {
                if (const auto w = WindowStartIn(e.start);
                    w && icaltime_compare(rawStart, *w) < 0) {
                    if (it) {
                        icalrecur_iterator_set_start(it.get(), *w);
                        icalerror_clear_errno();
                    } else {
                        simple.SetStart(FromIcal(*w, false));
                    }
                }
            }
            size_t steps = 0;
            for (;;) {
                if (!m_budget.Step()) return false;
                if (++steps > kMaxIcsStepsPerEvent) {
                    limited = true;
                    break;
                }
                When w{{}, e.start.zone};
                if (it) {
                    const icaltimetype occ = icalrecur_iterator_next(it.get());
                    if (icaltime_is_null_time(occ)) break;
                    w.wall = FromIcal(occ, e.start.wall.utc);
                } else {
                    const auto occ = simple.Next();
                    if (!occ) break;
                    w.wall = *occ;
                }
                TimePoint t = 0;
                const Conv conv = Instant(w, t);
                if (conv == Conv::Limit) return false;
                if (PastUntil(until, w.wall,
                              conv == Conv::Ok ? std::optional<int64_t>(t) : std::nullopt)) {
                    break;
                }
                if (conv != Conv::Ok) continue;
                if (t >= m_windowEnd) break;
                if (t >= from) starts.push_back(t);
            }
        }
        size_t dates = 0;
        for (const Property& p : ev.props) {
            if (p.name != Prop::RDate) continue;
            bool stop = false;
            ForEachListItem(p.value, [&](std::string_view item) {
                if (stop) return;
                if (++dates > kMaxIcsStepsPerEvent) {
                    limited = stop = true;
                    return;
                }
                if (!m_budget.Step()) {
                    stop = true;
                    return;
                }
                When w;
                TimePoint t = 0;
                m_unknownZone = false;
                if (!WhenOf(ev, p, item.substr(0, item.find('/')), w)) return;
                if (p.tzid.empty() && !w.wall.utc && !w.wall.isDate) w.zone = e.start.zone;
                if (Instant(w, t) == Conv::Ok && t >= from && t < m_windowEnd) starts.push_back(t);
            });
            if (m_budget.Exhausted()) return false;
            if (stop) break;
        }
        return true;
    }

    void Expand(const Component& ev, const EventData& e) {
        if (m_budget.OutOfTime()) return Skip(IcsSkipReason::ExpansionLimit);
        std::vector<TimePoint> starts;
        bool limited = false;
        bool damaged = false;
        m_unsupported = false;
        if (!Occurrences(ev, e, starts, limited, damaged)) {
            return Skip(IcsSkipReason::ExpansionLimit);  // out of time: the event as a whole
        }
        if (m_unsupported) return Skip(IcsSkipReason::UnsupportedRule);
        if (damaged) Skip(IcsSkipReason::DamagedRule);

        // Excluded dates: a date-time excludes that start, a date every start on that day.
        std::set<TimePoint> excluded;
        std::set<TimePoint> excludedDays;
        for (const Property& p : ev.props) {
            if (p.name != Prop::ExDate) continue;
            ForEachListItem(p.value, [&](std::string_view item) {
                When w;
                TimePoint t = 0;
                m_unknownZone = false;
                if (!WhenOf(ev, p, item, w)) return;
                if (p.tzid.empty() && !w.wall.utc && !w.wall.isDate) w.zone = e.start.zone;
                if (Instant(w, t) != Conv::Ok) return;
                (w.wall.isDate ? excludedDays : excluded).insert(t);
            });
        }

        // Changed occurrences of this series: each replaces the occurrence it names (matched by
        // date in an all-day series, whatever form its RECURRENCE-ID has); one with
        // THISANDFUTURE also replaces every later one, moved as it was moved.
        struct Future {
            TimePoint rid;
            TimePoint shift;
            EventData data;
        };
        std::set<TimePoint> replacedStarts;
        std::set<int64_t> replacedDays;
        std::vector<Future> futures;
        const Property* uid = ev.First(Prop::Uid);
        if (const auto it = uid ? m_overrides.find(std::string(uid->value)) : m_overrides.end();
            it != m_overrides.end()) {
            for (const Override& o : it->second) {
                When rid = o.rid;
                if (!rid.zone && !rid.wall.utc && !rid.wall.isDate) rid.zone = e.start.zone;
                if (e.start.wall.isDate) {
                    replacedDays.insert(CivilDays(rid.wall.year, rid.wall.month, rid.wall.day));
                }
                TimePoint t = 0;
                if (rid.wall.isDate && !e.start.wall.isDate) {
                    // A date names the occurrence on that day.
                    rid.wall.isDate = false;
                    rid.wall.hour = e.start.wall.hour;
                    rid.wall.minute = e.start.wall.minute;
                    rid.wall.second = e.start.wall.second;
                    rid.wall.utc = e.start.wall.utc;
                    rid.zone = e.start.zone;
                }
                if (Instant(rid, t) != Conv::Ok) continue;
                replacedStarts.insert(t);
                if (!o.thisAndFuture) continue;
                Future f{t, 0, {}};
                // Counted once, as the changed occurrence itself; not again here.
                const auto counts = m_result.skipped;
                const bool ok = ReadEvent(*o.component, f.data);
                m_result.skipped = counts;
                if (!ok) continue;
                if (StatusIs(*o.component, "CANCELLED")) f.data.cancelled = true;
                f.shift = f.data.startInstant - t;
                futures.push_back(std::move(f));
            }
        }
        std::sort(futures.begin(), futures.end(),
                  [](const Future& a, const Future& b) { return a.rid < b.rid; });

        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        for (const TimePoint occurrence : starts) {
            if (excluded.count(occurrence) || excludedDays.count(StartOfLocalDay(occurrence))) {
                continue;
            }
            if (replacedStarts.count(occurrence)) continue;
            if (e.start.wall.isDate) {
                const std::tm f = LocalFields(occurrence);
                if (replacedDays.count(CivilDays(f.tm_year + 1900, f.tm_mon + 1, f.tm_mday))) {
                    continue;
                }
            }
            const EventData* data = &e;
            TimePoint start = occurrence;
            for (auto f = futures.rbegin(); f != futures.rend(); ++f) {
                if (f->rid < occurrence) {
                    data = &f->data;
                    start = occurrence + f->shift;
                    break;
                }
            }
            if (start < m_todayStart || start >= m_windowEnd) continue;
            if (data->cancelled) {
                Skip(IcsSkipReason::Cancelled);
                continue;
            }
            const auto moment = Reminder(start, data->endOffset, data->alarms, false);
            if (!moment) {
                Skip(IcsSkipReason::NoDate);
                continue;
            }
            Add(*moment, data->summary.empty() ? e.summary : data->summary);
        }
        if (limited) Skip(IcsSkipReason::ExpansionLimit);
    }

    void Todo(const Component& todo) {
        if (StatusIs(todo, "COMPLETED") || todo.First(Prop::Completed)) {
            return Skip(IcsSkipReason::Completed);
        }
        if (StatusIs(todo, "CANCELLED")) return Skip(IcsSkipReason::Cancelled);
        const std::string summary = Text(todo, Prop::Summary);
        if (summary.empty()) return Skip(IcsSkipReason::NoSummary);

        TimePoint due = 0;
        TimePoint start = 0;
        const Read dueRead = TimeOf(todo, Prop::Due, due);
        const Read startRead = TimeOf(todo, Prop::DtStart, start);
        if (dueRead == Read::UnknownZone || startRead == Read::UnknownZone) {
            return Skip(IcsSkipReason::UnknownTimeZone);
        }
        if (dueRead == Read::Limit || startRead == Read::Limit) {
            return Skip(IcsSkipReason::ExpansionLimit);
        }
        bool hasDue = dueRead == Read::Ok;
        const bool hasStart = startRead == Read::Ok;
        if (!hasDue && hasStart) {
            // Without DUE a task is due at its start plus its duration (RFC 5545 3.6.2).
            if (const Property* d = todo.First(Prop::Duration)) {
                if (const auto dur = ParseDuration(d->value)) {
                    if (const auto t = Shift(start, *dur)) {
                        due = *t;
                        hasDue = true;
                    }
                }
            }
        }
        std::optional<TimePoint> moment;
        for (const Alarm& alarm : Alarms(todo)) {
            std::optional<TimePoint> t;
            if (!alarm.relative) {
                t = alarm.absolute;
            } else if (alarm.relatedEnd ? hasDue : (hasStart || hasDue)) {
                const TimePoint base = alarm.relatedEnd || !hasStart ? due : start;
                t = Shift(base, alarm.offset);
            }
            if (t && (!moment || *t < *moment)) moment = t;
        }
        if (!moment && hasDue) moment = due;
        if (!moment) return Skip(IcsSkipReason::NoDate);
        Add(*moment, summary);
    }

    void Skip(IcsSkipReason reason, size_t n = 1) {
        m_result.skipped[static_cast<size_t>(reason)] += n;
    }

    void Add(TimePoint moment, const std::string& summary) {
        if (moment < m_todayStart) {
            Skip(IcsSkipReason::Past);
            return;
        }
        if (m_result.records.size() >= kMaxIcsRecordsPerFile) {
            Skip(IcsSkipReason::TooManyEntries);
            return;
        }
        bool replaced = false;
        std::string remark = ImportedRemark(summary, &replaced);
        if (remark.size() > kMaxRemarkBytes) remark.resize(kMaxRemarkBytes);
        if (replaced) ++m_result.replaced;
        const std::tm f = LocalFields(moment);
        m_result.records.push_back(
            ImportedKey(f.tm_mday, f.tm_mon + 1, f.tm_year + 1900, f.tm_hour, f.tm_min) +
            std::string(kRecordSeparator) + remark);
    }

    struct SystemZoneEntry {
        std::unique_ptr<Document> doc;
        std::unique_ptr<ZoneRules> zone;
    };

    const Document& m_doc;
    IcsImportResult& m_result;
    Budget m_budget;
    TimePoint m_todayStart = 0;
    TimePoint m_windowEnd = 0;
    bool m_unknownZone = false;  // set by WhenOf when it fails for the zone
    bool m_unsupported = false;
    std::vector<std::map<std::string, ZoneSlot>> m_zones;
    size_t m_observancesBuilt = 0;
    std::map<std::string, SystemZoneEntry> m_systemZones;
    std::set<size_t> m_superseded;
    std::map<std::string, std::vector<Override>> m_overrides;
};

const char* ReasonText(IcsSkipReason reason) {
    switch (reason) {
        case IcsSkipReason::Past:
            return "in the past";
        case IcsSkipReason::Cancelled:
            return "cancelled";
        case IcsSkipReason::Completed:
            return "completed tasks";
        case IcsSkipReason::NoDate:
            return "without a usable date";
        case IcsSkipReason::NoSummary:
            return "without a summary";
        case IcsSkipReason::UnknownTimeZone:
            return "in an unknown time zone";
        case IcsSkipReason::UnsupportedRule:
            return "repeating more often than daily";
        case IcsSkipReason::ExpansionLimit:
            return "with too many repetitions to expand";
        case IcsSkipReason::TooManyEntries:
            return "beyond the limit of entries per file";
        case IcsSkipReason::DamagedRule:
            return "with an unreadable repeat rule (imported once, at their start)";
        case IcsSkipReason::Superseded:
            return "replaced by a newer copy of the same entry";
    }
    return "for another reason";
}

std::string Entries(size_t n) {
    return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

}  // namespace

size_t IcsImportResult::SkippedTotal() const {
    size_t total = 0;
    for (const size_t n : skipped) total += n;
    return total;
}

IcsImportResult ParseIcs(std::string_view text, TimePoint now, double expansionSeconds) {
    IcsImportResult result;
    const Document doc = ParseDocument(text);
    result.status = doc.status;
    if (result.status != IcsFileStatus::Ok) return result;
    result.ignoredLines = doc.ignoredLines;
    InitLibical();
    Importer importer(doc, now, expansionSeconds, result);
    importer.Run();
    result.imported = result.records.size();
    return result;
}

IcsImportResult ImportIcsFile(const std::filesystem::path& file, const AppointmentStore& store,
                              TimePoint now, bool deleteExpired) {
    std::string text;
    const ReadStatus read = ReadWholeFile(file, text, kMaxIcsFileBytes);
    if (read != ReadStatus::Ok) {
        IcsImportResult r;
        r.status =
            read == ReadStatus::TooLarge ? IcsFileStatus::TooLarge : IcsFileStatus::Unreadable;
        return r;
    }
    IcsImportResult result = ParseIcs(text, now);
    if (result.status != IcsFileStatus::Ok || result.records.empty()) return result;
    if (store.AddAndTidy(result.records, deleteExpired, now) != StoreStatus::Ok) {
        result.status = IcsFileStatus::WriteFailed;
        result.imported = 0;
    }
    return result;
}

std::string IcsSummaryText(const std::string& name, const IcsImportResult& result) {
    switch (result.status) {
        case IcsFileStatus::Ok:
        case IcsFileStatus::WriteFailed:
            break;
        case IcsFileStatus::Unreadable:
            return name + ": the file cannot be read. Nothing was imported.";
        case IcsFileStatus::TooLarge:
            return name + ": the file is too large (more than " +
                   std::to_string(kMaxIcsFileBytes >> 20) + " MB). Nothing was imported.";
        case IcsFileStatus::Empty:
            return name + ": the file is empty. Nothing was imported.";
        case IcsFileStatus::NotICalendar:
            return name + ": the file is not an iCalendar file. Nothing was imported.";
        case IcsFileStatus::Truncated:
            return name +
                   ": the file is incomplete (END:VCALENDAR is missing). Nothing was "
                   "imported.";
    }
    std::string text = name + ": " + Entries(result.imported) + " imported";
    const size_t skipped = result.SkippedTotal();
    if (skipped > 0) {
        text += ", " + std::to_string(skipped) + " skipped (";
        bool first = true;
        for (size_t i = 0; i < kIcsSkipReasonCount; ++i) {
            if (result.skipped[i] == 0) continue;
            if (!first) text += ", ";
            first = false;
            text +=
                std::to_string(result.skipped[i]) + " " + ReasonText(static_cast<IcsSkipReason>(i));
        }
        text += ")";
    }
    text += ".";
    if (result.status == IcsFileStatus::WriteFailed) {
        text += "\nThe appointments file could not be written; nothing was imported.";
    }
    if (result.ignoredLines > 0) {
        text += "\n" + std::to_string(result.ignoredLines) +
                (result.ignoredLines == 1 ? " line" : " lines") +
                " after END:VCALENDAR that belong to no calendar were ignored.";
    }
    if (result.replaced > 0) {
        text += "\n" + Entries(result.replaced) +
                " had control characters or characters Windows-1252 lacks; they were replaced by "
                "\"?\".";
    }
    return text;
}

}  // namespace tavolin
