#include <gtest/gtest.h>

#include <map>
#include <string>

#include "render/PixelFont.h"
#include "render/WallpaperCanvas.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

constexpr Colour kInk = 0x00123456;
constexpr Colour kWhite = 0x00FFFFFF;

// Rows -1..10 of the glyph drawn with its pen at (4, 4) on a white canvas, as "#"/"." art.
std::string DrawnArt(char c, int width) {
    WallpaperCanvas canvas;
    canvas.Create(width + 8, 20, 24, nullptr, 1);
    canvas.DrawGlyph(c, 4, 4, kInk);
    std::string art;
    for (int y = 3; y <= 14; ++y) {
        for (int x = 4; x < 4 + width; ++x) art += canvas.GetPixel(x, y) == kInk ? '#' : '.';
        art += '\n';
    }
    return art;
}

// Every ink pixel of a canvas, in one string.
std::string InkMap(const WallpaperCanvas& canvas) {
    std::string map;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) map += canvas.GetPixel(x, y) == kWhite ? '.' : '#';
    }
    return map;
}

std::map<unsigned char, int> ExpectedAdvances() {
    const std::pair<int, const char*> groups[] = {
        {2, "!'.:|Iil"},
        {3, "(),-;[]fjrt"},
        {4, "*{}"},
        {5, "\"/<>\\Jsyz"},
        {6, " $&+0123456789=?BEFLSTabcdeghknopquvx\xE4\xF6\xFC\xDF"},
        {7, "#_~CDGHKNOPQRU\xD6\xDC"},
        {8, "%AMVXYZmw\xC4"},
        {9, "\xA9"},
        {11, "@"},
        {12, "W"},
    };
    std::map<unsigned char, int> advances;
    for (const auto& [advance, chars] : groups) {
        for (const char* p = chars; *p; ++p) advances[static_cast<unsigned char>(*p)] = advance;
    }
    return advances;
}

TEST(PixelFontTest, EveryCharacterHasItsAdvance) {
    const auto expected = ExpectedAdvances();
    ASSERT_EQ(expected.size(), 101u);
    for (int c = 0; c < 256; ++c) {
        const auto ch = static_cast<unsigned char>(c);
        const auto it = expected.find(ch);
        if (it == expected.end()) {
            EXPECT_FALSE(PixelFont::HasGlyph(ch)) << c;
            EXPECT_EQ(PixelFont::Advance(ch), 0) << c;
        } else {
            EXPECT_TRUE(PixelFont::HasGlyph(ch)) << c;
            EXPECT_EQ(PixelFont::Advance(ch), it->second) << c;
        }
    }
}

TEST(PixelFontTest, GlyphsStayWithinTheirAdvanceAndRows) {
    // Which glyphs reach above row 0 or below the baseline row 8.
    const std::string upper = "\xC4\xD6\xDC";
    const std::string row9 = "$,;@Qj\xDF";
    const std::string row10 = "gpqy";
    const std::string raised = "\"'*+-=~";  // end above the baseline
    for (int c = 0; c < 256; ++c) {
        const auto ch = static_cast<unsigned char>(c);
        if (!PixelFont::HasGlyph(ch)) {
            for (int r = -1; r <= 10; ++r) EXPECT_EQ(PixelFont::RowBits(ch, r), 0) << c;
            continue;
        }
        int top = 99, bottom = -99;
        for (int r = -1; r <= 10; ++r) {
            const uint16_t bits = PixelFont::RowBits(ch, r);
            EXPECT_EQ(bits >> PixelFont::Advance(ch), 0) << "glyph " << c << " row " << r;
            if (bits) {
                top = std::min(top, r);
                bottom = std::max(bottom, r);
            }
        }
        if (ch == ' ') {
            EXPECT_EQ(top, 99);
            continue;
        }
        const bool isUpper = upper.find(static_cast<char>(ch)) != std::string::npos;
        EXPECT_EQ(top == -1, isUpper) << c;
        const int expectedBottom = row10.find(static_cast<char>(ch)) != std::string::npos  ? 10
                                   : row9.find(static_cast<char>(ch)) != std::string::npos ? 9
                                                                                           : 8;
        if (raised.find(static_cast<char>(ch)) != std::string::npos) {
            EXPECT_LT(bottom, 8) << c;
        } else {
            EXPECT_EQ(bottom, expectedBottom) << c;
        }
    }
    EXPECT_EQ(PixelFont::RowBits('A', -2), 0);
    EXPECT_EQ(PixelFont::RowBits('g', 11), 0);
}

