#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "image/ImageBuffer.h"
#include "render/WallpaperCanvas.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

constexpr Colour kRed = 0x000000FF;
constexpr Colour kGreen = 0x0000FF00;
constexpr Colour kBlue = 0x00FF0000;
constexpr Colour kWhite = 0x00FFFFFF;

void Le16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Le32(std::string& s, uint32_t v) {
    Le16(s, v & 0xFFFF);
    Le16(s, v >> 16);
}

// A BMP file: 14-byte file header, 40-byte info header, then body (palette and pixels).
std::string Bmp(int32_t width, int32_t height, int bits, uint32_t imageSize,
                const std::string& body, uint32_t fileSize = 0, uint16_t planes = 1) {
    const uint32_t offset = 54 + 4 * (bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0);
    std::string s = "BM";
    Le32(s, fileSize ? fileSize : static_cast<uint32_t>(54 + body.size()));
    Le32(s, 0);
    Le32(s, offset);
    Le32(s, 40);
    Le32(s, static_cast<uint32_t>(width));
    Le32(s, static_cast<uint32_t>(height));
    Le16(s, planes);
    Le16(s, static_cast<uint32_t>(bits));
    Le32(s, 0);
    Le32(s, imageSize);
    for (int i = 0; i < 4; ++i) Le32(s, 0);
    return s + body;
}

class WallpaperCanvasTest : public ::testing::Test {
protected:
    std::filesystem::path File(const std::string& name) const { return m_dir / name; }
    test::TempDir m_dir;
};

TEST_F(WallpaperCanvasTest, NewOnePixelCanvasSavesAs58Bytes) {
    WallpaperCanvas canvas;
    EXPECT_FALSE(canvas.HasPixels());
    EXPECT_EQ(canvas.Create(1, 1, 24, nullptr, 1), -1);
    EXPECT_EQ(canvas.GetPixel(0, 0), kWhite);
    ASSERT_EQ(canvas.Save(File("one.bmp")), kCanvasOk);
    std::string expected = "BM";
    Le32(expected, 58);
    Le32(expected, 0);
    Le32(expected, 54);
    Le32(expected, 40);
    Le32(expected, 1);
    Le32(expected, 1);
    Le16(expected, 1);
    Le16(expected, 24);
    Le32(expected, 0);
    Le32(expected, 4);
    for (int i = 0; i < 4; ++i) Le32(expected, 0);
    expected += std::string("\xFF\xFF\xFF\xFF", 4);
    EXPECT_EQ(test::ReadBytes(File("one.bmp")), expected);

    canvas.SetPixel(0, 0, 0x00A56E3A);  // the default background RGB(58, 110, 165)
    ASSERT_EQ(canvas.Save(File("one.bmp")), kCanvasOk);
    EXPECT_EQ(test::ReadBytes(File("one.bmp")).substr(54), std::string("\xA5\x6E\x3A\xFF", 4));
}

TEST_F(WallpaperCanvasTest, StrideAndPaletteFollowTheDepth) {
    struct Case {
        int width, bits, stride, entries, offset;
    };
    for (const Case& c : {Case{1, 24, 4, 0, 54}, Case{2, 24, 8, 0, 54}, Case{3, 24, 12, 0, 54},
                          Case{5, 24, 16, 0, 54}, Case{9, 1, 4, 2, 62}, Case{33, 1, 8, 2, 62},
                          Case{9, 4, 8, 16, 118}, Case{5, 8, 8, 256, 1078}, Case{3, 16, 8, 0, 54},
                          Case{3, 32, 12, 0, 54}}) {
        WallpaperCanvas canvas;
        ASSERT_EQ(canvas.Create(c.width, 3, c.bits, nullptr, 1), -1);
        EXPECT_EQ(canvas.Stride(), c.stride) << c.width << "x" << c.bits;
        EXPECT_EQ(canvas.ImageSize(), c.stride * 3);
        EXPECT_EQ(canvas.PaletteEntries(), c.entries);
        EXPECT_EQ(canvas.FileHeader().pixelOffset, static_cast<uint32_t>(c.offset));
        EXPECT_EQ(canvas.FileHeader().fileSize, static_cast<uint32_t>(c.offset + c.stride * 3));
        EXPECT_EQ(canvas.InfoHeader().imageSize, static_cast<uint32_t>(c.stride * 3));
    }
}

