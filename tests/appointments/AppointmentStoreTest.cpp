#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "appointments/AppointmentStore.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

TEST(SplitRecordLines, AcceptsCrLfAndBareLfAndKeepsEveryOtherByte) {
    EXPECT_EQ(SplitRecordLines(""), Lines{});
    EXPECT_EQ(SplitRecordLines("A"), Lines{"A"});
    EXPECT_EQ(SplitRecordLines("A\r\nB"), (Lines{"A", "B"}));
    EXPECT_EQ(SplitRecordLines("A\nB\r\nC"), (Lines{"A", "B", "C"}));
    // A line end at the very end adds no record; an empty line before it is one.
    EXPECT_EQ(SplitRecordLines("A\r\n"), Lines{"A"});
    EXPECT_EQ(SplitRecordLines("A\r\n\r\n"), (Lines{"A", ""}));
    EXPECT_EQ(SplitRecordLines("\n"), Lines{""});
    EXPECT_EQ(SplitRecordLines("A\r\n\r\nB"), (Lines{"A", "", "B"}));
    // A CR is only part of the line end right before LF.
    EXPECT_EQ(SplitRecordLines("A\rB\r"), Lines{"A\rB\r"});
    EXPECT_EQ(SplitRecordLines("A\r\r\nB"), (Lines{"A\r", "B"}));
    // 0xFF, NUL and Ctrl-Z are text, not the end of the file.
    const std::string odd("Notiz # \xFF\x1A\0z", 12);
    EXPECT_EQ(SplitRecordLines(odd + "\r\nNotiz # b"), (Lines{odd, "Notiz # b"}));
}

TEST(JoinRecordLines, PutsCrLfBetweenLinesAndNoneAfterTheLast) {
    EXPECT_EQ(JoinRecordLines({}), "");
    EXPECT_EQ(JoinRecordLines({"A"}), "A");
    EXPECT_EQ(JoinRecordLines({"A", "", "B"}), "A\r\n\r\nB");
}

class AppointmentStoreTest : public test::DataDirTest {
protected:
    fs::path Path() const { return File("Termine.dat"); }
    AppointmentStore Store() const { return AppointmentStore(Path()); }
    void Write(const std::string& bytes) const { test::WriteBytes(Path(), bytes); }
    std::string Bytes() const { return test::ReadBytes(Path()); }
};

TEST_F(AppointmentStoreTest, DefaultPathIsTermineDatInTheDataDirectory) {
    EXPECT_EQ(AppointmentStore::DefaultPath(), Path());
    EXPECT_EQ(AppointmentStore().Path(), Path());
}

TEST_F(AppointmentStoreTest, ReadingAMissingFileGivesNothingAndCreatesNothing) {
    StoreStatus status = StoreStatus::Ok;
    EXPECT_TRUE(Store().ReadRecords(&status).empty());
    EXPECT_EQ(status, StoreStatus::Missing);
    EXPECT_FALSE(fs::exists(Path()));
}

TEST_F(AppointmentStoreTest, ReadsRemarksWithFfAndTheLinesAfterThem) {
    Write("Notiz # Gr\xFC\xDF\x65 \xFF\r\n07.03.2003 - 09:30 # Zahnarzt\r\n");
    StoreStatus status = StoreStatus::Missing;
    EXPECT_EQ(Store().ReadRecords(&status),
              (Lines{"Notiz # Gr\xFC\xDF\x65 \xFF", "07.03.2003 - 09:30 # Zahnarzt"}));
    EXPECT_EQ(status, StoreStatus::Ok);
}

TEST_F(AppointmentStoreTest, LongLinesAndManyLinesAreReadWhole) {
    const std::string longRemark(1 << 20, 'x');
    Lines lines{"Notiz # " + longRemark};
    for (int i = 0; i < 5000; ++i) lines.push_back("Notiz # " + std::to_string(i));
    Write(JoinRecordLines(lines));
    EXPECT_EQ(Store().ReadRecords(), lines);
}

TEST_F(AppointmentStoreTest, AppendCreatesAMissingFileWithJustTheLine) {
    EXPECT_EQ(Store().AppendRecord("Notiz # a"), StoreStatus::Ok);
    EXPECT_EQ(Bytes(), "Notiz # a");
}

