#include <gtest/gtest.h>

#include <cmath>

#include "FakeOutlook.h"
#include "appointments/AppointmentStore.h"
#include "appointments/ImportText.h"
#include "appointments/OutlookImport.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using Lines = std::vector<std::string>;
using test::FakeItem;
using test::OleDate;

class OutlookImportTest : public test::DataDirTest {
protected:
    test::FixedClock m_clock{test::Local(2003, 3, 1, 12, 0)};
    test::FakeOutlook m_outlook;
    AppointmentStore m_store{File("Termine.dat")};
    int m_refreshes = 0;

    OutlookImportResult Import() {
        return ImportFromOutlook(m_outlook, m_store, [this] {
            ++m_refreshes;
            m_store.TidyUp(true, m_clock.Now());
        });
    }
    Lines Records() const { return m_store.ReadRecords(); }
};

FakeItem Appointment(std::string subject, double start, int lead) {
    return {26, std::move(subject), start, lead, 0};
}
FakeItem Task(std::string subject, double reminder) {
    return {48, std::move(subject), 0, 0, reminder};
}

TEST_F(OutlookImportTest, CallsOutlookInTheFixedOrder) {
    m_outlook.items = {Appointment("Zahnarzt", OleDate(2003, 3, 10, 9, 0), 15),
                       Task("Steuer", OleDate(2003, 3, 12, 18, 0))};
    const auto result = Import();
    EXPECT_EQ(result.status, OutlookImportResult::Status::Done);
    EXPECT_EQ(result.imported, 2u);
    EXPECT_EQ(m_outlook.log, (Lines{"Create(Outlook.Application)",
                                    "Application.GetNamespace(MAPI)",
                                    "NameSpace.Logon(omitted,omitted,omitted,omitted)",
                                    "NameSpace.GetDefaultFolder(14)",
                                    "Folder.Items",
                                    "Items.Count",
                                    "Items.GetFirst()",
                                    "Items.GetFirst()",
                                    "Item1.Class",
                                    "Item1.Subject",
                                    "Item1.Start",
                                    "Item1.ReminderMinutesBeforeStart",
                                    "Items.GetNext()",
                                    "Items.GetPrevious()",
                                    "Items.GetNext()",
                                    "Item2.Class",
                                    "Item2.Subject",
                                    "Item2.ReminderTime",
                                    "Items.GetNext()",
                                    "Items.GetPrevious()",
                                    "Items.GetNext()",
                                    "NameSpace.Logoff()"}));
    EXPECT_EQ(Records(), (Lines{"10.03.2003 - 08:45 # Zahnarzt", "12.03.2003 - 18:00 # Steuer"}));
    EXPECT_EQ(m_refreshes, 2);
}

TEST_F(OutlookImportTest, OtherItemClassesAreSkippedWithoutReadingThem) {
    m_outlook.items = {{43, "Mail", 0, 0, 0}, Appointment("Termin", OleDate(2003, 3, 5, 10), 0)};
    const auto result = Import();
    EXPECT_EQ(result.imported, 1u);
    EXPECT_EQ(m_outlook.log[8], "Item1.Class");
    EXPECT_EQ(m_outlook.log[9], "Items.GetNext()");
    EXPECT_EQ(Records(), (Lines{"05.03.2003 - 10:00 # Termin"}));
    EXPECT_EQ(m_refreshes, 1);
}

TEST_F(OutlookImportTest, ReminderMomentsBorrowAcrossDaysMonthsAndLeapYears) {
    m_clock.Set(test::Local(2003, 2, 1));
    m_outlook.items = {Appointment("a", OleDate(2003, 3, 10, 9, 0), 15),
                       Appointment("b", OleDate(2003, 3, 10, 9, 0), 18 * 60),
                       Appointment("c", OleDate(2004, 3, 1, 0, 15), 30),
                       Appointment("d", OleDate(2003, 3, 1, 0, 15), 30),
                       Appointment("e", OleDate(2004, 1, 1, 0, 5), 10),
                       Appointment("f", OleDate(2003, 3, 10, 10, 5), 0)};
    Import();
    EXPECT_EQ(Records(), (Lines{"28.02.2003 - 23:45 # d", "09.03.2003 - 15:00 # b",
                                "10.03.2003 - 08:45 # a", "10.03.2003 - 10:00 # f",
                                "31.12.2003 - 00:00 # e", "29.02.2004 - 23:45 # c"}));
}