TEST_F(WallpaperCanvasTest, SetPixelClipsSilently) {
    WallpaperCanvas canvas;
    canvas.Create(3, 2, 24, nullptr, 1);
    for (auto [x, y] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}, {-2147483647 - 1, 0}}) {
        EXPECT_EQ(canvas.SetPixel(x, y, kRed), WallpaperCanvas::kNoPixel) << x << "," << y;
        EXPECT_EQ(canvas.GetPixel(x, y), WallpaperCanvas::kNoPixel);
    }
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(canvas.GetPixel(x, y), kWhite);
    }
    EXPECT_EQ(canvas.SetPixel(2, 1, kRed), kWhite);
    EXPECT_EQ(canvas.SetPixel(2, 1, kBlue), kRed);
    EXPECT_EQ(canvas.GetPixel(2, 1), kBlue);
}

TEST_F(WallpaperCanvasTest, TopLeftPixelIsStoredInTheLastRow) {
    WallpaperCanvas canvas;
    canvas.Create(2, 2, 24, nullptr, 1);
    canvas.SetPixel(0, 0, 0x00332211);  // red 0x11, green 0x22, blue 0x33
    const uint8_t* stored = canvas.Pixels();
    EXPECT_EQ(stored[8], 0x33);  // blue, green, red at the start of stored row 1
    EXPECT_EQ(stored[9], 0x22);
    EXPECT_EQ(stored[10], 0x11);
    EXPECT_EQ(stored[0], 0xFF);
    EXPECT_EQ(canvas.Row(0), stored + 8);
    EXPECT_EQ(canvas.Row(1), stored);
    EXPECT_EQ(canvas.Row(2), nullptr);
    ASSERT_EQ(canvas.Save(File("tl.bmp")), kCanvasOk);
    EXPECT_EQ(test::ReadBytes(File("tl.bmp")).substr(54 + 8, 3), "\x33\x22\x11");
}

TEST_F(WallpaperCanvasTest, CreateCopiesSourcePixelsInEitherRowOrder) {
    // Two rows of a 1-pixel-wide image, 4 bytes each.
    const uint8_t source[8] = {0xFF, 0, 0, 0, 0, 0xFF, 0, 0};  // blue row, then green row
    WallpaperCanvas bottomUp;
    EXPECT_EQ(bottomUp.Create(1, 2, 24, source, 1), 8);
    EXPECT_EQ(bottomUp.GetPixel(0, 1), kBlue);  // first stored row is the bottom row
    EXPECT_EQ(bottomUp.GetPixel(0, 0), kGreen);
    WallpaperCanvas topDown;
    EXPECT_EQ(topDown.Create(1, 2, 24, source, 2), 2);
    EXPECT_EQ(topDown.GetPixel(0, 0), kBlue);
    EXPECT_EQ(topDown.GetPixel(0, 1), kGreen);
}

TEST_F(WallpaperCanvasTest, CreateRefusesUnusableSizes) {
    WallpaperCanvas canvas;
    for (auto [w, h, bits] : {std::tuple{0, 1, 24},
                              {1, 0, 24},
                              {-5, 5, 24},
                              {5, -5, 24},
                              {1, 1, 7},
                              {1, 1, 0},
                              {WallpaperCanvas::kMaxSide + 1, 1, 24},
                              {16384, 16384, 24}}) {
        canvas.Create(2, 2, 24, nullptr, 1);
        EXPECT_EQ(canvas.Create(w, h, bits, nullptr, 1), 0) << w << "x" << h << "x" << bits;
        EXPECT_FALSE(canvas.HasPixels());
        EXPECT_EQ(canvas.SetPixel(0, 0, kRed), WallpaperCanvas::kNoPixel);
        EXPECT_EQ(canvas.Save(File("x.bmp")), kCanvasWriteFailed);
    }
    EXPECT_FALSE(std::filesystem::exists(File("x.bmp")));
}

