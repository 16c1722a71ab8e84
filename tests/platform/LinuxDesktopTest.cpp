// Each desktop backend with a recording runner: the exact commands it issues, how it treats
// their failures, and the fresh copies it hands to desktops that cache by name.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <stop_token>
#include <thread>

#include "DecodeUri.h"
#include "Qt5IniEscape.h"
#include "RecordingRunner.h"
#include "ScopedEnv.h"
#include "image/ImageBuffer.h"
#include "platform/linux/DrawingClient.h"
#include "platform/linux/FreshCopy.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/PcmanfmQtSettings.h"
#include "platform/linux/WallpaperText.h"
#include "render/WallpaperCanvas.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Argv;
using test::RecordingRunner;

constexpr const char* kGnome = "org.gnome.desktop.background";

using test::DecodeUri;

class DesktopTest : public ::testing::Test {
protected:
    DesktopTest() { UseDirectory(m_dir.path()); }

    void UseDirectory(const fs::path& dir) {
        fs::create_directories(dir);
        m_bmp = dir / "Background.bmp";
        test::WriteBytes(m_bmp, "BM picture bytes");
    }

    // A session with a bus, and pcmanfm-qt's settings in the test's own directory.
    EnvironmentTable SessionEnv() const {
        EnvironmentTable env = {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus"},
                                {"XDG_CONFIG_HOME", m_config.string()},
                                {"DISPLAY", ":7"}};
        for (const auto& [name, value] : m_extraEnv) env[name] = value;
        return env;
    }

    LinuxDesktop::Options Options() const {
        LinuxDesktop::Options options;
        options.timeout = 1234ms;
        options.settle = m_settle;
        options.procRoot = m_proc;
        return options;
    }

    // The session bus lists these names (and its own) in dbus-send's form.
    void BusWith(const std::vector<std::string>& names) {
        m_runner.installed.insert("dbus-send");
        std::string reply =
            "method return time=1.5 sender=org.freedesktop.DBus -> destination=:1.9 serial=3 "
            "reply_serial=2\n   array [\n      string \"org.freedesktop.DBus\"\n"
            "      string \":1.0\"\n";
        for (const auto& name : names) reply += "      string \"" + name + "\"\n";
        reply += "   ]\n";
        m_runner.On({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus"},
                    ProcessResult::Exit(0, reply));
    }

    // The window manager lists these windows bottom-up, each with its WM_CLASS and whether it
    // is a desktop window.
    struct Window {
        std::string id;
        std::string wmClass;
        bool desktop;
    };
    void WindowsWith(const std::vector<Window>& windows) {
        m_runner.installed.insert("xprop");
        std::string list;
        for (const auto& w : windows) list += (list.empty() ? "" : ", ") + w.id;
        m_runner.On(
            {"xprop", "-root"},
            ProcessResult::Exit(0, "_NET_CLIENT_LIST_STACKING(WINDOW): window id # " + list +
                                       "\n_NET_CLIENT_LIST(WINDOW): window id # " + list + "\n"));
        for (const auto& w : windows) {
            m_runner.On({"xprop", "-id", w.id},
                        ProcessResult::Exit(0, std::string("_NET_WM_WINDOW_TYPE(ATOM) = ") +
                                                   (w.desktop ? "_NET_WM_WINDOW_TYPE_DESKTOP"
                                                              : "_NET_WM_WINDOW_TYPE_NORMAL") +
                                                   "\nWM_CLASS(STRING) = \"" + w.wmClass +
                                                   "\", \"" + w.wmClass + "\"\n"));
        }
    }

    WallpaperResult Set(DesktopKind kind, std::stop_token stop = {}) {
        LinuxDesktop desktop(m_runner, TableEnvironment(SessionEnv()), Options());
        return desktop.SetWallpaperOn(kind, m_bmp, std::move(stop));
    }

    WallpaperResult SetWithEnv(std::map<std::string, std::string> env) {
        LinuxDesktop desktop(m_runner, TableEnvironment(std::move(env)), Options());
        return desktop.SetWallpaper(m_bmp, {});
    }

    // Files in the picture's directory that look like fresh copies.
    std::vector<fs::path> Copies() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(m_bmp.parent_path())) {
            if (IsFreshCopyName(m_bmp, e.path().filename().native())) out.push_back(e.path());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path OnlyCopy() const {
        const auto copies = Copies();
        EXPECT_EQ(copies.size(), 1u);
        return copies.empty() ? fs::path() : copies.front();
    }

    test::TempDir m_dir;
    fs::path m_bmp;
    RecordingRunner m_runner;
    test::TempDir m_configRoot;
    fs::path m_config = m_configRoot / "config";
    std::chrono::milliseconds m_settle{2000};
    EnvironmentTable m_extraEnv;
    test::TempDir m_procDir;
    // No process list unless a test makes one: the tools' word is then taken.
    fs::path m_proc = m_procDir / "none";
};

// A process as /proc shows it.
void FakeProcess(const fs::path& proc, int pid, const std::string& comm, const Argv& argv,
                 char state = 'S') {
    const fs::path dir = proc / std::to_string(pid);
    fs::create_directories(dir);
    test::WriteBytes(dir / "comm", comm + "\n");
    test::WriteBytes(dir / "stat",
                     std::to_string(pid) + " (" + comm + ") " + state + " 1 1 1 0 -1 4194560\n");
    std::string cmdline;
    for (const auto& a : argv) cmdline += a + '\0';
    test::WriteBytes(dir / "cmdline", cmdline);
}

// ---- GNOME and its relatives ----

TEST_F(DesktopTest, GnomeSetsBothPictureKeysToAFreshCopyAndChecksThem) {
    m_runner.EmulateGSettings();
    const auto r = Set(DesktopKind::Gnome);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "GNOME");

    const fs::path copy = OnlyCopy();
    EXPECT_TRUE(std::regex_match(copy.filename().string(), std::regex(R"(Background-\d+\.bmp)")));
    EXPECT_EQ(test::ReadBytes(copy), "BM picture bytes");
    EXPECT_TRUE(fs::exists(m_bmp));
    const std::string literal = "'" + FileUri(copy) + "'";
    const std::vector<Argv> expected = {
        {"gsettings", "set", kGnome, "picture-uri", literal},
        {"gsettings", "set", kGnome, "picture-uri-dark", literal},
        {"gsettings", "get", kGnome, "picture-uri"},
        {"gsettings", "get", kGnome, "picture-options"},
    };
    EXPECT_EQ(m_runner.calls, expected);
    for (auto t : m_runner.timeouts) EXPECT_EQ(t, 1234ms);
}

TEST_F(DesktopTest, EachRunGetsANewNameAndOnlyOlderCopiesAreRemoved) {
    m_runner.EmulateGSettings();
    ASSERT_TRUE(Set(DesktopKind::Gnome).Succeeded());
    const fs::path first = OnlyCopy();
    // Look-alikes that are not copies of ours stay.
    const std::vector<std::string> strangers = {"Background-12a.bmp",     "Background-.bmp",
                                                "Background-123.png",     "Other-123.bmp",
                                                "Background-123.bmp.tmp", "Termine.dat"};
    for (const auto& name : strangers) test::WriteBytes(m_dir / name, "x");
    test::WriteBytes(m_dir / "Background-1.bmp", "older copy");

    ASSERT_TRUE(Set(DesktopKind::Gnome).Succeeded());
    const fs::path second = OnlyCopy();
    EXPECT_NE(first, second);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(m_runner.store[std::string(kGnome) + " picture-uri"], FileUri(second));
    for (const auto& name : strangers) EXPECT_TRUE(fs::exists(m_dir / name)) << name;
    EXPECT_TRUE(fs::exists(m_bmp));
}

TEST_F(DesktopTest, GnomeWithoutADarkPictureKeyIsFine) {
    m_runner.EmulateGSettings({"picture-uri", "picture-options", "primary-color"});
    const auto r = Set(DesktopKind::Gnome);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    ASSERT_EQ(m_runner.calls.size(), 5u);
    EXPECT_EQ(m_runner.calls[2], (Argv{"gsettings", "list-keys", kGnome}));
}

