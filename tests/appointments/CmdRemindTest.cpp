// tavolin-cli remind end to end, at 7 March 2003 14:30:25 in Europe/Berlin.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli/CliRunner.h"
#include "support/TestSupport.h"

extern char** environ;

namespace tavolin {
namespace {

namespace fs = std::filesystem;

std::string NowText(int hour, int minute, int second) {
    test::ScopedTimeZone tz("Europe/Berlin");
    return std::to_string(test::Local(2003, 3, 7, hour, minute, second));
}

class CmdRemindTest : public ::testing::Test {
protected:
    test::CliResult Run(const std::vector<std::string>& args, const std::string& now) const {
        return test::RunCli(m_dir.path(), args, {"TZ=Europe/Berlin", "TAVOLIN_NOW=" + now});
    }
    void Write(const std::string& bytes) const { test::WriteBytes(m_dir / "Termine.dat", bytes); }

    test::TempDir m_dir;
};

TEST_F(CmdRemindTest, OncePrintsTheRecordsOfTheCurrentMinuteOnly) {
    Write(
        "Notiz # immer\r\n07.03.2003 - 14:30 # Zahnarzt f\xFCr Kinder\r\n"
        "07.03.2003 - 14:31 # Später\r\n07.03.2003 - 14:30 # zweiter");
    auto r = Run({"remind", "--once"}, NowText(14, 30, 25));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "07.03.2003 - 14:30 # Zahnarzt für Kinder\n07.03.2003 - 14:30 # zweiter\n");
    r = Run({"remind", "--once"}, NowText(14, 29, 59));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CmdRemindTest, NoControlCharacterReachesTheTerminal) {
    Write("07.03.2003 - 14:30 # \x1B[2J\x07wichtig\x9D");
    const auto r = Run({"remind", "--once"}, NowText(14, 30, 0));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "07.03.2003 - 14:30 # ?[2J?wichtig?\n");
}

TEST_F(CmdRemindTest, AMissingFileIsQuietAndAnUnreadableOneFails) {
    auto r = Run({"remind", "--once"}, NowText(14, 30, 0));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_FALSE(fs::exists(m_dir / "Termine.dat"));
    fs::create_directory(m_dir / "Termine.dat");
    r = Run({"remind", "--once"}, NowText(14, 30, 0));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
    r = Run({"remind", "--twice"}, NowText(14, 30, 0));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: tavolin-cli remind"), std::string::npos) << r.err;
}

TEST_F(CmdRemindTest, WithoutOnceItKeepsCheckingUntilInterrupted) {
    Write("07.03.2003 - 14:30 # Zahnarzt");
    const fs::path out = m_dir / "out";
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    envStrings.push_back("TAVOLIN_DIR=" + m_dir.path().string());
    envStrings.push_back("TZ=Europe/Berlin");
    envStrings.push_back("TAVOLIN_NOW=" + NowText(14, 30, 10));
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string cli = TAVOLIN_CLI_PATH, cmd = "remind";
    char* argv[] = {cli.data(), cmd.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    const std::string expected = "07.03.2003 - 14:30 # Zahnarzt\n";
    for (int i = 0; i < 200 && test::ReadBytes(out) != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(test::ReadBytes(out), expected);
    // Still running: it waits for the next minute rather than ending.
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0);
    ::kill(pid, SIGTERM);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::ReadBytes(out), expected);  // the same minute is never printed twice
}

}  // namespace
}  // namespace tavolin