TEST_F(OutlookImportTest, KeysOfDatesThatCannotBeConverted) {
    EXPECT_EQ(ImportedReminderKey(OleDate(2003, 3, 10, 23, 55), 0), "10.03.2003 - 00:00");
    EXPECT_EQ(ImportedReminderKey(OleDate(2003, 3, 10, 9, 0) + 0.5 / 86400, 0),
              "10.03.2003 - 09:00");
    EXPECT_EQ(ImportedReminderKey(1e9, 0), "Invalid DateTime - 00:00");
    EXPECT_EQ(ImportedReminderKey(std::nan(""), 0), "Invalid DateTime - 00:00");
    EXPECT_EQ(ImportedReminderKey(OleDate(100, 1, 2, 0, 0), 24 * 60 + 10),
              "Invalid DateTime - 00:00");
    EXPECT_EQ(ImportedReminderKey(OleDate(100, 1, 2, 0, 0), 24 * 60), "01.01.100 - 00:00");
    EXPECT_EQ(ImportedReminderKey(-1.25, 0), "29.12.1899 - 06:00");
}

TEST_F(OutlookImportTest, SubjectsBecomeOneLineOfWindows1252) {
    m_outlook.items = {Appointment("Besprechung\r\nRaum 2\nMöbel ☃ €", OleDate(2003, 3, 5, 10), 0)};
    Import();
    EXPECT_EQ(test::ReadBytes(File("Termine.dat")),
              "05.03.2003 - 10:00 # Besprechung Raum 2 M\xF6"
              "bel ? \x80");
}

TEST_F(OutlookImportTest, AnEmptyFolderOnlyLogsOnAndOff) {
    const auto result = Import();
    EXPECT_EQ(result.status, OutlookImportResult::Status::Done);
    EXPECT_EQ(m_outlook.log.size(), 7u);
    EXPECT_EQ(m_outlook.log.back(), "NameSpace.Logoff()");
    EXPECT_FALSE(std::filesystem::exists(File("Termine.dat")));
    EXPECT_EQ(m_refreshes, 0);
}

TEST_F(OutlookImportTest, ImportingTwiceLeavesOneLinePerItem) {
    m_outlook.items = {Appointment("a", OleDate(2003, 3, 10, 9, 0), 15),
                       Task("b", OleDate(2003, 3, 12, 18, 0))};
    Import();
    m_outlook.position = -1;
    Import();
    EXPECT_EQ(Records(), (Lines{"10.03.2003 - 08:45 # a", "12.03.2003 - 18:00 # b"}));
}

TEST_F(OutlookImportTest, PastItemsAreDeletedOrMovedByTheTidyUpAfterEach) {
    m_outlook.items = {Appointment("alt", OleDate(2003, 2, 10, 9, 0), 0)};
    Import();
    EXPECT_EQ(Records(), Lines{});
    m_outlook.position = -1;
    ImportFromOutlook(m_outlook, m_store, [this] { m_store.TidyUp(false, m_clock.Now()); });
    EXPECT_EQ(Records(), (Lines{"01.03.2003 - 09:00 # alt"}));
}