TEST_F(DesktopTest, GnomeDarkKeyFailingWhenItExistsIsAFailureButTheCopyStays) {
    test::WriteBytes(m_dir / "Background-5.bmp", "older copy");
    m_runner.EmulateGSettings({"picture-uri", "picture-uri-dark", "picture-options"});
    m_runner.On({"gsettings", "set", kGnome, "picture-uri-dark"},
                ProcessResult::Exit(1, "", "GLib-GIO-CRITICAL: something\n"));
    const auto r = Set(DesktopKind::Gnome);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail, std::string("gsettings set ") + kGnome +
                            " picture-uri-dark: exit code 1: GLib-GIO-CRITICAL: something");
    // picture-uri already points at the new copy, so it must not vanish; nor may the old one
    // go before the switch is complete.
    EXPECT_EQ(Copies().size(), 2u);
}

TEST_F(DesktopTest, GnomeFirstCommandFailingLeavesNoNewCopy) {
    test::WriteBytes(m_dir / "Background-5.bmp", "older copy");
    m_runner.On({"gsettings"}, ProcessResult::Exit(1, "", "No schemas installed\n"));
    const auto r = Set(DesktopKind::Gnome);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail, std::string("gsettings set ") + kGnome +
                            " picture-uri: exit code 1: No schemas installed");
    EXPECT_EQ(Copies(), std::vector<fs::path>{m_dir / "Background-5.bmp"});
    EXPECT_EQ(m_runner.calls.size(), 1u);
}

TEST_F(DesktopTest, GnomeMissingHangingOrForgetfulGsettingsIsAFailure) {
    m_runner.On({"gsettings"}, test::NotFound());
    auto r = Set(DesktopKind::Gnome);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail, std::string("gsettings set ") + kGnome + " picture-uri: not installed");

    m_runner.On({"gsettings"}, test::TimedOut());
    r = Set(DesktopKind::Gnome);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("time limit"), std::string::npos) << r.detail;

    // Without a settings service gsettings "succeeds" into memory; a new process then reads
    // the old value.
    m_runner.On({"gsettings"}, ProcessResult::Exit(0, "'file:///old.bmp'\n"));
    r = Set(DesktopKind::Gnome);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("did not keep the new value"), std::string::npos) << r.detail;
    EXPECT_TRUE(Copies().empty());
}

TEST_F(DesktopTest, GnomeStyleNoneIsTurnedIntoZoomAnyOtherStyleIsLeftAlone) {
    m_runner.EmulateGSettings();
    m_runner.store[std::string(kGnome) + " picture-options"] = "none";
    ASSERT_TRUE(Set(DesktopKind::Gnome).Succeeded());
    EXPECT_EQ(m_runner.calls.back(),
              (Argv{"gsettings", "set", kGnome, "picture-options", "'zoom'"}));
    EXPECT_EQ(m_runner.store[std::string(kGnome) + " picture-options"], "zoom");

    for (const char* style : {"wallpaper", "centered", "scaled", "stretched", "spanned"}) {
        m_runner.calls.clear();
        m_runner.store[std::string(kGnome) + " picture-options"] = style;
        ASSERT_TRUE(Set(DesktopKind::Gnome).Succeeded());
        EXPECT_EQ(m_runner.CallsOf("gsettings").size(), 4u) << style;
        EXPECT_EQ(m_runner.store[std::string(kGnome) + " picture-options"], style);
    }
}

TEST_F(DesktopTest, GnomeUriOfAHostileDirectoryLeadsBackToTheCopy) {
    UseDirectory(m_dir / "it's \"odd\" \\ \n M\xC3\xBCller #1 %20 \xFF");
    m_runner.EmulateGSettings();
    ASSERT_TRUE(Set(DesktopKind::Gnome).Succeeded());
    const fs::path copy = OnlyCopy();
    const std::string uri = m_runner.store[std::string(kGnome) + " picture-uri"];
    ASSERT_EQ(uri.rfind("file://", 0), 0u);
    EXPECT_EQ(DecodeUri(uri.substr(7)), copy.native());
    EXPECT_EQ(uri.find_first_of(" '\"\\\n#"), std::string::npos);
}

TEST_F(DesktopTest, CinnamonSetsItsOwnSchema) {
    m_runner.EmulateGSettings();
    const auto r = Set(DesktopKind::Cinnamon);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    const std::string schema = "org.cinnamon.desktop.background";
    const std::vector<Argv> expected = {
        {"gsettings", "set", schema, "picture-uri", "'" + FileUri(OnlyCopy()) + "'"},
        {"gsettings", "get", schema, "picture-uri"},
        {"gsettings", "get", schema, "picture-options"},
    };
    EXPECT_EQ(m_runner.calls, expected);
}

TEST_F(DesktopTest, MateTakesThePlainPathSafelyQuoted) {
    UseDirectory(m_dir / "it's \"odd\" \\ \n M\xC3\xBCller");
    m_runner.EmulateGSettings();
    const auto r = Set(DesktopKind::Mate);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    const fs::path copy = OnlyCopy();
    ASSERT_EQ(m_runner.calls.size(), 3u);
    EXPECT_EQ(m_runner.calls[0], (Argv{"gsettings", "set", "org.mate.background",
                                       "picture-filename", *GVariantStringLiteral(copy.native())}));
    EXPECT_EQ(m_runner.store["org.mate.background picture-filename"], copy.native());
}

TEST_F(DesktopTest, MateRefusesAPathThatIsNotUtf8) {
    UseDirectory(m_dir / "Bilder \xFC");
    const auto r = Set(DesktopKind::Mate);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("not valid UTF-8"), std::string::npos);
    EXPECT_TRUE(m_runner.calls.empty());
    EXPECT_TRUE(Copies().empty());
}

// ---- XFCE ----

const char* kXfconfListing =
    "/backdrop/screen0/monitor0/image-path          /usr/share/backgrounds/xfce/old.png\n"
    "/backdrop/screen0/monitoreDP-1/workspace0/color-style   0\n"
    "/backdrop/screen0/monitoreDP-1/workspace0/image-style   0\n"
    "/backdrop/screen0/monitoreDP-1/workspace0/last-image    /usr/share/backgrounds/a b.png\n"
    "/backdrop/screen0/monitoreDP-1/workspace1/image-style   3\n"
    "/backdrop/screen0/monitoreDP-1/workspace1/last-image    /usr/share/backgrounds/b.png\n"
    "/backdrop/screen0/monitorHDMI-1/workspace0/last-image   \n"
    "/desktop-icons/style                            2\n";

TEST_F(DesktopTest, XfceSetsEveryLastImageAndShowsAHiddenPicture) {
    m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-l", "-v"},
                ProcessResult::Exit(0, kXfconfListing));
    const auto r = Set(DesktopKind::Xfce);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    const std::string copy = OnlyCopy().native();
    const std::string p = "/backdrop/screen0/";
    const std::vector<Argv> expected = {
        {"xfconf-query", "-c", "xfce4-desktop", "-l", "-v"},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", p + "monitoreDP-1/workspace0/last-image",
         "-s", copy},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", p + "monitoreDP-1/workspace0/image-style",
         "-s", "5"},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", p + "monitoreDP-1/workspace1/last-image",
         "-s", copy},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", p + "monitorHDMI-1/workspace0/last-image",
         "-s", copy},
    };
    EXPECT_EQ(m_runner.calls, expected);
}

TEST_F(DesktopTest, XfceFailures) {
    // No backdrop property at all: nothing to set.
    m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-l"},
                ProcessResult::Exit(0, "/desktop-icons/style  2\n"));
    auto r = Set(DesktopKind::Xfce);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("last-image"), std::string::npos);
    EXPECT_TRUE(Copies().empty());

    // The channel cannot be listed (no xfconfd).
    m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-l"},
                ProcessResult::Exit(1, "", "Failed to init libxfconf\n"));
    r = Set(DesktopKind::Xfce);
    EXPECT_EQ(r.detail, "xfconf-query -c xfce4-desktop -l: exit code 1: Failed to init libxfconf");

    // The second property fails: the first already shows the copy, so it stays.
    m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-l"},
                ProcessResult::Exit(0, kXfconfListing));
    m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-p",
                 "/backdrop/screen0/monitoreDP-1/workspace1/last-image"},
                test::TimedOut());
    r = Set(DesktopKind::Xfce);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(Copies().size(), 1u);
}

