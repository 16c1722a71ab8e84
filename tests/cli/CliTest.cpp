#include <gtest/gtest.h>

#include <algorithm>

#include "CliRunner.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

TEST(CliInit, CreatesConfigOnceThenLeavesItAlone) {
    test::TempDir dir;
    auto r = test::RunCli(dir.path(), {"init"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("created"), std::string::npos);
    const std::string created = test::ReadBytes(dir / "config.ini");
    EXPECT_EQ(created.rfind("[Background]\r\nBGArt=0\r\n", 0), 0u);
    EXPECT_EQ(std::count(created.begin(), created.end(), '\n'), 32);

    r = test::RunCli(dir.path(), {"init"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("already exists"), std::string::npos);
    EXPECT_EQ(test::ReadBytes(dir / "config.ini"), created);
}

TEST(CliInit, UnwritableDirectoryFailsWithTheGermanMessage) {
    test::TempDir dir;
    auto r = test::RunCli(dir / "does-not-exist", {"init"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Beim Schreiben auf die Festplatte"), std::string::npos);
    EXPECT_NE(r.err.find("überprüfen"), std::string::npos);  // printed as UTF-8
}

TEST(CliUsage, BadArgumentsGiveUsageAndExitTwo) {
    test::TempDir dir;
    auto r = test::RunCli(dir.path(), {});
    EXPECT_EQ(r.exitCode, 2);
    r = test::RunCli(dir.path(), {"frobnicate"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos);
    r = test::RunCli(dir.path(), {"init", "extra"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: tavolin-cli init"), std::string::npos);
    r = test::RunCli(dir.path(), {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("init"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "config.ini"));
}

}  // namespace
}  // namespace tavolin
