#include <gtest/gtest.h>

#include "appointments/AppointmentStore.h"
#include "appointments/IcsImport.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"

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

std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
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
    EXPECT_NE(IcsSummaryText("s.ics", r)
                  .find("1 entry had control characters or characters Windows-1252 lacks"),
              std::string::npos);
}

TEST_F(IcsImportTest, ImportAddsAndTidiesInOneReplacement) {
    const auto store = AppointmentStore(File("Termine.dat"));
    ASSERT_EQ(store.AppendRecord("07.12.2026 - 09:00 # alt"), StoreStatus::Ok);
    ASSERT_EQ(store.AppendRecord("Notiz # Blumen"), StoreStatus::Ok);
    test::WriteBytes(File("a.ics"), Calendar(Event("DTSTART:20270310T090000\r\nSUMMARY:b\r\n") +
                                             Event("DTSTART:20270309T090000\r\nSUMMARY:a\r\n")));
    const auto r = ImportIcsFile(File("a.ics"), store, m_now, true);
    EXPECT_EQ(r.imported, 2u);
    EXPECT_EQ(test::ReadBytes(File("Termine.dat")),
              "Notiz # Blumen\r\n09.03.2027 - 09:00 # a\r\n10.03.2027 - 09:00 # b");
    // Into a missing file, in move mode.
    std::filesystem::remove(File("Termine.dat"));
    EXPECT_EQ(ImportIcsFile(File("a.ics"), store, m_now, false).imported, 2u);
    EXPECT_EQ(test::ReadBytes(File("Termine.dat")),
              "09.03.2027 - 09:00 # a\r\n10.03.2027 - 09:00 # b");
    // A file that cannot be replaced keeps its content and the import says so.
    test::WriteBytes(File("b.ics"), Calendar(Event("DTSTART:20270311T090000\r\nSUMMARY:c\r\n")));
    auto faults = std::make_shared<WriteFaults>();
    faults->failRewrites = true;
    const auto failed =
        ImportIcsFile(File("b.ics"), AppointmentStore(File("Termine.dat"), faults), m_now, true);
    EXPECT_EQ(failed.status, IcsFileStatus::WriteFailed);
    EXPECT_EQ(failed.imported, 0u);
    EXPECT_EQ(test::ReadBytes(File("Termine.dat")),
              "09.03.2027 - 09:00 # a\r\n10.03.2027 - 09:00 # b");
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
        // BEGIN folded over two lines or with a parameter nests as deep as a plain one.
        {"BEGIN:VCALENDAR\r\n" + Repeat("BEG\r\n IN:X\r\n", 300000) + "END:VCALENDAR\r\n",
         IcsFileStatus::NotICalendar, "not an iCalendar"},
        {"BEGIN:VCALENDAR\r\n" + Repeat("BEGIN;A=B:X\r\n", 300000) + "END:VCALENDAR\r\n",
         IcsFileStatus::NotICalendar, "not an iCalendar"},
        {"BEGIN:VCALENDAR\r\n" + Repeat("begin;x=\"a:b\":X\r\n", 13) + Repeat("END:X\r\n", 13) +
             "END:VCALENDAR\r\n",
         IcsFileStatus::NotICalendar, "not an iCalendar"},
        // A second calendar cut short.
        {good + "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n", IcsFileStatus::Truncated, "incomplete"},
    };
    for (const auto& c : cases) {
        test::WriteBytes(File("bad.ics"), c.bytes);
        const auto r = ImportIcsFile(File("bad.ics"), store, m_now, true);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE(IcsSummaryText("bad.ics", r).find(c.says), std::string::npos)
            << IcsSummaryText("bad.ics", r);
        EXPECT_EQ(test::ReadBytes(File("Termine.dat")), "Notiz # Blumen");
    }
    EXPECT_EQ(ImportIcsFile(File("missing.ics"), store, m_now, true).status,
              IcsFileStatus::Unreadable);
    EXPECT_EQ(ImportIcsFile(m_dir.path(), store, m_now, true).status, IcsFileStatus::Unreadable);
}

// ---- Faults found on real and hostile calendars, each with its own small calendar ----

