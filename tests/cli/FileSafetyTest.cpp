// tavolin-cli under faults: kills at random moments, commands racing each other, symlinked
// files, a full disk, a FIFO, stale temporary files and the size limit of Termine.dat. Every
// file must end up as it was or as the finished command leaves it, never anything between.
//
// TAVOLIN_KILL_TRIALS sets the number of kills per command (a few by default; the target
// kill_trials runs many).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "appointments/AppointmentStore.h"
#include "cli/CliRunner.h"
#include "image/ImageBuffer.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"
#include "util/UniqueFd.h"

extern char** environ;

namespace tavolin {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int KillTrials() {
    const char* n = std::getenv("TAVOLIN_KILL_TRIALS");
    return n && std::atoi(n) > 0 ? std::atoi(n) : 4;
}

class FileSafetyTest : public ::testing::Test {
protected:
    std::vector<std::string> Env(const fs::path& dir) const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string s = *e;
            if (s.rfind("TAVOLIN_DIR=", 0) != 0) env.push_back(s);
        }
        env.push_back("TAVOLIN_DIR=" + dir.string());
        env.push_back("TZ=Europe/Berlin");
        env.push_back("TAVOLIN_NOW=" + m_now);
        return env;
    }

    // Starts tavolin-cli in dir; its output goes to outPath (or nowhere).
    pid_t Spawn(const fs::path& dir, const std::vector<std::string>& args,
                const fs::path& outPath = "/dev/null") const {
        return test::SpawnCli(args, Env(dir), outPath, outPath);
    }

    static int Wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    test::CliResult Run(const fs::path& dir, const std::vector<std::string>& args) const {
        return test::RunCli(dir, args, {"TZ=Europe/Berlin", "TAVOLIN_NOW=" + m_now});
    }

    // How long a whole run takes, to spread the kills over it.
    std::chrono::microseconds Duration(const std::function<void()>& prepare, const fs::path& dir,
                                       const std::vector<std::string>& args) const {
        auto best = std::chrono::microseconds::max();
        for (int i = 0; i < 3; ++i) {
            prepare();
            const auto start = Clock::now();
            EXPECT_EQ(Wait(Spawn(dir, args)), 0);
            best = std::min(
                best, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start));
        }
        return best;
    }

    // Runs the command trials times in dir, each killed at a random moment of its run after
    // prepare(); check() looks at what it left.
    void KillAtRandomMoments(const std::vector<std::string>& args,
                             const std::function<void()>& prepare,
                             const std::function<void(int trial)>& check) {
        const auto duration = Duration(prepare, m_dir.path(), args);
        std::mt19937 rng(static_cast<unsigned>(::getpid()));
        std::uniform_int_distribution<int64_t> at(0, duration.count() * 12 / 10);
        for (int trial = 0; trial < KillTrials(); ++trial) {
            prepare();
            const pid_t pid = Spawn(m_dir.path(), args);
            ASSERT_GT(pid, 0);
            std::this_thread::sleep_for(std::chrono::microseconds(at(rng)));
            ::kill(pid, SIGKILL);
            Wait(pid);
            check(trial);
            if (HasFailure()) return;
        }
    }

    fs::path Termine() const { return m_dir / "Termine.dat"; }
    fs::path Config() const { return m_dir / "config.ini"; }

    test::TempDir m_dir;
    std::string m_now = [] {
        test::ScopedTimeZone tz("Europe/Berlin");
        return std::to_string(test::Local(2003, 3, 8, 10, 7));
    }();
};

// An unsorted book with expired appointments and duplicates, large enough that a tidy-up
// takes a while.
std::string LargeBook(size_t records) {
    std::mt19937 rng(4711);
    std::string bytes;
    for (size_t i = 0; i < records; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "%02u.%02u.%u - %02u:%02u # Termin %u\r\n",
                      1 + static_cast<unsigned>(rng() % 28), 1 + static_cast<unsigned>(rng() % 12),
                      2002 + static_cast<unsigned>(rng() % 3), static_cast<unsigned>(rng() % 24),
                      15 * static_cast<unsigned>(rng() % 4),
                      static_cast<unsigned>(rng() % (records / 2 + 1)));
        bytes += line;
    }
    return bytes;
}