TEST(PixelFontTest, BarIsSharedByCapitalISmallLAndPipe) {
    for (int r = -1; r <= 10; ++r) {
        EXPECT_EQ(PixelFont::RowBits('I', r), PixelFont::RowBits('l', r));
        EXPECT_EQ(PixelFont::RowBits('I', r), PixelFont::RowBits('|', r));
        EXPECT_EQ(PixelFont::RowBits('I', r), (r >= 0 && r <= 8) ? 0b11 : 0);
    }
}

TEST(PixelFontTest, UmlautDotsPaintOneRowAboveThePen) {
    EXPECT_EQ(DrawnArt('\xC4', 8),
              ".##..##.\n"
              "........\n"
              "...##...\n"
              "..####..\n"
              "..####..\n"
              ".##..##.\n"
              ".##..##.\n"
              ".######.\n"
              "##....##\n"
              "##....##\n"
              "........\n"
              "........\n");
    EXPECT_EQ(DrawnArt('\xDC', 7).substr(0, 16), ".##.##.\n.......\n");
    EXPECT_EQ(DrawnArt('\xD6', 7).substr(0, 16), ".##.##.\n.......\n");
}

TEST(PixelFontTest, DescendersReachRowsNineAndTen) {
    EXPECT_EQ(DrawnArt('g', 6),
              "......\n"
              "......\n"
              "......\n"
              "......\n"
              ".#####\n"
              "##..##\n"
              "##..##\n"
              "##..##\n"
              "##..##\n"
              ".#####\n"
              "....##\n"
              "#####.\n");
    EXPECT_EQ(DrawnArt('@', 11),
              "...........\n"
              "...#####...\n"
              ".###...###.\n"
              ".##.....##.\n"
              "##..####.##\n"
              "##.##.##.##\n"
              "##.##.##.##\n"
              "##..#######\n"
              ".##........\n"
              ".###.......\n"
              "...######..\n"
              "...........\n");
    EXPECT_EQ(DrawnArt('\xDF', 6),
              "......\n"
              ".###..\n"
              "##.##.\n"
              "##.##.\n"
              "##.##.\n"
              "#####.\n"
              "##..##\n"
              "##..##\n"
              "##..##\n"
              "#####.\n"
              "##....\n"
              "......\n");
    EXPECT_EQ(DrawnArt('j', 3), "...\n.##\n...\n.##\n.##\n.##\n.##\n.##\n.##\n.##\n##.\n...\n");
    EXPECT_EQ(DrawnArt(';', 3), "...\n...\n...\n...\n.##\n...\n...\n...\n...\n.##\n##.\n...\n");
}

TEST(PixelFontTest, WidestGlyphsAndTheCopyrightSign) {
    EXPECT_EQ(DrawnArt('W', 12),
              "............\n"
              "##........##\n"
              "##........##\n"
              ".##..##..##.\n"
              ".##..##..##.\n"
              ".##..##..##.\n"
              "..########..\n"
              "..########..\n"
              "...##..##...\n"
              "...##..##...\n"
              "............\n"
              "............\n");
    EXPECT_EQ(DrawnArt('\xA9', 9),
              ".........\n"
              ".........\n"
              "..#####..\n"
              ".##...##.\n"
              "##.###.##\n"
              "##.#...##\n"
              "##.#...##\n"
              "##.###.##\n"
              ".##...##.\n"
              "..#####..\n"
              ".........\n"
              ".........\n");
}