TEST(XfconfList, ReadsPropertyValuePairsDefensively) {
    const auto props = ParseXfconfList(
        "/a/last-image   /x y/z.bmp\r\n\n  /indented  1\nnot-a-property 2\n/bare\n/tab\t\tv\n");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/a/last-image", "/x y/z.bmp"}, {"/bare", ""}, {"/tab", "v"}};
    EXPECT_EQ(props, expected);
    EXPECT_TRUE(ParseXfconfList("").empty());
    EXPECT_TRUE(ParseXfconfList(std::string(1000, '\n')).empty());
}

// ---- KDE Plasma ----

TEST_F(DesktopTest, PlasmaEvaluatesItsScriptThroughDbusSend) {
    m_runner.installed = {"dbus-send", "qdbus"};
    const auto r = Set(DesktopKind::Kde);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    const std::string script = LinuxDesktop::PlasmaScript(FileUri(OnlyCopy()));
    const std::vector<Argv> expected = {
        {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"},
        {"dbus-send", "--session", "--type=method_call", "--print-reply",
         "--dest=org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
         "string:" + script}};
    EXPECT_EQ(m_runner.calls, expected);
    EXPECT_NE(script.find("\"" + FileUri(OnlyCopy()) + "\""), std::string::npos);
    // The display style (FillMode) is not touched.
    EXPECT_EQ(script.find("FillMode"), std::string::npos);
}

TEST_F(DesktopTest, PlasmaFallsBackToQdbus) {
    m_runner.installed = {"qdbus-qt5"};
    ASSERT_TRUE(Set(DesktopKind::Kde).Succeeded());
    const std::vector<Argv> expected = {{"qdbus-qt5", "org.kde.plasmashell", "/PlasmaShell",
                                         "org.kde.PlasmaShell.evaluateScript",
                                         LinuxDesktop::PlasmaScript(FileUri(OnlyCopy()))}};
    EXPECT_EQ(m_runner.calls, expected);

    m_runner.installed.clear();
    const auto r = Set(DesktopKind::Kde);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail, "neither dbus-send nor qdbus is installed");

    m_runner.installed = {"dbus-send"};
    m_runner.On({"dbus-send"}, ProcessResult::Exit(
                                   1, "", "Error org.kde.plasmashell.Error: Widgets are locked\n"));
    EXPECT_EQ(Set(DesktopKind::Kde).detail,
              "dbus-send org.kde.PlasmaShell.evaluateScript: exit code 1: Error "
              "org.kde.plasmashell.Error: Widgets are locked");
}

// The script run by a real JavaScript engine against a stand-in for Plasma's scripting API.
TEST(PlasmaScript, SetsTheImageOnEveryDesktopInARealEngine) {
    const auto runner = test::SystemRunner();
    if (!runner->IsInstalled("node")) GTEST_SKIP() << "node is not installed";
    const std::string uri =
        "file:///it's \"odd\" \\ \n\xE2\x80\xA8 M\xC3\xBCller/';alert(1);//.bmp";
    const std::string harness =
        "function desktops() { return [0, 1].map(n => ({ n, groups: [], writes: [],"
        "  set currentConfigGroup(g) { this.group = g.join('/'); },"
        "  writeConfig(k, v) { this.writes.push([this.wallpaperPlugin, this.group, k, v]); } })); "
        "}\n"
        "const made = desktops; let seen;\n"
        "desktops = () => (seen = made());\n" +
        LinuxDesktop::PlasmaScript(uri) +
        "\nprocess.stdout.write(JSON.stringify(seen.map(d => d.writes)));\n";
    const auto r = runner->Run({"node", "-e", harness}, std::chrono::seconds(20));
    ASSERT_TRUE(r.Succeeded()) << r.Describe();
    std::string uriJson;
    for (char c : uri) {
        if (c == '"' || c == '\\')
            uriJson += '\\', uriJson += c;
        else if (c == '\n')
            uriJson += "\\n";
        else
            uriJson += c;
    }
    const std::string one =
        "[[\"org.kde.image\",\"Wallpaper/org.kde.image/General\",\"Image\",\"" + uriJson + "\"]]";
    EXPECT_EQ(r.output, "[" + one + "," + one + "]");
}

// ---- LXQt ----

class LxqtTest : public DesktopTest {
protected:
    ~LxqtTest() override {
        for (auto& t : m_savers) t.join();
    }

    fs::path SettingsFile(const std::string& profile) const {
        return m_config / "pcmanfm-qt" / profile / "settings.conf";
    }

    // A settings file as pcmanfm-qt saves it, the path escaped as Qt 5 does.
    void WriteSettings(const std::string& profile, const std::string& wallpaper,
                       const std::string& mode) {
        fs::create_directories(SettingsFile(profile).parent_path());
        test::WriteBytes(SettingsFile(profile),
                         "[Behavior]\nBookmarkOpenMethod=current_tab\n\n[Desktop]\n"
                         "BgColor=#000000\nWallpaper=" +
                             test::Qt5IniEscape(wallpaper) + "\nWallpaperMode=" + mode +
                             "\nWallpaperRandomize=false\n\n[System]\nTerminal=qterminal\n");
    }

    std::optional<std::string> Saved(const std::string& profile, const char* key) const {
        return ReadPcmanfmQtDesktopValue(SettingsFile(profile), key);
    }

    // pcmanfm-qt 1.2 with its desktop running on the given profile: shows the picture in the
    // mode given and saves its settings, after delay from another thread when one is given. As
    // the real one, it saves the new picture but not the mode it shows.
    void EmulatePcmanfmQt(const std::string& profile, std::chrono::milliseconds delay = 0ms) {
        m_runner.On({"pcmanfm-qt"}, [this, profile, delay](const Argv& a) {
            std::string wallpaper = Saved(profile, "Wallpaper").value_or("");
            const std::string mode = Saved(profile, "WallpaperMode").value_or("stretch");
            if (m_shownMode.empty()) m_shownMode = mode;
            for (size_t i = 1; i < a.size(); ++i) {
                if (a[i] == "--set-wallpaper" && i + 1 < a.size()) wallpaper = a[++i];
                if (a[i].rfind("--wallpaper-mode=", 0) == 0) m_shownMode = a[i].substr(17);
            }
            if (delay == 0ms) {
                WriteSettings(profile, wallpaper, mode);
            } else {
                m_savers.emplace_back([=, this] {
                    std::this_thread::sleep_for(delay);
                    WriteSettings(profile, wallpaper, mode);
                });
            }
            return ProcessResult::Exit(0);
        });
    }

    std::vector<std::thread> m_savers;
    std::string m_shownMode;  // what the emulated desktop shows
};

TEST_F(LxqtTest, EachRunHandsAFreshCopyAndSucceedsOnceTheSettingsNameIt) {
    WriteSettings("lxqt", "/usr/share/lxqt/wallpapers/default.png", "zoom");
    EmulatePcmanfmQt("lxqt");
    auto r = Set(DesktopKind::Lxqt);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "LXQt");
    const fs::path first = OnlyCopy();
    EXPECT_EQ(m_runner.calls, (std::vector<Argv>{{"pcmanfm-qt", "--set-wallpaper", first}}));
    EXPECT_EQ(Saved("lxqt", "Wallpaper"), first.native());
    EXPECT_EQ(Saved("lxqt", "WallpaperMode"), "zoom");

    // An unchanged path would not be reloaded, so the second run names a new file.
    r = Set(DesktopKind::Lxqt);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    const fs::path second = OnlyCopy();
    EXPECT_NE(first, second);
    EXPECT_FALSE(fs::exists(first));
    ASSERT_EQ(m_runner.calls.size(), 2u);
    EXPECT_EQ(m_runner.calls[1], (Argv{"pcmanfm-qt", "--set-wallpaper", second}));
    EXPECT_EQ(Saved("lxqt", "Wallpaper"), second.native());
}

