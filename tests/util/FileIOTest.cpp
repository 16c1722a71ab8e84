#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "util/FileIO.h"
#include "util/FileLock.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;

size_t EntryCount(const fs::path& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
}

void MakeOld(const fs::path& path) {
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(FileIO, RewriteThroughSymlinksKeepsTheLinksAndUpdatesTheTarget) {
    test::TempDir dir;
    fs::create_directory(dir / "synced");
    test::WriteBytes(dir / "synced" / "Termine.dat", "old");
    ::chmod((dir / "synced" / "Termine.dat").c_str(), 0600);
    // A relative link to a link: each is resolved from its own directory.
    fs::create_symlink("synced/Termine.dat", dir / "middle");
    fs::create_symlink("middle", dir / "Termine.dat");

    ASSERT_TRUE(AtomicWriteFile(dir / "Termine.dat", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "Termine.dat"));
    EXPECT_TRUE(fs::is_symlink(dir / "middle"));
    EXPECT_EQ(test::ReadBytes(dir / "synced" / "Termine.dat"), "new");
    EXPECT_EQ(fs::status(dir / "synced" / "Termine.dat").permissions(), fs::perms(0600));
    // The temporary file went beside the target, and nothing else was left behind.
    EXPECT_EQ(EntryCount(dir / "synced"), 1u);
    EXPECT_EQ(EntryCount(dir.path()), 3u);
}

TEST(FileIO, DanglingLinkGetsItsTargetMadeAndStaysALink) {
    test::TempDir dir;
    fs::create_directory(dir / "elsewhere");
    fs::create_symlink(dir / "elsewhere" / "config.ini", dir / "config.ini");
    ASSERT_TRUE(AtomicWriteFile(dir / "config.ini", "[Layout]\r\n"));
    EXPECT_TRUE(fs::is_symlink(dir / "config.ini"));
    EXPECT_EQ(test::ReadBytes(dir / "elsewhere" / "config.ini"), "[Layout]\r\n");
}

TEST(FileIO, LinkLoopIsRefusedAndLeavesTheLinks) {
    test::TempDir dir;
    fs::create_symlink("b", dir / "a");
    fs::create_symlink("a", dir / "b");
    errno = 0;
    EXPECT_FALSE(AtomicWriteFile(dir / "a", "x"));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_TRUE(fs::is_symlink(dir / "a"));
    EXPECT_EQ(EntryCount(dir.path()), 2u);
}

TEST(FileIO, NewFileGetsTheUmaskWithoutTheUmaskBeingChanged) {
    test::TempDir dir;
    const mode_t old = ::umask(027);
    const bool written = AtomicWriteFile(dir / "new.txt", "x");
    const mode_t during = ::umask(old);
    ASSERT_TRUE(written);
    EXPECT_EQ(during, 027u);
    EXPECT_EQ(fs::status(dir / "new.txt").permissions(), fs::perms(0640));
}

TEST(FileIO, FullDiskLeavesTheOriginalAndNoTemporary) {
    test::TempDir dir;
    const auto file = dir / "a.txt";
    test::WriteBytes(file, "precious");
    WriteFaults faults;
    faults.bytesLeft = 3;
    errno = 0;
    EXPECT_FALSE(AtomicWriteFile(file, "a longer replacement", Durability::Sync, &faults));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(test::ReadBytes(file), "precious");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(FileIO, FailedAppendIsCutBackToTheOldLength) {
    test::TempDir dir;
    const auto file = dir / "ErrorLog.dat";
    test::WriteBytes(file, "line 1\r\n");
    WriteFaults faults;
    faults.bytesLeft = 4;
    errno = 0;
    EXPECT_FALSE(AppendToFile(file, "line 2\r\n", &faults));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(test::ReadBytes(file), "line 1\r\n");
    ASSERT_TRUE(AppendToFile(file, "line 2\r\n"));
    EXPECT_EQ(test::ReadBytes(file), "line 1\r\nline 2\r\n");
}

TEST(FileIO, StaleTemporariesAreRemovedOnTheNextRewrite) {
    test::TempDir dir;
    const auto file = dir / "Termine.dat";
    test::WriteBytes(file, "old");
    // Left by a killed rewrite long ago: removed.
    test::WriteBytes(dir / "Termine.dat.tmp-Ab3xY9", "half");
    MakeOld(dir / "Termine.dat.tmp-Ab3xY9");
    // Just written, perhaps by a rewrite that is still running: kept.
    test::WriteBytes(dir / "Termine.dat.tmp-fresh1", "new");
    // Old, but its writer still holds it: kept.
    test::WriteBytes(dir / "Termine.dat.tmp-locked", "busy");
    MakeOld(dir / "Termine.dat.tmp-locked");
    const UniqueFd held(::open((dir / "Termine.dat.tmp-locked").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.Get(), LOCK_EX), 0);
    // Not ours: other files, other lengths, other targets.
    for (const char* name :
         {"Termine.dat.tmp-abc", "Termine.dat.tmp-abcdefg", "config.ini.tmp-Ab3xY9",
          "Termine.dat.bak", "xTermine.dat.tmp-Ab3xY9"}) {
        test::WriteBytes(dir / name, "keep");
        MakeOld(dir / name);
    }

    ASSERT_TRUE(AtomicWriteFile(file, "new"));
    EXPECT_FALSE(fs::exists(dir / "Termine.dat.tmp-Ab3xY9"));
    EXPECT_TRUE(fs::exists(dir / "Termine.dat.tmp-fresh1"));
    EXPECT_TRUE(fs::exists(dir / "Termine.dat.tmp-locked"));
    EXPECT_EQ(EntryCount(dir.path()), 8u);
}

TEST(FileIO, TemporaryNamesAreRecognisedExactly) {
    EXPECT_TRUE(IsTemporaryNameFor("config.ini.tmp-aZ09xq", "config.ini"));
    EXPECT_FALSE(IsTemporaryNameFor("config.ini.tmp-aZ09x", "config.ini"));
    EXPECT_FALSE(IsTemporaryNameFor("config.ini.tmp-aZ0.xq", "config.ini"));
    EXPECT_FALSE(IsTemporaryNameFor("config.ini.tmp-aZ09xq", "Termine.dat"));
    EXPECT_FALSE(IsTemporaryNameFor("config.ini", "config.ini"));
}

TEST(FileIO, ReadRefusesAFifoAtOnce) {
    test::TempDir dir;
    const auto fifo = dir / "f.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] {
        std::string out;
        return ReadWholeFile(fifo, out);
    });
    if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Let the blocked open go on, so that the test ends and reports.
        const UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        read.wait();
        FAIL() << "reading a FIFO blocked";
    }
    EXPECT_EQ(read.get(), ReadStatus::NotRegular);
    std::string out;
    EXPECT_EQ(ReadWholeFile(dir.path(), out), ReadStatus::NotRegular);
}