// UNTIL in UTC ends a zoned series at the UTC instant of each occurrence: east of UTC the last
// occurrence stays, west of UTC none comes after it.
TEST_F(IcsImportTest, UntilInUtcIsComparedWithTheOccurrencesInstant) {
    EXPECT_EQ(
        Records(Event("DTSTART;TZID=Europe/Berlin:20270318T040000\r\n"
                      "RRULE:FREQ=DAILY;UNTIL=20270320T030000Z\r\nSUMMARY:ost\r\n") +
                // New York is on summer time from 14 March: 09:00 is 13:00 UTC, 14:00 here.
                Event("DTSTART;TZID=America/New_York:20270318T090000\r\n"
                      "RRULE:FREQ=DAILY;UNTIL=20270320T120000Z\r\nSUMMARY:west\r\n")),
        (Lines{"18.03.2027 - 04:00 # ost", "19.03.2027 - 04:00 # ost", "20.03.2027 - 04:00 # ost",
               "18.03.2027 - 14:00 # west", "19.03.2027 - 14:00 # west"}));
}

TEST_F(IcsImportTest, ChangedOccurrencesReplaceWhatTheyName) {
    // A changed occurrence with a rule of its own replaces the one occurrence it names.
    EXPECT_EQ(Records("BEGIN:VEVENT\r\nUID:kurs\r\nDTSTART:20270104T100000\r\n"
                      "RRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:Kurs\r\nEND:VEVENT\r\n"
                      "BEGIN:VEVENT\r\nUID:kurs\r\nRECURRENCE-ID:20270111T100000\r\n"
                      "DTSTART:20270112T150000\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\n"
                      "RDATE:20270301T100000\r\nSUMMARY:Kurs verlegt\r\nEND:VEVENT\r\n"),
              (Lines{"04.01.2027 - 10:00 # Kurs", "18.01.2027 - 10:00 # Kurs",
                     "12.01.2027 - 15:00 # Kurs verlegt"}));

    // An all-day series whose change names its occurrence by a date-time (00:00 UTC, which is
    // 01:00 here and so no occurrence's instant): matched by date.
    EXPECT_EQ(
        Records("BEGIN:VEVENT\r\nUID:muell\r\nDTSTART;VALUE=DATE:20270104\r\n"
                "RRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:M\r\nEND:VEVENT\r\n"
                "BEGIN:VEVENT\r\nUID:muell\r\nRECURRENCE-ID:20270111T000000Z\r\n"
                "DTSTART;VALUE=DATE:20270112\r\nSUMMARY:M\r\nEND:VEVENT\r\n"),
        (Lines{"04.01.2027 - 00:00 # M", "18.01.2027 - 00:00 # M", "12.01.2027 - 00:00 # M"}));

    // RANGE=THISANDFUTURE: that occurrence and all later ones, each moved as it was; a second
    // change further on takes over from there; a single change stays single.
    EXPECT_EQ(Records("BEGIN:VEVENT\r\nUID:chor\r\nDTSTART:20270104T100000\r\n"
                      "RRULE:FREQ=WEEKLY;COUNT=6\r\nSUMMARY:Chor\r\nEND:VEVENT\r\n"
                      "BEGIN:VEVENT\r\nUID:chor\r\nRECURRENCE-ID;RANGE=THISANDFUTURE:"
                      "20270111T100000\r\nDTSTART:20270111T180000\r\nSUMMARY:Chor abends\r\n"
                      "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT1H\r\nEND:VALARM\r\n"
                      "END:VEVENT\r\n"
                      "BEGIN:VEVENT\r\nUID:chor\r\nRECURRENCE-ID:20270118T100000\r\n"
                      "DTSTART:20270119T090000\r\nSUMMARY:Chor einmal\r\nEND:VEVENT\r\n"
                      "BEGIN:VEVENT\r\nUID:chor\r\nRECURRENCE-ID;RANGE=THISANDFUTURE:"
                      "20270201T100000\r\nDTSTART:20270202T100000\r\nSUMMARY:Chor Dienstag\r\n"
                      "END:VEVENT\r\n"),
              (Lines{"04.01.2027 - 10:00 # Chor", "25.01.2027 - 17:00 # Chor abends",
                     "09.02.2027 - 10:00 # Chor Dienstag", "11.01.2027 - 17:00 # Chor abends",
                     "19.01.2027 - 09:00 # Chor einmal", "02.02.2027 - 10:00 # Chor Dienstag"}));
}