TEST_F(LxqtTest, ModeNoneBecomesStretchAnyOtherModeIsKept) {
    EmulatePcmanfmQt("lxqt");
    for (const std::string mode : {"none", "stretch", "fit", "center", "tile", "zoom"}) {
        WriteSettings("lxqt", "/old.png", mode);
        m_runner.calls.clear();
        m_shownMode.clear();
        const auto r = Set(DesktopKind::Lxqt);
        ASSERT_EQ(r.status, WallpaperStatus::Set) << mode << ": " << r.detail;
        Argv expected = {"pcmanfm-qt", "--set-wallpaper", OnlyCopy()};
        if (mode == "none") expected.push_back("--wallpaper-mode=stretch");
        EXPECT_EQ(m_runner.calls, std::vector<Argv>{expected}) << mode;
        EXPECT_EQ(m_shownMode, mode == "none" ? "stretch" : mode);
    }
}

TEST_F(LxqtTest, DefaultProfileIsReadWhenItIsTheDesktops) {
    // Only the default profile: its mode is the one looked at.
    WriteSettings("default", "/old.png", "none");
    EmulatePcmanfmQt("default");
    ASSERT_TRUE(Set(DesktopKind::Lxqt).Succeeded());
    EXPECT_EQ(m_runner.calls.back().back(), "--wallpaper-mode=stretch");
    EXPECT_EQ(m_shownMode, "stretch");

    // A stale lxqt profile said "zoom", but the desktop that took the picture shows none: its
    // mode is set on its own afterwards.
    WriteSettings("lxqt", "/old.png", "zoom");
    WriteSettings("default", "/old.png", "none");
    m_runner.calls.clear();
    m_shownMode.clear();
    const auto r = Set(DesktopKind::Lxqt);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    const std::vector<Argv> expected = {{"pcmanfm-qt", "--set-wallpaper", OnlyCopy()},
                                        {"pcmanfm-qt", "--wallpaper-mode=stretch"}};
    EXPECT_EQ(m_runner.calls, expected);
    EXPECT_EQ(m_shownMode, "stretch");
    EXPECT_EQ(Saved("lxqt", "WallpaperMode"), "zoom");
}

TEST_F(LxqtTest, WithoutItsDesktopRunningTheHandOverFails) {
    m_settle = 300ms;
    test::WriteBytes(m_dir / "Background-5.bmp", "the copy the desktop shows");
    WriteSettings("lxqt", (m_dir / "Background-5.bmp").native(), "stretch");
    // pcmanfm-qt exits 0 and saves nothing when no desktop of its own takes the picture.
    m_runner.On({"pcmanfm-qt"}, ProcessResult::Exit(0));
    auto r = Set(DesktopKind::Lxqt);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("pcmanfm-qt did not take the picture"), std::string::npos) << r.detail;
    EXPECT_NE(r.detail.find("pcmanfm-qt --desktop"), std::string::npos) << r.detail;
    EXPECT_EQ(m_runner.calls.size(), 1u);
    // The copy nothing names is gone; the one the desktop shows stays.
    EXPECT_EQ(Copies(), std::vector<fs::path>{m_dir / "Background-5.bmp"});

    // No settings at all, and settings that are no file: the same.
    fs::remove_all(m_config);
    EXPECT_EQ(Set(DesktopKind::Lxqt).status, WallpaperStatus::Failed);
    fs::create_directories(SettingsFile("lxqt"));
    fs::create_directories(SettingsFile("default").parent_path());
    ASSERT_EQ(::mkfifo(SettingsFile("default").c_str(), 0600), 0);
    r = Set(DesktopKind::Lxqt);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("did not take the picture"), std::string::npos) << r.detail;

    // A failing pcmanfm-qt is reported as such.
    m_runner.On({"pcmanfm-qt"}, ProcessResult::Exit(1, "", "cannot connect to X server\n"));
    EXPECT_EQ(Set(DesktopKind::Lxqt).detail,
              "pcmanfm-qt --set-wallpaper: exit code 1: cannot connect to X server");
    EXPECT_EQ(Copies().size(), 1u);
}

TEST_F(LxqtTest, SettingsSavedAMomentLaterAreWaitedFor) {
    WriteSettings("lxqt", "/old.png", "fit");
    EmulatePcmanfmQt("lxqt", 300ms);
    const auto r = Set(DesktopKind::Lxqt);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(Saved("lxqt", "Wallpaper"), OnlyCopy().native());
}

TEST_F(LxqtTest, PathThatQtEscapesIsReadBack) {
    UseDirectory(m_dir /
                 "B\xC3\xA4"
                 "der; 'x', \"y\" = z \\ #1 \t\x01 \xF0\x9F\x98\x80 \xE2\x82\xAC"
                 "1 @");
    WriteSettings("lxqt", "/old.png", "stretch");
    EmulatePcmanfmQt("lxqt");
    const auto r = Set(DesktopKind::Lxqt);
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    // The file really holds the escaped forms, quotes included.
    const std::string text = test::ReadBytes(SettingsFile("lxqt"));
    for (const char* form : {"Wallpaper=\"", "B\\xe4\\x64\\x65r", "\\\\", "\\\"y\\\"", "\\t\\x1 ",
                             "\\xd83d\\xde00", "\\x20ac\\x31"}) {
        EXPECT_NE(text.find(form), std::string::npos) << form << " in " << text;
    }
    EXPECT_EQ(Saved("lxqt", "Wallpaper"), OnlyCopy().native());
}

