#pragma once
// Time zones: the rules of a VTIMEZONE, and the system's zones by name.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "appointments/ics/ContentLines.h"
#include "appointments/ics/IcsBudget.h"
#include "appointments/ics/IcsValues.h"
#include "appointments/ics/RuleStepper.h"

namespace tavolin::ics {

enum class Conv { Ok, Invalid, Limit };

// The rules of one VTIMEZONE, expanded year by year as far as asked, within the budget.
class ZoneRules {
public:
    // Null for a zone that has no usable observance or whose rules would make the expansion
    // run without end (rules repeating more often than yearly, thousands of observances).
    static std::unique_ptr<ZoneRules> Make(const Document& doc, const Component& tz);

    // The UTC instant of a clock time in this zone. A time the clocks skip is read with the
    // offset before the change (02:30 in the spring gap is 03:30), a time that occurs twice as
    // the first of the two (RFC 5545 3.3.5); before the zone's first change the offset before
    // that change holds (3.6.5).
    Conv ToUtc(const Civil& wall, Budget& budget, int64_t& out);

    size_t Observances() const { return m_obs.size(); }

    // Clock time in this zone of a UTC instant.
    Conv ToWall(int64_t utc, Budget& budget, Civil& out);

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

    void Push(const Civil& onset, int from, int to);
    void Sort();
    // Onsets of every repeating observance up to the end of year.
    bool Extend(int year, Budget& budget);
    int OffsetAt(int64_t utc) const;

    std::vector<Observance> m_obs;
    std::vector<Transition> m_transitions;
    int m_extendedTo = INT_MIN;
};

// Names of the system's zone database: letters, digits and "/_+-", no ".." (libical opens the
// file of that name below the zoneinfo directory).
bool PlausibleZoneName(std::string_view name);

// The system's zone of that name, as a VTIMEZONE text from libical; empty when unknown.
std::string SystemZoneText(const std::string& name);

}  // namespace tavolin::ics
