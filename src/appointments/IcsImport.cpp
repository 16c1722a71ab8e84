#include "appointments/IcsImport.h"

#include <libical/ical.h>

#include <algorithm>
#include <cctype>
#include <chrono>
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

// Components nest three deep in practice (calendar, event, alarm); libical frees them
// recursively, so deeper nesting is refused before it is parsed.
constexpr int kMaxNesting = 12;
// A remark is one line of the wallpaper's appointment block; more is never shown.
constexpr size_t kMaxRemarkBytes = 1024;
// Observances of one VTIMEZONE and their RDATEs; real zones have a handful.
constexpr int kMaxObservances = 200;
constexpr int kMaxObservanceDates = 1000;
// Nominal days of an alarm offset; far beyond any real reminder.
constexpr int64_t kMaxOffsetDays = 100000;

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

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

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimSpace(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The checks libical cannot make: it parses anything, fills gaps and does not say that the
// end is missing.
IcsFileStatus CheckShape(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    text = TrimSpace(text);
    if (text.empty()) return IcsFileStatus::Empty;
    if (text.find('\0') != std::string_view::npos) return IcsFileStatus::NotICalendar;
    if (!StartsNoCase(text, "BEGIN:VCALENDAR")) return IcsFileStatus::NotICalendar;
    const size_t lastBreak = text.find_last_of('\n');
    const std::string_view last =
        TrimSpace(lastBreak == std::string_view::npos ? text : text.substr(lastBreak + 1));
    if (!EqualsNoCase(last, "END:VCALENDAR")) return IcsFileStatus::Truncated;
    int depth = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (StartsNoCase(line, "BEGIN:")) {
            if (++depth > kMaxNesting) return IcsFileStatus::NotICalendar;
        } else if (StartsNoCase(line, "END:")) {
            --depth;
        }
        start = end + 1;
    }
    return IcsFileStatus::Ok;
}

// Seconds since 1970 of a civil date and time in UTC.
TimePoint UtcSeconds(const icaltimetype& tt) {
    return CivilDays(tt.year, tt.month, tt.day) * 86400 + int64_t{tt.hour} * 3600 +
           int64_t{tt.minute} * 60 + tt.second;
}

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

class Importer {
public:
    Importer(TimePoint now, double expansionSeconds, IcsImportResult& result)
        : m_result(result),
          m_deadline(std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(expansionSeconds))) {
        m_todayStart = StartOfLocalDay(now);
        const std::tm f = LocalFields(m_todayStart);
        m_windowEnd = MakeLocal(f.tm_year + 1900 + 1, f.tm_mon + 1, f.tm_mday, 0, 0, 0);
    }

    void Calendar(icalcomponent* calendar) {
        m_calendar = calendar;
        FindUnsafeZones();
        FindOverrides();
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind == ICAL_VEVENT_COMPONENT) {
                Event(c);
            } else if (kind == ICAL_VTODO_COMPONENT) {
                Todo(c);
            }
        }
    }

