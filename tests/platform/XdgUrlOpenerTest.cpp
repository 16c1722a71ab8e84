#include <gtest/gtest.h>

#include "platform/RecordingRunner.h"
#include "platform/linux/Environment.h"
#include "platform/linux/XdgUrlOpener.h"

namespace tavolin {
namespace {

using test::RecordingRunner;

TEST(XdgUrlOpener, RunsXdgOpenUnderSetsidWithoutAShell) {
    RecordingRunner runner;
    runner.installed = {"setsid"};
    XdgUrlOpener opener(runner);
    EXPECT_EQ(opener.Open("https://example.org/a b;rm -rf ~"), kOpenUrlSucceeded);
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0],
              (test::Argv{"setsid", "-w", "xdg-open", "https://example.org/a b;rm -rf ~"}));

    runner.installed.clear();
    opener.Open("mailto:a@b.c");
    EXPECT_EQ(runner.calls.back(), (test::Argv{"xdg-open", "mailto:a@b.c"}));
}

TEST(XdgUrlOpener, RefusesTargetsThatWouldBeOptions) {
    RecordingRunner runner;
    XdgUrlOpener opener(runner);
    EXPECT_EQ(opener.Open("--help"), kOpenUrlFileNotFound);
    EXPECT_EQ(opener.Open(""), kOpenUrlFileNotFound);
    EXPECT_EQ(opener.Open(std::string("a\0b", 3)), kOpenUrlFileNotFound);
    EXPECT_TRUE(runner.calls.empty());
}

TEST(XdgUrlOpener, MapsExitStatusToShellResults) {
    EXPECT_EQ(XdgUrlOpener::ResultOf(ProcessResult::Exit(0)), kOpenUrlSucceeded);
    EXPECT_EQ(XdgUrlOpener::ResultOf(ProcessResult::Exit(2)), 2);
    EXPECT_EQ(XdgUrlOpener::ResultOf(ProcessResult::Exit(3)), 31);
    EXPECT_EQ(XdgUrlOpener::ResultOf(ProcessResult::Exit(4)), 2);
    EXPECT_EQ(XdgUrlOpener::ResultOf(ProcessResult::Exit(1)), 27);
    EXPECT_EQ(XdgUrlOpener::ResultOf(ProcessResult::Exit(127)), 31);
    EXPECT_EQ(XdgUrlOpener::ResultOf(test::NotFound()), 31);
    // Still running at the limit: the handler runs the application in the foreground.
    EXPECT_EQ(XdgUrlOpener::ResultOf(test::TimedOut()), kOpenUrlSucceeded);
    EXPECT_LE(XdgUrlOpener::ResultOf(ProcessResult::Exit(9)), 32);
}

TEST(XdgUrlOpener, RealRunnerReportsAMissingTool) {
    // With an empty PATH neither setsid nor xdg-open can be found.
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", "/nonexistent", 1);
    const auto runner = MakeProcessRunner(EnvironmentEntries(ReadProcessEnvironment()));
    XdgUrlOpener opener(*runner);
    const int result = opener.Open("https://example.org/");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(result, kOpenUrlNoAssociation);
}

}  // namespace
}  // namespace tavolin