TEST_F(AppointmentStoreTest, AppendToAnEmptyFileWritesNoLineEnd) {
    Write("");
    EXPECT_EQ(Store().AppendRecord("Notiz # a"), StoreStatus::Ok);
    EXPECT_EQ(Bytes(), "Notiz # a");
}

TEST_F(AppointmentStoreTest, AppendPutsALineEndBeforeTheNewLineOnly) {
    Write("Notiz # a");
    EXPECT_EQ(Store().AppendRecord("Notiz # b"), StoreStatus::Ok);
    EXPECT_EQ(Bytes(), "Notiz # a\r\nNotiz # b");
    EXPECT_EQ(Store().AppendRecord("Notiz # c"), StoreStatus::Ok);
    EXPECT_EQ(Store().ReadRecords(), (Lines{"Notiz # a", "Notiz # b", "Notiz # c"}));
}

TEST_F(AppointmentStoreTest, AppendAfterAHandEditedFinalLineEndAddsNoEmptyLine) {
    Write("Notiz # a\r\n");
    EXPECT_EQ(Store().AppendRecord("Notiz # b"), StoreStatus::Ok);
    EXPECT_EQ(Bytes(), "Notiz # a\r\nNotiz # b");
    Write("Notiz # a\n");
    EXPECT_EQ(Store().AppendRecord("Notiz # b"), StoreStatus::Ok);
    EXPECT_EQ(Store().ReadRecords(), (Lines{"Notiz # a", "Notiz # b"}));
}

TEST_F(AppointmentStoreTest, AppendRefusesALineThatWouldBecomeTwoRecords) {
    Write("Notiz # a");
    EXPECT_EQ(Store().AppendRecord("Notiz # b\r\nNotiz # c"), StoreStatus::InvalidLine);
    EXPECT_EQ(Store().ReplaceRecord("Notiz # a", "x\ny"), StoreStatus::InvalidLine);
    EXPECT_EQ(Bytes(), "Notiz # a");
}

TEST_F(AppointmentStoreTest, ReplaceChangesOnlyTheFirstEqualLine) {
    Write("Notiz # x\r\nNotiz # a # b\r\nNotiz # x");
    EXPECT_EQ(Store().ReplaceRecord("Notiz # x", "Notiz # y"), StoreStatus::Ok);
    EXPECT_EQ(Bytes(), "Notiz # y\r\nNotiz # a # b\r\nNotiz # x");
    // A remark holding " # " is addressed by its whole line.
    EXPECT_EQ(Store().ReplaceRecord("Notiz # a # b", "Notiz # a # c"), StoreStatus::Ok);
    EXPECT_EQ(Bytes(), "Notiz # y\r\nNotiz # a # c\r\nNotiz # x");
}

TEST_F(AppointmentStoreTest, RemoveDropsOnlyTheFirstEqualLine) {
    Write("Notiz # x\nNotiz # b\nNotiz # x\n");
    EXPECT_EQ(Store().RemoveRecord("Notiz # x"), StoreStatus::Ok);
    EXPECT_EQ(Bytes(), "Notiz # b\r\nNotiz # x");
    EXPECT_EQ(Store().RemoveRecord("Notiz # x"), StoreStatus::Ok);
    EXPECT_EQ(Store().RemoveRecord("Notiz # b"), StoreStatus::Ok);
    // The last record gone, the file stays, empty.
    EXPECT_TRUE(fs::exists(Path()));
    EXPECT_EQ(Bytes(), "");
}

TEST_F(AppointmentStoreTest, MatchingIsExactAndAMissOnlyReports) {
    const std::string before = "Notiz # Abc\nNotiz # abc ";
    Write(before);
    EXPECT_EQ(Store().RemoveRecord("Notiz # abc"), StoreStatus::NotFound);
    EXPECT_EQ(Store().ReplaceRecord("Notiz # ABC", "Notiz # x"), StoreStatus::NotFound);
    EXPECT_EQ(Bytes(), before);
}

