// The due check and the minute schedule of the reminders, in Europe/Berlin.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "appointments/AppointmentStore.h"
#include "appointments/ReminderCheck.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;
using test::Local;
using namespace std::string_literals;

std::vector<std::string> Lines(const std::vector<Appointment>& due) {
    std::vector<std::string> lines;
    for (const Appointment& a : due) lines.push_back(a.Line());
    return lines;
}

std::vector<std::string> Scan(std::string_view bytes, MinuteRange minutes, size_t piece = 0) {
    DueScanner scanner(minutes);
    if (piece == 0) {
        scanner.Feed(bytes);
    } else {
        for (size_t i = 0; i < bytes.size(); i += piece) scanner.Feed(bytes.substr(i, piece));
    }
    return Lines(scanner.Finish());
}

MinuteRange At(TimePoint minute) {
    return {minute, minute};
}

class ReminderCheckTest : public test::DataDirTest {
protected:
    AppointmentStore Store() const { return AppointmentStore(File("Termine.dat")); }
    void Write(const std::string& bytes) const { test::WriteBytes(File("Termine.dat"), bytes); }
};

TEST_F(ReminderCheckTest, MinuteStartDropsTheLocalSeconds) {
    EXPECT_EQ(MinuteStart(Local(2003, 3, 7, 14, 30, 59)), Local(2003, 3, 7, 14, 30));
    EXPECT_EQ(MinuteStart(Local(2003, 3, 7, 14, 30)), Local(2003, 3, 7, 14, 30));
    // The hour the clocks go back (26 October 2003, 02:xx twice): the second pass stays itself.
    const TimePoint secondPass = Local(2003, 10, 26, 2, 30) + 3600;
    EXPECT_EQ(MinuteStart(secondPass + 17), secondPass);
}

TEST_F(ReminderCheckTest, OnlyTheDueMinuteRemindsAndNeverANoteOrYesterday) {
    const std::string file =
        "Notiz # 07.03.2003 - 14:30\r\n"
        "06.03.2003 - 14:30 # gestern\r\n"
        "07.03.2003 - 14:29 # davor\r\n"
        "07.03.2003 - 14:30 # Zahnarzt\r\n"
        "07.03.2003 - 14:31 # danach\r\n"
        "7.3.2003 - 14:30 # ohne Nullen";
    const TimePoint due = Local(2003, 3, 7, 14, 30);
    EXPECT_EQ(Scan(file, At(due)), (std::vector<std::string>{"07.03.2003 - 14:30 # Zahnarzt",
                                                             "7.3.2003 - 14:30 # ohne Nullen"}));
    EXPECT_EQ(Scan(file, At(due - 60)), std::vector<std::string>{"07.03.2003 - 14:29 # davor"});
    EXPECT_EQ(Scan(file, At(due + 60)), std::vector<std::string>{"07.03.2003 - 14:31 # danach"});
    EXPECT_TRUE(Scan(file, At(due + 120)).empty());
}

// 02:30 on 26 October 2003 comes twice; the key cannot say which, so both remind, and an
// entry meant for the second pass (an event imported from a UTC time) is not only reminded an
// hour early. Other times remind once.
TEST_F(ReminderCheckTest, ATimeTheClocksRepeatRemindsAtBothPasses) {
    const std::string file = "26.10.2003 - 02:30 # zweimal\r\n26.10.2003 - 03:30 # einmal";
    const TimePoint first = Local(2003, 10, 26, 2, 30);
    EXPECT_EQ(Scan(file, At(first)), std::vector<std::string>{"26.10.2003 - 02:30 # zweimal"});
    EXPECT_EQ(Scan(file, At(first + 3600)),
              std::vector<std::string>{"26.10.2003 - 02:30 # zweimal"});
    EXPECT_EQ(Scan(file, At(Local(2003, 10, 26, 3, 30))),
              std::vector<std::string>{"26.10.2003 - 03:30 # einmal"});
    EXPECT_TRUE(Scan(file, At(Local(2003, 10, 26, 3, 30) + 3600)).empty());
}

TEST_F(ReminderCheckTest, SeveralMinutesGiveEarlierMinutesFirstAndFileOrderWithin) {
    const std::string file =
        "07.03.2003 - 14:31 # B\n07.03.2003 - 14:30 # Z\n07.03.2003 - 14:30 # A";
    const TimePoint first = Local(2003, 3, 7, 14, 30);
    EXPECT_EQ(Scan(file, {first, first + 60}),
              (std::vector<std::string>{"07.03.2003 - 14:30 # Z", "07.03.2003 - 14:30 # A",
                                        "07.03.2003 - 14:31 # B"}));
}

TEST_F(ReminderCheckTest, MalformedLinesAreSkippedAndLineEndsReadAsEverywhere) {
    const TimePoint due = Local(2003, 3, 7, 14, 30);
    const std::string good = "07.03.2003 - 14:30 # Zahnarzt # Raum \xFF";
    const std::string file =
        "\r\n\r\n07.03.2003 14:30 # ohne Strich\r\n07.03.2003 - 14:30\r\n"
        "# 07.03.2003 - 14:30\r\n\xFF\x00\x1A garbage\r\n"s +
        good + "\r\n99.99.99999999999 - 99:99 # kaputt\r\n";
    // Any split of the bytes gives the same answer: a CR LF may straddle two reads.
    for (size_t piece : {0, 1, 2, 3, 7}) {
        EXPECT_EQ(Scan(file, At(due), piece), std::vector<std::string>{good}) << piece;
    }
    EXPECT_EQ(Scan(good + "\r", At(due)), std::vector<std::string>{good + "\r"});
    EXPECT_TRUE(Scan("", At(due)).empty());
}

