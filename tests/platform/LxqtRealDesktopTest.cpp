// The LXQt hand-over against the real pcmanfm-qt desktop in the real-window session
// (run-in-x11.sh, with its own session bus); skipped where pcmanfm-qt or a display is missing.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/linux/FreshCopy.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/PcmanfmQtSettings.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LxqtRealDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") || !std::getenv("DBUS_SESSION_BUS_ADDRESS") ||
            !test::SystemRunner()->IsInstalled("pcmanfm-qt")) {
            GTEST_SKIP() << "needs a display, a session bus and pcmanfm-qt";
        }
        m_table = ReadProcessEnvironment();
        m_table["XDG_CONFIG_HOME"] = (m_home / "config").string();
        m_table["XDG_CACHE_HOME"] = (m_home / "cache").string();
        m_table["HOME"] = m_home.path().string();
        m_table = ToolEnvironment(m_table);
        m_runner = MakeProcessRunner(EnvironmentEntries(m_table));
    }

    void TearDown() override { StopDesktop(); }

    void StartDesktop() {
        m_desktop = ::fork();
        if (m_desktop == 0) {
            std::vector<std::string> entries = EnvironmentEntries(m_table);
            std::vector<char*> env;
            for (auto& e : entries) env.push_back(e.data());
            env.push_back(nullptr);
            char* argv[] = {const_cast<char*>("pcmanfm-qt"), const_cast<char*>("--desktop"),
                            const_cast<char*>("--profile=lxqt"), nullptr};
            ::execvpe("pcmanfm-qt", argv, env.data());
            ::_exit(127);
        }
        // Ready once it owns its name on the bus.
        for (int i = 0; i < 200; ++i) {
            const auto names = m_runner->Run(
                {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                 "org.freedesktop.DBus.ListNames"},
                5s);
            if (names.output.find("org.pcmanfm.PCManFM") != std::string::npos) return;
            std::this_thread::sleep_for(50ms);
        }
        FAIL() << "pcmanfm-qt --desktop did not come up";
    }

    void StopDesktop() {
        if (m_desktop <= 0) return;
        ::kill(m_desktop, SIGTERM);
        ::waitpid(m_desktop, nullptr, 0);
        m_desktop = -1;
    }

    WallpaperResult HandOver(const fs::path& bmp) {
        LinuxDesktop::Options options;
        options.settle = 3s;
        LinuxDesktop desktop(*m_runner, TableEnvironment(m_table), options);
        return desktop.SetWallpaperOn(DesktopKind::Lxqt, bmp);
    }

    test::TempDir m_home;
    EnvironmentTable m_table;
    std::shared_ptr<ProcessRunner> m_runner;
    pid_t m_desktop = -1;
};

TEST_F(LxqtRealDesktop, EachRunIsTakenAndWithoutTheDesktopItFails) {
    const fs::path dir = m_home / "Kalender M\xC3\xBCller; 'x', \"y\" = 1";
    fs::create_directories(dir);
    const fs::path bmp = dir / "Background.bmp";
    test::WriteBytes(bmp, "BM");
    const fs::path settings = m_home / "config" / "pcmanfm-qt" / "lxqt" / "settings.conf";
    StartDesktop();

    std::string previous;
    for (int run = 0; run < 2; ++run) {
        const auto r = HandOver(bmp);
        ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
        const auto saved = ReadPcmanfmQtDesktopValue(settings, "Wallpaper");
        ASSERT_TRUE(saved);
        EXPECT_TRUE(IsFreshCopyName(bmp, fs::path(*saved).filename().native())) << *saved;
        EXPECT_TRUE(fs::exists(*saved));
        EXPECT_NE(*saved, previous);
        previous = *saved;
    }

    StopDesktop();
    const auto r = HandOver(bmp);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("did not take the picture"), std::string::npos) << r.detail;
    EXPECT_EQ(ReadPcmanfmQtDesktopValue(settings, "Wallpaper"), previous);
    EXPECT_TRUE(fs::exists(previous));
}

// With no desktop named in the session, pcmanfm-qt's desktop window over the root window
// is found and the picture goes to it, not to the root window it covers.
TEST_F(LxqtRealDesktop, APlainX11SessionWithItsDesktopWindowIsHandedOverAsLxqt) {
    const fs::path bmp = m_home / "Background.bmp";
    test::WriteBytes(bmp, "BM");
    StartDesktop();
    EnvironmentTable plain = m_table;
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "XDG_SESSION_DESKTOP"}) {
        plain.erase(name);
    }
    LinuxDesktop::Options options;
    options.settle = 3s;
    LinuxDesktop desktop(*m_runner, TableEnvironment(plain), options);
    // The desktop window may take a moment to be mapped after the bus name is there.
    WallpaperResult r;
    for (int i = 0; i < 40; ++i) {
        r = desktop.SetWallpaper(bmp, {});
        if (r.desktop == "LXQt") break;
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "LXQt");
    const auto saved = ReadPcmanfmQtDesktopValue(
        m_home / "config" / "pcmanfm-qt" / "lxqt" / "settings.conf", "Wallpaper");
    ASSERT_TRUE(saved);
    EXPECT_TRUE(IsFreshCopyName(bmp, fs::path(*saved).filename().native())) << *saved;
}

}  // namespace
}  // namespace tavolin