// RFC 5545's example of WKST (3.8.5.3), moved to 2027; and a fortnightly rule whose start is
// not one of its days keeps the fortnights counted from the week of its start.
TEST_F(IcsImportTest, WeeklyRulesCountTheirWeeksFromTheirWeekStart) {
    EXPECT_EQ(
        Records(Event("DTSTART:20270803T090000\r\n"
                      "RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=MO\r\n"
                      "SUMMARY:mo\r\n") +
                Event("DTSTART:20270803T090000\r\n"
                      "RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=SU\r\n"
                      "SUMMARY:su\r\n") +
                Event("DTSTART:20270512T090000\r\n"
                      "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=SU;WKST=TH;UNTIL=20270630T000000\r\n"
                      "SUMMARY:th\r\n")),
        (Lines{"03.08.2027 - 09:00 # mo", "08.08.2027 - 09:00 # mo", "17.08.2027 - 09:00 # mo",
               "22.08.2027 - 09:00 # mo", "03.08.2027 - 09:00 # su", "15.08.2027 - 09:00 # su",
               "17.08.2027 - 09:00 # su", "29.08.2027 - 09:00 # su", "12.05.2027 - 09:00 # th",
               "23.05.2027 - 09:00 # th", "06.06.2027 - 09:00 # th", "20.06.2027 - 09:00 # th"}));
}

// A file's zone that begins after the event: the offset before its first change holds.
TEST_F(IcsImportTest, TimesBeforeAZonesFirstChangeTakeTheOffsetBeforeIt) {
    // Standard time listed first, as many programs write it; the earliest change is the one
    // to summer time.
    const std::string zone =
        "BEGIN:VTIMEZONE\r\nTZID:Late\r\nBEGIN:STANDARD\r\nDTSTART:20271031T030000\r\n"
        "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
        "END:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:20270328T020000\r\nTZOFFSETFROM:+0100\r\n"
        "TZOFFSETTO:+0200\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
        "END:VTIMEZONE\r\n";
    EXPECT_EQ(
        Records(zone + Event("DTSTART;TZID=Late:20270110T174500\r\nSUMMARY:w\r\n") +
                Event("DTSTART;TZID=Late:20270610T174500\r\nSUMMARY:s\r\n") +
                Event("DTSTART;TZID=Late:20271210T174500\r\nSUMMARY:w2\r\n")),
        (Lines{"10.01.2027 - 17:45 # w", "10.06.2027 - 17:45 # s", "10.12.2027 - 17:45 # w2"}));
}

// Blank lines, a second calendar and trailing text after END:VCALENDAR.
TEST_F(IcsImportTest, EveryCompleteCalendarOfAFileCountsAndTrailingTextIsReported) {
    const std::string text = Calendar(Event("DTSTART:20270310T090000\r\nSUMMARY:eins\r\n")) +
                             "\r\n\r\n" +
                             Calendar(Event("DTSTART:20270311T090000\r\nSUMMARY:zwei\r\n")) +
                             "-- exported by something\r\n";
    const auto r = ParseIcs(text, m_now);
    ASSERT_EQ(r.status, IcsFileStatus::Ok);
    EXPECT_EQ(r.records, (Lines{"10.03.2027 - 09:00 # eins", "11.03.2027 - 09:00 # zwei"}));
    EXPECT_EQ(IcsSummaryText("x.ics", r),
              "x.ics: 2 entries imported.\n1 line after END:VCALENDAR that belong to no "
              "calendar were ignored.");
    EXPECT_EQ(ParseIcs(Calendar("") + "\r\n", m_now).status, IcsFileStatus::Ok);
}

