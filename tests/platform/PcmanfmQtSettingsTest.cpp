// Reading pcmanfm-qt's settings as QSettings does: the escapes Qt 5 and Qt 6 write, groups,
// comments and lists, and files that are no settings at all.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "Qt5IniEscape.h"
#include "TrickyPaths.h"
#include "platform/linux/PcmanfmQtSettings.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> Wallpaper(const std::string& text) {
    return PcmanfmQtDesktopValue(text, "Wallpaper");
}

TEST(PcmanfmQtSettings, ValuesOfTheDesktopGroupOnly) {
    const std::string text =
        "[Behavior]\nWallpaper=/not/this.png\n\n"
        "; a comment\r\n"
        "[Desktop]\r\n"
        "  WallpaperMode  =  zoom  \r\n"
        "Wallpaper=/home/u/.local/share/Tavolin/Background-17.bmp\r\n"
        "[DesktopX]\nWallpaper=/nor/this.png\n";
    EXPECT_EQ(Wallpaper(text), "/home/u/.local/share/Tavolin/Background-17.bmp");
    EXPECT_EQ(PcmanfmQtDesktopValue(text, "WallpaperMode"), "zoom");
    EXPECT_EQ(PcmanfmQtDesktopValue(text, "BgColor"), std::nullopt);
    EXPECT_EQ(Wallpaper("[Behavior]\nWallpaper=/a.png\n"), std::nullopt);
    EXPECT_EQ(Wallpaper("Wallpaper=/a.png\n"), std::nullopt);
    EXPECT_EQ(Wallpaper(""), std::nullopt);
    // A group given twice, a key given twice: the last one counts.
    EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=/a\n[Other]\nx=1\n[Desktop]\nWallpaper=/b"), "/b");
}

// What Qt 5 writes for awkward characters, spelled out by hand.
TEST(PcmanfmQtSettings, Qt5EscapesAreDecoded) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"(/home/M\xfcller/B\xe4\x64\x65r.bmp)",
         "/home/M\xC3\xBCller/B\xC3\xA4"
         "der.bmp"},
        {R"(/\x20ac\x31/\xd83d\xde00.bmp)",
         "/\xE2\x82\xAC"
         "1/\xF0\x9F\x98\x80.bmp"},
        {R"("/a;b,c=d.bmp")", "/a;b,c=d.bmp"},
        {R"(" /lead and trail ")", " /lead and trail "},
        {R"(/q\"uote\\back\tt\n\r\a\b\f\v\?\'.bmp)", "/q\"uote\\back\tt\n\r\a\b\f\v?'.bmp"},
        {R"(/ctl\x1\x7f\0\x31.bmp)", std::string("/ctl\x01\x7F") + '\0' + "1.bmp"},
        {R"(/oct\101\60.bmp)", "/octA0.bmp"},
        {R"(/unknown\qescape)", "/unknownescape"},
        {"/plain   ", "/plain"},
        {R"(/kept\t )", "/kept\t"},
        {"/raw UTF-8 M\xC3\xBCller", "/raw UTF-8 M\xC3\xBCller"},
        {"/comment ; after", "/comment"},
        {R"("/in;quotes" ; then a comment)", "/in;quotes"},
        {"@@at", "@at"},
        {"@String(/typed)", "/typed"},
        {"@odd)", "@odd)"},
        {"", ""},
    };
    for (const auto& [stored, expected] : cases) {
        EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=" + stored + "\n"), expected) << stored;
    }
    // A line continued after an escaped break.
    EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=/one\\\r\n/two\nWallpaperMode=fit\n"), "/one/two");
}

TEST(PcmanfmQtSettings, ListsTypedValuesAndBrokenEscapesAreNoPath) {
    EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=/a,/b\n"), std::nullopt);
    EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=@ByteArray(/a)\n"), std::nullopt);
    EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=@Variant(\\0\\0\\0\\x7f)\n"), std::nullopt);
    // Surrogates without their partner, escapes cut off, an unclosed quote.
    EXPECT_EQ(Wallpaper(R"([Desktop]
Wallpaper=/\xd83d/\xde00/\x/x\)"),
              "/?/?//x");
    // An unclosed quote goes on to the end, over line breaks.
    EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=\"/open ; no comment\nMode=1"),
              "/open ; no comment\nMode=1");
    // Very long escapes keep the low 16 bits, as QChar does.
    EXPECT_EQ(Wallpaper("[Desktop]\nWallpaper=\\x" + std::string(10000, 'f') + "0041\n"), "A");
}

// Every path Qt 5 writes reads back unchanged.
TEST(PcmanfmQtSettings, WhatQt5WritesReadsBack) {
    for (const auto& path : test::TrickyWallpaperPaths()) {
        const std::string text = "[Desktop]\nWallpaper=" + test::Qt5IniEscape(path) + "\n";
        EXPECT_EQ(Wallpaper(text), path) << text;
    }
}

TEST(PcmanfmQtSettings, FilesAreLookedForWhereQtKeepsThem) {
    const auto files = PcmanfmQtSettingsFiles(
        TableEnvironment({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}}));
    EXPECT_EQ(files, (std::vector<fs::path>{"/cfg/pcmanfm-qt/lxqt/settings.conf",
                                            "/cfg/pcmanfm-qt/default/settings.conf"}));
    // A relative XDG_CONFIG_HOME is ignored.
    EXPECT_EQ(
        PcmanfmQtSettingsFiles(TableEnvironment({{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/u"}}))
            .front(),
        fs::path("/home/u/.config/pcmanfm-qt/lxqt/settings.conf"));
    EXPECT_TRUE(PcmanfmQtSettingsFiles(TableEnvironment({})).empty());
}

TEST(PcmanfmQtSettings, OnlyRegularFilesOfBoundedSizeAreRead) {
    test::TempDir dir;
    const fs::path file = dir / "settings.conf";
    test::WriteBytes(file, "[Desktop]\nWallpaper=/a.bmp\n");
    EXPECT_EQ(ReadPcmanfmQtDesktopValue(file, "Wallpaper"), "/a.bmp");
    EXPECT_EQ(ReadPcmanfmQtDesktopValue(dir / "missing.conf", "Wallpaper"), std::nullopt);
    EXPECT_EQ(ReadPcmanfmQtDesktopValue(dir.path(), "Wallpaper"), std::nullopt);

    // A FIFO is refused at once instead of waited on.
    const fs::path fifo = dir / "fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadPcmanfmQtDesktopValue(fifo, "Wallpaper"), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // Too large: not read at all, even with the value at its start.
    std::string big = "[Desktop]\nWallpaper=/a.bmp\n";
    big.resize(kMaxPcmanfmQtSettingsSize + 1, '\n');
    test::WriteBytes(file, big);
    EXPECT_EQ(ReadPcmanfmQtDesktopValue(file, "Wallpaper"), std::nullopt);
}

}  // namespace
}  // namespace tavolin