TEST_F(ReminderCheckTest, OverlongLinesAreCutNotHeld) {
    const TimePoint due = Local(2003, 3, 7, 14, 30);
    const std::string longRemark(3 * DueScanner::kMaxLineBytes, 'x');
    const std::string file = std::string(5 * DueScanner::kMaxLineBytes, 'y') + "\r\n" +
                             "07.03.2003 - 14:30 # " + longRemark + "\r\n07.03.2003 - 14:30 # B";
    const auto due1 = Scan(file, At(due), 1000);
    ASSERT_EQ(due1.size(), 2u);
    EXPECT_EQ(due1[0].size(), DueScanner::kMaxLineBytes);
    EXPECT_EQ(due1[1], "07.03.2003 - 14:30 # B");
}

TEST_F(ReminderCheckTest, AnAppointmentMovedToTodayRemindsAtItsTimeOfDay) {
    Write("05.03.2003 - 16:00 # Sport");
    ASSERT_EQ(Store().TidyUp(false, Local(2003, 3, 8, 9, 0)), StoreStatus::Ok);
    StoreStatus status = StoreStatus::Missing;
    EXPECT_EQ(Lines(DueAppointments(Store(), At(Local(2003, 3, 8, 16, 0)), &status)),
              std::vector<std::string>{"08.03.2003 - 16:00 # Sport"});
    EXPECT_EQ(status, StoreStatus::Ok);
}

TEST_F(ReminderCheckTest, MissingDirectoryAndFifoGiveNothingWithAReason) {
    const MinuteRange minutes = At(Local(2003, 3, 7, 14, 30));
    StoreStatus status = StoreStatus::Ok;
    EXPECT_TRUE(DueAppointments(Store(), minutes, &status).empty());
    EXPECT_EQ(status, StoreStatus::Missing);
    EXPECT_FALSE(fs::exists(File("Termine.dat")));

    fs::create_directory(File("Termine.dat"));
    EXPECT_TRUE(DueAppointments(Store(), minutes, &status).empty());
    EXPECT_EQ(status, StoreStatus::Unreadable);
    fs::remove(File("Termine.dat"));

#ifndef _WIN32  // Windows has no FIFOs in the file system
    // A FIFO with no writer would block a plain open for ever.
    ASSERT_EQ(::mkfifo(File("Termine.dat").c_str(), 0600), 0);
    EXPECT_TRUE(DueAppointments(Store(), minutes, &status).empty());
    EXPECT_EQ(status, StoreStatus::Unreadable);
#endif
}

TEST_F(ReminderCheckTest, AReaderDuringAtomicRewritesSeesOldOrNewNeverHalf) {
    const TimePoint due = Local(2003, 3, 7, 14, 30);
    const std::string filler(100000, 'f');
    const std::string a = "Notiz # " + filler + "\r\n07.03.2003 - 14:30 # Zahnarzt";
    const std::string b = "07.03.2003 - 14:30 # Zahnarzt\r\nNotiz # " + filler + filler;
    Write(a);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) AtomicWriteFile(File("Termine.dat"), i % 2 ? a : b);
    });
    int wrong = 0;
    for (int i = 0; i < 300; ++i) {
        StoreStatus status = StoreStatus::Missing;
        const auto found = Lines(DueAppointments(Store(), At(due), &status));
        if (status != StoreStatus::Ok ||
            found != std::vector<std::string>{"07.03.2003 - 14:30 # Zahnarzt"}) {
            ++wrong;
        }
    }
    stop = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
}

TEST(ReminderSchedule, EachMinuteIsCheckedOnceWhateverTheTickTimes) {
    test::ScopedTimeZone tz("Europe/Berlin");
    const TimePoint m = Local(2003, 3, 7, 14, 29);
    ReminderSchedule schedule;
    // Started mid-minute: that minute counts as done, the next boundary is the first check.
    schedule.Start(m + 20);
    EXPECT_EQ(schedule.NextMinute(), m + 60);
    EXPECT_EQ(schedule.Tick(m + 59), std::nullopt);  // a tick just before the boundary
    EXPECT_EQ(schedule.Tick(m + 60), (MinuteRange{m + 60, m + 60}));
    EXPECT_EQ(schedule.Tick(m + 61), std::nullopt);  // doubled: nothing twice
    EXPECT_EQ(schedule.NextMinute(), m + 120);
    // Late and early ticks: hh:mm:59.9 then hh:mm+2:00.1 still check the minute between.
    EXPECT_EQ(schedule.Tick(m + 119), std::nullopt);
    EXPECT_EQ(schedule.Tick(m + 180), (MinuteRange{m + 120, m + 180}));
}

TEST(ReminderSchedule, LongGapsAreNotCaughtUpAndAClockSetBackStartsAfresh) {
    test::ScopedTimeZone tz("Europe/Berlin");
    const TimePoint m = Local(2003, 3, 7, 14, 0);
    ReminderSchedule schedule;
    EXPECT_EQ(schedule.Tick(m + 5), (MinuteRange{m, m}));  // unstarted: its own minute
    const TimePoint limit = 60 * ReminderSchedule::kMaxCatchUpMinutes;
    EXPECT_EQ(schedule.Tick(m + limit), (MinuteRange{m + 60, m + limit}));
    // After a suspend, only the current minute.
    EXPECT_EQ(schedule.Tick(m + limit + 3600), (MinuteRange{m + limit + 3600, m + limit + 3600}));
    // Set back a little: those minutes were checked. Set back far: start again there.
    EXPECT_EQ(schedule.Tick(m + limit + 3600 - 120), std::nullopt);
    EXPECT_EQ(schedule.Tick(m), (MinuteRange{m, m}));
    schedule.Reset();
    EXPECT_EQ(schedule.Tick(m + 30), (MinuteRange{m, m}));
}

}  // namespace
}  // namespace tavolin
