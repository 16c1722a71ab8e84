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

namespace tavolin {
namespace {

class CliGenerate : public ::testing::Test {
protected:
    test::CliResult Run(const std::vector<std::string>& args) {
        // No graphical session: the hand-over has nobody to talk to.
        return test::RunCli(m_dir.path(), args,
                            {"TZ=Europe/Berlin", "TAVOLIN_NOW=1765393200", "DISPLAY=", "WAYLAND_DISPLAY=",
                             "XDG_CURRENT_DESKTOP=", "DESKTOP_SESSION=", "XDG_SESSION_DESKTOP="});
    }
    test::TempDir m_dir;
};

TEST_F(CliGenerate, FirstRunCreatesSettingsTidiesAndWritesTheWallpaper) {
    test::WriteBytes(m_dir / "Termine.dat", "01.01.2020 - 10:00 # alt\r\nNotiz # bleibt");
    const auto r = Run({"generate", "--size", "800x600", "--no-wallpaper"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Background.bmp"), std::string::npos);
    EXPECT_NE(r.out.find("--no-wallpaper"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "config.ini"));
    EXPECT_EQ(std::filesystem::file_size(m_dir / "Background.bmp"), 54u + 3u * 800 * 600);
    // The default DelTermine=1 deletes the expired appointment, as the silent start does.
    EXPECT_EQ(test::ReadBytes(m_dir / "Termine.dat"), "Notiz # bleibt");
}

TEST_F(CliGenerate, WithoutASessionTheWallpaperIsStillWritten) {
    const auto r = Run({"generate", "--size", "640x480"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("no desktop found"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(m_dir / "Background.bmp"));
}

TEST_F(CliGenerate, FailuresPrintTheLogLinesAndExitOne) {
    test::WriteBytes(m_dir / "config.ini", "[Layout]\r\nKArt=7\r\n");
    const auto r = Run({"generate", "--size", "640x480", "--no-wallpaper"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Das in den Einstellungen gesetzte Layout existiert nicht."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Unstimmigkeiten"), std::string::npos);
}

TEST_F(CliGenerate, BadSizesAreUsageErrors) {
    for (const std::string size : {"0x10", "10", "axb", "10x10x", "99999x10"}) {
        const auto r = Run({"generate", "--size", size});
        EXPECT_EQ(r.exitCode, 2) << size;
    }
    EXPECT_EQ(Run({"generate", "--size"}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "Background.bmp"));
}

}  // namespace
}  // namespace tavolin