TEST_F(FileSafetyTest, KilledInitLeavesNoSettingsOrTheWholeFile) {
    const std::string full = DefaultConfigText();
    int missing = 0, whole = 0;
    KillAtRandomMoments(
        {"init"}, [&] { fs::remove(Config()); },
        [&](int trial) {
            if (fs::exists(Config())) {
                ASSERT_EQ(test::ReadBytes(Config()), full) << "trial " << trial;
                ++whole;
            } else {
                ++missing;
            }
            // The next start finds whole settings or makes them.
            ASSERT_EQ(Run(m_dir.path(), {"init"}).exitCode, 0);
            ASSERT_EQ(test::ReadBytes(Config()), full) << "trial " << trial;
        });
    std::printf("%d kills left no config.ini, %d the whole one\n", missing, whole);
}

TEST_F(FileSafetyTest, KilledGenerateLeavesNoSettingsOrTheWholeFile) {
    const std::string full = DefaultConfigText();
    KillAtRandomMoments(
        {"generate", "--no-wallpaper", "--size", "320x200"}, [&] { fs::remove(Config()); },
        [&](int trial) {
            if (fs::exists(Config())) {
                ASSERT_EQ(test::ReadBytes(Config()), full) << "trial " << trial;
            }
        });
}

// A picture background, so that a run spends its time decoding and stretching before the
// wallpaper is written: a kill at any moment leaves the previous wallpaper or the new one.
TEST_F(FileSafetyTest, KilledGenerateLeavesThePreviousWallpaperOrTheNewOne) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.Create(1600, 1200, 24, kFormatBmp));
    for (int y = 0; y < 1200; y += 7) picture.SetPixelColor(y, y / 2, {0, 200, 0, 0});
    ASSERT_TRUE(picture.Save(m_dir / "picture.bmp", kFormatBmp));
    ASSERT_EQ(Run(m_dir.path(), {"init"}).exitCode, 0);
    {
        IniFile ini;
        ASSERT_TRUE(ini.Open(Config(), false));
        ASSERT_TRUE(ini.WriteValue("Background", "BGArt", "1", true));
        ASSERT_TRUE(ini.WriteValue("Background", "BGBild", (m_dir / "picture.bmp").string(), true));
    }
    const std::vector<std::string> args = {"generate", "--no-wallpaper", "--size", "1280x1024"};
    ASSERT_EQ(Run(m_dir.path(), args).exitCode, 0);
    const std::string fresh = test::ReadBytes(m_dir / "Background.bmp");
    ASSERT_EQ(fresh.size(), 54u + 3u * 1280 * 1024);
    const std::string previous = "the previous wallpaper";
    int kept = 0, replaced = 0;
    KillAtRandomMoments(
        args, [&] { test::WriteBytes(m_dir / "Background.bmp", previous); },
        [&](int trial) {
            const std::string now = test::ReadBytes(m_dir / "Background.bmp");
            ASSERT_TRUE(now == previous || now == fresh) << "trial " << trial << ": " << now.size();
            ++(now == previous ? kept : replaced);
        });
    std::printf("%d kills kept the previous wallpaper, %d left the new one\n", kept, replaced);
}

TEST_F(FileSafetyTest, KilledTidyLeavesTheOldOrTheNewFile) {
    const std::string before = LargeBook(60000);
    test::WriteBytes(Termine(), before);
    ASSERT_EQ(Run(m_dir.path(), {"tidy", "--move"}).exitCode, 0);
    const std::string after = test::ReadBytes(Termine());
    ASSERT_NE(after, before);
    int olds = 0, news = 0;
    KillAtRandomMoments(
        {"tidy", "--move"}, [&] { test::WriteBytes(Termine(), before); },
        [&](int trial) {
            const std::string now = test::ReadBytes(Termine());
            ASSERT_TRUE(now == before || now == after)
                << "trial " << trial << ": " << now.size() << " bytes";
            ++(now == before ? olds : news);
        });
    std::printf("%d kills left the old file, %d the new one\n", olds, news);
}