TEST_F(LxqtTest, StopWhileWaitingIsCancelled) {
    std::stop_source stop;
    m_runner.On({"pcmanfm-qt"}, [&](const Argv&) {
        stop.request_stop();
        return ProcessResult::Exit(0);
    });
    m_settle = 60s;
    const auto start = std::chrono::steady_clock::now();
    const auto r = Set(DesktopKind::Lxqt, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(r.status, WallpaperStatus::Cancelled);
    // pcmanfm-qt ran, so its desktop may show the copy already.
    EXPECT_EQ(Copies().size(), 1u);
}

TEST_F(LxqtTest, PathsItCannotHoldAndUnknownSettingsAreRefusedBeforeItRuns) {
    UseDirectory(m_dir / "Bilder \xFC");
    auto r = Set(DesktopKind::Lxqt);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("not valid UTF-8"), std::string::npos) << r.detail;

    UseDirectory(m_dir / "Bilder");
    LinuxDesktop desktop(m_runner, TableEnvironment({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/b"}}),
                         Options());
    r = desktop.SetWallpaperOn(DesktopKind::Lxqt, m_bmp);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("settings cannot be found"), std::string::npos) << r.detail;
    EXPECT_TRUE(m_runner.calls.empty());
    EXPECT_TRUE(Copies().empty());
}

// ---- no session bus ----

TEST_F(DesktopTest, WithoutASessionBusTheBusDesktopsFailBeforeAnyToolRuns) {
    m_runner.EmulateGSettings();
    m_runner.installed = {"dbus-send", "feh"};
    for (const std::string address : {"", kNoSessionBus, "autolaunch:"}) {
        EnvironmentTable env = {{"XDG_CONFIG_HOME", m_config.string()}};
        if (!address.empty()) env["DBUS_SESSION_BUS_ADDRESS"] = address;
        for (auto kind : {DesktopKind::Gnome, DesktopKind::Cinnamon, DesktopKind::Mate,
                          DesktopKind::Xfce, DesktopKind::Kde, DesktopKind::Lxqt}) {
            LinuxDesktop desktop(m_runner, TableEnvironment(env), Options());
            const auto r = desktop.SetWallpaperOn(kind, m_bmp);
            EXPECT_EQ(r.status, WallpaperStatus::Failed) << r.desktop;
            EXPECT_EQ(r.detail, "no session bus (DBUS_SESSION_BUS_ADDRESS is not set), so the " +
                                    r.desktop + " settings cannot be reached");
        }
        EXPECT_TRUE(m_runner.calls.empty()) << address;
        EXPECT_TRUE(Copies().empty());

        // The desktops that need no bus go on.
        for (auto kind : {DesktopKind::Lxde, DesktopKind::Sway, DesktopKind::X11}) {
            LinuxDesktop desktop(m_runner, TableEnvironment(env), Options());
            EXPECT_TRUE(desktop.SetWallpaperOn(kind, m_bmp).Succeeded()) << DesktopKindName(kind);
        }
        m_runner.calls.clear();
    }

    // gsettings with a backend of its own needs no bus.
    LinuxDesktop keyfile(m_runner, TableEnvironment({{"GSETTINGS_BACKEND", "keyfile"}}), Options());
    EXPECT_TRUE(keyfile.SetWallpaperOn(DesktopKind::Gnome, m_bmp).Succeeded());
}

// ---- the desktops that read the file anew ----

TEST_F(DesktopTest, LxdeSwayAndX11UseTheFileItself) {
    const std::string path = m_bmp.native();
    m_runner.installed = {"feh", "xwallpaper"};
    for (auto kind : {DesktopKind::Lxde, DesktopKind::Sway, DesktopKind::X11}) {
        const auto r = Set(kind);
        EXPECT_EQ(r.status, WallpaperStatus::Set) << DesktopKindName(kind) << ": " << r.detail;
    }
    const std::vector<Argv> expected = {
        {"pcmanfm", "--set-wallpaper", path},
        {"swaymsg", "output", "*", "bg", "\"" + path + "\"", "fill"},
        {"feh", "--no-fehbg", "--bg-fill", path},
    };
    EXPECT_EQ(m_runner.calls, expected);
    EXPECT_TRUE(Copies().empty());
}

TEST_F(DesktopTest, PlainX11UsesXwallpaperWithAPngCopyWithoutFehAndFailsWithNeither) {
    m_runner.installed = {"xwallpaper"};
    // xwallpaper cannot read bitmaps: a fake one is refused before it is called.
    auto r = Set(DesktopKind::X11);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_TRUE(m_runner.calls.empty());

    WallpaperCanvas canvas;
    canvas.Create(3, 2, 24, nullptr, 1);
    canvas.SetPixel(0, 0, 0x000000FF);
    canvas.SetPixel(2, 1, 0x00FF0000);
    canvas.SetPixel(1, 0, 0x0000FF00);
    ASSERT_EQ(canvas.Save(m_bmp), 0);
    ASSERT_TRUE(Set(DesktopKind::X11).Succeeded());
    const fs::path png = m_bmp.parent_path() / "Background.png";
    EXPECT_EQ(m_runner.calls, (std::vector<Argv>{{"xwallpaper", "--zoom", png.native()}}));
    ImageBuffer decoded;
    ASSERT_TRUE(decoded.Load(png, kFormatPng));
    ASSERT_EQ(decoded.Width(), 3);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const RgbQuad c =
                decoded.GetPixelColor(x, 1 - y);  // the buffer counts rows from the bottom
            EXPECT_EQ(PackColour(c.red, c.green, c.blue), canvas.GetPixel(x, y)) << x << "," << y;
        }
    }

    m_runner.installed.clear();
    r = Set(DesktopKind::X11);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail, "neither feh nor xwallpaper is installed");
    EXPECT_EQ(r.desktop, "plain X11");
}

TEST_F(DesktopTest, SwayRefusesAPathItWouldExpand) {
    UseDirectory(m_dir / "$(touch pwned)");
    const auto r = Set(DesktopKind::Sway);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_TRUE(m_runner.calls.empty());
}

TEST_F(DesktopTest, FailingToolsAreReportedForEveryBackend) {
    m_runner.installed = {"feh"};
    m_runner.On({"pcmanfm-qt"}, test::NotFound());
    m_runner.On({"pcmanfm"}, ProcessResult::Exit(2));
    m_runner.On({"swaymsg"}, ProcessResult::Exit(2, "Error: Invalid output\n"));
    m_runner.On({"feh"}, test::TimedOut());
    EXPECT_EQ(Set(DesktopKind::Lxqt).detail, "pcmanfm-qt --set-wallpaper: not installed");
    EXPECT_EQ(Set(DesktopKind::Lxde).detail, "pcmanfm --set-wallpaper: exit code 2");
    EXPECT_EQ(Set(DesktopKind::Sway).detail,
              "swaymsg output * bg: exit code 2: Error: Invalid output");
    const auto r = Set(DesktopKind::X11);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail, "feh --bg-fill: did not finish within the time limit and was stopped");
}

// ---- no desktop, unknown desktops, missing picture ----

TEST_F(DesktopTest, NoGraphicalSessionIsNoDesktopNotAFailure) {
    const auto r = SetWithEnv({{"HOME", "/root"}, {"TERM", "xterm"}});
    EXPECT_EQ(r.status, WallpaperStatus::NoDesktop);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_FALSE(r.detail.empty());
    EXPECT_TRUE(m_runner.calls.empty());
    EXPECT_TRUE(Copies().empty());
}

TEST_F(DesktopTest, DetectedDesktopIsTheOneAddressed) {
    m_runner.EmulateGSettings();
    auto r = SetWithEnv({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"},
                         {"WAYLAND_DISPLAY", "wayland-0"},
                         {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus"}});
    EXPECT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "GNOME");
    EXPECT_EQ(m_runner.calls.front()[2], kGnome);

    r = SetWithEnv({{"XDG_CURRENT_DESKTOP", "Hyprland"}, {"WAYLAND_DISPLAY", "wayland-1"}});
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail, "the Wayland compositor 'Hyprland' is not one whose wallpaper can be set");
}

TEST_F(DesktopTest, MissingPictureFailsWithoutRunningAnything) {
    fs::remove(m_bmp);
    m_runner.EmulateGSettings();
    const auto r = Set(DesktopKind::Gnome);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("does not exist"), std::string::npos);
    EXPECT_TRUE(m_runner.calls.empty());
    fs::create_directory(m_bmp);  // a directory of that name is no picture either
    EXPECT_EQ(Set(DesktopKind::X11).status, WallpaperStatus::Failed);
}