private:
    struct Alarm {
        bool relative = true;
        icaldurationtype offset{};
        bool relatedEnd = false;
        TimePoint absolute = 0;
    };

    // A time zone whose rules would make libical work without end (rules repeating more often
    // than yearly, thousands of observances) is treated as unknown.
    void FindUnsafeZones() {
        for (icalcomponent* tz =
                 icalcomponent_get_first_component(m_calendar, ICAL_VTIMEZONE_COMPONENT);
             tz; tz = icalcomponent_get_next_component(m_calendar, ICAL_VTIMEZONE_COMPONENT)) {
            icalproperty* id = icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY);
            const char* tzid = id ? icalproperty_get_tzid(id) : nullptr;
            if (!tzid) continue;
            int observances = 0;
            int dates = 0;
            bool unsafe = false;
            for (icalcomponent* o = icalcomponent_get_first_component(tz, ICAL_ANY_COMPONENT); o;
                 o = icalcomponent_get_next_component(tz, ICAL_ANY_COMPONENT)) {
                if (++observances > kMaxObservances) unsafe = true;
                for (icalproperty* p = icalcomponent_get_first_property(o, ICAL_ANY_PROPERTY); p;
                     p = icalcomponent_get_next_property(o, ICAL_ANY_PROPERTY)) {
                    const icalproperty_kind kind = icalproperty_isa(p);
                    if (kind == ICAL_RRULE_PROPERTY) {
                        const icalrecurrencetype rule = icalproperty_get_rrule(p);
                        if (rule.freq != ICAL_YEARLY_RECURRENCE || rule.interval < 1) unsafe = true;
                    } else if (kind == ICAL_RDATE_PROPERTY && ++dates > kMaxObservanceDates) {
                        unsafe = true;
                    }
                }
            }
            if (unsafe) m_unsafeZones.insert(tzid);
        }
    }

    // The zone of a date-time property: false for a TZID nobody knows. Floating times and UTC
    // times have no zone (the time value says which).
    bool ZoneOf(icalproperty* p, icaltimezone** zone) {
        *zone = nullptr;
        icalparameter* param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
        if (!param) return true;
        const char* tzid = icalparameter_get_tzid(param);
        if (!tzid || !*tzid) return true;
        if (m_unsafeZones.count(tzid)) return false;
        if (icaltimezone* z = icalcomponent_get_timezone(m_calendar, tzid)) {
            *zone = z;
            return true;
        }
        if (EqualsNoCase(tzid, "UTC") || EqualsNoCase(tzid, "GMT")) {
            *zone = icaltimezone_get_utc_timezone();
            return true;
        }
        if (!PlausibleZoneName(tzid)) return false;
        *zone = icaltimezone_get_builtin_timezone(tzid);
        return *zone != nullptr;
    }

    // Local point in time of a value: dates at 00:00 and floating times on the local clock,
    // UTC and zoned times converted.
    std::optional<TimePoint> ToLocal(icaltimetype tt, icaltimezone* zone) const {
        if (icaltime_is_null_time(tt) || !icaltime_is_valid_time(tt)) return std::nullopt;
        if (tt.year < 1 || tt.year > 9999 || tt.month < 1 || tt.month > 12 || tt.day < 1 ||
            tt.day > 31 || tt.hour < 0 || tt.hour > 23 || tt.minute < 0 || tt.minute > 59 ||
            tt.second < 0 || tt.second > 60) {
            return std::nullopt;
        }
        if (tt.is_date) {
            const TimePoint t = MakeLocal(tt.year, tt.month, tt.day, 0, 0, 0);
            return t == -1 ? std::nullopt : std::optional<TimePoint>(t);
        }
        if (icaltime_is_utc(tt)) return UtcSeconds(tt);
        if (zone && zone != icaltimezone_get_utc_timezone()) {
            // Zone rules are expanded up to the year asked for; keep that bounded.
            if (tt.year < 1800 || tt.year > 2600) return std::nullopt;
            icaltimezone_convert_time(&tt, zone, icaltimezone_get_utc_timezone());
            return UtcSeconds(tt);
        }
        if (zone) return UtcSeconds(tt);
        const TimePoint t = MakeLocal(tt.year, tt.month, tt.day, tt.hour, tt.minute, tt.second);
        return t == -1 ? std::nullopt : std::optional<TimePoint>(t);
    }

    enum class Read { Ok, Missing, Invalid, UnknownZone };

    // The time of the first property of kind, as a local point in time.
    Read TimeOf(icalcomponent* c, icalproperty_kind kind, TimePoint& out,
                icaltimetype* raw = nullptr, icaltimezone** rawZone = nullptr) {
        icalproperty* p = icalcomponent_get_first_property(c, kind);
        if (!p) return Read::Missing;
        icaltimezone* zone = nullptr;
        if (!ZoneOf(p, &zone)) return Read::UnknownZone;
        icalvalue* v = icalproperty_get_value(p);
        if (!v) return Read::Invalid;
        const icalvalue_kind valueKind = icalvalue_isa(v);
        if (valueKind != ICAL_DATE_VALUE && valueKind != ICAL_DATETIME_VALUE) return Read::Invalid;
        const icaltimetype tt =
            valueKind == ICAL_DATE_VALUE ? icalvalue_get_date(v) : icalvalue_get_datetime(v);
        const auto t = ToLocal(tt, zone);
        if (!t) return Read::Invalid;
        out = *t;
        if (raw) *raw = tt;
        if (rawZone) *rawZone = zone;
        return Read::Ok;
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

    // The first display or audio alarm with a readable trigger.
    std::optional<Alarm> FirstAlarm(icalcomponent* c) {
        for (icalcomponent* a = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT); a;
             a = icalcomponent_get_next_component(c, ICAL_VALARM_COMPONENT)) {
            icalproperty* action = icalcomponent_get_first_property(a, ICAL_ACTION_PROPERTY);
            if (!action || !icalproperty_get_value(action)) continue;
            const icalproperty_action kind = icalproperty_get_action(action);
            if (kind != ICAL_ACTION_DISPLAY && kind != ICAL_ACTION_AUDIO) continue;
            icalproperty* trigger = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
            if (!trigger || !icalproperty_get_value(trigger)) continue;
            const icaltriggertype tr = icalproperty_get_trigger(trigger);
            if (icaltriggertype_is_bad_trigger(tr)) continue;
            Alarm alarm;
            if (!icaltime_is_null_time(tr.time)) {
                icaltimezone* zone = nullptr;
                if (!ZoneOf(trigger, &zone)) continue;
                const auto t = ToLocal(tr.time, zone);
                if (!t) continue;
                alarm.relative = false;
                alarm.absolute = *t;
                return alarm;
            }
            alarm.offset = tr.duration;
            icalparameter* related =
                icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
            alarm.relatedEnd = related && icalparameter_get_related(related) == ICAL_RELATED_END;
            return alarm;
        }
        return std::nullopt;
    }

    static std::string Summary(icalcomponent* c) {
        icalproperty* p = icalcomponent_get_first_property(c, ICAL_SUMMARY_PROPERTY);
        const char* s = p ? icalproperty_get_summary(p) : nullptr;
        return s ? std::string(s) : std::string();
    }

    static std::string Uid(icalcomponent* c) {
        icalproperty* p = icalcomponent_get_first_property(c, ICAL_UID_PROPERTY);
        const char* s = p ? icalproperty_get_uid(p) : nullptr;
        return s ? std::string(s) : std::string();
    }

    static icalproperty_status Status(icalcomponent* c) {
        icalproperty* p = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY);
        return p && icalproperty_get_value(p) ? icalproperty_get_status(p) : ICAL_STATUS_NONE;
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

    // Instances replaced by their own VEVENT (same UID, RECURRENCE-ID) are not expanded.
    void FindOverrides() {
        for (icalcomponent* c =
                 icalcomponent_get_first_component(m_calendar, ICAL_VEVENT_COMPONENT);
             c; c = icalcomponent_get_next_component(m_calendar, ICAL_VEVENT_COMPONENT)) {
            TimePoint t = 0;
            const std::string uid = Uid(c);
            if (!uid.empty() && TimeOf(c, ICAL_RECURRENCEID_PROPERTY, t) == Read::Ok) {
                m_overrides[uid].insert(t);
            }
        }
    }

    // The reminder of one occurrence starting at start.
    std::optional<TimePoint> Reminder(TimePoint start, TimePoint endOffset,
                                      const std::optional<Alarm>& alarm, bool single) const {
        if (!alarm) return start;
        if (!alarm->relative) return single ? alarm->absolute : start;
        return Shift(alarm->relatedEnd ? start + endOffset : start, alarm->offset);
    }

    bool Usable(Read r) {
        switch (r) {
            case Read::Ok:
                return true;
            case Read::UnknownZone:
                Skip(IcsSkipReason::UnknownTimeZone);
                return false;
            case Read::Missing:
            case Read::Invalid:
                Skip(IcsSkipReason::NoDate);
                return false;
        }
        return false;
    }

    void Event(icalcomponent* ev) {
        if (Status(ev) == ICAL_STATUS_CANCELLED) return Skip(IcsSkipReason::Cancelled);
        const std::string summary = Summary(ev);
        if (summary.empty()) return Skip(IcsSkipReason::NoSummary);
        TimePoint start = 0;
        icaltimetype rawStart{};
        icaltimezone* zone = nullptr;
        if (!Usable(TimeOf(ev, ICAL_DTSTART_PROPERTY, start, &rawStart, &zone))) return;

        TimePoint endOffset = 0;
        TimePoint end = 0;
        if (TimeOf(ev, ICAL_DTEND_PROPERTY, end) == Read::Ok && end > start) {
            endOffset = end - start;
        } else if (icalproperty* d = icalcomponent_get_first_property(ev, ICAL_DURATION_PROPERTY)) {
            if (icalproperty_get_value(d)) {
                if (const auto e = Shift(start, icalproperty_get_duration(d)); e && *e > start) {
                    endOffset = *e - start;
                }
            }
        }
        const std::optional<Alarm> alarm = FirstAlarm(ev);

        const bool repeats = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY) ||
                             icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY);
        const bool isOverride = icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY);
        if (!repeats) {
            // A changed occurrence of a repeating event counts like the occurrences around it.
            if (isOverride && (start < m_todayStart || start >= m_windowEnd)) return;
            const auto moment = Reminder(start, endOffset, alarm, true);
            if (!moment) return Skip(IcsSkipReason::NoDate);
            return Add(*moment, summary);
        }
        Expand(ev, start, rawStart, zone, endOffset, alarm, summary);
    }

    // Today 00:00 in the clock of a series' start value.
    std::optional<icaltimetype> WindowStartIn(const icaltimetype& start, icaltimezone* zone) const {
        icaltimetype t = start;
        if (!start.is_date && icaltime_is_utc(start)) {
            t = icaltime_from_timet_with_zone(m_todayStart, 0, icaltimezone_get_utc_timezone());
        } else if (!start.is_date && zone) {
            t = icaltime_from_timet_with_zone(m_todayStart, 0, zone);
        } else {
            const std::tm f = LocalFields(m_todayStart);
            t.year = f.tm_year + 1900;
            t.month = f.tm_mon + 1;
            t.day = f.tm_mday;
            t.hour = t.minute = t.second = 0;
        }
        if (icaltime_is_null_time(t)) return std::nullopt;
        return t;
    }

    bool OutOfTime() const { return std::chrono::steady_clock::now() >= m_deadline; }

    void Expand(icalcomponent* ev, TimePoint start, const icaltimetype& rawStart,
                icaltimezone* zone, TimePoint endOffset, const std::optional<Alarm>& alarm,
                const std::string& summary) {
        if (m_stepsLeft == 0 || OutOfTime()) return Skip(IcsSkipReason::ExpansionLimit);
        std::vector<TimePoint> starts;
        // The start itself is the first occurrence, whether or not the rule would give it.
        if (start >= m_todayStart && start < m_windowEnd) starts.push_back(start);
        bool limited = false;
        for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY); p;
             p = icalcomponent_get_next_property(ev, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = icalproperty_get_rrule(p);
            if (rule.freq == ICAL_NO_RECURRENCE || rule.freq < ICAL_DAILY_RECURRENCE ||
                rule.interval < 1) {
                return Skip(IcsSkipReason::UnsupportedRule);
            }
            icalrecur_iterator* it = icalrecur_iterator_new(rule, rawStart);
            if (!it) return Skip(IcsSkipReason::UnsupportedRule);
            // A series begun long ago (a birthday since 1960) is entered at today; a series with
            // COUNT has to be counted from its start.
            if (rule.count == 0) {
                if (const auto from = WindowStartIn(rawStart, zone)) {
                    if (icaltime_compare(rawStart, *from) < 0)
                        icalrecur_iterator_set_start(it, *from);
                }
            }
            size_t steps = 0;
            for (icaltimetype occ = icalrecur_iterator_next(it); !icaltime_is_null_time(occ);
                 occ = icalrecur_iterator_next(it)) {
                if (++steps > kMaxIcsStepsPerEvent || m_stepsLeft == 0 || OutOfTime()) {
                    limited = true;
                    break;
                }
                --m_stepsLeft;
                const auto t = ToLocal(occ, zone);
                if (!t) continue;
                if (*t >= m_windowEnd) break;
                if (*t >= m_todayStart) starts.push_back(*t);
            }
            icalrecur_iterator_free(it);
        }
        size_t dates = 0;
        for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(ev, ICAL_RDATE_PROPERTY)) {
            if (++dates > kMaxIcsStepsPerEvent || m_stepsLeft == 0) {
                limited = true;
                break;
            }
            --m_stepsLeft;
            icaltimezone* z = nullptr;
            if (!icalproperty_get_value(p) || !ZoneOf(p, &z)) continue;
            const icaldatetimeperiodtype dp = icalproperty_get_rdate(p);
            const icaltimetype tt = icaltime_is_null_time(dp.time) ? dp.period.start : dp.time;
            const auto t = ToLocal(tt, z ? z : zone);
            if (t && *t >= m_todayStart && *t < m_windowEnd) starts.push_back(*t);
        }
        // Excluded dates: a date-time excludes that start, a date every start on that day.
        std::set<TimePoint> excluded;
        if (const std::string uid = Uid(ev); !uid.empty()) {
            if (const auto it = m_overrides.find(uid); it != m_overrides.end())
                excluded = it->second;
        }
        std::set<TimePoint> excludedDays;
        for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(ev, ICAL_EXDATE_PROPERTY)) {
            icaltimezone* z = nullptr;
            if (!icalproperty_get_value(p) || !ZoneOf(p, &z)) continue;
            const icaltimetype tt = icalproperty_get_exdate(p);
            const auto t = ToLocal(tt, z ? z : zone);
            if (!t) continue;
            (tt.is_date ? excludedDays : excluded).insert(*t);
        }
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        for (const TimePoint occurrence : starts) {
            if (excluded.count(occurrence) || excludedDays.count(StartOfLocalDay(occurrence))) {
                continue;
            }
            const auto moment = Reminder(occurrence, endOffset, alarm, false);
            if (!moment) {
                Skip(IcsSkipReason::NoDate);
                continue;
            }
            Add(*moment, summary);
        }
        if (limited) Skip(IcsSkipReason::ExpansionLimit);
    }

    void Todo(icalcomponent* todo) {
        const icalproperty_status status = Status(todo);
        if (status == ICAL_STATUS_COMPLETED ||
            icalcomponent_get_first_property(todo, ICAL_COMPLETED_PROPERTY)) {
            return Skip(IcsSkipReason::Completed);
        }
        if (status == ICAL_STATUS_CANCELLED) return Skip(IcsSkipReason::Cancelled);
        const std::string summary = Summary(todo);
        if (summary.empty()) return Skip(IcsSkipReason::NoSummary);

        TimePoint due = 0;
        TimePoint start = 0;
        const Read dueRead = TimeOf(todo, ICAL_DUE_PROPERTY, due);
        const Read startRead = TimeOf(todo, ICAL_DTSTART_PROPERTY, start);
        if (dueRead == Read::UnknownZone || startRead == Read::UnknownZone) {
            return Skip(IcsSkipReason::UnknownTimeZone);
        }
        const bool hasDue = dueRead == Read::Ok;
        const bool hasStart = startRead == Read::Ok;
        std::optional<TimePoint> moment;
        if (const auto alarm = FirstAlarm(todo)) {
            if (!alarm->relative) {
                moment = alarm->absolute;
            } else if (alarm->relatedEnd ? hasDue : (hasStart || hasDue)) {
                const TimePoint base = alarm->relatedEnd || !hasStart ? due : start;
                moment = Shift(base, alarm->offset);
            }
        }
        if (!moment && hasDue) moment = due;
        if (!moment) return Skip(IcsSkipReason::NoDate);
        Add(*moment, summary);
    }

    IcsImportResult& m_result;
    TimePoint m_todayStart = 0;
    TimePoint m_windowEnd = 0;
    size_t m_stepsLeft = kMaxIcsStepsPerFile;
    std::chrono::steady_clock::time_point m_deadline;
    icalcomponent* m_calendar = nullptr;
    std::set<std::string> m_unsafeZones;
    std::map<std::string, std::set<TimePoint>> m_overrides;
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
            return "repeating more often than daily or by an unreadable rule";
        case IcsSkipReason::ExpansionLimit:
            return "with too many repetitions to expand";
        case IcsSkipReason::TooManyEntries:
            return "beyond the limit of entries per file";
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
    result.status = CheckShape(text);
    if (result.status != IcsFileStatus::Ok) return result;
    InitLibical();
    const std::string copy(text);  // libical wants a terminated string
    ComponentPtr root(icalparser_parse_string(copy.c_str()));
    if (!root) {
        result.status = IcsFileStatus::NotICalendar;
        return result;
    }
    std::vector<icalcomponent*> calendars;
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
        calendars.push_back(root.get());
    } else if (icalcomponent_isa(root.get()) == ICAL_XROOT_COMPONENT) {
        for (icalcomponent* c =
                 icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
             c; c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT)) {
            calendars.push_back(c);
        }
    }
    if (calendars.empty()) {
        result.status = IcsFileStatus::NotICalendar;
        return result;
    }
    Importer importer(now, expansionSeconds, result);
    for (icalcomponent* calendar : calendars) importer.Calendar(calendar);
    result.imported = result.records.size();
    return result;
}