TEST_F(FileSafetyTest, KilledAddLeavesTheOldFileOrTheNewRecordWhole) {
    const std::string before = LargeBook(2000);
    const std::string line = "Notiz # killed or not";
    const std::string after = before + line;
    int olds = 0, news = 0;
    KillAtRandomMoments(
        {"add", "--note", "killed or not"}, [&] { test::WriteBytes(Termine(), before); },
        [&](int trial) {
            const std::string now = test::ReadBytes(Termine());
            ASSERT_TRUE(now == before || now == after)
                << "trial " << trial << ": " << now.size() << " bytes";
            ++(now == before ? olds : news);
        });
    std::printf("%d kills left the old file, %d the new one\n", olds, news);
}

// An import writes its records and its tidy-up in one replacement of the file.
TEST_F(FileSafetyTest, KilledImportLeavesTheOldFileOrTheWholeImport) {
    const std::string before = LargeBook(2000);
    std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    for (int i = 0; i < 3000; ++i) {
        ics += "BEGIN:VEVENT\r\nUID:" + std::to_string(i) + "\r\nDTSTART:20030" +
               std::to_string(4 + i % 6) + "1" + std::to_string(i % 10) + "T0" +
               std::to_string(i % 10) + "0000\r\nSUMMARY:Import " + std::to_string(i) +
               "\r\nEND:VEVENT\r\n";
    }
    ics += "END:VCALENDAR\r\n";
    const fs::path file = m_dir / "cal.ics";
    test::WriteBytes(file, ics);
    test::WriteBytes(Termine(), before);
    ASSERT_EQ(Run(m_dir.path(), {"import-ics", "--move", file.string()}).exitCode, 0);
    const std::string after = test::ReadBytes(Termine());
    ASSERT_NE(after, before);
    int olds = 0, news = 0;
    KillAtRandomMoments(
        {"import-ics", "--move", file.string()}, [&] { test::WriteBytes(Termine(), before); },
        [&](int trial) {
            const std::string now = test::ReadBytes(Termine());
            ASSERT_TRUE(now == before || now == after)
                << "trial " << trial << ": " << now.size() << " bytes";
            ++(now == before ? olds : news);
        });
    std::printf("%d kills left the old file, %d the whole import\n", olds, news);
}

TEST_F(FileSafetyTest, TidyRacingAddsLosesNothingAndAddsNeverGlue) {
    // The adds start on a missing file: the first two must not glue their records together.
    constexpr int kAdds = 24;
    std::vector<pid_t> adds;
    std::vector<pid_t> tidies;
    for (int i = 0; i < kAdds; ++i) {
        adds.push_back(Spawn(m_dir.path(), {"add", "--note", "record " + std::to_string(i)}));
        if (i % 2 == 0) tidies.push_back(Spawn(m_dir.path(), {"tidy", "--delete"}));
    }
    for (pid_t pid : adds) EXPECT_EQ(Wait(pid), 0);
    for (pid_t pid : tidies) EXPECT_EQ(Wait(pid), 0);
    const auto lines = SplitRecordLines(test::ReadBytes(Termine()));
    std::set<std::string> expected;
    for (int i = 0; i < kAdds; ++i) expected.insert("Notiz # record " + std::to_string(i));
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected);
    EXPECT_EQ(lines.size(), static_cast<size_t>(kAdds));
}

