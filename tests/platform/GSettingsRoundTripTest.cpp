// The GNOME backend against the real gsettings, writing to the keyfile backend in a temporary
// configuration directory, and read back by a separate gsettings process.

#include <gtest/gtest.h>

#include <chrono>

#include "ScopedEnv.h"
#include "platform/linux/FreshCopy.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/WallpaperText.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kSchema = "org.gnome.desktop.background";

class GSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Runner().IsInstalled("gsettings")) GTEST_SKIP() << "gsettings is not installed";
        fs::create_directories(m_config);
        const auto keys = Get({"list-keys", kSchema});
        ASSERT_TRUE(keys.Succeeded()) << "the GNOME schemas are missing: " << keys.Describe();
    }

    // A runner of the environment as it is now: tests change it on the way.
    ProcessRunner& Runner() { return *m_runners.emplace_back(test::SystemRunner()); }

    ProcessResult Get(std::vector<std::string> args) {
        args.insert(args.begin(), "gsettings");
        return Runner().Run(args, 20s);
    }

    std::string Read(const char* key) {
        const auto r = Get({"get", kSchema, key});
        EXPECT_TRUE(r.Succeeded()) << r.Describe();
        return r.output;
    }

    fs::path MakePicture(const std::string& dirName) {
        const fs::path dir = m_data / dirName;
        fs::create_directories(dir);
        test::WriteBytes(dir / "Background.bmp", "BM");
        return dir / "Background.bmp";
    }

    WallpaperResult SetOnGnome(const fs::path& bmp) {
        // As the program wires it: the tools' environment, with the backend chosen above.
        // No bus to look for gnome-shell on: what gsettings stores is the point here, and
        // whether the shell runs is not (the hand-over then takes gsettings' word).
        EnvironmentTable process = ReadProcessEnvironment();
        process.erase("DBUS_SESSION_BUS_ADDRESS");
        process.erase("XDG_RUNTIME_DIR");
        EnvironmentTable env = ToolEnvironment(process);
        env["XDG_CURRENT_DESKTOP"] = "GNOME";
        LinuxDesktop desktop(Runner(), TableEnvironment(env), {20s});
        return desktop.SetWallpaper(bmp, {});
    }

    test::TempDir m_data;
    std::vector<std::shared_ptr<ProcessRunner>> m_runners;
    test::TempDir m_configRoot;
    fs::path m_config = m_configRoot / "config";
    test::ScopedEnv m_backend{"GSETTINGS_BACKEND", "keyfile"};
    test::ScopedEnv m_home{"XDG_CONFIG_HOME", m_config.string()};
    test::ScopedEnv m_schemaDir{"GSETTINGS_SCHEMA_DIR", std::nullopt};
};

TEST_F(GSettingsTest, GnomeBackendStoresTheCopyForBothStyles) {
    const fs::path bmp = MakePicture("Mein Kalender 'neu' M\xC3\xBCller");
    const auto r = SetOnGnome(bmp);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;

    std::vector<fs::path> copies;
    for (const auto& e : fs::directory_iterator(bmp.parent_path())) {
        if (IsFreshCopyName(bmp, e.path().filename().native())) copies.push_back(e.path());
    }
    ASSERT_EQ(copies.size(), 1u);
    const std::string expected = "'" + FileUri(copies[0]) + "'\n";
    EXPECT_EQ(Read("picture-uri"), expected);
    EXPECT_EQ(Read("picture-uri-dark"), expected);
    EXPECT_TRUE(fs::exists(m_config / "glib-2.0" / "settings" / "keyfile"));

    // A second run moves to a new copy and removes the first.
    ASSERT_TRUE(SetOnGnome(bmp).Succeeded());
    EXPECT_FALSE(fs::exists(copies[0]));
    EXPECT_NE(Read("picture-uri"), expected);
}

TEST_F(GSettingsTest, DisplayStyleIsKeptUnlessItShowsNoPicture) {
    const fs::path bmp = MakePicture("pics");
    ASSERT_TRUE(Get({"set", kSchema, "picture-options", "'scaled'"}).Succeeded());
    ASSERT_TRUE(SetOnGnome(bmp).Succeeded());
    EXPECT_EQ(Read("picture-options"), "'scaled'\n");

    ASSERT_TRUE(Get({"set", kSchema, "picture-options", "'none'"}).Succeeded());
    ASSERT_TRUE(SetOnGnome(bmp).Succeeded());
    EXPECT_EQ(Read("picture-options"), "'zoom'\n");
}

// Our GVariant literal and reader agree with glib itself on every awkward character.
TEST_F(GSettingsTest, StringLiteralsRoundTripThroughGlib) {
    const std::vector<std::string> texts = {
        "it's",
        "say \"hi\"",
        "both ' and \"",
        "back\\slash",
        "new\nline\ttab\rcr",
        "\x01\x1F\x7F",
        "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80",
        "%s %d @s",
        "",
    };
    for (const auto& text : texts) {
        const auto literal = GVariantStringLiteral(text);
        ASSERT_TRUE(literal);
        const auto set = Get({"set", kSchema, "picture-uri", *literal});
        ASSERT_TRUE(set.Succeeded()) << *literal << ": " << set.Describe();
        const std::string printed = Read("picture-uri");
        EXPECT_EQ(ParseGVariantString(printed), text) << printed;
    }
}

// With the memory backend gsettings reports success but keeps nothing: that must not count.
TEST_F(GSettingsTest, ValueThatDoesNotStickIsAFailure) {
    test::ScopedEnv memory("GSETTINGS_BACKEND", "memory");
    const fs::path bmp = MakePicture("pics");
    const auto r = SetOnGnome(bmp);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("did not keep the new value"), std::string::npos) << r.detail;
}

}  // namespace
}  // namespace tavolin
