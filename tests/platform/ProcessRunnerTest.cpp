// The real runner with real child processes: arguments arrive unchanged, output is captured,
// and every kind of failure (exit code, missing program, signal, time limit) is told apart.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stop_token>
#include <thread>

#include "ScopedEnv.h"
#include "platform/ProcessRunner.h"
#include "platform/linux/Environment.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using Status = ProcessResult::Status;

ProcessRunner& Runner() {
    static const auto runner = test::SystemRunner();
    return *runner;
}

// True once the process is gone or only a zombie waiting for its new parent.
bool Ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string line;
    std::getline(stat, line);
    const auto paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() || line[paren + 2] == 'Z' ||
           line[paren + 2] == 'X';
}

TEST(ProcessRunner, PassesArgumentsVerbatimWithoutAShell) {
    const std::vector<std::string> hostile = {"a b", "$(id)", "`id`", "'\"",          "\\",
                                              "*",   "x;y",   "\n",   "\xC3\xA4\xFF", ""};
    std::vector<std::string> argv = {"printf", "[%s]"};
    argv.insert(argv.end(), hostile.begin(), hostile.end());
    const auto r = Runner().Run(argv, 5s);
    ASSERT_TRUE(r.Succeeded()) << r.Describe();
    std::string expected;
    for (const auto& a : hostile) expected += "[" + a + "]";
    EXPECT_EQ(r.output, expected);
}

// Tools whose output is parsed must not depend on the user's locale; programs started for the
// user (a browser for a link) keep it.
TEST(ProcessRunner, ToolsRunInAUtf8LocaleAndLaunchedProgramsInTheUsers) {
    test::ScopedEnv lcAll("LC_ALL", "de_DE.ISO-8859-1");
    test::ScopedEnv lang("LANG", std::nullopt);
    const std::vector<std::string> argv = {"sh", "-c", "printf '%s|%s' \"$LC_ALL\" \"$PATH\""};
    const auto tool = Runner().Run(argv, 5s);
    ASSERT_TRUE(tool.Succeeded()) << tool.Describe();
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    EXPECT_EQ(tool.output, "C.UTF-8|" + path);

    const auto launched =
        MakeProcessRunner(EnvironmentEntries(ReadProcessEnvironment()))->Run(argv, 5s);
    ASSERT_TRUE(launched.Succeeded()) << launched.Describe();
    EXPECT_EQ(launched.output, "de_DE.ISO-8859-1|" + path);
}

