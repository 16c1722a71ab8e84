#include <gtest/gtest.h>

#include <random>

#include "appointments/Appointment.h"
#include "appointments/AppointmentStore.h"
#include "appointments/TidyUp.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using Lines = std::vector<std::string>;
using test::Local;
namespace fs = std::filesystem;

constexpr bool kDelete = true;
constexpr bool kMove = false;

class TidyUpTest : public test::DataDirTest {
protected:
    // 8 March 2003, in the afternoon.
    test::FixedClock m_clock{Local(2003, 3, 8, 15, 0)};

    fs::path Path() const { return File("Termine.dat"); }
    Lines Tidy(const Lines& lines, bool deleteExpired, TidyStats* stats = nullptr) const {
        test::WriteBytes(Path(), JoinRecordLines(lines));
        EXPECT_EQ(AppointmentStore(Path()).TidyUp(deleteExpired, m_clock.Now(), stats),
                  StoreStatus::Ok);
        return SplitRecordLines(test::ReadBytes(Path()));
    }
};

TEST_F(TidyUpTest, DeleteModeDropsWhatLiesBeforeTodayMidnight) {
    EXPECT_EQ(Tidy({"07.03.2003 - 23:30 # Friseur", "08.03.2003 - 00:00 # Bahnhof",
                    "05.03.2003 - 16:00 # Sport", "Notiz # Blumen"},
                   kDelete),
              (Lines{"Notiz # Blumen", "08.03.2003 - 00:00 # Bahnhof"}));
}

TEST_F(TidyUpTest, MoveModeGivesExpiredAppointmentsTodayKeepingTheirTime) {
    EXPECT_EQ(Tidy({"07.03.2003 - 23:30 # Friseur", "08.03.2003 - 00:00 # Bahnhof",
                    "05.03.2003 - 16:00 # Sport", "Notiz # Blumen", "08.03.2003 - 09:00 # Post"},
                   kMove),
              (Lines{"Notiz # Blumen", "08.03.2003 - 00:00 # Bahnhof", "08.03.2003 - 09:00 # Post",
                     "08.03.2003 - 16:00 # Sport", "08.03.2003 - 23:30 # Friseur"}));
}

TEST_F(TidyUpTest, AMovedAppointmentMovesAgainTheNextDay) {
    Tidy({"05.03.2003 - 16:00 # Sport"}, kMove);
    m_clock.Set(Local(2003, 3, 9, 0, 1));
    EXPECT_EQ(AppointmentStore(Path()).TidyUp(kMove, m_clock.Now()), StoreStatus::Ok);
    EXPECT_EQ(test::ReadBytes(Path()), "09.03.2003 - 16:00 # Sport");
}

TEST_F(TidyUpTest, MovedKeysAreWrittenInFullFromHandWrittenOnes) {
    // Normalised on the way: 7.3.2003 - 25:5 is 8 March 01:05, which is today: kept as written.
    EXPECT_EQ(Tidy({"6.3.2003 - 7:5 # a", "7.3.2003 - 25:5 # b"}, kMove),
              (Lines{"7.3.2003 - 25:5 # b", "08.03.2003 - 07:05 # a"}));
}

TEST_F(TidyUpTest, SortsNotesByRemarkThenAppointmentsByTime) {
    EXPECT_EQ(
        Tidy({"Notiz # b", "10.03.2003 - 09:00 # x", "Notiz # a", "09.03.2003 - 09:00 # y"},
             kDelete),
        (Lines{"Notiz # a", "Notiz # b", "09.03.2003 - 09:00 # y", "10.03.2003 - 09:00 # x"}));
}

TEST_F(TidyUpTest, TimesCompareAsTimesNotAsText) {
    EXPECT_EQ(
        Tidy({"01.04.2003 - 08:00 # c", "9.3.2003 - 9:00 # b", "10.03.2003 - 08:00 # a"}, kDelete),
        (Lines{"9.3.2003 - 9:00 # b", "10.03.2003 - 08:00 # a", "01.04.2003 - 08:00 # c"}));
}