TEST_F(OutlookImportTest, WithoutOutlookNothingIsCalledOrWritten) {
    m_outlook.creatable = false;
    const auto result = Import();
    EXPECT_EQ(result.status, OutlookImportResult::Status::NotAccessible);
    EXPECT_EQ(m_outlook.log, Lines{"Create(Outlook.Application)"});
    EXPECT_FALSE(std::filesystem::exists(File("Termine.dat")));
    EXPECT_EQ(OutlookNotAccessibleText(), "Auf MS Outlook konnte nicht zugegriffen werden.");
    // Linux has no automation servers at all.
    AppointmentStore store(File("Termine.dat"));
    EXPECT_EQ(ImportFromOutlook(*CreateSystemAutomationHost(), store, {}).status,
              OutlookImportResult::Status::NotAccessible);
}

// Every call of a full run fails once in turn: the import stops right there, reports the
// server's error and keeps the records of the items before.
TEST_F(OutlookImportTest, AnErrorAtAnyCallStopsThereKeepingEarlierRecords) {
    const std::vector<FakeItem> items = {Appointment("a", OleDate(2003, 3, 10, 9, 0), 15),
                                         Task("b", OleDate(2003, 3, 12, 18, 0)),
                                         Appointment("c", OleDate(2003, 3, 14, 9, 0), 0)};
    m_outlook.items = items;
    Import();
    const Lines fullLog = m_outlook.log;
    const Lines all = Records();
    ASSERT_EQ(all.size(), 3u);

    for (size_t fail = 2; fail <= fullLog.size(); ++fail) {
        SCOPED_TRACE(fullLog[fail - 1]);
        std::filesystem::remove(File("Termine.dat"));
        test::FakeOutlook outlook;
        outlook.items = items;
        outlook.failAtCall = fail;
        const auto result = ImportFromOutlook(outlook, m_store, [this] { m_store.TidyUp(true, m_clock.Now()); });
        EXPECT_EQ(result.status, OutlookImportResult::Status::CallFailed);
        EXPECT_EQ(result.error, "Fake failure in " + fullLog[fail - 1]);
        EXPECT_EQ(outlook.log.size(), fail);  // nothing is called after the failing call
        // Records of the items whose reading finished before the failure stay.
        size_t done = 0;
        for (size_t i = 0; i < fail - 1; ++i) {
            const std::string& call = fullLog[i];
            if (call.find("ReminderMinutesBeforeStart") != std::string::npos ||
                call.find("ReminderTime") != std::string::npos) {
                ++done;
            }
        }
        EXPECT_EQ(m_store.ReadRecords(), Lines(all.begin(), all.begin() + done));
    }
}

TEST(OutlookAvailability, OnlyACurrentVersionEndingInNine) {
    test::FakeRegistry registry;
    EXPECT_FALSE(IsOutlookAvailable(registry));
    registry.values["Outlook.Application\\CurVer"] = "Outlook.Application.9";
    EXPECT_TRUE(IsOutlookAvailable(registry));
    registry.values["Outlook.Application\\CurVer"] = "Outlook.Application.11";
    EXPECT_FALSE(IsOutlookAvailable(registry));
    registry.values["Outlook.Application\\CurVer"] = "";
    EXPECT_FALSE(IsOutlookAvailable(registry));
    registry.values["Outlook.Application\\CurVer"] = "Outlook.Application.19";
    EXPECT_TRUE(IsOutlookAvailable(registry));
    EXPECT_FALSE(IsOutlookAvailable(*CreateSystemClassRegistry()));
}

TEST(ImportedRemark, EachByteThatStartsNoValidCharacterBecomesOneQuestionMark) {
    bool replaced = false;
    EXPECT_EQ(ImportedRemark("M\xC3\xB6" "bel \xE2\x82\xAC", &replaced), "M\xF6" "bel \x80");
    EXPECT_FALSE(replaced);
    // A stray continuation byte, an overlong form, a surrogate and a sequence cut short.
    EXPECT_EQ(ImportedRemark("a\x80" "b\xC0\xAF" "c\xED\xA0\x80" "d\xE2\x82", &replaced),
              "a?b??c???d??");
    EXPECT_TRUE(replaced);
    EXPECT_EQ(ImportedRemark("\xF0\x9F\x8E\x84\r\nx"), "? x");
}

}  // namespace
}  // namespace tavolin
