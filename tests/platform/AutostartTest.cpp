#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Autostart.h"
#include "platform/ShellShortcut.h"
#include "platform/linux/DesktopEntry.h"
#include "platform/linux/XdgShellShortcut.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;

TEST(DesktopEntryText, ExecArgumentsSurviveQuotingAndStringEscapes) {
    const std::vector<std::string> args = {
        "/opt/My Programs/tavolin", "a\"b`c$d\\e", "100%", "", "it's", "line\nbreak", "/go"};
    std::string exec;
    for (const auto& a : args) exec += (exec.empty() ? "" : " ") + QuoteExecArgument(a);
    EXPECT_EQ(QuoteExecArgument("/opt/My Programs/tavolin"), "\"/opt/My Programs/tavolin\"");
    EXPECT_EQ(QuoteExecArgument("a\\b"), "\"a\\\\b\"");
    EXPECT_EQ(QuoteExecArgument("/go"), "/go");
    EXPECT_EQ(QuoteExecArgument("100%"), "100%%");
    // Stored, the backslash of the quoting is escaped once more as a string value.
    const std::string stored = EscapeDesktopString(exec);
    EXPECT_EQ(stored.find('\n'), std::string::npos);
    EXPECT_EQ(SplitExec(UnescapeDesktopString(stored)), args);
    EXPECT_EQ(SplitExec("\"unterminated"), std::nullopt);
    EXPECT_EQ(UnescapeDesktopString(EscapeDesktopString(" lead and trail ")), " lead and trail ");
}

TEST(DesktopEntryText, ReaderTakesTheMainGroupsUnlocalisedKeys) {
    const auto keys = ReadDesktopEntry(
        "# comment\n[Other]\nExec=wrong\n[Desktop Entry]\r\nType = Application\r\n"
        "Name[de]=Kalender\nName=Tavolin\nName=Second\nPath=/a\\sb\nbroken line\n");
    EXPECT_EQ(keys.at("Type"), "Application");
    EXPECT_EQ(keys.at("Name"), "Tavolin");
    EXPECT_EQ(keys.at("Path"), "/a b");
    EXPECT_EQ(keys.count("Exec"), 0u);
    EXPECT_EQ(keys.count("Name[de]"), 0u);
}

TEST(XdgShellShortcut, SaveAndLoadRoundTripEveryField) {
    test::TempDir dir;
    ShortcutInfo info;
    info.targetPath = "/home/o'brien/My \"Apps\"/$HOME/tav\\olin 100%";
    info.arguments = "/go --flag";
    info.description = "Erstellen des Hintergrundbildes";
    info.workingDirectory = "/home/o'brien/My \"Apps\"/";
    info.iconPath = info.targetPath;
    info.iconIndex = 3;
    info.showCommand = 7;
    info.hotKey = 0x0654;
    XdgShellShortcut saved;
    ASSERT_TRUE(saved.SetInfo(info));
    ASSERT_TRUE(saved.Save(dir / "x.desktop"));
    const auto shortcut = CreateShellShortcut();
    ASSERT_TRUE(shortcut->Load(dir / "x.desktop"));
    EXPECT_EQ(shortcut->Info(), info);
    EXPECT_FALSE(shortcut->Resolve());  // no such program

    test::WriteBytes(dir / "link.desktop", "[Desktop Entry]\nType=Link\nURL=http://x\n");
    EXPECT_FALSE(shortcut->Load(dir / "link.desktop"));
    EXPECT_FALSE(shortcut->Load(dir / "missing.desktop"));
}

class AutostartTest : public ::testing::Test {
protected:
    test::TempDir m_dir;
    fs::path m_folder = m_dir / "config/autostart";
    fs::path m_entry = m_folder / "Tavolin.desktop";
    fs::path m_program = "/opt/Tavolin Kalender/bin/tavolin";
};