TEST_F(WallpaperCanvasTest, SaveAndLoadRoundTrip) {
    WallpaperCanvas canvas;
    canvas.Create(5, 3, 24, nullptr, 1);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) canvas.SetPixel(x, y, PackColour(x * 40, y * 80, x + y));
    }
    ASSERT_EQ(canvas.Save(File("rt.bmp")), kCanvasOk);
    EXPECT_EQ(test::ReadBytes(File("rt.bmp")).size(), 54u + 16 * 3);
    WallpaperCanvas loaded;
    ASSERT_EQ(loaded.Load(File("rt.bmp"), 1), kCanvasOk);
    EXPECT_EQ(loaded.Width(), 5);
    EXPECT_EQ(loaded.Height(), 3);
    EXPECT_EQ(loaded.BitsPerPixel(), 24);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(loaded.GetPixel(x, y), canvas.GetPixel(x, y));
    }
    ASSERT_EQ(loaded.Save(File("rt2.bmp")), kCanvasOk);
    EXPECT_EQ(test::ReadBytes(File("rt2.bmp")), test::ReadBytes(File("rt.bmp")));
}

TEST_F(WallpaperCanvasTest, RowOrderTwoReadsRowsTopDown) {
    // Stored rows: red (first in file), then blue.
    const std::string body = std::string("\0\0\xFF\0", 4) + std::string("\xFF\0\0\0", 4);
    test::WriteBytes(File("rows.bmp"), Bmp(1, 2, 24, 8, body));
    WallpaperCanvas canvas;
    ASSERT_EQ(canvas.Load(File("rows.bmp"), 1), kCanvasOk);
    EXPECT_EQ(canvas.GetPixel(0, 1), kRed);
    EXPECT_EQ(canvas.GetPixel(0, 0), kBlue);
    ASSERT_EQ(canvas.Load(File("rows.bmp"), 2), kCanvasOk);
    EXPECT_EQ(canvas.GetPixel(0, 0), kRed);
    EXPECT_EQ(canvas.GetPixel(0, 1), kBlue);
}

TEST_F(WallpaperCanvasTest, StoredImageSizeIsReplacedByTheComputedOne) {
    const std::string pixels(8 * 2, '\x10');  // 2 x 2 at 24 bits: stride 8
    for (uint32_t stored : {0u, 3u, 1000u}) {
        test::WriteBytes(File("size.bmp"), Bmp(2, 2, 24, stored, pixels, stored == 1000 ? 9 : 0));
        WallpaperCanvas canvas;
        ASSERT_EQ(canvas.Load(File("size.bmp"), 1), kCanvasOk) << stored;
        EXPECT_EQ(canvas.ImageSize(), 16);
        EXPECT_EQ(canvas.InfoHeader().imageSize, 16u);
        EXPECT_EQ(canvas.FileHeader().fileSize, 70u);
        EXPECT_EQ(canvas.GetPixel(1, 1), 0x00101010u);
    }
}

TEST_F(WallpaperCanvasTest, NotABitmapLeavesThePixelsAlone) {
    WallpaperCanvas canvas;
    canvas.Create(2, 2, 24, nullptr, 1);
    canvas.SetPixel(1, 1, kRed);
    std::string bad = Bmp(4, 4, 24, 0, std::string(64, '\0'));
    bad[0] = 'X';
    test::WriteBytes(File("bad.bmp"), bad);
    test::WriteBytes(File("short.bmp"), "BM");
    test::WriteBytes(File("empty.bmp"), "");
    // Zero, negative and unknown sizes and depths are refused the same way.
    test::WriteBytes(File("zero.bmp"), Bmp(0, 4, 24, 0, std::string(64, '\0')));
    test::WriteBytes(File("negative.bmp"), Bmp(4, -4, 24, 0, std::string(64, '\0')));
    test::WriteBytes(File("depth.bmp"), Bmp(4, 4, 13, 0, std::string(64, '\0')));
    for (const char* name :
         {"bad.bmp", "short.bmp", "empty.bmp", "zero.bmp", "negative.bmp", "depth.bmp"}) {
        EXPECT_EQ(canvas.Load(File(name), 1), kCanvasNotBmp) << name;
        EXPECT_EQ(canvas.Width(), 2);
        EXPECT_EQ(canvas.GetPixel(1, 1), kRed);
    }
    EXPECT_EQ(canvas.Load(File("missing.bmp"), 1), kCanvasCannotOpen);
    EXPECT_EQ(canvas.Load(m_dir.path(), 1), kCanvasCannotOpen);
    EXPECT_EQ(canvas.GetPixel(1, 1), kRed);
}