TEST_F(TidyUpTest, EqualTimesAreOrderedByRemarkAsUnsignedBytes) {
    EXPECT_EQ(Tidy({"09.03.2003 - 09:00 # Zahnarzt", "09.03.2003 - 09:00 # Arzt"}, kDelete),
              (Lines{"09.03.2003 - 09:00 # Arzt", "09.03.2003 - 09:00 # Zahnarzt"}));
    // Windows-1252: Z (0x5A) before a (0x61) before ä (0xE4); a prefix before the longer text.
    EXPECT_EQ(
        Tidy({"Notiz # \xE4", "Notiz # ab", "Notiz # a", "Notiz # Z", "Notiz # \xFF", "Notiz # "},
             kDelete),
        (Lines{"Notiz # ", "Notiz # Z", "Notiz # a", "Notiz # ab", "Notiz # \xE4",
               "Notiz # \xFF"}));
}

TEST_F(TidyUpTest, EntriesEqualInTimeAndRemarkKeepTheirFileOrder) {
    EXPECT_EQ(Tidy({"9.3.2003 - 9:00 # x", "09.03.2003 - 09:00 # x"}, kDelete),
              (Lines{"9.3.2003 - 9:00 # x", "09.03.2003 - 09:00 # x"}));
    EXPECT_EQ(Tidy({"09.03.2003 - 09:00 # x", "9.3.2003 - 9:00 # x"}, kDelete),
              (Lines{"09.03.2003 - 09:00 # x", "9.3.2003 - 9:00 # x"}));
}

TEST_F(TidyUpTest, ExactDuplicatesBecomeOne) {
    TidyStats stats;
    EXPECT_EQ(Tidy({"Notiz # a", "09.03.2003 - 09:00 # x", "Notiz # b", "Notiz # a",
                    "09.03.2003 - 09:00 # x", "Notiz # a"},
                   kDelete, &stats),
              (Lines{"Notiz # a", "Notiz # b", "09.03.2003 - 09:00 # x"}));
    EXPECT_EQ(stats.duplicates, 3u);
    EXPECT_EQ(stats.records, 3u);
}

TEST_F(TidyUpTest, AnAppointmentMovedOntoAnIdenticalOneLeavesOneLine) {
    TidyStats stats;
    EXPECT_EQ(Tidy({"08.03.2003 - 16:00 # Sport", "05.03.2003 - 16:00 # Sport",
                    "07.03.2003 - 16:00 # Sport"},
                   kMove, &stats),
              Lines{"08.03.2003 - 16:00 # Sport"});
    EXPECT_EQ(stats.moved, 2u);
    EXPECT_EQ(stats.duplicates, 2u);
}

TEST_F(TidyUpTest, HandEditedLinesStayByteForByteAfterTheRecords) {
    const Lines lines{"Kein Trenner \xFF ",
                      "10.03.2003 - 09:00 # x",
                      "",
                      "Termin # ohne Datum",
                      "01.01.2000 - 09:00 # alt",
                      "Notiz#a",
                      "notiz # klein",
                      "\t"};
    const Lines tail{"Kein Trenner \xFF ", "",  "Termin # ohne Datum", "Notiz#a",
                     "notiz # klein",      "\t"};
    for (const bool mode : {kDelete, kMove}) {
        TidyStats stats;
        Lines expected{mode == kDelete ? "10.03.2003 - 09:00 # x" : "08.03.2003 - 09:00 # alt"};
        if (mode == kMove) expected.push_back("10.03.2003 - 09:00 # x");
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(Tidy(lines, mode, &stats), expected);
        EXPECT_EQ(stats.unrecognised, tail.size());
    }
}

TEST_F(TidyUpTest, AnUnrepresentableDateCountsAsExpired) {
    const std::string huge = "01.99999999999.99999999999 - 10:00 # weit";
    ASSERT_EQ(ParseWhen(huge.substr(0, huge.find(" # "))), -1);
    EXPECT_EQ(Tidy({huge, "Notiz # n"}, kDelete), Lines{"Notiz # n"});
    // Moved, it has no time of day to keep: today's date and an empty time text.
    EXPECT_EQ(Tidy({huge}, kMove), Lines{"08.03.2003 -  # weit"});
}