TEST_F(AutostartTest, TickingWritesAnEntryThatStartsTheProgramWithGo) {
    ASSERT_EQ(ApplyAutostart(true, m_folder, m_program), AutostartResult::Done);
    const std::string text = test::ReadBytes(m_entry);
    EXPECT_NE(text.find("Type=Application\n"), std::string::npos);
    EXPECT_NE(text.find("Name=Tavolin\n"), std::string::npos);
    EXPECT_NE(text.find("Comment=Erstellen des Hintergrundbildes\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=\"/opt/Tavolin Kalender/bin/tavolin\" /go\n"), std::string::npos);
    EXPECT_NE(text.find("Path=/opt/Tavolin Kalender/bin/\n"), std::string::npos);

    XdgShellShortcut loaded;
    ASSERT_TRUE(loaded.Load(m_entry));
    EXPECT_EQ(loaded.Info(), AutostartShortcut(m_program));
    EXPECT_EQ(loaded.Info().arguments, "/go");
    EXPECT_EQ(loaded.Info().showCommand, 1);

    // Ticking again overwrites the entry, now for a program elsewhere.
    ASSERT_EQ(ApplyAutostart(true, m_folder, "/usr/bin/tavolin"), AutostartResult::Done);
    ASSERT_TRUE(loaded.Load(m_entry));
    EXPECT_EQ(loaded.Info().targetPath, "/usr/bin/tavolin");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

// The entry shows the installed theme icon, and a start at logon uses the data directory the
// program runs with now: TAVOLIN_DIR goes into Exec through env, quoted by the entry's rules.
TEST_F(AutostartTest, TheEntryHasTheThemeIconAndKeepsTheDataDirectory) {
    ASSERT_EQ(ApplyAutostart(true, m_folder, m_program, std::string("/home/a/Mein \"Kal\" 100%")),
              AutostartResult::Done);
    const std::string text = test::ReadBytes(m_entry);
    EXPECT_NE(text.find("\nIcon=tavolin\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Exec=env \"TAVOLIN_DIR=/home/a/Mein \\\\\"Kal\\\\\" 100%%\" "
                        "\"/opt/Tavolin Kalender/bin/tavolin\" /go\n"),
              std::string::npos)
        << text;
    XdgShellShortcut loaded;
    ASSERT_TRUE(loaded.Load(m_entry));
    EXPECT_EQ(loaded.Info().environment,
              std::vector<std::string>{"TAVOLIN_DIR=/home/a/Mein \"Kal\" 100%"});
    EXPECT_EQ(loaded.Info().targetPath, m_program.string());
    EXPECT_EQ(loaded.Info().arguments, "/go");
    EXPECT_EQ(loaded.Info(), AutostartShortcut(m_program, "/home/a/Mein \"Kal\" 100%"));

    // Without TAVOLIN_DIR the program is started directly.
    ASSERT_EQ(ApplyAutostart(true, m_folder, m_program), AutostartResult::Done);
    ASSERT_TRUE(loaded.Load(m_entry));
    EXPECT_TRUE(loaded.Info().environment.empty());
    EXPECT_EQ(loaded.Info().iconPath, "tavolin");
}

TEST_F(AutostartTest, UntickingDeletesTheEntryAndAMissingOneIsNoError) {
    ASSERT_EQ(ApplyAutostart(true, m_folder, m_program), AutostartResult::Done);
    EXPECT_EQ(ApplyAutostart(false, m_folder, m_program), AutostartResult::Done);
    EXPECT_FALSE(fs::exists(m_entry));
    EXPECT_EQ(ApplyAutostart(false, m_folder, m_program), AutostartResult::Done);
    EXPECT_EQ(ApplyAutostart(false, m_dir / "nowhere", m_program), AutostartResult::Done);
}

TEST_F(AutostartTest, AFolderThatCannotBeFoundOrMadeIsReported) {
    EXPECT_EQ(ApplyAutostart(true, std::nullopt, m_program), AutostartResult::FolderUnavailable);
    EXPECT_EQ(ApplyAutostart(false, std::nullopt, m_program), AutostartResult::FolderUnavailable);
    test::WriteBytes(m_dir / "file", "x");
    EXPECT_EQ(ApplyAutostart(true, m_dir / "file", m_program), AutostartResult::FolderUnavailable);
    EXPECT_EQ(ApplyAutostart(true, m_dir / "file/autostart", m_program),
              AutostartResult::FolderUnavailable);
    EXPECT_EQ(test::ReadBytes(m_dir / "file"), "x");
}

TEST_F(AutostartTest, AnUnwritableFolderFailsToSaveAndToDelete) {
    ASSERT_EQ(ApplyAutostart(true, m_folder, m_program), AutostartResult::Done);
    ::chmod(m_folder.c_str(), 0555);
    // Root writes everywhere, so the attempts run as an ordinary user.
    EXPECT_TRUE(test::AsUnprivilegedUser({m_dir.path()}, [&] {
        const AutostartResult save = ApplyAutostart(true, m_folder, "/other");
        const AutostartResult remove = ApplyAutostart(false, m_folder, m_program);
        EXPECT_EQ(save, AutostartResult::SaveFailed);
        EXPECT_EQ(remove, AutostartResult::DeleteFailed);
        return save == AutostartResult::SaveFailed && remove == AutostartResult::DeleteFailed;
    }));
    ::chmod(m_folder.c_str(), 0755);
    XdgShellShortcut loaded;
    ASSERT_TRUE(loaded.Load(m_entry));
    EXPECT_EQ(loaded.Info().targetPath, m_program.string());
}

TEST_F(AutostartTest, ALinkedEntryIsRewrittenWhereItLives) {
    fs::create_directories(m_folder);
    test::WriteBytes(m_dir / "dotfiles.desktop", "old");
    fs::create_symlink(m_dir / "dotfiles.desktop", m_entry);
    ASSERT_EQ(ApplyAutostart(true, m_folder, m_program), AutostartResult::Done);
    EXPECT_TRUE(fs::is_symlink(m_entry));
    EXPECT_NE(test::ReadBytes(m_dir / "dotfiles.desktop").find("/go"), std::string::npos);
}

TEST(AutostartFolder, FollowsTheBaseDirectoryRules) {
    EXPECT_EQ(AutostartFolder(TableEnvironment({{"XDG_CONFIG_HOME", "/x/cfg"}, {"HOME", "/h"}})),
              fs::path("/x/cfg/autostart"));
    EXPECT_EQ(AutostartFolder(TableEnvironment({{"XDG_CONFIG_HOME", "rel"}, {"HOME", "/h"}})),
              fs::path("/h/.config/autostart"));
    EXPECT_EQ(AutostartFolder(TableEnvironment({})), std::nullopt);
    EXPECT_EQ(AutostartFolder(TableEnvironment({{"HOME", "relative"}})), std::nullopt);
}

TEST(AutostartText, MessagesInWindows1252) {
    EXPECT_EQ(AutostartErrorText(true),
              "Beim Setzen des Kennzeichens \"Automatisch starten\" ist ein Fehler aufgetreten.");
    EXPECT_EQ(AutostartErrorText(false),
              "Beim L\xF6schen des Kennzeichens \"Automatisch starten\" ist ein Fehler "
              "aufgetreten.");
}

TEST(AutostartShortcut, StartsTheRunningProgramFromItsDirectory) {
    const fs::path self = OwnProgramPath();
    ASSERT_FALSE(self.empty());
    const ShortcutInfo info = AutostartShortcut(self);
    EXPECT_EQ(info.targetPath, self.string());
    EXPECT_EQ(info.workingDirectory, self.parent_path().string() + "/");
    XdgShellShortcut shortcut;
    shortcut.SetInfo(info);
    EXPECT_TRUE(shortcut.Resolve());
}

}  // namespace
}  // namespace tavolin
