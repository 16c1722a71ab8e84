#include <gtest/gtest.h>

#include <algorithm>

#include "CliRunner.h"
#include "render/WallpaperCanvas.h"
#include "settings/Settings.h"
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

TEST(CliInit, AMissingDataDirectoryIsMade) {
    test::TempDir dir;
    const auto data = dir / "not" / "made" / "yet";
    const auto r = test::RunCli(data, {"init"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadBytes(data / "config.ini").rfind("[Background]\r\n", 0), 0u);
}

TEST(CliInit, UnwritableDirectoryFailsWithTheGermanMessage) {
    test::TempDir dir;
    // Below a regular file no folder can be made, not even by root.
    test::WriteBytes(dir / "file", "x");
    auto r = test::RunCli(dir / "file" / "data", {"init"});
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
        return RunWith(args, {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_CURRENT_DESKTOP="});
    }
    test::CliResult RunWith(const std::vector<std::string>& args, std::vector<std::string> env) {
        env.insert(env.begin(), {"TZ=Europe/Berlin", "TAVOLIN_NOW=1765393200",
                                 "DESKTOP_SESSION=", "XDG_SESSION_DESKTOP="});
        return test::RunCli(m_dir.path(), args, env);
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

    // Without a size and a session the default size stands in, and the user is told so.
    const auto guessed = Run({"generate", "--no-wallpaper"});
    EXPECT_EQ(guessed.exitCode, 0) << guessed.err;
    EXPECT_NE(guessed.err.find("warning: screen size not measured"), std::string::npos)
        << guessed.err;
    EXPECT_NE(guessed.err.find("1920 x 1080"), std::string::npos) << guessed.err;
    EXPECT_EQ(r.err.find("screen size"), std::string::npos) << r.err;
}

TEST_F(CliGenerate, ARefusedHandOverSaysThePictureWasWritten) {
    test::TempDir bin;
    test::WriteBytes(bin / "xfconf-query",
                     "#!/bin/sh\necho 'xfconfd is not running' >&2\nexit 1\n");
    std::filesystem::permissions(bin / "xfconf-query", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    const auto r = RunWith({"generate", "--size", "640x480"},
                           {"DISPLAY=:97", "WAYLAND_DISPLAY=", "XDG_CURRENT_DESKTOP=XFCE",
                            "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus",
                            "PATH=" + bin.path().string() + ":" + (path ? path : "/usr/bin:/bin")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("wrote " + (m_dir / "Background.bmp").string() + ", but XFCE did not"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("xfconfd is not running"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Fehler beim Setzen des Hintergrundbildes."), std::string::npos);
    EXPECT_EQ(r.err.find("generation failed"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("error log"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(m_dir / "Background.bmp"));
}

// xfconfd takes the picture (it is D-Bus activated), but no xfdesktop runs to show it.
TEST_F(CliGenerate, APictureOnlyStoredEndsWithItsReasonAndExitOne) {
    test::TempDir bin;
    const auto tool = [&](const std::string& name, const std::string& body) {
        test::WriteBytes(bin / name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(bin / name, std::filesystem::perms::owner_all);
    };
    tool("xfconf-query",
         "case \"$*\" in *' -l'*) echo '/backdrop/screen0/monitor0/workspace0/last-image  "
         "/old.png';; esac; exit 0");
    tool("dbus-send",
         "printf '   array [\\n      string \"org.freedesktop.DBus\"\\n"
         "      string \"org.xfce.Xfconf\"\\n   ]\\n'");
    tool("xprop", "echo '_NET_CLIENT_LIST_STACKING(WINDOW): window id # '");
    const auto r = RunWith({"generate", "--size", "640x480"},
                           {"DISPLAY=:97", "WAYLAND_DISPLAY=", "XDG_CURRENT_DESKTOP=XFCE",
                            "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus",
                            "PATH=" + bin.path().string() + ":/usr/bin:/bin"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("tavolin-cli: wrote " + (m_dir / "Background.bmp").string() +
                         "; XFCE's desktop (xfdesktop) is not running: the picture is stored "
                         "and will show when it starts\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("set it as"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(m_dir / "Background.bmp"));
}

TEST_F(CliGenerate, AFailedWriteNamesItsCauseAndNotAnUntouchedLog) {
    // A folder where the picture would go: it cannot be replaced.
    std::filesystem::create_directories(m_dir / "Background.bmp" / "inside");
    const auto r = Run({"generate", "--size", "640x480", "--no-wallpaper"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Background.bmp could not be written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Fehler beim Speichern"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("error log"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "ErrorLog.dat"));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "Background.bmp" / "inside"));
}

TEST_F(CliGenerate, FailuresPrintTheLogLinesAndExitOne) {
    test::WriteBytes(m_dir / "config.ini", "[Layout]\r\nKArt=7\r\n");
    const auto r = Run({"generate", "--size", "640x480", "--no-wallpaper"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Das in den Einstellungen gesetzte Layout existiert nicht."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Unstimmigkeiten"), std::string::npos);
    EXPECT_NE(r.err.find("(the error log is " + (m_dir / "ErrorLog.dat").string() + ")"),
              std::string::npos)
        << r.err;
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

namespace tavolin {
namespace {

TEST(CliMonth, WritesTheSheetWithTodayAndTheChosenFirstWeekday) {
    test::TempDir dir;
    auto sheet = [&](const std::string& name, bool sunday) {
        std::vector<std::string> args{"month", "--today", "24.12.2026",
                                      "2026",  "12",      (dir / name).string()};
        if (sunday) args.insert(args.begin() + 1, "--sunday");
        const auto r = test::RunCli(dir.path(), args, {"TZ=Europe/Berlin"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        WallpaperCanvas canvas;
        EXPECT_EQ(canvas.Load(dir / name, 1), 0);
        return canvas;
    };
    const WallpaperCanvas monday = sheet("mo.bmp", false);
    int gold = 0;
    for (int y = 0; y < monday.Height(); ++y) {
        for (int x = 0; x < monday.Width(); ++x)
            gold += monday.GetPixel(x, y) == PackColour(255, 215, 0);
    }
    EXPECT_GT(gold, 0);  // the 24th in the current-day colour
    const WallpaperCanvas sunday = sheet("so.bmp", true);
    EXPECT_NE(test::ReadBytes(dir / "mo.bmp"), test::ReadBytes(dir / "so.bmp"));
    EXPECT_EQ(sunday.Width(), monday.Width());
}

TEST(CliMonth, BadArgumentsAndUnwritableOutput) {
    test::TempDir dir;
    EXPECT_EQ(test::RunCli(dir.path(), {"month", "2026", "13", (dir / "x.bmp").string()}).exitCode,
              2);
    EXPECT_EQ(test::RunCli(dir.path(), {"month", "2026"}).exitCode, 2);
    EXPECT_EQ(test::RunCli(dir.path(), {"month", "--today", "31.02.2026", "2026", "1",
                                        (dir / "x.bmp").string()})
                  .exitCode,
              2);
    EXPECT_EQ(
        test::RunCli(dir.path(), {"month", "2026", "1", (dir / "no" / "x.bmp").string()}).exitCode,
        1);
}

}  // namespace
}  // namespace tavolin
