#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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
    EXPECT_EQ(AppointmentStore(m_context).Path(), Path());
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
    EXPECT_EQ(Store().TidyUp(true, test::Local(2003, 3, 8, 15, 0)), StoreStatus::Unreadable);
    EXPECT_TRUE(fs::is_directory(Path()));
    EXPECT_TRUE(fs::is_empty(Path()));
}

TEST_F(AppointmentStoreTest, AFileInAMissingDirectoryIsNotCreated) {
    const AppointmentStore store(File("nowhere") / "Termine.dat");
    EXPECT_EQ(store.AppendRecord("Notiz # a"), StoreStatus::WriteFailed);
    EXPECT_EQ(store.TidyUp(true, test::Local(2003, 3, 8, 15, 0)), StoreStatus::Missing);
    EXPECT_FALSE(fs::exists(File("nowhere")));
}

TEST_F(AppointmentStoreTest, AnUnreadableFileIsNeitherRewrittenNorTruncated) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no POSIX read permission to take away and no ordinary user to switch to";
#endif
    Write("Notiz # a");
    fs::permissions(Path(), fs::perms::owner_write, fs::perm_options::replace);
    // Root reads every file, so the store is used as an ordinary user.
    EXPECT_TRUE(test::AsUnprivilegedUser({m_dir.path()}, [&] {
        return Store().TidyUp(true, test::Local(2003, 3, 8, 15, 0)) == StoreStatus::Unreadable &&
               Store().RemoveRecord("Notiz # a") == StoreStatus::Unreadable &&
               Store().AppendRecord("Notiz # b") == StoreStatus::Ok;
    }));
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace);
    EXPECT_EQ(Bytes(), "Notiz # a\r\nNotiz # b");
}

TEST_F(AppointmentStoreTest, AFailedRewriteLeavesTheOldFileAndNoDebris) {
    const std::string before = "Notiz # b\r\nNotiz # a\r\nNotiz # a";
    Write(before);
    {
        auto faults = std::make_shared<WriteFaults>();
        faults->failRewrites = true;
        const AppointmentStore failing(Path(), faults);
        EXPECT_EQ(failing.RemoveRecord("Notiz # a"), StoreStatus::WriteFailed);
        EXPECT_EQ(failing.ReplaceRecord("Notiz # a", "Notiz # c"), StoreStatus::WriteFailed);
        EXPECT_EQ(failing.TidyUp(true, test::Local(2003, 3, 8, 15, 0)), StoreStatus::WriteFailed);
    }
    EXPECT_EQ(Bytes(), before);
    // Only the file itself and its lock file.
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(m_dir.path())) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Termine.dat", "Termine.dat.lock"}));
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

