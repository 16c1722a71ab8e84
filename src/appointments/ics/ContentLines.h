#pragma once
// The content lines of an iCalendar text: unfolded, split into name, parameters and value, and
// gathered into the components the import reads. libical's own parser is not used: its work
// grows with the square of the properties of a component and of the parameters of a line, and
// it frees what it built recursively.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "appointments/IcsImport.h"

namespace tavolin::ics {

// Components nest three deep in practice (calendar, event, alarm); deeper files are refused.
inline constexpr int kMaxNesting = 12;
// Kept per component and per line; a real event has a few dozen properties, a line a few
// parameters. What lies beyond is ignored, so memory stays in proportion to the file.
inline constexpr size_t kMaxPropertiesPerComponent = 2000;
inline constexpr size_t kMaxParametersPerProperty = 64;

bool EqualsNoCase(std::string_view a, std::string_view b);
bool IsBlank(std::string_view s);

/// The properties the import reads; every other one is dropped while reading.
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

/// The components the import reads: events, tasks and zones of a calendar, alarms of events
/// and tasks, observances of zones.
enum class Kind : uint8_t { Calendar, Event, Todo, Alarm, TimeZone, Observance, Other };

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

// Every complete calendar of the text, with the properties the import reads. One pass over the
// text; work and memory grow in proportion to it.
Document ParseDocument(std::string_view text);

}  // namespace tavolin::ics