// Copies of one UID: the highest SEQUENCE, then the latest LAST-MODIFIED or DTSTAMP.
TEST_F(IcsImportTest, OfSeveralCopiesOfAnEntryOnlyTheNewestCounts) {
    const auto r = Parse(
        "BEGIN:VEVENT\r\nUID:a\r\nSEQUENCE:2\r\nDTSTART:20270301T090000\r\nSUMMARY:a2\r\n"
        "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:a\r\nSEQUENCE:3\r\nDTSTART:20270302T090000\r\n"
        "SUMMARY:a3\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:a\r\nSEQUENCE:1\r\n"
        "DTSTART:20270303T090000\r\nSUMMARY:a1\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:b\r\nLAST-MODIFIED:20260601T000000Z\r\nDTSTART:20270304T090000\r\n"
        "SUMMARY:b neu\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:b\r\n"
        "LAST-MODIFIED:20260101T000000Z\r\nDTSTART:20270305T090000\r\nSUMMARY:b alt\r\n"
        "END:VEVENT\r\nBEGIN:VTODO\r\nUID:a\r\nDUE:20270306T090000\r\nSUMMARY:t\r\n"
        "END:VTODO\r\n");
    EXPECT_EQ(r.records, (Lines{"02.03.2027 - 09:00 # a3", "04.03.2027 - 09:00 # b neu",
                                "06.03.2027 - 09:00 # t"}));
    EXPECT_EQ(Skipped(r, IcsSkipReason::Superseded), 3u);
}

TEST_F(IcsImportTest, ADamagedRuleImportsTheStartAndSaysSo) {
    const auto r =
        Parse(Event("DTSTART:20270310T090000\r\nRRULE:FREQ=WEEKLY;BYDAY=XX\r\n"
                    "SUMMARY:kaputt\r\n"));
    EXPECT_EQ(r.records, Lines{"10.03.2027 - 09:00 # kaputt"});
    EXPECT_EQ(Skipped(r, IcsSkipReason::DamagedRule), 1u);
    EXPECT_NE(IcsSummaryText("r.ics", r).find("unreadable repeat rule"), std::string::npos);
}

// The earliest display or audio alarm, whatever their order; RELATED=END from the end.
TEST_F(IcsImportTest, TheEarliestAlarmReminds) {
    EXPECT_EQ(
        Records(Event("DTSTART:20270310T090000\r\nDTEND:20270310T100000\r\nSUMMARY:e\r\n" +
                      Alarm(":-PT5M") + Alarm(";RELATED=END:-PT3H") + Alarm(":-PT1H") +
                      Alarm(":-P2D", "EMAIL")) +
                Event("DTSTART:20270310T090000\r\nRRULE:FREQ=DAILY;COUNT=2\r\n"
                      "SUMMARY:r\r\n" +
                      Alarm(":-PT10M") + Alarm(":-PT40M"))),
        (Lines{"10.03.2027 - 07:00 # e", "10.03.2027 - 08:15 # r", "11.03.2027 - 08:15 # r"}));
}

// A task without DUE is due at DTSTART plus DURATION.
TEST_F(IcsImportTest, ATaskWithStartAndDurationIsDueAtItsEnd) {
    EXPECT_EQ(Records("BEGIN:VTODO\r\nUID:t1\r\nDTSTART:20270115T090000\r\nDURATION:PT8H\r\n"
                      "SUMMARY:Bericht\r\nEND:VTODO\r\n"
                      "BEGIN:VTODO\r\nUID:t2\r\nDTSTART:20270115T090000\r\nDURATION:P1D\r\n"
                      "SUMMARY:Antrag\r\n" +
                      Alarm(";RELATED=END:-PT1H") + "END:VTODO\r\n"),
              (Lines{"15.01.2027 - 17:00 # Bericht", "16.01.2027 - 08:00 # Antrag"}));
}

// A zone that changes every hour, used far in the future, costs the budget, not minutes; the
// event is skipped and the rest of the file still comes in.
TEST_F(IcsImportTest, ZoneExpansionIsBoundedByTheBudget) {
    std::string hours;
    for (int h = 0; h < 24; h += 2) hours += (h ? "," : "") + std::to_string(h);
    std::string odd;
    for (int h = 1; h < 24; h += 2) odd += (h > 1 ? "," : "") + std::to_string(h);
    const std::string zone =
        "BEGIN:VTIMEZONE\r\nTZID:Hourly\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
        "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYYEARDAY=" +
        [] {
            std::string d;
            for (int i = 1; i <= 366; ++i) d += (i > 1 ? "," : "") + std::to_string(i);
            return d;
        }() +
        ";BYHOUR=" + hours +
        "\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:19700101T010000\r\n"
        "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nRRULE:FREQ=YEARLY;BYYEARDAY=1,100,200;BYHOUR=" +
        odd + "\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    const auto r =
        ParseIcs(Calendar(zone + Event("DTSTART;TZID=Hourly:25990310T090000\r\nSUMMARY:fern\r\n") +
                          Event("DTSTART:20270310T090000\r\nSUMMARY:nah\r\n")),
                 m_now, 0.3);
    ASSERT_EQ(r.status, IcsFileStatus::Ok);
    EXPECT_EQ(r.records, Lines{"10.03.2027 - 09:00 # nah"});
    EXPECT_EQ(Skipped(r, IcsSkipReason::ExpansionLimit), 1u);
}