IcsImportResult ImportIcsFile(const std::filesystem::path& file, const AppointmentStore& store,
                              TimePoint now, const std::function<void()>& refreshList) {
    std::string text;
    const ReadStatus read = ReadWholeFile(file, text, kMaxIcsFileBytes);
    if (read != ReadStatus::Ok) {
        IcsImportResult r;
        r.status =
            read == ReadStatus::TooLarge ? IcsFileStatus::TooLarge : IcsFileStatus::Unreadable;
        return r;
    }
    IcsImportResult result = ParseIcs(text, now);
    if (result.status != IcsFileStatus::Ok) return result;
    result.imported = 0;
    for (const std::string& line : result.records) {
        if (store.AppendRecord(line) != StoreStatus::Ok) {
            result.status = IcsFileStatus::WriteFailed;
            break;
        }
        ++result.imported;
    }
    if (result.imported > 0 && refreshList) refreshList();
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
        text += "\nThe appointments file could not be written; " +
                std::to_string(result.records.size() - result.imported) +
                " entries were not imported.";
    }
    if (result.replaced > 0) {
        text += "\n" + Entries(result.replaced) +
                " had characters Windows-1252 lacks; they were replaced by \"?\".";
    }
    text += UndrawableSummary(result.records);
    return text;
}

}  // namespace tavolin