TEST_F(TidyUpTest, TodayStartsAtLocalMidnightOnDaylightSavingDays) {
    // 30 March 2003: 23 hours. Late that evening, 29.03. 23:59 is expired, 30.03. 00:00 is not.
    m_clock.Set(Local(2003, 3, 30, 23, 30));
    const Lines spring{"29.03.2003 - 23:59 # gestern", "30.03.2003 - 00:00 # heute",
                       "30.03.2003 - 02:30 # gibt es nicht"};
    EXPECT_EQ(Tidy(spring, kDelete),
              (Lines{"30.03.2003 - 00:00 # heute", "30.03.2003 - 02:30 # gibt es nicht"}));
    EXPECT_EQ(Tidy({"29.03.2003 - 02:30 # verlegt", "30.03.2003 - 04:00 # danach"}, kMove),
              (Lines{"30.03.2003 - 02:30 # verlegt", "30.03.2003 - 04:00 # danach"}));
    // 26 October 2003: 25 hours. An hour after midnight UTC-wise is still the same day.
    m_clock.Set(Local(2003, 10, 26, 23, 30));
    EXPECT_EQ(Tidy({"25.10.2003 - 23:59 # gestern", "26.10.2003 - 00:00 # heute"}, kDelete),
              Lines{"26.10.2003 - 00:00 # heute"});
}

TEST_F(TidyUpTest, TheRepeatedHourSortsTheSameWhateverComesBeforeIt) {
    // 02:30 on 26 October 2003 happens twice; it must always be the first one, even after a
    // summer date (the C library would otherwise guess from the conversion before). Both
    // copies then sort next to each other and become one, and a second tidy-up agrees.
    const Lines input{"01.07.2004 - 12:00 # s", "26.10.2003 - 02:30 # a", "26.10.2003 - 02:45 # a",
                      "01.01.2004 - 12:00 # w", "26.10.2003 - 02:30 # a"};
    const Lines expected{"26.10.2003 - 02:30 # a", "26.10.2003 - 02:45 # a",
                         "01.01.2004 - 12:00 # w", "01.07.2004 - 12:00 # s"};
    EXPECT_EQ(Tidy(input, kDelete), expected);
    EXPECT_EQ(Tidy(expected, kDelete), expected);
}

TEST_F(TidyUpTest, NoLimitOnTheNumberOfRecords) {
    Lines lines;
    for (int i = 0; i < 5000; ++i) {
        lines.push_back(FormatWhen(1 + i % 28, 4, 2003 + i / 28, 9, 0) + " # " + std::to_string(i));
    }
    lines.push_back("unbekannte Zeile");
    const Lines tidied = Tidy(lines, kDelete);
    EXPECT_EQ(tidied, lines);  // already in order: nothing lost, nothing moved
    TidyStats stats;
    Lines reversed(lines.rbegin() + 1, lines.rend());
    reversed.push_back(lines.back());
    EXPECT_EQ(Tidy(reversed, kDelete, &stats), lines);
    EXPECT_EQ(stats.records, 5001u);
}

TEST_F(TidyUpTest, AMissingFileStaysMissingAndAnEmptyOneEmpty) {
    EXPECT_EQ(AppointmentStore(Path()).TidyUp(kDelete, m_clock.Now()), StoreStatus::Missing);
    EXPECT_FALSE(fs::exists(Path()));
    test::WriteBytes(Path(), "");
    EXPECT_EQ(AppointmentStore(Path()).TidyUp(kMove, m_clock.Now()), StoreStatus::Ok);
    EXPECT_TRUE(fs::exists(Path()));
    EXPECT_EQ(test::ReadBytes(Path()), "");
}

TEST_F(TidyUpTest, RewritesWithCrLfAndNoFinalLineEnd) {
    test::WriteBytes(Path(), "Notiz # b\nNotiz # a\n");
    EXPECT_EQ(AppointmentStore(Path()).TidyUp(kDelete, m_clock.Now()), StoreStatus::Ok);
    EXPECT_EQ(test::ReadBytes(Path()), "Notiz # a\r\nNotiz # b");
}