TEST_F(WallpaperCanvasTest, HugeDeclaredSizesAreRefusedBeforeAllocating) {
    WallpaperCanvas canvas;
    canvas.Create(2, 2, 24, nullptr, 1);
    const std::string body(16, '\0');
    for (auto [w, h] :
         {std::pair{0x7FFFFFFF, 0x7FFFFFFF}, {100000, 1}, {1, 100000}, {16384, 16384}}) {
        test::WriteBytes(File("huge.bmp"), Bmp(w, h, 24, 16, body));
        EXPECT_EQ(canvas.Load(File("huge.bmp"), 1), kCanvasNoMemory) << w << "x" << h;
        EXPECT_FALSE(canvas.HasPixels());
        EXPECT_EQ(canvas.SetPixel(0, 0, kRed), WallpaperCanvas::kNoPixel);
        EXPECT_EQ(canvas.GetPixel(0, 0), WallpaperCanvas::kNoPixel);
    }
}

TEST_F(WallpaperCanvasTest, MissingPixelBlockFailsAndDrawsNothing) {
    test::WriteBytes(File("headers.bmp"), Bmp(4, 4, 24, 48, ""));
    WallpaperCanvas canvas;
    canvas.Create(2, 2, 24, nullptr, 1);
    EXPECT_EQ(canvas.Load(File("headers.bmp"), 1), kCanvasNoPixelData);
    EXPECT_FALSE(canvas.HasPixels());
    canvas.DrawText("Januar", 0, 0, kRed);
    canvas.DrawFrame(0, 0, kRed);
    canvas.DrawMonth(1, 0, 0, kRed, kRed, kRed, kRed, false, CalendarDate{1, 1, 2026});
    EXPECT_EQ(canvas.GetPixel(0, 0), WallpaperCanvas::kNoPixel);
    EXPECT_EQ(canvas.Load(File("headers.bmp"), 2), kCanvasNoPixelData);
    EXPECT_EQ(canvas.Save(File("out.bmp")), kCanvasWriteFailed);
}

TEST_F(WallpaperCanvasTest, ShortPixelBlockLoadsWithTheRestBlack) {
    // 2 x 2 at 24 bits needs 16 bytes; only the first stored row (the bottom one) is there.
    test::WriteBytes(File("cut.bmp"), Bmp(2, 2, 24, 16, std::string(8, '\x40')));
    WallpaperCanvas canvas;
    ASSERT_EQ(canvas.Load(File("cut.bmp"), 1), kCanvasOk);
    EXPECT_EQ(canvas.GetPixel(0, 1), 0x404040u);
    EXPECT_EQ(canvas.GetPixel(1, 1), 0x404040u);
    EXPECT_EQ(canvas.GetPixel(0, 0), 0u);
    ASSERT_EQ(canvas.Load(File("cut.bmp"), 2), kCanvasOk);
    EXPECT_EQ(canvas.GetPixel(0, 0), 0x404040u);
    EXPECT_EQ(canvas.GetPixel(0, 1), 0u);
}

