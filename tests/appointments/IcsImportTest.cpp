#include <gtest/gtest.h>

#include "appointments/AppointmentStore.h"
#include "appointments/IcsImport.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using Lines = std::vector<std::string>;

std::string Calendar(const std::string& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string Event(const std::string& props) {
    return "BEGIN:VEVENT\r\nUID:" + std::to_string(std::hash<std::string>{}(props)) + "\r\n" +
           props + "END:VEVENT\r\n";
}

std::string Alarm(const std::string& trigger, const std::string& action = "DISPLAY") {
    return "BEGIN:VALARM\r\nACTION:" + action + "\r\nTRIGGER" + trigger + "\r\nEND:VALARM\r\n";
}

size_t Skipped(const IcsImportResult& r, IcsSkipReason reason) {
    return r.skipped[static_cast<size_t>(reason)];
}

class IcsImportTest : public test::DataDirTest {
protected:
    // Tuesday, 8 December 2026, noon in Berlin.
    TimePoint m_now = test::Local(2026, 12, 8, 12, 0);
    test::FixedClock m_clock{m_now};

    IcsImportResult Parse(const std::string& body) { return ParseIcs(Calendar(body), m_now); }
    Lines Records(const std::string& body) {
        const auto r = Parse(body);
        EXPECT_EQ(r.status, IcsFileStatus::Ok);
        return r.records;
    }
};

TEST_F(IcsImportTest, EventsAtTheirFirstAlarmOrTheirStart) {
    EXPECT_EQ(Records(Event("DTSTART;TZID=Europe/Berlin:20270310T090000\r\nSUMMARY:Zahnarzt\r\n" +
                            Alarm(":-PT15M", "EMAIL") + Alarm(":-PT18H") + Alarm(":-PT5M")) +
                      Event("DTSTART:20270310T090000\r\nSUMMARY:Ohne\r\n") +
                      Event("DTSTART:20270310T090000\r\nDTEND:20270310T100000\r\nSUMMARY:Ende\r\n" +
                            Alarm(";RELATED=END:-PT10M", "AUDIO")) +
                      Event("DTSTART:20270310T090700\r\nSUMMARY:Viertel\r\n" +
                            Alarm(";VALUE=DATE-TIME:20270309T200000Z"))),
              (Lines{"09.03.2027 - 15:00 # Zahnarzt", "10.03.2027 - 09:00 # Ohne",
                     "10.03.2027 - 09:45 # Ende", "09.03.2027 - 21:00 # Viertel"}));
}

TEST_F(IcsImportTest, AllDayEventsTasksAndWhatIsSkipped) {
    const auto r =
        Parse(Event("DTSTART;VALUE=DATE:20270101\r\nSUMMARY:Neujahr\r\n") +
              Event("DTSTART;VALUE=DATE:20270102\r\nSUMMARY:Vorabend\r\n" + Alarm(":-PT6H")) +
              "BEGIN:VTODO\r\nUID:t1\r\nDUE:20270115T170000\r\nSUMMARY:Steuer\r\nEND:VTODO\r\n"
              "BEGIN:VTODO\r\nUID:t2\r\nDUE:20270115T170000\r\nSUMMARY:Bericht\r\n" +
              Alarm(";RELATED=END:-P1D") + "END:VTODO\r\n" +
              "BEGIN:VTODO\r\nUID:t3\r\nDUE:20270115T170000\r\nSTATUS:COMPLETED\r\n"
              "SUMMARY:Erledigt\r\nEND:VTODO\r\n"
              "BEGIN:VTODO\r\nUID:t4\r\nSUMMARY:Irgendwann\r\nEND:VTODO\r\n" +
              Event("DTSTART:20261207T090000\r\nSUMMARY:Gestern\r\n") +
              Event("DTSTART:20270310T090000\r\nSTATUS:CANCELLED\r\nSUMMARY:Abgesagt\r\n") +
              Event("DTSTART:20270310T090000\r\n") + Event("SUMMARY:Ohne Datum\r\n"));
    ASSERT_EQ(r.status, IcsFileStatus::Ok);
    EXPECT_EQ(r.records, (Lines{"01.01.2027 - 00:00 # Neujahr", "01.01.2027 - 18:00 # Vorabend",
                                "15.01.2027 - 17:00 # Steuer", "14.01.2027 - 17:00 # Bericht"}));
    EXPECT_EQ(Skipped(r, IcsSkipReason::Completed), 1u);
    EXPECT_EQ(Skipped(r, IcsSkipReason::NoDate), 2u);
    EXPECT_EQ(Skipped(r, IcsSkipReason::Past), 1u);
    EXPECT_EQ(Skipped(r, IcsSkipReason::Cancelled), 1u);
    EXPECT_EQ(Skipped(r, IcsSkipReason::NoSummary), 1u);
    EXPECT_EQ(IcsSummaryText("k.ics", r),
              "k.ics: 4 entries imported, 6 skipped (1 in the past, 1 cancelled, 1 completed "
              "tasks, 2 without a usable date, 1 without a summary).");
}

// The clocks in Berlin go forward on 28 March 2027, in New York on 14 March.
TEST_F(IcsImportTest, UtcZonedAndFloatingTimesAcrossDaylightSavingChanges) {
    EXPECT_EQ(Records(Event("DTSTART:20270327T100000Z\r\nSUMMARY:utc-winter\r\n") +
                      Event("DTSTART:20270328T100000Z\r\nSUMMARY:utc-summer\r\n") +
                      Event("DTSTART;TZID=America/New_York:20270320T090000\r\nSUMMARY:ny\r\n") +
                      Event("DTSTART:20270328T100000\r\nSUMMARY:floating\r\n") +
                      Event("DTSTART:20270328T100000\r\nSUMMARY:nominal\r\n" + Alarm(":-P1D")) +
                      Event("DTSTART:20270328T100000\r\nSUMMARY:exact\r\n" + Alarm(":-PT24H"))),
              (Lines{"27.03.2027 - 11:00 # utc-winter", "28.03.2027 - 12:00 # utc-summer",
                     "20.03.2027 - 14:00 # ny", "28.03.2027 - 10:00 # floating",
                     "27.03.2027 - 10:00 # nominal", "27.03.2027 - 09:00 # exact"}));
}

TEST_F(IcsImportTest, TimeZonesOfTheFileComeBeforeTheSystemsAndUnknownOnesAreSkipped) {
    const std::string zone =
        "BEGIN:VTIMEZONE\r\nTZID:Custom\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
        "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:Spinning\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
        "RRULE:FREQ=SECONDLY\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:STANDARD\r\n"
        "END:VTIMEZONE\r\n";
    const auto r = Parse(zone + Event("DTSTART;TZID=Custom:20270310T090000\r\nSUMMARY:a\r\n") +
                         Event("DTSTART;TZID=Mars/Olympus:20270310T090000\r\nSUMMARY:b\r\n") +
                         Event("DTSTART;TZID=../../../../etc/passwd:20270310T090000\r\n"
                               "SUMMARY:c\r\n") +
                         Event("DTSTART;TZID=Spinning:20270310T090000\r\nSUMMARY:d\r\n"));
    EXPECT_EQ(r.records, Lines{"10.03.2027 - 07:00 # a"});
    EXPECT_EQ(Skipped(r, IcsSkipReason::UnknownTimeZone), 3u);
}

TEST_F(IcsImportTest, RepeatingEventsAreExpandedForTwelveMonths) {
    EXPECT_EQ(Records(Event("DTSTART;TZID=Europe/Berlin:20261222T100000\r\n"
                            "RRULE:FREQ=WEEKLY;COUNT=4\r\nSUMMARY:Yoga\r\n" +
                            Alarm(":-PT30M"))),
              (Lines{"22.12.2026 - 09:30 # Yoga", "29.12.2026 - 09:30 # Yoga",
                     "05.01.2027 - 09:30 # Yoga", "12.01.2027 - 09:30 # Yoga"}));

    // Begun long ago, never ending: one record per day from today for a year.
    const Lines daily =
        Records(Event("DTSTART:19900101T080000\r\nRRULE:FREQ=DAILY\r\nSUMMARY:x\r\n"));
    ASSERT_EQ(daily.size(), 365u);
    EXPECT_EQ(daily.front(), "08.12.2026 - 08:00 # x");
    EXPECT_EQ(daily.back(), "07.12.2027 - 08:00 # x");

    // Every second Wednesday since 2020 keeps its rhythm; excluded and moved occurrences.
    const std::string uid = "UID:series\r\n";
    const auto r =
        Parse("BEGIN:VEVENT\r\n" + uid +
              "DTSTART:20200101T090000\r\nRRULE:FREQ=WEEKLY;INTERVAL=2;UNTIL=20270201T000000\r\n"
              "EXDATE:20261223T090000\r\nSUMMARY:Team\r\nEND:VEVENT\r\n"
              "BEGIN:VEVENT\r\n" +
              uid +
              "RECURRENCE-ID:20270106T090000\r\nDTSTART:20270107T110000\r\nSUMMARY:Team (moved)\r\n"
              "END:VEVENT\r\n");
    EXPECT_EQ(r.records, (Lines{"09.12.2026 - 09:00 # Team", "20.01.2027 - 09:00 # Team",
                                "07.01.2027 - 11:00 # Team (moved)"}));

    // The start counts even where the rule would not give it; extra dates come on top.
    EXPECT_EQ(
        Records(
            Event("DTSTART:20261214T080000\r\nRRULE:FREQ=WEEKLY;BYDAY=WE;UNTIL=20261220T000000\r\n"
                  "RDATE:20270601T080000,20250101T080000\r\nSUMMARY:r\r\n")),
        (Lines{"14.12.2026 - 08:00 # r", "16.12.2026 - 08:00 # r", "01.06.2027 - 08:00 # r"}));
}

TEST_F(IcsImportTest, ExpansionIsBounded) {
    const auto r = Parse(Event("DTSTART:20261208T090000\r\nRRULE:FREQ=SECONDLY\r\nSUMMARY:s\r\n") +
                         Event("DTSTART:20261208T090000\r\nRRULE:FREQ=DAILY;COUNT=5000000\r\n"
                               "SUMMARY:many\r\n") +
                         Event("DTSTART:20261208T090000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,"
                               "FR,SA,SU;BYHOUR=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,"
                               "20,21,22,23;BYMINUTE=0,10,20,30,40,50\r\nSUMMARY:dense\r\n"));
    ASSERT_EQ(r.status, IcsFileStatus::Ok);
    EXPECT_EQ(Skipped(r, IcsSkipReason::UnsupportedRule), 1u);
    EXPECT_EQ(r.records.size(), kMaxIcsRecordsPerFile);
    EXPECT_GT(Skipped(r, IcsSkipReason::TooManyEntries), 0u);

    // Without time left, repeating events are skipped and single ones still come in.
    const auto late =
        ParseIcs(Calendar(Event("DTSTART:20270101T090000\r\nRRULE:FREQ=DAILY;BYMONTH=2;"
                                "BYMONTHDAY=30\r\nSUMMARY:never\r\n") +
                          Event("DTSTART:20270101T090000\r\nSUMMARY:once\r\n")),
                 m_now, 0.0);
    EXPECT_EQ(late.records, Lines{"01.01.2027 - 09:00 # once"});
    EXPECT_EQ(Skipped(late, IcsSkipReason::ExpansionLimit), 1u);
}

TEST_F(IcsImportTest, AHundredThousandEventsGiveAtMostTheLimit) {
    std::string body;
    for (int i = 0; i < 100000; ++i) {
        body += "BEGIN:VEVENT\r\nUID:" + std::to_string(i) + "\r\nDTSTART:2027" +
                (i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "15T100000Z\r\n" +
                "SUMMARY:e" + std::to_string(i) + "\r\nEND:VEVENT\r\n";
    }
    const auto r = Parse(body);
    EXPECT_EQ(r.records.size(), kMaxIcsRecordsPerFile);
    EXPECT_EQ(Skipped(r, IcsSkipReason::TooManyEntries), 100000 - kMaxIcsRecordsPerFile);
}

TEST_F(IcsImportTest, SummariesBecomeOneLineAndLackingCharactersAreCounted) {
    const auto r =
        Parse(Event("DTSTART:20270310T090000\r\nSUMMARY:Geb\xC3\xBChr\\nzahlen \xE2\x82\xAC\r\n") +
              Event("DTSTART:20270310T090000\r\nSUMMARY:Schnee \xE2\x98\x83 \xF0\x9F\x8E\x84\r\n"));
    EXPECT_EQ(r.records, (Lines{"10.03.2027 - 09:00 # Geb\xFChr zahlen \x80",
                                "10.03.2027 - 09:00 # Schnee ? ?"}));
    EXPECT_EQ(r.replaced, 1u);
    EXPECT_NE(IcsSummaryText("s.ics", r).find("1 entry had characters Windows-1252 lacks"),
              std::string::npos);
}

TEST_F(IcsImportTest, ImportAppendsAndRefreshesOncePerFile) {
    const auto store = AppointmentStore(File("Termine.dat"));
    ASSERT_EQ(store.AppendRecord("Notiz # Blumen"), StoreStatus::Ok);
    test::WriteBytes(File("a.ics"), Calendar(Event("DTSTART:20270310T090000\r\nSUMMARY:b\r\n") +
                                             Event("DTSTART:20270309T090000\r\nSUMMARY:a\r\n")));
    int refreshes = 0;
    const auto r = ImportIcsFile(File("a.ics"), store, m_now, [&] {
        ++refreshes;
        store.TidyUp(true, m_now);
    });
    EXPECT_EQ(r.imported, 2u);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(test::ReadBytes(File("Termine.dat")),
              "Notiz # Blumen\r\n09.03.2027 - 09:00 # a\r\n10.03.2027 - 09:00 # b");
}

TEST_F(IcsImportTest, MalformedFilesAreRefusedWithTheAppointmentsUnchanged) {
    const auto store = AppointmentStore(File("Termine.dat"));
    ASSERT_EQ(store.AppendRecord("Notiz # Blumen"), StoreStatus::Ok);
    const std::string good = Calendar(Event("DTSTART:20270310T090000\r\nSUMMARY:b\r\n"));
    const struct {
        std::string bytes;
        IcsFileStatus status;
        const char* says;
    } cases[] = {
        {"", IcsFileStatus::Empty, "empty"},
        {"\r\n  \r\n", IcsFileStatus::Empty, "empty"},
        {good.substr(0, good.size() / 2), IcsFileStatus::Truncated, "incomplete"},
        {"BM\x36\x00\x00\x00 not a calendar", IcsFileStatus::NotICalendar, "not an iCalendar"},
        {"BEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\n", IcsFileStatus::NotICalendar, "not an iCalendar"},
        {"BEGIN:VCALENDAR\r\n" + std::string(1, '\0') + "END:VCALENDAR\r\n",
         IcsFileStatus::NotICalendar, "not an iCalendar"},
        {"BEGIN:VCALENDAR\r\n" +
             [] {
                 std::string deep;
                 for (int i = 0; i < 100000; ++i) deep += "BEGIN:X\r\n";
                 return deep;
             }() +
             "END:VCALENDAR\r\n",
         IcsFileStatus::NotICalendar, "not an iCalendar"},
    };
    for (const auto& c : cases) {
        test::WriteBytes(File("bad.ics"), c.bytes);
        int refreshes = 0;
        const auto r = ImportIcsFile(File("bad.ics"), store, m_now, [&] { ++refreshes; });
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_EQ(refreshes, 0);
        EXPECT_NE(IcsSummaryText("bad.ics", r).find(c.says), std::string::npos)
            << IcsSummaryText("bad.ics", r);
        EXPECT_EQ(test::ReadBytes(File("Termine.dat")), "Notiz # Blumen");
    }
    EXPECT_EQ(ImportIcsFile(File("missing.ics"), store, m_now, {}).status,
              IcsFileStatus::Unreadable);
    EXPECT_EQ(ImportIcsFile(m_dir.path(), store, m_now, {}).status, IcsFileStatus::Unreadable);
}

}  // namespace
}  // namespace tavolin
