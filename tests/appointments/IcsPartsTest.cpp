// The parts of the iCalendar import on their own: the content-line reader, the value parsers
// and the own stepper of daily and weekly rules, checked against libical's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "appointments/ics/ContentLines.h"
#include "appointments/ics/IcsBudget.h"
#include "appointments/ics/IcsValues.h"
#include "appointments/ics/RuleStepper.h"
#include "appointments/ics/ZoneRules.h"

namespace tavolin::ics {
namespace {

const Component& FirstOf(const Document& doc, Kind kind) {
    for (const Component& c : doc.components) {
        if (c.kind == kind) return c;
    }
    ADD_FAILURE() << "no such component";
    return doc.components.front();
}

TEST(IcsContentLines, UnfoldsAndReadsQuotedParameters) {
    const Document doc = ParseDocument(
        "\xEF\xBB\xBF"
        "BEGIN:VCALENDAR\n"
        "BEGIN:VEVENT\r\n"
        "SUMMARY:a\r\n"
        " b\r\n"
        "\tc:d\r\n"
        "DTSTART;X-A=\"x;y:z\";TZID=\"Europe/Berlin\";VALUE=DATE-TIME:20270310T100000\r\n"
        "DTEND;TZID=A;TZID=B:20270310T110000\r\n"
        "DUE;VALUE=DATE:20270311\r\n"
        "X-UNKNOWN:ignored\r\n"
        "BEGIN:X-OTHER\r\n"
        "UID:not kept\r\n"
        "END:X-OTHER\r\n"
        "BEGIN:VALARM\r\n"
        "TRIGGER;RELATED=END:-PT5M\r\n"
        "END:VALARM\r\n"
        "END:VEVENT\r\n"
        "END:VCALENDAR\r\n"
        "trailing\r\n");
    ASSERT_EQ(doc.status, IcsFileStatus::Ok);
    EXPECT_EQ(doc.ignoredLines, 1u);
    const Component& ev = FirstOf(doc, Kind::Event);
    ASSERT_EQ(ev.props.size(), 4u);  // the unknown property and the other component's are gone
    EXPECT_EQ(ev.First(Prop::Summary)->value, "abc:d");
    const Property* start = ev.First(Prop::DtStart);
    EXPECT_EQ(start->tzid, "Europe/Berlin");
    EXPECT_TRUE(start->valueDateTime);
    EXPECT_EQ(start->value, "20270310T100000");
    EXPECT_EQ(ev.First(Prop::DtEnd)->tzid, "A");
    EXPECT_TRUE(ev.First(Prop::Due)->valueDate);
    EXPECT_EQ(ev.First(Prop::Uid), nullptr);
    ASSERT_EQ(ev.children.size(), 1u);
    const Component& alarm = doc.components[ev.children[0]];
    EXPECT_EQ(alarm.kind, Kind::Alarm);
    EXPECT_TRUE(alarm.First(Prop::Trigger)->relatedEnd);
}

TEST(IcsContentLines, StatusOfWhatIsNoCompleteCalendar) {
    const struct {
        std::string text;
        IcsFileStatus status;
    } cases[] = {
        {" \r\n\r\n", IcsFileStatus::Empty},
        {"BEGIN:VCARD\r\nEND:VCARD\r\n", IcsFileStatus::NotICalendar},
        {std::string("BEGIN:VCALENDAR\r\n\0\r\nEND:VCALENDAR\r\n", 34),
         IcsFileStatus::NotICalendar},
        {"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\n", IcsFileStatus::Truncated},
        // An unclosed quote swallows the line: it is no BEGIN and the calendar stays open.
        {"BEGIN:VCALENDAR\r\nX;A=\"b:c\r\nEND:VCALENDAR\r\n", IcsFileStatus::Ok},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDocument(c.text).status, c.status) << c.text;
    }
}

TEST(IcsContentLines, ALineWithTooManyParametersIsDropped) {
    std::string params;
    for (size_t i = 0; i <= kMaxParametersPerProperty; ++i) params += ";X=1";
    const Document doc = ParseDocument("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID" + params +
                                       ":a\r\nSUMMARY;X=1:b\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    const Component& ev = FirstOf(doc, Kind::Event);
    EXPECT_EQ(ev.First(Prop::Uid), nullptr);
    ASSERT_NE(ev.First(Prop::Summary), nullptr);
}

TEST(IcsValues, DateTimes) {
    const struct {
        const char* text;
        bool ok;
        int day, second;
        bool isDate, utc;
    } cases[] = {
        {"20240229", true, 29, 0, true, false},
        {"20230229", false},
        {"21000229T000000", false},
        {"20000229T120060", true, 29, 59, false, false},  // a leap second is read as :59
        {"20270431T100000", false},
        {"20270430t100000z", true, 30, 0, false, true},
        {"20270430T100000 \t", true, 30, 0, false, false},
        {"20270430T100000Y", false},
        {"20270430T1000", false},
        {"00001231", false},
        {"2027043", false},
    };
    for (const auto& c : cases) {
        const auto v = ParseDateTime(c.text);
        ASSERT_EQ(v.has_value(), c.ok) << c.text;
        if (!v) continue;
        EXPECT_EQ(v->day, c.day) << c.text;
        EXPECT_EQ(v->second, c.second) << c.text;
        EXPECT_EQ(v->isDate, c.isDate) << c.text;
        EXPECT_EQ(v->utc, c.utc) << c.text;
    }
    EXPECT_FALSE(ParseDateTime("20270430T100000", true));
    const Civil back = CivilOfWall(WallSeconds(*ParseDateTime("19001231T235959")) + 1);
    EXPECT_EQ(back.year * 10000 + back.month * 100 + back.day, 19010101);
    EXPECT_EQ(back.hour + back.minute + back.second, 0);
}

TEST(IcsValues, OffsetsAndText) {
    EXPECT_EQ(ParseOffset("+0100"), 3600);
    EXPECT_EQ(ParseOffset("-013015"), -(3600 + 30 * 60 + 15));
    EXPECT_EQ(ParseOffset("+2400"), std::nullopt);
    EXPECT_EQ(ParseOffset("0100"), std::nullopt);
    EXPECT_EQ(ParseOffset("+01000"), std::nullopt);
    EXPECT_EQ(UnescapeText("a\\,b\\;c\\nd\\N\\\\e\\"), "a,b;c\nd\n\\e\\");
}

// The own stepper must give what libical gives for every rule it takes on.
TEST(IcsRuleStepper, AgreesWithLibical) {
    InitLibical();
    const struct {
        const char* rule;
        const char* start;
    } cases[] = {
        {"FREQ=DAILY;INTERVAL=3;COUNT=20", "20270227T090000"},
        {"FREQ=WEEKLY;BYDAY=MO,WE,FR;COUNT=25", "20270303T080000"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=SU,TU;WKST=SU", "20270302T080000"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=SU,TU;WKST=MO", "20270302T080000"},
        {"FREQ=WEEKLY;INTERVAL=3", "20241229"},
        {"FREQ=DAILY;UNTIL=20270310T090000", "20270301T090000"},  // UNTIL itself counts
    };
    for (const auto& c : cases) {
        icalrecurrencetype rule = ParseRule(c.rule);
        const Civil start = *ParseDateTime(c.start);
        IteratorPtr it(icalrecur_iterator_new(rule, ToIcal(start)));
        ASSERT_TRUE(it) << c.rule;
        std::vector<int64_t> expected;
        for (int i = 0; i < 40; ++i) {
            const icaltimetype t = icalrecur_iterator_next(it.get());
            if (icaltime_is_null_time(t)) break;
            expected.push_back(WallSeconds(FromIcal(t, false)));
        }
        const Until until = TakeUntil(rule);
        SimpleRule simple;
        ASSERT_TRUE(simple.Make(rule, start)) << c.rule;
        std::vector<int64_t> got;
        while (got.size() < 40) {
            const auto next = simple.Next();
            if (!next || PastUntil(until, *next, std::nullopt)) break;
            got.push_back(WallSeconds(*next));
        }
        EXPECT_EQ(got, expected) << c.rule;
    }
    // What the stepper does not take on goes to libical.
    SimpleRule simple;
    EXPECT_FALSE(simple.Make(ParseRule("FREQ=WEEKLY;BYDAY=1MO"), *ParseDateTime("20270301")));
    EXPECT_FALSE(simple.Make(ParseRule("FREQ=DAILY;BYDAY=MO"), *ParseDateTime("20270301")));
    EXPECT_FALSE(simple.Make(ParseRule("FREQ=MONTHLY"), *ParseDateTime("20270301")));
}

TEST(IcsZoneRules, OffsetsBeforeBetweenAndAfterTheChanges) {
    InitLibical();
    const Document doc = ParseDocument(
        "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Z\r\n"
        "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
        "DTSTART:20000326T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
        "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
        "DTSTART:20001029T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
        "END:VTIMEZONE\r\nEND:VCALENDAR\r\n");
    auto zone = ZoneRules::Make(doc, FirstOf(doc, Kind::TimeZone));
    ASSERT_TRUE(zone);
    Budget budget(10);
    const struct {
        const char* wall;
        int offset;
    } cases[] = {
        {"19991231T120000", 3600},  // before the first change: the offset before it
        {"20270328T023000", 3600},  // in the gap: the offset before the change
        {"20270701T120000", 7200}, {"20271031T023000", 7200},  // twice: the first
        {"20271031T033000", 3600},
    };
    for (const auto& c : cases) {
        const Civil wall = *ParseDateTime(c.wall);
        int64_t utc = 0;
        ASSERT_EQ(zone->ToUtc(wall, budget, utc), Conv::Ok) << c.wall;
        EXPECT_EQ(WallSeconds(wall) - utc, c.offset) << c.wall;
    }
    Civil back;
    ASSERT_EQ(zone->ToWall(WallSeconds(*ParseDateTime("20270701T100000")), budget, back), Conv::Ok);
    EXPECT_EQ(back.hour, 12);
    int64_t utc = 0;
    EXPECT_EQ(zone->ToUtc(*ParseDateTime("17991231T120000"), budget, utc), Conv::Invalid);
    EXPECT_TRUE(PlausibleZoneName("America/Port-au-Prince"));
    EXPECT_FALSE(PlausibleZoneName("Europe/../../etc/passwd"));
    EXPECT_FALSE(PlausibleZoneName("/etc/localtime"));
}

}  // namespace
}  // namespace tavolin::ics