TEST_F(WallpaperCanvasTest, OldStyleCoreHeaderIsReadAndItsHeadersRebuilt) {
    std::string s = "BM";
    Le32(s, 14 + 12 + 8);
    Le32(s, 0);
    Le32(s, 26);
    Le32(s, 12);
    Le16(s, 2);                                               // width
    Le16(s, 1);                                               // height
    Le16(s, 1);                                               // planes
    Le16(s, 24);                                              // bits per pixel
    s += std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8);  // red, green, padding
    test::WriteBytes(File("core.bmp"), s);
    WallpaperCanvas canvas;
    ASSERT_EQ(canvas.Load(File("core.bmp"), 1), kCanvasOk);
    EXPECT_EQ(canvas.Width(), 2);
    EXPECT_EQ(canvas.Height(), 1);
    EXPECT_EQ(canvas.GetPixel(0, 0), kRed);
    EXPECT_EQ(canvas.GetPixel(1, 0), kGreen);
    EXPECT_EQ(canvas.InfoHeader().size, 40u);
    EXPECT_EQ(canvas.InfoHeader().planes, 1);
    EXPECT_EQ(canvas.InfoHeader().imageSize, 8u);
    EXPECT_EQ(canvas.FileHeader().pixelOffset, 54u);
    ASSERT_EQ(canvas.Save(File("core2.bmp")), kCanvasOk);
    EXPECT_EQ(test::ReadBytes(File("core2.bmp")).size(), 62u);
}

TEST_F(WallpaperCanvasTest, PaletteDepthsReadThroughThePaletteAndRefuseWrites) {
    std::string palette(1024, '\0');
    palette.replace(4 * 7, 4, std::string("\x30\x20\x10\x00", 4));  // entry 7: blue 0x30 ...
    const std::string pixels = std::string("\x07\x00\x00\x00", 4);  // 1 x 1, index 7
    test::WriteBytes(File("p8.bmp"), Bmp(1, 1, 8, 4, palette + pixels));
    WallpaperCanvas canvas;
    ASSERT_EQ(canvas.Load(File("p8.bmp"), 1), kCanvasOk);
    EXPECT_EQ(canvas.PaletteEntries(), 256);
    EXPECT_EQ(canvas.GetPixel(0, 0), 0x00302010u);
    EXPECT_EQ(canvas.SetPixel(0, 0, kRed), WallpaperCanvas::kNoPixel);
    EXPECT_EQ(canvas.GetPixel(0, 0), 0x00302010u);
    ASSERT_EQ(canvas.Save(File("p8b.bmp")), kCanvasOk);
    EXPECT_EQ(test::ReadBytes(File("p8b.bmp")), test::ReadBytes(File("p8.bmp")));

    // Below 8 bits there is no colour to read.
    const std::string pal1 = std::string("\0\0\0\0\xFF\xFF\xFF\0", 8);
    test::WriteBytes(File("p1.bmp"), Bmp(8, 1, 1, 4, pal1 + std::string("\x80\0\0\0", 4)));
    ASSERT_EQ(canvas.Load(File("p1.bmp"), 1), kCanvasOk);
    EXPECT_EQ(canvas.GetPixel(0, 0), WallpaperCanvas::kNoPixel);
    ASSERT_TRUE(canvas.ConvertTo24Bit());
    EXPECT_EQ(canvas.BitsPerPixel(), 24);
    EXPECT_EQ(canvas.GetPixel(0, 0), kWhite);
    EXPECT_EQ(canvas.GetPixel(1, 0), 0u);
    EXPECT_EQ(canvas.SetPixel(1, 0, kRed), 0u);
}