TEST_F(AppointmentStoreTest, ReplaceAndRemoveOnAVanishedFileCreateNothing) {
    EXPECT_EQ(Store().ReplaceRecord("Notiz # a", "Notiz # b"), StoreStatus::Missing);
    EXPECT_EQ(Store().RemoveRecord("Notiz # a"), StoreStatus::Missing);
    EXPECT_FALSE(fs::exists(Path()));
}

TEST_F(AppointmentStoreTest, ADirectoryInPlaceOfTheFileIsLeftAlone) {
    fs::create_directory(Path());
    StoreStatus status = StoreStatus::Ok;
    EXPECT_TRUE(Store().ReadRecords(&status).empty());
    EXPECT_EQ(status, StoreStatus::Unreadable);
    EXPECT_EQ(Store().AppendRecord("Notiz # a"), StoreStatus::WriteFailed);
    EXPECT_EQ(Store().RemoveRecord("Notiz # a"), StoreStatus::Unreadable);
    EXPECT_EQ(Store().ReplaceRecord("Notiz # a", "Notiz # b"), StoreStatus::Unreadable);
    EXPECT_EQ(Store().TidyUp(true), StoreStatus::Unreadable);
    EXPECT_TRUE(fs::is_directory(Path()));
    EXPECT_TRUE(fs::is_empty(Path()));
}

TEST_F(AppointmentStoreTest, AFileInAMissingDirectoryIsNotCreated) {
    const AppointmentStore store(File("nowhere") / "Termine.dat");
    EXPECT_EQ(store.AppendRecord("Notiz # a"), StoreStatus::WriteFailed);
    EXPECT_EQ(store.TidyUp(true), StoreStatus::Missing);
    EXPECT_FALSE(fs::exists(File("nowhere")));
}

TEST_F(AppointmentStoreTest, AnUnreadableFileIsNeitherRewrittenNorTruncated) {
    Write("Notiz # a");
    fs::permissions(Path(), fs::perms::owner_write, fs::perm_options::replace);
    // Root reads every file, so the store is used as an ordinary user.
    EXPECT_TRUE(test::AsUnprivilegedUser({m_dir.path()}, [&] {
        return Store().TidyUp(true) == StoreStatus::Unreadable &&
               Store().RemoveRecord("Notiz # a") == StoreStatus::Unreadable &&
               Store().AppendRecord("Notiz # b") == StoreStatus::Ok;
    }));
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace);
    EXPECT_EQ(Bytes(), "Notiz # a\r\nNotiz # b");
}

class FailingRewrites {
public:
    FailingRewrites() { SetAtomicWriteFailureForTesting(true); }
    ~FailingRewrites() { SetAtomicWriteFailureForTesting(false); }
};

TEST_F(AppointmentStoreTest, AFailedRewriteLeavesTheOldFileAndNoDebris) {
    const std::string before = "Notiz # b\r\nNotiz # a\r\nNotiz # a";
    Write(before);
    {
        FailingRewrites failing;
        EXPECT_EQ(Store().RemoveRecord("Notiz # a"), StoreStatus::WriteFailed);
        EXPECT_EQ(Store().ReplaceRecord("Notiz # a", "Notiz # c"), StoreStatus::WriteFailed);
        EXPECT_EQ(Store().TidyUp(true), StoreStatus::WriteFailed);
    }
    EXPECT_EQ(Bytes(), before);
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_dir.path())) ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(AppointmentStoreTest, AConcurrentReaderSeesOnlyWholeFiles) {
    // The reminder check reads on its own thread while the list rewrites. A rewrite that
    // truncated first would show it an empty or partial file.
    Lines lines;
    for (int i = 0; i < 2000; ++i) lines.push_back("Notiz # " + std::to_string(i));
    Write(JoinRecordLines(lines));
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        while (!done) {
            const Lines seen = Store().ReadRecords();
            if (seen.size() != lines.size() || seen.back() != lines.back()) ++torn;
            ++reads;
        }
    });
    for (int round = 0; round < 40; ++round) {
        const bool even = round % 2 == 0;
        EXPECT_EQ(Store().ReplaceRecord(even ? "Notiz # 0" : "Notiz # zero",
                                        even ? "Notiz # zero" : "Notiz # 0"),
                  StoreStatus::Ok);
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
}

}  // namespace
}  // namespace tavolin