TEST(FileLock, ExcludesOtherHoldersInTheSameProcessAndThroughLinks) {
    test::TempDir dir;
    const auto file = dir / "Termine.dat";
    fs::create_symlink("real.dat", file);
    EXPECT_EQ(FileLock::LockPathFor(file), dir / "real.dat.lock");
    {
        const FileLock lock(file);
        ASSERT_TRUE(lock.IsLocked());
        EXPECT_FALSE(FileLock::TryLock(file).IsLocked());
        EXPECT_FALSE(FileLock::TryLock(dir / "real.dat").IsLocked());
        EXPECT_TRUE(FileLock::TryLock(dir / "other.dat").IsLocked());
    }
    EXPECT_TRUE(FileLock::TryLock(file).IsLocked());
    // The lock file stays: removing it would let two holders lock two different files.
    EXPECT_TRUE(fs::exists(dir / "real.dat.lock"));
}

TEST(FileLock, SerialisesReadModifyWriteAcrossThreads) {
    test::TempDir dir;
    const auto file = dir / "counter";
    test::WriteBytes(file, "0");
    constexpr int kThreads = 4, kRounds = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                const FileLock lock(file);
                std::string text;
                ASSERT_EQ(ReadWholeFile(file, text), ReadStatus::Ok);
                ASSERT_TRUE(
                    AtomicWriteFile(file, std::to_string(std::stoi(text) + 1), Durability::NoSync));
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(test::ReadBytes(file), std::to_string(kThreads * kRounds));
}

TEST(FileLock, AMissingDirectoryLeavesTheLockUnheldInsteadOfWaiting) {
    test::TempDir dir;
    EXPECT_FALSE(FileLock(dir / "missing-dir" / "Termine.dat").IsLocked());
}

}  // namespace
}  // namespace tavolin
