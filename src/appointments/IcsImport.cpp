#include "appointments/IcsImport.h"

#include <libical/ical.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "appointments/Appointment.h"
#include "appointments/ImportText.h"
#include "appointments/ics/ContentLines.h"
#include "appointments/ics/IcsBudget.h"
#include "appointments/ics/IcsValues.h"
#include "appointments/ics/RuleStepper.h"
#include "appointments/ics/ZoneRules.h"
#include "util/CivilDays.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

using namespace ics;

// The file is read by ics::ParseDocument; libical only reads repeat rules and durations,
// iterates rules and supplies the system's time zones.

// A remark is one line of the wallpaper's appointment block; more is never shown.
constexpr size_t kMaxRemarkBytes = 1024;
// Observances of all zones one file uses; libical's iterator of a rule takes a few kilobytes.
constexpr size_t kMaxObservancesPerFile = 20000;
// Nominal days of an alarm offset; far beyond any real reminder.
constexpr int64_t kMaxOffsetDays = 100000;

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