TEST_F(FileSafetyTest, SymlinkedFilesStayLinksAndTheirTargetsChange) {
    fs::create_directory(m_dir / "sync");
    fs::create_symlink("sync/Termine.dat", Termine());
    // A dangling link: its target is made, the link kept.
    fs::create_symlink(m_dir / "sync" / "config.ini", Config());
    ASSERT_EQ(Run(m_dir.path(), {"init"}).exitCode, 0);
    EXPECT_EQ(test::ReadBytes(m_dir / "sync" / "config.ini"), DefaultConfigText());
    ASSERT_EQ(Run(m_dir.path(), {"add", "--note", "b"}).exitCode, 0);
    ASSERT_EQ(Run(m_dir.path(), {"add", "01.01.2000", "10:00", "old"}).exitCode, 0);
    ASSERT_EQ(Run(m_dir.path(), {"add", "--note", "a"}).exitCode, 0);
    ASSERT_EQ(Run(m_dir.path(), {"tidy"}).exitCode, 0);
    ASSERT_EQ(Run(m_dir.path(), {"remove", "Notiz # b"}).exitCode, 0);
    ASSERT_EQ(Run(m_dir.path(), {"list"}).exitCode, 0);
    ASSERT_EQ(Run(m_dir.path(), {"generate", "--no-wallpaper", "--size", "320x200"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(Termine()));
    EXPECT_TRUE(fs::is_symlink(Config()));
    EXPECT_EQ(test::ReadBytes(m_dir / "sync" / "Termine.dat"), "Notiz # a");
    EXPECT_EQ(test::ReadBytes(m_dir / "sync" / "config.ini"), DefaultConfigText());
}

TEST_F(FileSafetyTest, ConvertRefusesAFifoAtOnce) {
    const auto fifo = m_dir / "f.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto out = m_dir / "out.txt";
    const pid_t pid =
        Spawn(m_dir.path(), {"convert", fifo.string(), (m_dir / "o.bmp").string()}, out);
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            FAIL() << "convert blocked on a FIFO";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_NE(test::ReadBytes(out).find("Not a regular file"), std::string::npos)
        << test::ReadBytes(out);
    EXPECT_FALSE(fs::exists(m_dir / "o.bmp"));
}

TEST_F(FileSafetyTest, EveryCommandAppliesTheSameSizeLimit) {
    // Sparse files: no disk space needed.
    auto makeSparse = [&](uint64_t size) {
        const UniqueFd fd(
            ::open(Termine().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        ASSERT_EQ(::ftruncate(fd.Get(), static_cast<off_t>(size)), 0);
    };
    makeSparse(kMaxAppointmentFileBytes + 1);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"add", "--note", "x"}, {"tidy"}, {"list"}, {"remove", "x"}}) {
        const auto r = Run(m_dir.path(), args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_NE(r.err.find("too large"), std::string::npos) << args[0] << ": " << r.err;
    }
    EXPECT_EQ(fs::file_size(Termine()), kMaxAppointmentFileBytes + 1);
    // Just below the limit: a record that would cross it is refused as well.
    makeSparse(kMaxAppointmentFileBytes - 3);
    EXPECT_EQ(Run(m_dir.path(), {"add", "--note", "x"}).exitCode, 1);
    EXPECT_EQ(fs::file_size(Termine()), kMaxAppointmentFileBytes - 3);
}

TEST_F(FileSafetyTest, StaleTemporaryFilesGoOnTheNextRewrite) {
    test::WriteBytes(Termine(), "Notiz # b\r\nNotiz # a");
    const auto stale = m_dir / "Termine.dat.tmp-Kd93jQ";
    test::WriteBytes(stale, "Notiz # b\r\nNo");
    const timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, stale.c_str(), old, 0), 0);
    ASSERT_EQ(Run(m_dir.path(), {"tidy"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(test::ReadBytes(Termine()), "Notiz # a\r\nNotiz # b");
}

// Runs tests/cli/full-disk.sh in a private mount namespace with a full tmpfs.
TEST_F(FileSafetyTest, AFullDiskLeavesEveryFileAsItWasAndFails) {
    // Without user namespaces (some containers) no private mount can be made.
    if (std::system("unshare --user --map-root-user --mount true >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no private mount namespace here (the fault-hook tests cover this)";
    }
    const std::string script = std::string(TAVOLIN_SOURCE_DIR) + "/tests/cli/full-disk.sh";
    const auto log = m_dir / "full-disk.log";
    const std::string command = "unshare --user --map-root-user --mount sh '" + script + "' '" +
                                TAVOLIN_CLI_PATH + "' '" + m_dir.path().string() + "' >'" +
                                log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "no private tmpfs here (the fault-hook tests cover this): "
                     << test::ReadBytes(log);
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << test::ReadBytes(log);
}

}  // namespace
}  // namespace tavolin