// Many rules that never match: the budget is checked between and inside them, and the event
// is skipped as a whole when it runs out.
TEST_F(IcsImportTest, RulesThatNeverMatchRunOutOfTimeAndTheEventIsSkipped) {
    const auto r =
        ParseIcs(Calendar(Event("DTSTART:20270101T090000\r\n" +
                                Repeat("RRULE:FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30\r\n", 100) +
                                "SUMMARY:nie\r\n") +
                          Event("DTSTART:20270102T090000\r\nSUMMARY:einmal\r\n")),
                 m_now, 0.2);
    EXPECT_EQ(r.records, Lines{"02.01.2027 - 09:00 # einmal"});
    EXPECT_EQ(Skipped(r, IcsSkipReason::ExpansionLimit), 1u);
}

// Many empty properties and a line with very many parameters: read in one pass; a line beyond
// the parameter bound is ignored.
TEST_F(IcsImportTest, ManyPropertiesAndParametersAreReadInBoundedWork) {
    std::string params;
    for (int i = 0; i < 100000; ++i) params += ";X-P=" + std::to_string(i);
    const auto r = Parse(Event("DTSTART:20270310T090000\r\n" + Repeat("X-EMPTY:\r\n", 100000) +
                               "SUMMARY:viele\r\n") +
                         Event("DTSTART:20270310T090000\r\nSUMMARY" + params + ":zu viele\r\n") +
                         Event("DTSTART;X-A=\"a;b:c\";TZID=\"Europe/Berlin\":20270310T100000\r\n"
                               "SUMMARY;LANGUAGE=de:Zitat\r\n"));
    EXPECT_EQ(r.records, (Lines{"10.03.2027 - 09:00 # viele", "10.03.2027 - 10:00 # Zitat"}));
    EXPECT_EQ(Skipped(r, IcsSkipReason::NoSummary), 1u);
}

// Control characters would drive the terminal that lists the remark.
TEST_F(IcsImportTest, ControlCharactersInASummaryAreReplaced) {
    const auto r =
        Parse(Event("DTSTART:20270310T090000\r\nSUMMARY:a\x1B[2Jb\x07"
                    "c\x7F"
                    "d"
                    "\xC2\x9B"
                    "e\tf\r\n"));
    EXPECT_EQ(r.records, Lines{"10.03.2027 - 09:00 # a?[2Jb?c?d?e f"});
    EXPECT_EQ(r.replaced, 1u);
}

// RFC 5545 3.3.5: a time the clocks skip is the time after the gap; a time they repeat is the
// first pass. A UTC time in the second pass keeps its clock time.
TEST_F(IcsImportTest, TimesInTheGapAndTheFoldOfDaylightSaving) {
    EXPECT_EQ(
        Records(Event("DTSTART;TZID=Europe/Berlin:20270328T023000\r\nSUMMARY:gap\r\n") +
                Event("DTSTART;TZID=America/New_York:20270314T023000\r\nSUMMARY:ny\r\n") +
                Event("DTSTART;TZID=Europe/Berlin:20271031T023000\r\nSUMMARY:fold\r\n") +
                Event("DTSTART:20271031T013000Z\r\nSUMMARY:second\r\n") +
                Event("DTSTART;TZID=Europe/Berlin:20270328T023000\r\n"
                      "RRULE:FREQ=YEARLY;COUNT=2\r\nSUMMARY:every\r\n")),
        (Lines{"28.03.2027 - 03:30 # gap", "14.03.2027 - 08:30 # ny", "31.10.2027 - 02:30 # fold",
               "31.10.2027 - 02:30 # second", "28.03.2027 - 03:30 # every"}));
}

}  // namespace
}  // namespace tavolin
