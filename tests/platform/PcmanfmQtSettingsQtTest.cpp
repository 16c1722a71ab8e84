// Our reader of pcmanfm-qt's settings against Qt's own QSettings: what Qt writes reads back
// unchanged, and on hand-made files both read the same value.

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <QVariant>

#include "TrickyPaths.h"
#include "platform/linux/PcmanfmQtSettings.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;


TEST(PcmanfmQtSettingsAgainstQt, WhatQSettingsWritesReadsBack) {
    test::TempDir dir;
    const fs::path file = dir / "settings.conf";
    for (const auto& path : test::TrickyWallpaperPaths()) {
        {
            QSettings settings(QString::fromStdString(file.string()), QSettings::IniFormat);
            settings.setValue("Behavior/Wallpaper", "/not/this");
            settings.beginGroup("Desktop");
            settings.setValue("Wallpaper", QString::fromUtf8(path.data(), path.size()));
            settings.setValue("WallpaperMode", "none");
            settings.endGroup();
            settings.sync();
            ASSERT_EQ(settings.status(), QSettings::NoError);
        }
        EXPECT_EQ(ReadPcmanfmQtDesktopValue(file, "Wallpaper"), path) << test::ReadBytes(file);
        EXPECT_EQ(ReadPcmanfmQtDesktopValue(file, "WallpaperMode"), "none");
    }
}

// Files no Qt wrote: whatever Qt makes of them as a plain string, so do we; what it reads as a
// list or a typed value is no path for us.
TEST(PcmanfmQtSettingsAgainstQt, HandMadeFilesReadAsQtReadsThem) {
    const std::vector<std::string> values = {
        "/plain",
        "  /blanks around  ",
        "/comment ; after",
        "\"/quoted ; kept\" ; comment",
        "\"/open quote",
        "/a,/b",
        "\"/a,/b\"",
        R"(/esc\x41\101\q\n\t\"\\)",
        R"(/surrogates\xd83d\xde00 \xd83d \xde00)",
        R"(/long\x00000041)",
        "/cont\\\n/inued",
        "@@/x",
        "@String(/y)",
        "/raw \xC3\xA4",
        "",
    };
    std::vector<std::string> files;
    for (const auto& value : values) {
        files.push_back("[General]\nx=1\n\n[Desktop]\nWallpaper=" + value + "\nMode=1\n");
    }
    for (const char* whole : {
             "[Desktop]\nWallpaper=/first\nWallpaper=/second\n",
             "[Desktop]\nWallpaper=/first\n[Other]\n[Desktop]\nWallpaper=/second\n",
             "[Other]\nx=\"unbalanced\n[Desktop]\nWallpaper=/swallowed\n",
             "  [Desktop]  \n  Wallpaper  =  /indented  \n",
             "[Desktop] ; comment\nWallpaper=/after\n",
             "[desktop]\nWallpaper=/lower-case group\n",
             "[Desktop]\nwallpaper=/lower-case key\n",
             "; [Desktop]\nWallpaper=/commented group\n",
             "[Desktop]\r\nWallpaper=/crlf\r\n",
             "[Desktop]\rWallpaper=/cr\r",
             "[Desktop]\nWallpaper=\"/a\" \"/b\"\n",
             "[Desktop]\nWallpaper=/no newline at the end",
         }) {
        files.emplace_back(whole);
    }
    test::TempDir dir;
    const fs::path file = dir / "settings.conf";
    for (const auto& value : files) {
        test::WriteBytes(file, value);
        const QSettings settings(QString::fromStdString(file.string()), QSettings::IniFormat);
        const QVariant qt = settings.value("Desktop/Wallpaper");
        const auto ours = ReadPcmanfmQtDesktopValue(file, "Wallpaper");
        if (qt.typeId() == QMetaType::QString) {
            const QByteArray utf8 = qt.toString().toUtf8();
            EXPECT_EQ(ours, std::string(utf8.constData(), static_cast<size_t>(utf8.size())))
                << value;
        } else {
            EXPECT_EQ(ours, std::nullopt) << value << " is a " << qt.typeName() << " to Qt";
        }
    }
}

}  // namespace
}  // namespace tavolin