TEST_F(WallpaperCanvasTest, ConvertTo24BitKeepsTheColoursOfEveryDepth) {
    // 4 bits: entries 1 and 2, pixels "12".
    std::string pal4(64, '\0');
    pal4.replace(4, 4, std::string("\x00\x00\xFF\x00", 4));
    pal4.replace(8, 4, std::string("\xFF\x00\x00\x00", 4));
    test::WriteBytes(File("p4.bmp"), Bmp(2, 1, 4, 4, pal4 + std::string("\x12\0\0\0", 4)));
    // 16 bits, 5-5-5: pure red and pure blue.
    test::WriteBytes(File("p16.bmp"), Bmp(2, 1, 16, 4, std::string("\x00\x7C\x1F\x00", 4)));
    for (const char* name : {"p4.bmp", "p16.bmp"}) {
        WallpaperCanvas canvas;
        ASSERT_EQ(canvas.Load(File(name), 1), kCanvasOk) << name;
        ASSERT_TRUE(canvas.ConvertTo24Bit());
        // A full 5-bit channel is full red or blue, as the image buffer reads it too.
        EXPECT_EQ(canvas.GetPixel(0, 0), kRed) << name;
        EXPECT_EQ(canvas.GetPixel(1, 0), kBlue) << name;
    }
    WallpaperCanvas empty;
    EXPECT_FALSE(empty.ConvertTo24Bit());
}

TEST_F(WallpaperCanvasTest, SaveReportsWhereItCannotWrite) {
    WallpaperCanvas canvas;
    canvas.Create(1, 1, 24, nullptr, 1);
    EXPECT_EQ(canvas.Save(m_dir.path()), kCanvasCannotCreate);
    EXPECT_EQ(canvas.Save(File("no/such/dir/x.bmp")), kCanvasCannotCreate);

    test::WriteBytes(File("old.bmp"), "old");
    WriteFaults faults;
    faults.failRewrites = true;
    EXPECT_EQ(canvas.Save(File("old.bmp"), &faults), kCanvasWriteFailed);
    EXPECT_EQ(test::ReadBytes(File("old.bmp")), "old");
    EXPECT_EQ(canvas.Save(File("old.bmp")), kCanvasOk);
    EXPECT_EQ(test::ReadBytes(File("old.bmp")).size(), 58u);
}

TEST_F(WallpaperCanvasTest, FrameIsTheFixedOutline) {
    WallpaperCanvas canvas;
    canvas.Create(200, 130, 24, nullptr, 1);
    canvas.DrawFrame(10, 7, kRed);
    int count = 0;
    for (int y = 0; y < 130; ++y) {
        for (int x = 0; x < 200; ++x) {
            const bool onEdge = (x >= 10 && x <= 184 && (y == 7 || y == 120)) ||
                                (y >= 7 && y <= 120 && (x == 10 || x == 184));
            EXPECT_EQ(canvas.GetPixel(x, y), onEdge ? kRed : kWhite) << x << "," << y;
            count += onEdge;
        }
    }
    EXPECT_EQ(count, 2 * 175 + 2 * 112);
    // Partly or wholly off the image: clipped, never a crash.
    canvas.DrawFrame(-100, -50, kBlue);
    canvas.DrawFrame(2147483600, 2147483600, kBlue);
    canvas.DrawFrame(-2147483647 - 1, -2147483647 - 1, kBlue);
    EXPECT_EQ(canvas.GetPixel(74, 20), kBlue);
    EXPECT_EQ(canvas.GetPixel(20, 63), kBlue);
}

TEST_F(WallpaperCanvasTest, FillRectAndBlitMatchPixelByPixelCopies) {
    WallpaperCanvas picture;
    picture.Create(7, 5, 24, nullptr, 1);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) picture.SetPixel(x, y, PackColour(x * 30, y * 50, 7));
    }
    for (auto [ox, oy] : {std::pair{0, 0}, {3, 2}, {-2, -1}, {8, 4}, {-10, 0}, {12, 12}}) {
        WallpaperCanvas fast, slow;
        fast.Create(10, 6, 24, nullptr, 1);
        slow.Create(10, 6, 24, nullptr, 1);
        fast.FillRect(-1, 1, 5, 9, kGreen);
        for (int y = 1; y < 10; ++y) {
            for (int x = -1; x < 4; ++x) slow.SetPixel(x, y, kGreen);
        }
        fast.Blit(picture, ox, oy);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 7; ++x) slow.SetPixel(x + ox, y + oy, picture.GetPixel(x, y));
        }
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 10; ++x) {
                ASSERT_EQ(fast.GetPixel(x, y), slow.GetPixel(x, y)) << ox << "," << oy;
            }
        }
    }
}

