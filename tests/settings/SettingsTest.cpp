#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "settings/IniFile.h"
#include "settings/IniSnapshot.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

TEST(Settings, FreshConfigFileHasExactBytes) {
    test::TempDir dir;
    const auto path = dir / "config.ini";
    ASSERT_EQ(EnsureConfigFile(path), ConfigCreation::Created);
    const std::string expected =
        "[Background]\r\nBGArt=0\r\nBGBild=\r\nBGCenter=0\r\nBGRot=58\r\nBGBlau=165\r\nBGGruen="
        "110\r\n"
        "[Tag]\r\nTRot=255\r\nTGruen=255\r\nTBlau=255\r\n"
        "[Feiertag]\r\nFTRot=255\r\nFTGruen=0\r\nFTBlau=0\r\n"
        "[Monat]\r\nMRot=255\r\nMGruen=255\r\nMBlau=255\r\n"
        "[Beschriftung]\r\nBRot=255\r\nBGruen=215\r\nBBlau=0\r\n"
        "[Programm]\r\nAutostart=0\r\nTermine=0\r\nDelTermine=1\r\nAlarm=0\r\n"
        "[Layout]\r\nKArt=2\r\nKKW=0\r\nSunday=0\r\n";
    EXPECT_EQ(test::ReadBytes(path), expected);
}

TEST(Settings, ExistingConfigIsLeftAlone) {
    test::TempDir dir;
    const auto path = dir / "config.ini";
    test::WriteBytes(path, "[Layout]\nKArt=4\n");
    EXPECT_EQ(EnsureConfigFile(path), ConfigCreation::Existed);
    EXPECT_EQ(test::ReadBytes(path), "[Layout]\nKArt=4\n");
}

TEST(Settings, CreationFailsInAMissingDirectory) {
    test::TempDir dir;
    EXPECT_EQ(EnsureConfigFile(dir / "nope" / "config.ini"), ConfigCreation::Failed);
    EXPECT_NE(ConfigCreationFailedText().find("\n"
                                              "Bitte \xFC"
                                              "berpr\xFC"
                                              "fen Sie"),
              std::string::npos);
}

TEST(Settings, TableHasTheReadersFallbacks) {
    ASSERT_EQ(SettingsTable().size(), 25u);
    const SettingKey* kart = FindSetting("Layout", "KArt");
    ASSERT_NE(kart, nullptr);
    EXPECT_STREQ(kart->dialogFallback, "1");
    EXPECT_STREQ(kart->generatorFallback, "2");
    EXPECT_EQ(FindSetting("Layout", "kart"), nullptr);
    for (const SettingKey& s : SettingsTable()) {
        if (std::string(s.key) != "KArt") {
            EXPECT_STREQ(s.dialogFallback, s.defaultValue) << s.key;
            EXPECT_STREQ(s.generatorFallback, s.defaultValue) << s.key;
        }
    }
}

TEST(Settings, ColoursPackLowBitsAsColorref) {
    EXPECT_EQ(PackColour(58, 110, 165), 0x00A56E3Au);
    EXPECT_EQ(PackColour(300, 0, 0), 44u);  // 300 modulo 256
    EXPECT_EQ(PackColour(-1, 256, 511), 0x00FF00FFu);
}

TEST(Settings, SilentStartTreatsAnyNonZeroDelTermineAsDelete) {
    test::TempDir dir;
    const auto path = dir / "config.ini";
    const std::pair<const char*, bool> cases[] = {{"", true},
                                                  {"[Programm]\nDelTermine=0\n", false},
                                                  {"[Programm]\nDelTermine=1\n", true},
                                                  {"[Programm]\nDelTermine=2\n", true},
                                                  {"[Programm]\nDelTermine=x\n", false}};
    for (auto [contents, deletes] : cases) {
        test::WriteBytes(path, contents);
        IniFile ini;
        ASSERT_TRUE(ini.Open(path, false));
        EXPECT_EQ(SilentStartDeletesExpired(ini), deletes) << contents;
    }
}

TEST(Settings, SwitchesAreOnOnlyAtOne) {
    EXPECT_TRUE(IsSwitchOn("1"));
    EXPECT_TRUE(IsSwitchOn("1 "));  // a picture background to the generator
    EXPECT_TRUE(IsSwitchOn(" 01"));
    EXPECT_FALSE(IsSwitchOn("2"));
    EXPECT_FALSE(IsSwitchOn(""));
    EXPECT_FALSE(IsSwitchOn("yes"));
}

}  // namespace
}  // namespace tavolin