TEST_F(DesktopTest, UnwritableDirectoryFailsCleanly) {
    fs::permissions(m_dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    // Root writes everywhere, so the hand-over runs as an ordinary user.
    EXPECT_TRUE(test::AsUnprivilegedUser({m_dir.path()}, [&] {
        const auto r = Set(DesktopKind::Gnome);
        return r.status == WallpaperStatus::Failed &&
               r.detail.find("could not copy") != std::string::npos && m_runner.calls.empty();
    }));
    fs::permissions(m_dir.path(), fs::perms::owner_all);
}

// ---- the program that draws the desktop ----

std::string StoredReason(const std::string& who) {
    return who + " is not running: the picture is stored and will show when it starts";
}

// Each desktop whose tools store the picture whether or not anything draws it: with its
// drawing program on the bus or as a desktop window the picture is set; without, it is stored
// and the reason says so; where neither can be looked at, the tools' word is taken.
TEST_F(DesktopTest, EachDesktopIsSetOnlyWhileItsDrawingProgramRuns) {
    struct Case {
        DesktopKind kind;
        std::string who;
        std::vector<std::string> busNames;  // each alone makes it Set
        std::string windowClass;            // a desktop window of this class makes it Set
    };
    const std::vector<Case> cases = {
        {DesktopKind::Xfce, "XFCE's desktop (xfdesktop)", {"org.xfce.xfdesktop"}, "xfdesktop"},
        {DesktopKind::Mate,
         "MATE's desktop (caja)",
         {"org.mate.Caja", "org.mate.SettingsDaemon"},
         "Caja"},
        {DesktopKind::Gnome,
         "GNOME's shell (gnome-shell)",
         {"org.gnome.Shell", "org.gnome.Mutter.DisplayConfig"},
         ""},
        {DesktopKind::Cinnamon, "Cinnamon's desktop (cinnamon)", {"org.Cinnamon"}, "nemo-desktop"},
        {DesktopKind::Lxde, "LXDE's desktop (pcmanfm --desktop)", {}, "pcmanfm"},
    };
    const std::vector<std::string> strangers = {"org.xfce.Xfconf", "ca.desrt.dconf",
                                                "org.gnome.Shell.Extensions", "org.Cinnamon2"};
    for (const auto& c : cases) {
        SCOPED_TRACE(DesktopKindName(c.kind));
        const auto fresh = [&] {
            m_runner = RecordingRunner();
            m_runner.EmulateGSettings();
            m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-l", "-v"},
                        ProcessResult::Exit(0, kXfconfListing));
        };

        // Nothing draws: the picture is stored, the run says so, and the copy the settings
        // now name stays while the older ones go.
        fresh();
        test::WriteBytes(m_dir / "Background-5.bmp", "older copy");
        BusWith(strangers);
        WindowsWith({{"0x600003", "openbox", false}, {"0x400001", "xterm", false}});
        auto r = Set(c.kind);
        EXPECT_EQ(r.status, WallpaperStatus::Stored) << r.detail;
        EXPECT_FALSE(r.Succeeded());
        EXPECT_EQ(r.detail, StoredReason(c.who));
        if (LinuxDesktop::NeedsFreshCopy(c.kind)) {
            EXPECT_NE(OnlyCopy(), m_dir / "Background-5.bmp");
            for (const auto& copy : Copies()) fs::remove(copy);
        }
        // Bottom-up, the first window that is no desktop ends the search.
        if (c.windowClass.empty()) {
            EXPECT_TRUE(m_runner.CallsOf("xprop").empty());
        } else {
            EXPECT_EQ(m_runner.CallsOf("xprop").size(), 2u);
        }

        for (const auto& name : c.busNames) {
            fresh();
            BusWith({"org.xfce.Xfconf", name});
            r = Set(c.kind);
            EXPECT_EQ(r.status, WallpaperStatus::Set) << name << ": " << r.detail;
            EXPECT_TRUE(m_runner.CallsOf("xprop").empty()) << "the bus answered already";
        }
        if (!c.windowClass.empty()) {
            fresh();
            BusWith(strangers);
            WindowsWith({{"0x1a00004", c.windowClass, true}, {"0x600003", "openbox", false}});
            r = Set(c.kind);
            EXPECT_EQ(r.status, WallpaperStatus::Set) << r.detail;
        }
        for (const auto& copy : Copies()) fs::remove(copy);

        // Neither the bus nor the X server can be asked: the tools' word stands.
        fresh();
        EXPECT_EQ(Set(c.kind).status, WallpaperStatus::Set);
        fresh();
        m_runner.installed = {"dbus-send", "xprop"};
        m_runner.On({"dbus-send"}, ProcessResult::Exit(1, "", "Failed to open connection"));
        m_runner.On({"xprop"}, ProcessResult::Exit(1, "", "unable to open display"));
        EXPECT_EQ(Set(c.kind).status, WallpaperStatus::Set);
        fresh();
        // A reply without the bus's own name is no list of names; a window manager without the
        // EWMH lists lists nothing.
        m_runner.installed = {"dbus-send", "xprop"};
        m_runner.On({"dbus-send"}, ProcessResult::Exit(0, "Error org.freedesktop.DBus"));
        m_runner.On({"xprop", "-root"},
                    ProcessResult::Exit(0,
                                        "_NET_CLIENT_LIST_STACKING:  not found.\n"
                                        "_NET_CLIENT_LIST:  not found.\n"));
        EXPECT_EQ(Set(c.kind).status, WallpaperStatus::Set);
        for (const auto& copy : Copies()) fs::remove(copy);
    }
}

TEST_F(DesktopTest, BusNamesAreReadFromGdbusWithoutDbusSend) {
    m_runner.EmulateGSettings();
    m_runner.installed = {"gdbus"};
    m_runner.On({"gdbus", "call", "--session"},
                ProcessResult::Exit(0, "(['org.freedesktop.DBus', ':1.0', 'org.gnome.Shell'],)\n"));
    EXPECT_EQ(Set(DesktopKind::Gnome).status, WallpaperStatus::Set);
    EXPECT_EQ(m_runner.CallsOf("gdbus").back(),
              (Argv{"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                    "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.ListNames"}));
    m_runner.On({"gdbus", "call", "--session"},
                ProcessResult::Exit(0, "(['org.freedesktop.DBus', ':1.0'],)\n"));
    const auto r = Set(DesktopKind::Gnome);
    EXPECT_EQ(r.status, WallpaperStatus::Stored);
    EXPECT_EQ(r.detail, StoredReason("GNOME's shell (gnome-shell)"));
}

TEST_F(DesktopTest, UnityIsNotLookedAtForGnomeShell) {
    m_runner.EmulateGSettings();
    BusWith({"org.ayatana.bamf"});
    m_extraEnv["XDG_CURRENT_DESKTOP"] = "Unity:Unity7:ubuntu";
    EXPECT_EQ(Set(DesktopKind::Gnome).status, WallpaperStatus::Set);
    EXPECT_TRUE(m_runner.CallsOf("dbus-send").empty());
    m_extraEnv["XDG_CURRENT_DESKTOP"] = "ubuntu:GNOME";
    EXPECT_EQ(Set(DesktopKind::Gnome).status, WallpaperStatus::Stored);
}

TEST_F(DesktopTest, PlasmaWithoutPlasmashellIsNotAskedAndStoresNothing) {
    BusWith({"org.kde.kwin", "org.kde.KWin"});
    const auto r = Set(DesktopKind::Kde);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail,
              "KDE Plasma's desktop (plasmashell) is not running, so the picture could not be "
              "handed to it");
    EXPECT_EQ(m_runner.calls.size(), 1u) << "only the bus was asked";
    EXPECT_TRUE(Copies().empty());

    BusWith({"org.kde.plasmashell"});
    ASSERT_EQ(Set(DesktopKind::Kde).status, WallpaperStatus::Set);
    EXPECT_EQ(m_runner.calls.back()[4], "--dest=org.kde.plasmashell");
}

// A plain X11 session whose root window a desktop window covers: the picture goes that
// desktop's way, not onto the root window nobody sees.
TEST_F(DesktopTest, PlainX11WithADesktopWindowTakesThatDesktopsWay) {
    m_runner.installed = {"feh"};
    m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-l", "-v"},
                ProcessResult::Exit(0, kXfconfListing));
    // pcmanfm-qt's desktop (its settings are checked as on LXQt)
    WindowsWith({{"0x1400003", "pcmanfm-qt", true}, {"0x600003", "xterm", false}});
    m_runner.On({"pcmanfm-qt"}, [this](const Argv& a) {
        const fs::path settings = m_config / "pcmanfm-qt" / "default" / "settings.conf";
        fs::create_directories(settings.parent_path());
        test::WriteBytes(settings, "[Desktop]\nWallpaper=" + a[2] + "\nWallpaperMode=zoom\n");
        return ProcessResult::Exit(0);
    });
    auto r = SetWithEnv(SessionEnv());
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "LXQt");
    EXPECT_EQ(m_runner.CallsOf("pcmanfm-qt").size(), 1u);
    EXPECT_TRUE(m_runner.CallsOf("feh").empty());
    for (const auto& copy : Copies()) fs::remove(copy);

    // xfdesktop, found as XFCE and checked as XFCE.
    m_runner = RecordingRunner();
    m_runner.installed = {"feh"};
    m_runner.On({"xfconf-query", "-c", "xfce4-desktop", "-l", "-v"},
                ProcessResult::Exit(0, kXfconfListing));
    WindowsWith({{"0x1400003", "xfdesktop", true}});
    r = SetWithEnv(SessionEnv());
    ASSERT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "XFCE");
    EXPECT_EQ(m_runner.CallsOf("xfconf-query").size(), 5u);
    EXPECT_TRUE(m_runner.CallsOf("feh").empty());

    // A desktop window of a desktop we cannot address: the root window would not show it.
    m_runner = RecordingRunner();
    m_runner.installed = {"feh"};
    WindowsWith({{"0x1400003", "my-desktop", true}});
    r = SetWithEnv(SessionEnv());
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail,
              "a desktop window of 'my-desktop' covers the root window, so a picture set there "
              "would not be seen, and its desktop is not one whose wallpaper can be set");
    EXPECT_TRUE(m_runner.CallsOf("feh").empty());

    // No desktop window: the root window it is; the search ends at the bottom-most window.
    m_runner = RecordingRunner();
    m_runner.installed = {"feh"};
    WindowsWith({{"0x600003", "xterm", false}, {"0x1400003", "xfdesktop", true}});
    r = SetWithEnv(SessionEnv());
    EXPECT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "plain X11");
    EXPECT_EQ(m_runner.CallsOf("feh").size(), 1u);
    EXPECT_EQ(m_runner.CallsOf("xprop").size(), 2u);

    // Without the stacking order every listed window is looked at.
    m_runner = RecordingRunner();
    m_runner.installed = {"feh", "dbus-send"};
    m_runner.On({"xprop", "-root"},
                ProcessResult::Exit(0,
                                    "_NET_CLIENT_LIST_STACKING:  not found.\n"
                                    "_NET_CLIENT_LIST(WINDOW): window id # 0x600003, 0x1400003\n"));
    m_runner.On({"xprop", "-id", "0x600003"},
                ProcessResult::Exit(0, "WM_CLASS(STRING) = \"xterm\", \"XTerm\"\n"));
    m_runner.On({"xprop", "-id", "0x1400003"},
                ProcessResult::Exit(0,
                                    "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOP\n"
                                    "WM_CLASS(STRING) = \"desktop_window\", \"Caja\"\n"));
    m_runner.installed.insert("xprop");
    m_runner.EmulateGSettings();
    r = SetWithEnv(SessionEnv());
    EXPECT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(r.desktop, "MATE");
}

