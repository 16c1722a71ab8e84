// Each desktop backend with a recording runner: the exact commands it issues, how it treats
// their failures, and the fresh copies it hands to desktops that cache by name.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <stop_token>
#include <thread>

#include "DecodeUri.h"
#include "RecordingRunner.h"
#include "ScopedEnv.h"
#include "image/ImageBuffer.h"
#include "platform/linux/FreshCopy.h"
#include "platform/linux/LinuxDesktop.h"
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

    WallpaperResult Set(DesktopKind kind) {
        LinuxDesktop desktop(m_runner, TableEnvironment({}), {1234ms});
        return desktop.SetWallpaperOn(kind, m_bmp);
    }

    WallpaperResult SetWithEnv(std::map<std::string, std::string> env) {
        LinuxDesktop desktop(m_runner, TableEnvironment(std::move(env)), {1234ms});
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
};

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
    const std::vector<Argv> expected = {{"dbus-send", "--session", "--type=method_call",
                                         "--print-reply", "--dest=org.kde.plasmashell",
                                         "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
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

// ---- the desktops that read the file anew ----

TEST_F(DesktopTest, LxqtLxdeSwayAndX11UseTheFileItself) {
    const std::string path = m_bmp.native();
    m_runner.installed = {"feh", "xwallpaper"};
    for (auto kind : {DesktopKind::Lxqt, DesktopKind::Lxde, DesktopKind::Sway, DesktopKind::X11}) {
        const auto r = Set(kind);
        EXPECT_EQ(r.status, WallpaperStatus::Set) << DesktopKindName(kind) << ": " << r.detail;
    }
    const std::vector<Argv> expected = {
        {"pcmanfm-qt", "--set-wallpaper", path},
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
    auto r =
        SetWithEnv({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}, {"WAYLAND_DISPLAY", "wayland-0"}});
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
    LinuxDesktop desktop(*runner, TableEnvironment({{"XDG_CURRENT_DESKTOP", "GNOME"}}), {200ms});
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
    LinuxDesktop desktop(*runner, TableEnvironment({}), options);
    const auto start = std::chrono::steady_clock::now();
    const auto r = desktop.SetWallpaperOn(DesktopKind::Xfce, m_bmp);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(r.status, WallpaperStatus::Failed);
    EXPECT_NE(r.detail.find("time limit"), std::string::npos) << r.detail;
}

TEST_F(RealToolTest, AStopRequestEndsAHangingToolAtOnce) {
    FakeTool("gsettings", "exec sleep 30");
    const auto runner = test::SystemRunner();
    LinuxDesktop desktop(*runner, TableEnvironment({{"XDG_CURRENT_DESKTOP", "GNOME"}}), {20s});
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
    LinuxDesktop onlyBinDesktop(*onlyBinRunner, TableEnvironment({}), {5s});
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