TEST(ProcessRunner, AStopRequestKillsTheProgramOrKeepsItFromStarting) {
    std::stop_source stop;
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(100ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const auto r = Runner().RunUntilStopped({"sleep", "30"}, 20s, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(r.status, Status::Stopped);
    EXPECT_EQ(r.Describe(), "stopped on request");

    // Once stopped, nothing more starts.
    const auto again = Runner().RunUntilStopped({"/bin/true"}, 5s, stop.get_token());
    EXPECT_EQ(again.status, Status::Stopped);
}

TEST(ProcessRunner, ReportsExitCodesAndStandardError) {
    const auto ok = Runner().Run({"/bin/true"}, 5s);
    EXPECT_TRUE(ok.Succeeded());
    EXPECT_EQ(ok.Describe(), "succeeded");

    const auto no = Runner().Run({"/bin/false"}, 5s);
    EXPECT_EQ(no.status, Status::Exited);
    EXPECT_EQ(no.exitCode, 1);
    EXPECT_FALSE(no.Succeeded());

    const auto err =
        Runner().Run({"/bin/sh", "-c", "echo out; printf '\\n  bad\\tthing \\n' >&2; exit 3"}, 5s);
    EXPECT_EQ(err.exitCode, 3);
    EXPECT_EQ(err.output, "out\n");
    EXPECT_EQ(err.Describe(), "exit code 3: bad thing");
}

TEST(ProcessRunner, MissingProgramIsNotFound) {
    EXPECT_EQ(Runner().Run({"tavolin-no-such-program-4711"}, 5s).status, Status::NotFound);
    EXPECT_EQ(Runner().Run({"/nonexistent/dir/program"}, 5s).status, Status::NotFound);
    EXPECT_EQ(Runner().Run({"tavolin-no-such-program-4711"}, 5s).Describe(), "not installed");
    EXPECT_EQ(Runner().Run({}, 5s).status, Status::SpawnFailed);
    // A file that is not executable cannot be started either.
    const auto r = Runner().Run({"/etc/passwd"}, 5s);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_EQ(r.status, Status::SpawnFailed) << r.Describe();
}

TEST(ProcessRunner, StopsAProgramAtTheTimeLimit) {
    const auto start = std::chrono::steady_clock::now();
    const auto r = Runner().Run({"/bin/sleep", "10"}, 200ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, Status::TimedOut);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_GE(took, 190ms);
    EXPECT_LT(took, 3s);
}

TEST(ProcessRunner, TimeoutAlsoStopsWhatTheProgramStarted) {
    test::TempDir dir;
    const auto pidFile = dir / "pid";
    const auto r = Runner().Run(
        {"/bin/sh", "-c", "sleep 30 & echo $! > \"$0\"; wait", pidFile.string()}, 300ms);
    EXPECT_EQ(r.status, Status::TimedOut);
    std::ifstream in(pidFile);
    pid_t child = 0;
    ASSERT_TRUE(in >> child);
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        ended = Ended(child);
        if (!ended) std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ended) << "the background sleep survived the timeout";
}

TEST(ProcessRunner, DoesNotWaitForAHelperThatKeepsTheOutputOpen) {
    const auto start = std::chrono::steady_clock::now();
    const auto r = Runner().Run({"/bin/sh", "-c", "sleep 3 & echo done"}, 10s);
    EXPECT_TRUE(r.Succeeded()) << r.Describe();
    EXPECT_EQ(r.output, "done\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(ProcessRunner, ReportsASignalAndReadsNoInput) {
    const auto r = Runner().Run({"/bin/sh", "-c", "kill -TERM $$"}, 5s);
    EXPECT_EQ(r.status, Status::Signalled);
    EXPECT_EQ(r.signal, SIGTERM);

    // Standard input is /dev/null, so a program reading it finishes at once.
    const auto cat = Runner().Run({"cat"}, 2s);
    EXPECT_TRUE(cat.Succeeded()) << cat.Describe();
    EXPECT_EQ(cat.output, "");
}

TEST(ProcessRunner, ChildSeesOnlyItsStandardDescriptors) {
    // A descriptor of ours without close-on-exec must not reach the child.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    const auto r = Runner().Run({"ls", "/proc/self/fd"}, 5s);
    ::close(leaky);
    ASSERT_TRUE(r.Succeeded()) << r.Describe();
    // ls itself opens one descriptor for the listing.
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 4) << r.output;
}

TEST(ProcessRunner, CapsOutputWithoutBlockingTheProgram) {
    const auto r = Runner().Run({"head", "-c", "3000000", "/dev/zero"}, 10s);
    EXPECT_TRUE(r.Succeeded()) << r.Describe();
    EXPECT_EQ(r.output.size(), ProcessResult::kMaxOutput);
}

TEST(ProcessRunner, FindsInstalledPrograms) {
    EXPECT_TRUE(Runner().IsInstalled("sh"));
    EXPECT_TRUE(Runner().IsInstalled("/bin/sh"));
    EXPECT_FALSE(Runner().IsInstalled("tavolin-no-such-program-4711"));
    EXPECT_FALSE(Runner().IsInstalled("/etc/passwd"));
    EXPECT_FALSE(Runner().IsInstalled("/etc"));
    EXPECT_FALSE(Runner().IsInstalled(""));
}

TEST(ProcessRunner, FormatsCommandLinesForLogs) {
    EXPECT_EQ(FormatCommandLine({"gsettings", "set", "a.b", "k", "'file:///x'"}),
              "gsettings set a.b k ''\\''file:///x'\\'''");
    EXPECT_EQ(FormatCommandLine({"swaymsg", "output", "*", "a b", "x\ny", ""}),
              "swaymsg output * 'a b' 'x\\ny' ''");
}

}  // namespace
}  // namespace tavolin