TEST_F(DesktopTest, XpropWithoutAnAnswerLeavesTheRootWindowsWay) {
    m_runner.installed = {"xprop", "feh"};
    m_runner.On({"xprop"}, test::TimedOut());
    const auto r = SetWithEnv(SessionEnv());
    // No answer is no desktop window: the root window's tool decides.
    EXPECT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_EQ(m_runner.CallsOf("feh").size(), 1u);
}

// ---- sway and its swaybg ----

class SwayTest : public DesktopTest {
protected:
    SwayTest() {
        m_proc = m_procDir / "proc";
        fs::create_directories(m_proc);
        FakeProcess(m_proc, 1, "sway", {"sway"});
    }
    ~SwayTest() override {
        if (m_starter.joinable()) m_starter.join();
    }
    // sway starts swaybg for the picture after delay, as a new process.
    void SwayStartsSwaybg(std::chrono::milliseconds delay, int pid) {
        m_runner.On({"swaymsg"}, [this, delay, pid](const Argv& a) {
            m_starter = std::thread([this, delay, pid, path = m_bmp.native()] {
                std::this_thread::sleep_for(delay);
                FakeProcess(m_proc, pid, "swaybg",
                            {"swaybg", "-o", "*", "-i", path, "-m", "fill", "-c", "#000000"});
            });
            (void)a;
            return ProcessResult::Exit(0);
        });
    }
    std::thread m_starter;
};

TEST_F(SwayTest, SuccessOnceANewSwaybgShowsThePicture) {
    // The swaybg of the previous run shows the same path: it is not the new one.
    FakeProcess(m_proc, 40, "swaybg", {"swaybg", "-o", "*", "-i", m_bmp.native(), "-m", "fill"});
    SwayStartsSwaybg(300ms, 41);
    const auto start = std::chrono::steady_clock::now();
    const auto r = Set(DesktopKind::Sway);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, WallpaperStatus::Set) << r.detail;
    EXPECT_GE(took, 250ms) << "reported before swaybg ran";
    EXPECT_LT(took, 1500ms);
}

TEST_F(SwayTest, WithoutANewSwaybgItFailsAfterTheWait) {
    m_settle = 300ms;
    FakeProcess(m_proc, 40, "swaybg", {"swaybg", "-i", m_bmp.native()});
    // Look-alikes: a zombie, another picture, another program, the path only as its name.
    FakeProcess(m_proc, 50, "swaybg", {"swaybg", "-i", m_bmp.native()}, 'Z');
    FakeProcess(m_proc, 51, "swaybg", {"swaybg", "-i", "/other.png"});
    FakeProcess(m_proc, 52, "feh", {"feh", m_bmp.native()});
    FakeProcess(m_proc, 53, "swaybg", {m_bmp.native()});
    m_runner.On({"swaymsg"}, [this](const Argv&) {
        fs::remove_all(m_proc / "40");  // sway ends the old one and cannot start another
        return ProcessResult::Exit(0);
    });
    const auto r = Set(DesktopKind::Sway);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_TRUE(std::regex_match(r.detail, std::regex("sway took the picture, but no swaybg "
                                                      "showed it within [0-9]+ ms \\(is swaybg "
                                                      "installed\\?\\): the background stays "
                                                      "as it is")))
        << r.detail;
}

TEST_F(SwayTest, TheWaitKeepsToTheOverallTimeAndEndsOnAStop) {
    m_settle = 60s;
    m_runner.On({"swaymsg"}, ProcessResult::Exit(0));
    LinuxDesktop::Options options = Options();
    options.total = 400ms;
    LinuxDesktop desktop(m_runner, TableEnvironment(SessionEnv()), options);
    auto start = std::chrono::steady_clock::now();
    auto r = desktop.SetWallpaperOn(DesktopKind::Sway, m_bmp);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);

    std::stop_source stop;
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    start = std::chrono::steady_clock::now();
    r = Set(DesktopKind::Sway, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(r.status, WallpaperStatus::Cancelled) << r.detail;
}

// ---- what the bus, the X server and /proc say ----

TEST(DrawingClientText, BusNamesOfBothToolsAndNothingElse) {
    EXPECT_EQ(ParseBusNames("method return time=1 sender=org.freedesktop.DBus -> dest=:1.2\n"
                            "   array [\n      string \"org.freedesktop.DBus\"\n"
                            "      string \":1.7\"\n      string \"org.xfce.xfdesktop\"\n   ]\n"),
              (std::vector<std::string>{"org.freedesktop.DBus", ":1.7", "org.xfce.xfdesktop"}));
    EXPECT_EQ(ParseBusNames("(['org.freedesktop.DBus', 'org.mate.Caja'],)\n"),
              (std::vector<std::string>{"org.freedesktop.DBus", "org.mate.Caja"}));
    // No name has blanks, quotes or slashes; an unclosed quote ends the list.
    EXPECT_EQ(ParseBusNames("'a b' \"\" '/x' 'ok.name' 'open"),
              (std::vector<std::string>{"ok.name"}));
    EXPECT_TRUE(ParseBusNames("'" + std::string(300, 'a') + "'").empty());
    EXPECT_TRUE(ParseBusNames("").empty());
}

TEST(DrawingClientText, WindowListsAndWindows) {
    const std::string root =
        "_NET_CLIENT_LIST_STACKING(WINDOW): window id # 0x1400003, 0x600003,0xzz, 0x123456789ab\n"
        "_NET_CLIENT_LIST(WINDOW): window id # 0x600003\n";
    auto list = ParseXpropWindowList(root, "_NET_CLIENT_LIST_STACKING");
    EXPECT_TRUE(list.found);
    EXPECT_EQ(list.ids, (std::vector<std::string>{"0x1400003", "0x600003"}));
    list = ParseXpropWindowList(root, "_NET_CLIENT_LIST");
    EXPECT_EQ(list.ids, (std::vector<std::string>{"0x600003"}));
    list = ParseXpropWindowList("_NET_CLIENT_LIST_STACKING:  not found.\n",
                                "_NET_CLIENT_LIST_STACKING");
    EXPECT_FALSE(list.found);
    std::string many = "_NET_CLIENT_LIST(WINDOW): window id # ";
    for (int i = 0; i < 5000; ++i) many += "0x1, ";
    EXPECT_EQ(ParseXpropWindowList(many, "_NET_CLIENT_LIST").ids.size(), WindowList::kMaxWindows);

    auto w = ParseXpropWindow(
        "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DOCK, _NET_WM_WINDOW_TYPE_DESKTOP\n"
        "WM_CLASS(STRING) = \"a \\\"q\\\" b\", \"Xfdesktop\"\n");
    EXPECT_TRUE(w.desktop);
    EXPECT_EQ(w.classes, (std::vector<std::string>{"a \"q\" b", "Xfdesktop"}));
    w = ParseXpropWindow("_NET_WM_WINDOW_TYPE:  not found.\nWM_CLASS(STRING) = \"open");
    EXPECT_FALSE(w.desktop);
    EXPECT_TRUE(w.classes.empty());
    w = ParseXpropWindow("_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOPX\n");
    EXPECT_FALSE(w.desktop);

    EXPECT_EQ(DesktopOfWindowClass({"desktop_window", "Caja"}), DesktopKind::Mate);
    EXPECT_EQ(DesktopOfWindowClass({"pcmanfm-qt", "pcmanfm-qt"}), DesktopKind::Lxqt);
    EXPECT_EQ(DesktopOfWindowClass({"xfdesktop", "Xfdesktop"}), DesktopKind::Xfce);
    EXPECT_EQ(DesktopOfWindowClass({"pcmanfm", "Pcmanfm"}), DesktopKind::Lxde);
    EXPECT_EQ(DesktopOfWindowClass({"xterm", "XTerm"}), DesktopKind::X11);
    EXPECT_EQ(DesktopOfWindowClass({}), DesktopKind::X11);
}