// The tidy-up as repeated passes of neighbour swaps, followed by the duplicate walk.
Lines NeighbourSwapReference(const Lines& lines, bool deleteExpired, TimePoint today) {
    struct Entry {
        std::string key, remark;
    };
    std::vector<Entry> entries;
    Lines odd;
    for (const std::string& line : lines) {
        auto a = SplitRecord(line);
        if (!a || (!a->IsNote() && !a->IsDated())) {
            odd.push_back(line);
            continue;
        }
        if (!a->IsNote() && a->When() < today) {
            if (deleteExpired) continue;
            const std::tm d = LocalFields(today), t = LocalFields(a->When());
            a->key = FormatWhen(d.tm_mday, d.tm_mon + 1, d.tm_year + 1900, t.tm_hour, t.tm_min);
        }
        entries.push_back({a->key, a->remark});
    }
    auto greater = [](const Entry& x, const Entry& y) {
        const bool nx = x.key == "Notiz", ny = y.key == "Notiz";
        if (nx != ny) return ny;
        if (!nx && ParseWhen(x.key) != ParseWhen(y.key)) return ParseWhen(x.key) > ParseWhen(y.key);
        return std::lexicographical_compare(
            y.remark.begin(), y.remark.end(), x.remark.begin(), x.remark.end(), [](char p, char q) {
                return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
            });
    };
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (size_t i = 1; i < entries.size(); ++i) {
            if (greater(entries[i - 1], entries[i])) {
                std::swap(entries[i - 1], entries[i]);
                swapped = true;
            }
        }
    }
    Lines result;
    for (const Entry& e : entries) {
        const std::string line = e.key + " # " + e.remark;
        if (result.empty() || result.back() != line) result.push_back(line);
    }
    result.insert(result.end(), odd.begin(), odd.end());
    return result;
}

TEST(TidyRecords, EqualsRepeatedNeighbourSwaps) {
    test::ScopedTimeZone tz("Europe/Berlin");
    const TimePoint today = Local(2003, 3, 8);
    std::mt19937 rng(20030308);
    const char* remarks[] = {"a", "b", "Arzt", "Zahnarzt", "\xE4", "a # b", "", "A"};
    const char* keys[] = {"Notiz",
                          "08.03.2003 - 09:00",
                          "8.3.2003 - 9:0",
                          "07.03.2003 - 09:00",
                          "09.03.2003 - 08:59",
                          "01.01.2004 - 00:00",
                          "31.12.2003 - 24:00",
                          "ohne Datum",
                          "05.03.2003 - 09:00"};
    for (int round = 0; round < 300; ++round) {
        Lines lines;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            if (rng() % 15 == 0) {
                lines.push_back("Kaputt " + std::to_string(i));
            } else {
                lines.push_back(std::string(keys[rng() % std::size(keys)]) + " # " +
                                remarks[rng() % std::size(remarks)]);
            }
        }
        // Bare LF and CR LF line ends, with or without one at the end.
        std::string bytes;
        for (const std::string& line : lines) bytes += line + (rng() % 2 ? "\r\n" : "\n");
        if (!bytes.empty() && rng() % 2) bytes.resize(bytes.size() - 1);
        for (const bool mode : {kDelete, kMove}) {
            const Lines expected = NeighbourSwapReference(lines, mode, today);
            ASSERT_EQ(TidyRecords(lines, mode, today), expected)
                << "round " << round << (mode ? " delete" : " move");
            TidyStats fromLines, fromBytes;
            TidyRecords(SplitRecordLines(bytes), mode, today, &fromLines);
            ASSERT_EQ(TidyRecordBytes(bytes, mode, today, &fromBytes),
                      JoinRecordLines(TidyRecords(SplitRecordLines(bytes), mode, today)))
                << "round " << round << (mode ? " delete" : " move");
            EXPECT_EQ(fromBytes.records, fromLines.records);
            EXPECT_EQ(fromBytes.moved, fromLines.moved);
            EXPECT_EQ(fromBytes.deleted, fromLines.deleted);
            EXPECT_EQ(fromBytes.duplicates, fromLines.duplicates);
            EXPECT_EQ(fromBytes.unrecognised, fromLines.unrecognised);
        }
    }
}

}  // namespace
}  // namespace tavolin