namespace tavolin {
namespace {

namespace fs = std::filesystem;

TEST(ConfigFileSafety, CreationIsOneWriteWithTheKeyByKeyBytes) {
    // The bytes 25 separate writes into an empty file made.
    test::TempDir dir;
    IniFile ini;
    ASSERT_TRUE(ini.Open(dir / "reference.ini", true));
    for (const SettingKey& s : SettingsTable()) {
        ASSERT_TRUE(ini.WriteValue(s.section, s.key, s.defaultValue, true));
    }
    EXPECT_EQ(DefaultConfigText(), test::ReadBytes(dir / "reference.ini"));
    // A full disk leaves no config.ini at all, never a part that would pass for settings.
    WriteFaults faults;
    faults.bytesLeft = 100;
    EXPECT_EQ(EnsureConfigFile(dir / "config.ini", &faults), ConfigCreation::Failed);
    EXPECT_FALSE(fs::exists(dir / "config.ini"));
    EXPECT_EQ(EnsureConfigFile(dir / "config.ini"), ConfigCreation::Created);
    EXPECT_EQ(test::ReadBytes(dir / "config.ini"), DefaultConfigText());
}

TEST(ConfigFileSafety, DanglingLinkGetsItsTargetAndStaysALink) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows and Wine makes none";
#endif
    test::TempDir dir;
    fs::create_directory(dir / "sync");
    fs::create_symlink("sync/config.ini", dir / "config.ini");
    ASSERT_EQ(EnsureConfigFile(dir / "config.ini"), ConfigCreation::Created);
    EXPECT_TRUE(fs::is_symlink(dir / "config.ini"));
    EXPECT_EQ(test::ReadBytes(dir / "sync" / "config.ini"), DefaultConfigText());
    // Later writes go to the target as well.
    IniFile ini;
    ASSERT_TRUE(ini.Open(dir / "config.ini", false));
    ASSERT_TRUE(ini.WriteValue("Layout", "KArt", "4", false));
    EXPECT_TRUE(fs::is_symlink(dir / "config.ini"));
    EXPECT_NE(test::ReadBytes(dir / "sync" / "config.ini").find("KArt=4\r\n"), std::string::npos);
}

TEST(ConfigFileSafety, SomethingUnreadableInThePlaceIsNeverReplaced) {
    test::TempDir dir;
    fs::create_directory(dir / "config.ini");
    EXPECT_EQ(EnsureConfigFile(dir / "config.ini"), ConfigCreation::Failed);
    EXPECT_TRUE(fs::is_directory(dir / "config.ini"));
}

TEST(ConfigFileSafety, ConcurrentWritersLoseNoValue) {
    test::TempDir dir;
    const auto path = dir / "config.ini";
    ASSERT_EQ(EnsureConfigFile(path), ConfigCreation::Created);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&path, t] {
            IniFile ini;
            ASSERT_TRUE(ini.Open(path, false));
            for (int i = 0; i < 20; ++i) {
                ASSERT_TRUE(ini.WriteValue("Test",
                                           "K" + std::to_string(t) + "_" + std::to_string(i),
                                           std::to_string(i), true));
            }
        });
    }
    for (auto& t : threads) t.join();
    IniFile ini;
    ASSERT_TRUE(ini.Open(path, false));
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 20; ++i) {
            std::string v;
            EXPECT_TRUE(
                ini.ReadValue("Test", "K" + std::to_string(t) + "_" + std::to_string(i), v));
        }
    }
}

TEST(IniSnapshot, ReadsAsIniFileDoesFromOneReading) {
    test::TempDir dir;
    const auto path = dir / "config.ini";
    const std::string text =
        "[Layout]\r\nKArt = 3\r\nKArt=4\r\n[Other]\r\nKArt=9\r\n[Layout]\nKKW=1\nSunday";
    test::WriteBytes(path, text);
    IniFile ini;
    ASSERT_TRUE(ini.Open(path, false));
    const IniSnapshot snapshot = ini.Snapshot();
    ASSERT_TRUE(snapshot.IsLoaded());
    EXPECT_FALSE(IniSnapshot().Load(dir / "none"));
    // Changes after the reading do not show.
    test::WriteBytes(path, "");
    for (const auto& [section, key] :
         std::vector<std::pair<std::string, std::string>>{{"Layout", "KArt"},
                                                          {"[Layout]", "KKW"},
                                                          {"Layout", "Sunday"},
                                                          {"Other", "KArt"},
                                                          {"Layout", "Kart"},
                                                          {"None", "KArt"}}) {
        std::string fromText = "<untouched>", fromSnapshot = "<untouched>";
        const bool a = ReadIniValue(text, section, key, fromText);
        const bool b = snapshot.ReadValue(section, key, fromSnapshot);
        EXPECT_EQ(a, b) << section << "/" << key;
        EXPECT_EQ(fromText, fromSnapshot) << section << "/" << key;
    }
    std::string v;
    EXPECT_TRUE(snapshot.ReadValue("Layout", "KArt", v));
    EXPECT_EQ(v, "4");
    EXPECT_FALSE(IniSnapshot().ReadValue("Layout", "KArt", v));
    EXPECT_FALSE(IniFile().Snapshot().IsLoaded());
}

}  // namespace
}  // namespace tavolin
