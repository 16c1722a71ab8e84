#include "appointments/ics/ContentLines.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

namespace tavolin::ics {

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

namespace {

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

Kind KindOf(std::string_view name) {
    if (EqualsNoCase(name, "VCALENDAR")) return Kind::Calendar;
    if (EqualsNoCase(name, "VEVENT")) return Kind::Event;
    if (EqualsNoCase(name, "VTODO")) return Kind::Todo;
    if (EqualsNoCase(name, "VALARM")) return Kind::Alarm;
    if (EqualsNoCase(name, "VTIMEZONE")) return Kind::TimeZone;
    if (EqualsNoCase(name, "STANDARD") || EqualsNoCase(name, "DAYLIGHT")) return Kind::Observance;
    return Kind::Other;
}

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

}  // namespace

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

}  // namespace tavolin::ics
