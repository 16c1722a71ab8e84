#include "settings/Settings.h"

#include <gtest/gtest.h>

#include "settings/IniFile.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

TEST(Settings, FreshConfigFileHasExactBytes) {
    test::TempDir dir;
    const auto path = dir / "config.ini";
    ASSERT_EQ(EnsureConfigFile(path), ConfigCreation::Created);
    const std::string expected =
        "[Background]\r\nBGArt=0\r\nBGBild=\r\nBGCenter=0\r\nBGRot=58\r\nBGBlau=165\r\nBGGruen=110\r\n"
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
    EXPECT_NE(ConfigCreationFailedText().find("\n" "Bitte \xFC" "berpr\xFC" "fen Sie"), std::string::npos);
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
    EXPECT_EQ(PackColour(300, 0, 0), 44u);           // 300 modulo 256
    EXPECT_EQ(PackColour(-1, 256, 511), 0x00FF00FFu);
}

TEST(Settings, SilentStartTreatsAnyNonZeroDelTermineAsDelete) {
    test::TempDir dir;
    const auto path = dir / "config.ini";
    const std::pair<const char*, bool> cases[] = {
        {"", true}, {"[Programm]\nDelTermine=0\n", false}, {"[Programm]\nDelTermine=1\n", true},
        {"[Programm]\nDelTermine=2\n", true}, {"[Programm]\nDelTermine=x\n", false}};
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