TEST(DrawingClientText, ProcessesByNameAndArgument) {
    test::TempDir proc;
    FakeProcess(proc.path(), 7, "swaybg", {"swaybg", "-i", "/p/B.bmp"});
    FakeProcess(proc.path(), 8, "swaybg", {"swaybg", "-i", "/p/B.bmp"}, 'Z');
    FakeProcess(proc.path(), 9, "other", {"swaybg", "-i", "/p/B.bmp"});
    FakeProcess(proc.path(), 10, "swaybg", {"/p/B.bmp"});
    FakeProcess(proc.path(), 11, "swaybg", {"swaybg", "-i", "/p/B.bmp.tmp"});
    FakeProcess(proc.path(), 12, "swaybg", {"swaybg", "-i", "/q/real.bmp"});
    test::WriteBytes(proc / "13" / "x", "");  // a process without its files
    fs::create_directories(proc / "self");
    EXPECT_EQ(FindProcessesWithArgument(proc.path(), "swaybg", {"/p/B.bmp", "/q/real.bmp"}),
              (std::vector<int>{7, 12}));
    EXPECT_TRUE(FindProcessesWithArgument(proc / "absent", "swaybg", {"/p/B.bmp"}).empty());
}

// ---- with real child processes ----

class RealToolTest : public DesktopTest {
protected:
    RealToolTest() { fs::create_directories(m_bin.path()); }
    void FakeTool(const std::string& name, const std::string& body) {
        const fs::path tool = m_bin / name;
        test::WriteBytes(tool, "#!/bin/sh\n" + body + "\n");
        fs::permissions(tool, fs::perms::owner_all);
    }
    test::TempDir m_bin;
    test::ScopedEnv m_path{"PATH", m_bin.path().string() + ":" + std::getenv("PATH")};
};

TEST_F(RealToolTest, HangingToolIsStoppedAndReported) {
    FakeTool("gsettings", "exec sleep 30");
    const auto runner = test::SystemRunner();
    LinuxDesktop desktop(*runner,
                         TableEnvironment({{"XDG_CURRENT_DESKTOP", "GNOME"},
                                           {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/b"}}),
                         {200ms});
    const auto start = std::chrono::steady_clock::now();
    const auto r = desktop.SetWallpaper(m_bmp, {});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("time limit"), std::string::npos) << r.detail;
    EXPECT_TRUE(Copies().empty());
}

// Each of XFCE's properties hangs: every step gets only what is left of the overall time, so
// the hand-over ends near that, not after one full time limit per property.
TEST_F(RealToolTest, AHandOverOfManyHangingStepsKeepsToItsOverallTime) {
    FakeTool("xfconf-query",
             "case \"$*\" in *' -l'*) printf '%s\\n' "
             "'/backdrop/screen0/monitor0/workspace0/last-image a' "
             "'/backdrop/screen0/monitor1/workspace0/last-image b' "
             "'/backdrop/screen0/monitor2/workspace0/last-image c';; *) exec sleep 30;; esac");
    const auto runner = test::SystemRunner();
    LinuxDesktop::Options options;
    options.timeout = 20s;
    options.total = 400ms;
    LinuxDesktop desktop(*runner, TableEnvironment(SessionEnv()), options);
    const auto start = std::chrono::steady_clock::now();
    const auto r = desktop.SetWallpaperOn(DesktopKind::Xfce, m_bmp);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("time limit"), std::string::npos) << r.detail;
}

// The look for xfdesktop hangs after xfconf took the picture: it ends with the overall time,
// and a look that gave no answer leaves the tools' word.
TEST_F(RealToolTest, AHangingLookForTheDrawingProgramKeepsToTheOverallTime) {
    FakeTool("xfconf-query",
             "case \"$*\" in *' -l'*) echo '/backdrop/screen0/monitor0/workspace0/last-image "
             "a';; esac");
    FakeTool("dbus-send", "exec sleep 30");
    FakeTool("xprop", "exec sleep 30");
    const auto runner = test::SystemRunner();
    LinuxDesktop::Options options;
    options.timeout = 20s;
    options.total = 600ms;
    LinuxDesktop desktop(*runner, TableEnvironment(SessionEnv()), options);
    const auto start = std::chrono::steady_clock::now();
    const auto r = desktop.SetWallpaperOn(DesktopKind::Xfce, m_bmp);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(r.status, WallpaperStatus::Set) << r.detail;
}

TEST_F(RealToolTest, AStopRequestEndsAHangingToolAtOnce) {
    FakeTool("gsettings", "exec sleep 30");
    const auto runner = test::SystemRunner();
    EnvironmentTable env = SessionEnv();
    env["XDG_CURRENT_DESKTOP"] = "GNOME";
    LinuxDesktop desktop(*runner, TableEnvironment(env), {20s});
    std::stop_source stop;
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const auto r = desktop.SetWallpaper(m_bmp, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(r.status, WallpaperStatus::Cancelled) << r.detail;
    EXPECT_TRUE(Copies().empty());
}

TEST_F(RealToolTest, FailingAndMissingToolsAreReported) {
    FakeTool("pcmanfm", "echo \"cannot open display: $2\" >&2; exit 1");
    const auto runner = test::SystemRunner();
    LinuxDesktop desktop(*runner, TableEnvironment({}), {5s});
    auto r = desktop.SetWallpaperOn(DesktopKind::Lxde, m_bmp);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_EQ(r.detail,
              "pcmanfm --set-wallpaper: exit code 1: cannot open display: " + m_bmp.native());

    // The runner looks programs up on the PATH it was made with.
    test::ScopedEnv onlyBin("PATH", m_bin.path().string());
    const auto onlyBinRunner = test::SystemRunner();
    LinuxDesktop onlyBinDesktop(*onlyBinRunner, TableEnvironment(SessionEnv()), {5s});
    r = onlyBinDesktop.SetWallpaperOn(DesktopKind::Lxqt, m_bmp);
    EXPECT_EQ(r.detail, "pcmanfm-qt --set-wallpaper: not installed");
}

TEST_F(RealToolTest, FehGetsTheArgumentsUnchanged) {
    UseDirectory(m_dir / "a 'b' \"c\" $(d) \\e");
    const fs::path log = m_dir / "args";
    FakeTool("feh", "for a in \"$@\"; do printf '%s|' \"$a\"; done > '" + log.string() + "'");
    const auto runner = test::SystemRunner();
    LinuxDesktop desktop(*runner, TableEnvironment({{"DISPLAY", ":0"}}), {5s});
    ASSERT_TRUE(desktop.SetWallpaper(m_bmp, {}).Succeeded());
    EXPECT_EQ(test::ReadBytes(log), "--no-fehbg|--bg-fill|" + m_bmp.native() + "|");
}

}  // namespace
}  // namespace tavolin