TEST(PixelFontTest, JanuarIsDrawnWithOnePixelGaps) {
    WallpaperCanvas text;
    text.Create(60, 16, 24, nullptr, 1);
    text.DrawText("Januar", 5, 3, kInk);

    WallpaperCanvas glyphs;
    glyphs.Create(60, 16, 24, nullptr, 1);
    const int offsets[] = {0, 6, 13, 20, 27, 34};
    for (int i = 0; i < 6; ++i) glyphs.DrawGlyph("Januar"[i], 5 + offsets[i], 3, kInk);

    EXPECT_EQ(InkMap(text), InkMap(glyphs));
    EXPECT_EQ(WallpaperCanvas::TextWidth("Januar"), 32);
}

TEST(PixelFontTest, MonthNameWidths) {
    const int widths[] = {32, 36, 22, 21, 16, 19, 15, 34, 50, 37, 48, 47};
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(PixelFont::TextWidth(MonthName(m)), widths[m - 1]) << m;
    EXPECT_EQ(PixelFont::TextWidth("Mittwoch"), 42);
    EXPECT_EQ(PixelFont::TextWidth(""), 0);
}

TEST(PixelFontTest, GlyphlessCharactersCountZeroInTextWidth) {
    EXPECT_EQ(PixelFont::TextWidth("A^B"), 14);
    EXPECT_EQ(PixelFont::TextWidth("A`B"), 14);
    EXPECT_EQ(PixelFont::TextWidth("A\xE9"
                                   "B"),
              14);
    EXPECT_EQ(PixelFont::TextWidth(std::string("A\0B", 3)), 14);
}

TEST(PixelFontTest, SilentAccentsAdvanceOnlyTheGap) {
    WallpaperCanvas a, b;
    a.Create(40, 16, 24, nullptr, 1);
    b.Create(40, 16, 24, nullptr, 1);
    a.DrawText("A^`B", 2, 2, kInk);
    b.DrawGlyph('A', 2, 2, kInk);
    b.DrawGlyph('B', 2 + 8 + 1 + 1 + 1, 2, kInk);
    EXPECT_EQ(InkMap(a), InkMap(b));
    EXPECT_EQ(a.DrawGlyph('^', 0, 0, kInk), 0);
    EXPECT_TRUE(a.MissingGlyphs().empty());
}

TEST(PixelFontTest, MissingGlyphIsNotedOnceAndAdvancesSix) {
    WallpaperCanvas a, b;
    a.Create(40, 16, 24, nullptr, 1);
    b.Create(40, 16, 24, nullptr, 1);
    a.DrawText(
        "A\xE9"
        "B",
        2, 2, kInk);
    b.DrawGlyph('A', 2, 2, kInk);
    b.DrawGlyph('B', 2 + 9 + 7, 2, kInk);
    EXPECT_EQ(InkMap(a), InkMap(b));
    EXPECT_EQ(a.MissingGlyphs(), "\xE9");

    EXPECT_EQ(a.DrawGlyph('\x07', 0, 0, kInk), 6);
    EXPECT_EQ(a.DrawGlyph('\x7F', 0, 0, kInk), 6);
    EXPECT_EQ(a.DrawGlyph('\xE9', 0, 0, kInk), 6);
    EXPECT_EQ(a.DrawGlyph('\x80', 0, 0, kInk), 6);
    EXPECT_EQ(a.DrawGlyph('\0', 0, 0, kInk), 6);
    EXPECT_EQ(a.DrawGlyph('\x07', 0, 0, kInk), 6);
    EXPECT_EQ(a.MissingGlyphs(), std::string("\xE9\x07\x7F\x80\0", 5));
}

TEST(PixelFontTest, TextRunningOffTheCanvasIsClipped) {
    WallpaperCanvas canvas;
    canvas.Create(10, 5, 24, nullptr, 1);
    canvas.DrawText("Wg\xC4@", -6, -3, kInk);
    canvas.DrawText("Dezember", 8, 3, kInk);
    canvas.DrawText("x", 2147483640, 2147483640, kInk);
    canvas.DrawText("x", -2147483647 - 1, -2147483647 - 1, kInk);
    EXPECT_NE(InkMap(canvas).find('#'), std::string::npos);
    EXPECT_TRUE(canvas.MissingGlyphs().empty());
}

}  // namespace
}  // namespace tavolin