namespace tavolin {
namespace {

class AppointmentStoreSafetyTest : public test::DataDirTest {
protected:
    fs::path Path() const { return File("Termine.dat"); }
    AppointmentStore Store() const { return AppointmentStore(Path()); }
};

TEST_F(AppointmentStoreSafetyTest, AFullDiskLeavesNoPartOfAnAppendedRecord) {
    test::WriteBytes(Path(), "Notiz # a");
    auto faults = std::make_shared<WriteFaults>();
    faults->bytesLeft = 5;
    EXPECT_EQ(AppointmentStore(Path(), faults).AppendRecord("Notiz # a longer remark"),
              StoreStatus::WriteFailed);
    EXPECT_EQ(test::ReadBytes(Path()), "Notiz # a");
}

TEST_F(AppointmentStoreSafetyTest, AFullDiskLeavesEveryRewriteAsItWas) {
    const std::string before = "Notiz # b\r\nNotiz # a\r\n01.01.2000 - 10:00 # old";
    test::WriteBytes(Path(), before);
    // Each rewrite meets a disk with room for 7 bytes.
    for (int op = 0; op < 3; ++op) {
        auto faults = std::make_shared<WriteFaults>();
        faults->bytesLeft = 7;
        const AppointmentStore store(Path(), faults);
        const StoreStatus status =
            op == 0   ? store.TidyUp(true, test::Local(2003, 3, 8, 15, 0))
            : op == 1 ? store.RemoveRecord("Notiz # a")
                      : store.ReplaceRecord("Notiz # a", "Notiz # c");
        EXPECT_EQ(status, StoreStatus::WriteFailed) << op;
    }
    EXPECT_EQ(test::ReadBytes(Path()), before);
}

TEST_F(AppointmentStoreSafetyTest, AppendRefusesWhatTidyUpWouldRefuse) {
    // A sparse file just at the limit costs no disk space.
    {
        const UniqueFd fd(::open(Path().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        ASSERT_EQ(::ftruncate(fd.Get(), static_cast<off_t>(kMaxAppointmentFileBytes) - 4), 0);
    }
    EXPECT_EQ(Store().AppendRecord("Notiz # too much"), StoreStatus::TooLarge);
    EXPECT_EQ(fs::file_size(Path()), kMaxAppointmentFileBytes - 4);
    // The largest file append makes is still one every reader takes.
    {
        const UniqueFd fd(::open(Path().c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::ftruncate(fd.Get(), static_cast<off_t>(kMaxAppointmentFileBytes) + 1), 0);
    }
    EXPECT_EQ(Store().AppendRecord("Notiz # x"), StoreStatus::TooLarge);
    EXPECT_EQ(Store().TidyUp(true, test::Local(2003, 3, 8, 15, 0)), StoreStatus::TooLarge);
    EXPECT_EQ(fs::file_size(Path()), kMaxAppointmentFileBytes + 1);
}

TEST_F(AppointmentStoreSafetyTest, SymlinkedFileStaysALinkThroughEveryChange) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows and Wine makes none";
#endif
    fs::create_directory(File("sync"));
    fs::create_symlink("sync/Termine.dat", Path());
    ASSERT_EQ(Store().AppendRecord("Notiz # b"), StoreStatus::Ok);
    ASSERT_EQ(Store().AppendRecord("Notiz # a"), StoreStatus::Ok);
    ASSERT_EQ(Store().TidyUp(true, test::Local(2003, 3, 8, 15, 0)), StoreStatus::Ok);
    ASSERT_EQ(Store().ReplaceRecord("Notiz # b", "Notiz # c"), StoreStatus::Ok);
    ASSERT_EQ(Store().RemoveRecord("Notiz # a"), StoreStatus::Ok);
    EXPECT_TRUE(fs::is_symlink(Path()));
    EXPECT_EQ(test::ReadBytes(File("sync") / "Termine.dat"), "Notiz # c");
}

TEST_F(AppointmentStoreSafetyTest, ThreadsAppendingWhileOthersTidyLoseNothing) {
    constexpr int kAppenders = 4, kPerAppender = 40;
    std::atomic<bool> done{false};
    std::vector<std::thread> appenders;
    for (int t = 0; t < kAppenders; ++t) {
        appenders.emplace_back([this, t] {
            for (int i = 0; i < kPerAppender; ++i) {
                const std::string line = "Notiz # " + std::to_string(t) + "-" + std::to_string(i);
                ASSERT_EQ(Store().AppendRecord(line), StoreStatus::Ok);
            }
        });
    }
    std::thread tidier([this, &done] {
        while (!done) {
            const StoreStatus s = Store().TidyUp(true, test::Local(2003, 3, 8, 15, 0));
            ASSERT_TRUE(s == StoreStatus::Ok || s == StoreStatus::Missing);
            Store().RemoveRecord("no such line");
        }
    });
    for (auto& t : appenders) t.join();
    done = true;
    tidier.join();
    Lines records = Store().ReadRecords();
    EXPECT_EQ(records.size(), static_cast<size_t>(kAppenders * kPerAppender));
    std::sort(records.begin(), records.end());
    EXPECT_EQ(std::unique(records.begin(), records.end()), records.end());
    for (const std::string& r : records) EXPECT_EQ(r.rfind("Notiz # ", 0), 0u) << r;
}

}  // namespace
}  // namespace tavolin
