#include "appointments/ics/ZoneRules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <utility>

namespace tavolin::ics {
namespace {

// Observances of one VTIMEZONE and their RDATEs; real zones have a handful.
constexpr size_t kMaxObservances = 200;
constexpr size_t kMaxObservanceDates = 1000;
// Zone rules are expanded up to the year asked for; keep that bounded.
constexpr int kMinZonedYear = 1800;
constexpr int kMaxZonedYear = 2600;

}  // namespace

std::unique_ptr<ZoneRules> ZoneRules::Make(const Document& doc, const Component& tz) {
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

Conv ZoneRules::ToUtc(const Civil& wall, Budget& budget, int64_t& out) {
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

Conv ZoneRules::ToWall(int64_t utc, Budget& budget, Civil& out) {
    const Civil approx = CivilOfWall(utc);
    if (approx.year < kMinZonedYear || approx.year > kMaxZonedYear) return Conv::Invalid;
    if (!Extend(approx.year + 1, budget)) return Conv::Limit;
    out = CivilOfWall(utc + OffsetAt(utc));
    return Conv::Ok;
}

void ZoneRules::Push(const Civil& onset, int from, int to) {
    m_transitions.push_back({WallSeconds(onset) - from, from, to});
}

void ZoneRules::Sort() {
    std::stable_sort(m_transitions.begin(), m_transitions.end(),
                     [](const Transition& a, const Transition& b) { return a.utc < b.utc; });
}

bool ZoneRules::Extend(int year, Budget& budget) {
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

int ZoneRules::OffsetAt(int64_t utc) const {
    const auto it = std::upper_bound(m_transitions.begin(), m_transitions.end(), utc,
                                     [](int64_t t, const Transition& tr) { return t < tr.utc; });
    if (it == m_transitions.begin()) return m_transitions.front().from;
    return std::prev(it)->to;
}

bool PlausibleZoneName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name.front() == '/') return false;
    if (name.find("..") != std::string_view::npos) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '_' || c == '+' ||
               c == '-';
    });
}

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

}  // namespace tavolin::ics