TEST_F(WallpaperCanvasTest, SixteenAndThirtyTwoBitPixelsReadAsTheImageBufferReadsThem) {
    // Every 5-bit level of each channel, and 32-bit pixels with a stray fourth byte.
    std::string p16;
    for (uint32_t level = 0; level < 32; ++level) {
        for (uint32_t shift : {10u, 5u, 0u}) Le16(p16, level << shift);
    }
    test::WriteBytes(File("levels16.bmp"), Bmp(96, 1, 16, 192, p16));
    test::WriteBytes(File("levels32.bmp"),
                     Bmp(2, 1, 32, 8, std::string("\x01\x80\xFF\x7F\xFE\x02\x03\xFF", 8)));
    for (const char* name : {"levels16.bmp", "levels32.bmp"}) {
        WallpaperCanvas canvas;
        ASSERT_EQ(canvas.Load(File(name), 1), kCanvasOk) << name;
        ImageBuffer image;
        ASSERT_TRUE(image.Load(File(name), kFormatBmp)) << name;
        for (int x = 0; x < canvas.Width(); ++x) {
            const RgbQuad c = image.GetPixelColor(x, 0);
            ASSERT_EQ(canvas.GetPixel(x, 0), PackColour(c.red, c.green, c.blue))
                << name << " " << x;
        }
    }
    WallpaperCanvas canvas;
    ASSERT_EQ(canvas.Load(File("levels16.bmp"), 1), kCanvasOk);
    EXPECT_EQ(canvas.GetPixel(3 * 31, 0), kRed);
    EXPECT_EQ(canvas.GetPixel(3 * 16, 0), PackColour(132, 0, 0));  // 16 / 31 of 255, rounded
}

TEST_F(WallpaperCanvasTest, ATakenPictureIsWhatLoadingItsFileGives) {
    for (int bits : {24, 8, 4, 1}) {
        ImageBuffer image;
        ASSERT_TRUE(image.Create(7, 3, bits, kFormatBmp));
        image.SetDpi(96, 300);
        for (int i = 0; i < image.PaletteEntries(); ++i) {
            image.SetPaletteColor(
                i, {static_cast<uint8_t>(i), 0x20, static_cast<uint8_t>(255 - i), 0});
        }
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 7; ++x) {
                image.SetPixelColor(
                    x, y, {static_cast<uint8_t>(30 * x), static_cast<uint8_t>(70 * y), 9, 0});
            }
        }
        ASSERT_TRUE(image.Save(File("picture.bmp"), kFormatBmp));
        WallpaperCanvas loaded, taken;
        ASSERT_EQ(loaded.Load(File("picture.bmp"), 1), kCanvasOk);
        ASSERT_TRUE(taken.TakePicture(std::move(image)));
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(taken.BitsPerPixel(), bits);
        EXPECT_EQ(taken.Palette(), loaded.Palette());
        EXPECT_EQ(taken.InfoHeader().xPixelsPerMetre, 3780);
        EXPECT_EQ(taken.InfoHeader().coloursUsed, loaded.InfoHeader().coloursUsed);
        EXPECT_EQ(taken.FileHeader().fileSize, loaded.FileHeader().fileSize);
        EXPECT_EQ(taken.FileHeader().pixelOffset, loaded.FileHeader().pixelOffset);
        ASSERT_EQ(taken.Save(File("taken.bmp")), kCanvasOk);
        ASSERT_EQ(loaded.Save(File("loaded.bmp")), kCanvasOk);
        EXPECT_EQ(test::ReadBytes(File("taken.bmp")), test::ReadBytes(File("loaded.bmp"))) << bits;
    }
    WallpaperCanvas canvas;
    canvas.Create(2, 2, 24, nullptr, 1);
    ImageBuffer empty;
    EXPECT_FALSE(canvas.TakePicture(std::move(empty)));
}

}  // namespace
}  // namespace tavolin
