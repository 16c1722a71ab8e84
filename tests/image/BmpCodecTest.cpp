#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "image/ImageBuffer.h"
#include "image/formats/Dib.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using test::Bytes;
using test::PutLe16;
using test::PutLe32;

/// A bitmap file put together field by field, so every header variant can be written.
struct BmpFixture {
    int32_t width = 1;
    int32_t height = 1;
    int bpp = 24;
    uint32_t compression = 0;
    std::vector<RgbQuad> palette;
    uint32_t colorsUsed = 0;
    std::string pixels;
    bool fileHeader = true;
    bool core = false;         // 12-byte header, 3-byte palette entries
    uint32_t headerSize = 40;  // 40, or 108/124 with the masks inside
    std::vector<uint32_t> masks;
    uint32_t gap = 0;  // bytes between palette and pixels, reached by the offset
    int32_t pelsPerMeter = 2835;
};

std::string MakeBmp(const BmpFixture& s) {
    std::string info;
    if (s.core) {
        PutLe32(info, 12);
        PutLe16(info, static_cast<uint32_t>(s.width));
        PutLe16(info, static_cast<uint32_t>(s.height));
        PutLe16(info, 1);
        PutLe16(info, static_cast<uint32_t>(s.bpp));
    } else {
        PutLe32(info, s.headerSize);
        PutLe32(info, static_cast<uint32_t>(s.width));
        PutLe32(info, static_cast<uint32_t>(s.height));
        PutLe16(info, 1);
        PutLe16(info, static_cast<uint32_t>(s.bpp));
        PutLe32(info, s.compression);
        PutLe32(info, 0);  // image size 0: computed by the reader
        PutLe32(info, static_cast<uint32_t>(s.pelsPerMeter));
        PutLe32(info, static_cast<uint32_t>(s.pelsPerMeter));
        PutLe32(info, s.colorsUsed);
        PutLe32(info, 0);
        for (uint32_t m : s.masks) PutLe32(info, m);
        info.resize(std::max<size_t>(info.size(), s.headerSize), '\0');
    }
    for (const RgbQuad& c : s.palette) {
        info.push_back(static_cast<char>(c.blue));
        info.push_back(static_cast<char>(c.green));
        info.push_back(static_cast<char>(c.red));
        if (!s.core) info.push_back('\0');
    }
    info.append(s.gap, '\x77');
    std::string file;
    if (s.fileHeader) {
        file = "BM";
        PutLe32(file, static_cast<uint32_t>(14 + info.size() + s.pixels.size()));
        PutLe32(file, 0);
        PutLe32(file, static_cast<uint32_t>(14 + info.size()));
    }
    return file + info + s.pixels;
}

std::string Row(std::initializer_list<int> bytes) {
    std::string r;
    for (int b : bytes) r.push_back(static_cast<char>(b));
    return r;
}

RgbQuad Bgr(int b, int g, int r) {
    return {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
}

const std::vector<RgbQuad> kFive = {Bgr(0, 0, 0), Bgr(0, 0, 255), Bgr(0, 255, 0), Bgr(255, 0, 0),
                                    Bgr(255, 255, 255)};

std::vector<int> Indices(const ImageBuffer& image, int y) {
    std::vector<int> row;
    for (int x = 0; x < image.Width(); ++x) row.push_back(image.GetPixelIndex(x, y));
    return row;
}

// --- decoding ------------------------------------------------------------------------------

TEST(BmpDecode, TwentyFourBitBottomUpTopDownAndBare) {
    BmpFixture s;
    s.width = 2;
    s.height = 2;
    // Stored first row (bottom): blue, green; second row (top): red, white. Rows padded to 8.
    s.pixels = Row({255, 0, 0, 0, 255, 0, 0, 0}) + Row({0, 0, 255, 255, 255, 255, 0, 0});
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 24);
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(255, 0, 0));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(0, 255, 0));
    EXPECT_EQ(image.GetPixelColor(0, 1), Bgr(0, 0, 255));
    EXPECT_EQ(image.GetPixelColor(1, 1), Bgr(255, 255, 255));

    s.height = -2;  // the same bytes stored top row first
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(image.GetPixelColor(0, 1), Bgr(255, 0, 0));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(255, 255, 255));

    s.height = 2;
    s.fileHeader = false;  // a bare bitmap: info header first
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.GetPixelColor(1, 1), Bgr(255, 255, 255));
}

TEST(BmpDecode, CoreHeaderWithThreeBytePaletteAndResolution) {
    BmpFixture s;
    s.core = true;
    s.width = 10;
    s.height = 1;
    s.bpp = 1;
    s.palette = {Bgr(10, 20, 30), Bgr(40, 50, 60)};
    s.pixels = Row({0xA0, 0x40, 0, 0});  // 1010 0000 01..
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 1);
    EXPECT_EQ(Indices(image, 0), (std::vector<int>{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(40, 50, 60));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(10, 20, 30));

    BmpFixture r;
    r.pelsPerMeter = 3780;  // 96 dpi
    r.pixels = Row({1, 2, 3, 0});
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(r)), kFormatBmp));
    EXPECT_EQ(image.DpiX(), 96);
    EXPECT_EQ(image.Block()[24] | image.Block()[25] << 8, 3780);
}

TEST(BmpDecode, PaletteDepthsShortPalettesAndTwoBitWidening) {
    BmpFixture s;
    s.width = 3;
    s.height = 1;
    s.bpp = 4;
    s.palette = {kFive[0], kFive[1], kFive[2]};
    s.colorsUsed = 3;  // the rest of the 16 entries stay black
    s.pixels = Row({0x12, 0x0F, 0, 0});
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 4);
    EXPECT_EQ(Indices(image, 0), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(image.GetPixelColor(1, 0), kFive[2]);

    s.bpp = 8;
    s.palette = kFive;
    s.colorsUsed = 0;  // 0 stands for all 256 entries
    s.palette.resize(256);
    s.pixels = Row({4, 3, 2, 0});
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 8);
    EXPECT_EQ(image.GetPixelColor(0, 0), kFive[4]);

    s.bpp = 2;
    s.palette = {kFive[0], kFive[1], kFive[2], kFive[3]};
    s.pixels = Row({0b11100100, 0, 0, 0});
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 4);
    EXPECT_EQ(Indices(image, 0), (std::vector<int>{3, 2, 1}));
}

TEST(BmpDecode, SixteenBitFiveFiveFiveAndBitFieldsBecomeTwentyFour) {
    BmpFixture s;
    s.width = 4;
    s.height = 1;
    s.bpp = 16;
    s.pixels.clear();
    for (uint32_t p : {0x7C00u, 0x03E0u, 0x001Fu, 0x4210u}) PutLe16(s.pixels, p);
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 24);
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(0, 0, 255));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(0, 255, 0));
    EXPECT_EQ(image.GetPixelColor(2, 0), Bgr(255, 0, 0));
    EXPECT_EQ(image.GetPixelColor(3, 0), Bgr(132, 132, 132));  // 16 of 31

    s.compression = 3;  // 5-6-5
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels.clear();
    for (uint32_t p : {0xF800u, 0x07E0u, 0x0020u, 0x0001u}) PutLe16(s.pixels, p);
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(0, 0, 255));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(0, 255, 0));
    EXPECT_EQ(image.GetPixelColor(2, 0), Bgr(0, 4, 0));  // 1 of 63
    EXPECT_EQ(image.GetPixelColor(3, 0), Bgr(8, 0, 0));  // 1 of 31
}

TEST(BmpDecode, ThirtyTwoBitTakesTheFirstThreeBytesOrItsMasks) {
    BmpFixture s;
    s.width = 2;
    s.height = 1;
    s.bpp = 32;
    s.pixels = Row({1, 2, 3, 99, 4, 5, 6, 0});
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 24);
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(1, 2, 3));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(4, 5, 6));
    EXPECT_FALSE(image.HasAlpha());

    // Bit fields in red-green-blue-alpha byte order inside a V5 header: the masks count.
    s.compression = 3;
    s.headerSize = 124;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    s.pixels = Row({10, 20, 30, 128, 40, 50, 60, 255});
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(30, 20, 10));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(60, 50, 40));
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(image.GetAlpha(0, 0), 128);
    EXPECT_EQ(image.GetAlpha(1, 0), 255);

    // An alpha mask over bytes that are all zero carries nothing and is dropped.
    s.pixels = Row({10, 20, 30, 0, 40, 50, 60, 0});
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    EXPECT_FALSE(image.HasAlpha());
}

TEST(BmpDecode, EmbeddedBitmapsScaleBitFieldsAsBitmapFilesDo) {
    // The same bare bitmap read as a BMP and as the bitmap inside an icon or a metafile.
    // Masks of 3, 5, 6, 10 and non-contiguous bits: each full channel is 255.
    struct Case {
        int bpp;
        std::vector<uint32_t> masks;
        std::vector<uint32_t> pixels;
    };
    const Case cases[] = {
        {16, {0xF800, 0x07E0, 0x001F}, {0xFFFF, 0xF800, 0x8410, 0x0821, 0x0000}},
        {16, {0xA000, 0x0E00, 0x0013}, {0xAE13, 0x2000, 0x0800, 0x0012, 0x0001}},
        {32, {0x3FF00000, 0x000FFC00, 0x000003FF}, {0x3FFFFFFF, 0x20000000, 0x00000401, 0x1, 0}},
    };
    for (const Case& c : cases) {
        BmpFixture s;
        s.width = static_cast<int32_t>(c.pixels.size());
        s.bpp = c.bpp;
        s.compression = 3;
        s.masks = c.masks;
        s.fileHeader = false;
        s.pixels.clear();
        for (uint32_t p : c.pixels) c.bpp == 16 ? PutLe16(s.pixels, p) : PutLe32(s.pixels, p);
        s.pixels.resize((s.pixels.size() + 3) / 4 * 4, '\0');
        const std::string bytes = MakeBmp(s);
        ImageBuffer image;
        ASSERT_TRUE(image.Decode(Bytes(bytes), kFormatBmp)) << image.LastError();
        codecs::Dib dib;
        ASSERT_TRUE(dib.ParseContiguous(Bytes(bytes)));
        EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(255, 255, 255)) << c.masks[0];
        for (int x = 0; x < s.width; ++x) {
            RgbQuad embedded = dib.Pixel(x, 0);
            embedded.reserved = 0;
            EXPECT_EQ(embedded, image.GetPixelColor(x, 0)) << c.masks[0] << " at " << x;
        }
    }
}

TEST(BmpDecode, BareTrueColourBitmapSkipsItsColourTable) {
    BmpFixture s;
    s.fileHeader = false;  // no offset: the pixels follow the colour table
    s.bpp = 24;
    s.palette = {kFive[1], kFive[2]};
    s.colorsUsed = 2;
    s.pixels = Row({7, 8, 9, 0});
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(7, 8, 9));
}

TEST(BmpDecode, NonsenseResolutionsStayWithinTheHeader) {
    // Negative or huge pixels per metre must survive a save and a reload unchanged.
    for (int32_t ppm : {INT32_MIN, -5, 0, INT32_MAX}) {
        BmpFixture s;
        s.pelsPerMeter = ppm;
        s.pixels = Row({1, 2, 3, 0});
        ImageBuffer image;
        ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << ppm;
        EXPECT_GE(image.DpiX(), 0);
        EXPECT_LE(image.DpiX(), 1000000);
        std::string saved;
        ASSERT_TRUE(image.Encode(saved, kFormatBmp));
        ImageBuffer back;
        ASSERT_TRUE(back.Decode(Bytes(saved), kFormatBmp));
        EXPECT_TRUE(std::equal(back.Block().begin(), back.Block().end(), image.Block().begin(),
                               image.Block().end()))
            << ppm;
    }
}

TEST(BmpDecode, PixelDataOffsetIsHonoured) {
    BmpFixture s;
    s.width = 1;
    s.height = 1;
    s.bpp = 8;
    s.palette = kFive;
    s.colorsUsed = 5;
    s.gap = 37;
    s.pixels = Row({3, 0, 0, 0});
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.GetPixelColor(0, 0), kFive[3]);
}

TEST(BmpDecode, Rle8RunsAbsoluteRunsDeltaEndOfLineAndEndOfBitmap) {
    BmpFixture s;
    s.width = 6;
    s.height = 4;
    s.bpp = 8;
    s.compression = 1;
    s.palette = kFive;
    s.colorsUsed = 5;
    s.pixels = Row({3,  1, 0, 3, 2, 3, 4, 0, 0, 0,  // row 0: run, odd absolute run, EOL
                    0,  2, 2, 1,                    // delta: two right, one up (row 1 skipped)
                    10, 4, 0, 0,                    // a run past the right edge is clipped
                    2,  3, 0, 1});                  // row 3, end of bitmap
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(Indices(image, 0), (std::vector<int>{1, 1, 1, 2, 3, 4}));
    EXPECT_EQ(Indices(image, 1), (std::vector<int>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Indices(image, 2), (std::vector<int>{0, 0, 4, 4, 4, 4}));
    EXPECT_EQ(Indices(image, 3), (std::vector<int>{3, 3, 0, 0, 0, 0}));

    s.height = -4;  // top-down run-length data: the same rows, turned over
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(Indices(image, 3), (std::vector<int>{1, 1, 1, 2, 3, 4}));
    EXPECT_EQ(Indices(image, 0), (std::vector<int>{3, 3, 0, 0, 0, 0}));
}

TEST(BmpDecode, Rle4NibbleRunsAbsoluteRunsAndDelta) {
    BmpFixture s;
    s.width = 5;
    s.height = 3;
    s.bpp = 4;
    s.compression = 2;
    s.palette.assign(16, RgbQuad{});
    for (int i = 0; i < 16; ++i) s.palette[i] = Bgr(i * 16, 0, 0);
    s.pixels = Row({5, 0x12, 0,    0,              // row 0: 1 2 1 2 1
                    0, 3,    0x34, 0x50,           // row 1: absolute 3 4 5 (two bytes, no pad)
                    0, 2,    1,    0,              // delta one right
                    1, 0x60, 0,    0,              // a run of one: 6
                    0, 5,    0x78, 0x9A, 0xB0, 0,  // row 2: absolute 7 8 9 10 11, padded
                    0, 1});
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 4);
    EXPECT_EQ(Indices(image, 0), (std::vector<int>{1, 2, 1, 2, 1}));
    EXPECT_EQ(Indices(image, 1), (std::vector<int>{3, 4, 5, 0, 6}));
    EXPECT_EQ(Indices(image, 2), (std::vector<int>{7, 8, 9, 10, 11}));
    EXPECT_EQ(image.GetPixelColor(4, 1), Bgr(96, 0, 0));
}

TEST(BmpDecode, RunLengthDataCutShortOrMovingOffThePicture) {
    BmpFixture s;
    s.width = 4;
    s.height = 2;
    s.bpp = 8;
    s.compression = 1;
    s.palette = kFive;
    s.colorsUsed = 5;
    ImageBuffer image;
    s.pixels = Row({4, 1, 0, 0, 2, 2});  // no end of bitmap, stops inside row 1
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "corrupted BMP");
    s.pixels = Row({0, 5, 1, 2});  // absolute run longer than the data
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "corrupted BMP");
    // A delta beyond the top ends the picture; what was drawn stays.
    s.pixels = Row({2, 3, 0, 2, 255, 255, 9, 9});
    ASSERT_TRUE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp)) << image.LastError();
    EXPECT_EQ(Indices(image, 0), (std::vector<int>{3, 3, 0, 0}));
    EXPECT_EQ(Indices(image, 1), (std::vector<int>{0, 0, 0, 0}));
}

TEST(BmpDecode, DamagedFilesFailWithTheirMessage) {
    ImageBuffer image;
    EXPECT_FALSE(image.Decode(Bytes("BM\x10\0\0\0"), kFormatBmp));
    EXPECT_EQ(image.LastError(), "Not a BMP");

    BmpFixture s;
    s.pixels = Row({1, 2, 3, 0});
    std::string file = MakeBmp(s);
    EXPECT_FALSE(image.Decode(Bytes(file.substr(0, 30)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "Error reading BMP info");

    BmpFixture odd = s;
    odd.headerSize = 20;  // no such header
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(odd)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "Error reading BMP info");
    odd = s;
    odd.bpp = 7;
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(odd)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "Error reading BMP info");
    odd = s;
    odd.width = 0;
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(odd)), kFormatBmp));

    odd = s;
    odd.compression = 1;  // RLE on 24 bits
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(odd)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "unknown compression");
    odd.bpp = 32;
    odd.compression = 2;
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(odd)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "unknown compression");
    odd.bpp = 8;
    odd.compression = 2;  // RLE4 on 8 bits
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(odd)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "compression type not supported");
    odd.compression = 4;  // embedded JPEG
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(odd)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "compression type not supported");

    file = MakeBmp(s);
    file.pop_back();
    file.pop_back();  // the last row loses more than its padding
    EXPECT_FALSE(image.Decode(Bytes(file), kFormatBmp));
    EXPECT_EQ(image.LastError(), "corrupted BMP");

    odd = s;
    odd.gap = 0;
    file = MakeBmp(odd);
    file[10] = '\x7F';  // pixel offset past the end
    EXPECT_FALSE(image.Decode(Bytes(file), kFormatBmp));
    EXPECT_EQ(image.LastError(), "corrupted BMP");
}

TEST(BmpDecode, HugeClaimsFailBeforeAnyAllocation) {
    ImageBuffer image;
    BmpFixture s;
    s.width = 20000;
    s.height = 10;
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "Image too large");
    s.width = 16000;
    s.height = -16000;  // within the side limit, beyond the pixel limit
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "Image too large");
    s.height = INT32_MIN;
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    // Within the ceiling but the file holds no pixels: refused without making the picture.
    s.width = 10000;
    s.height = 10000;
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "corrupted BMP");
    EXPECT_FALSE(image.IsValid());
}

TEST(BmpDecode, CancelFlagStopsTheDecoder) {
    BmpFixture s;
    s.pixels = Row({1, 2, 3, 0});
    ImageBuffer image;
    image.SetCancel(true);
    EXPECT_FALSE(image.Decode(Bytes(MakeBmp(s)), kFormatBmp));
    EXPECT_EQ(image.LastError(), "Cancelled");
}

// --- encoding ------------------------------------------------------------------------------

TEST(BmpEncode, OnePixelTwentyFourBitIsFiftyEightBytes) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(1, 1, 24, kFormatBmp));
    image.SetPixelColor(0, 0, Bgr(1, 2, 3));
    std::string out;
    ASSERT_TRUE(image.Encode(out, kFormatBmp));
    std::string expected = "BM";
    PutLe32(expected, 58);
    PutLe32(expected, 0);
    PutLe32(expected, 54);
    for (uint32_t v : {40u, 1u, 1u}) PutLe32(expected, v);
    PutLe16(expected, 1);
    PutLe16(expected, 24);
    for (uint32_t v : {0u, 4u, 2835u, 2835u, 0u, 0u}) PutLe32(expected, v);
    expected += Row({1, 2, 3, 0});
    EXPECT_EQ(out, expected);
}

TEST(BmpEncode, OneBitHasTwoPaletteEntriesAndOffsetSixtyTwo) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(9, 3, 1, kFormatBmp));
    image.SetPaletteColor(1, Bgr(255, 255, 255));
    image.SetPixelIndex(8, 2, 1);
    std::string out;
    ASSERT_TRUE(image.Encode(out, kFormatBmp));
    ASSERT_EQ(out.size(), 62u + 4 * 3);
    auto u32 = [&](size_t o) {
        return static_cast<uint8_t>(out[o]) | static_cast<uint8_t>(out[o + 1]) << 8 |
               static_cast<uint8_t>(out[o + 2]) << 16 | static_cast<uint8_t>(out[o + 3]) << 24;
    };
    EXPECT_EQ(u32(2), 74);
    EXPECT_EQ(u32(10), 62);
    EXPECT_EQ(u32(14 + 32), 2);  // palette entries
    EXPECT_EQ(out.substr(54, 8), Row({0, 0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ(out.substr(62 + 8, 2), Row({0, 0x80}));  // top row, ninth pixel
}

TEST(BmpEncode, EveryDepthRoundTripsThroughTheDecoderAndAFile) {
    test::TempDir dir;
    for (int bpp : {1, 4, 8, 24}) {
        ImageBuffer image;
        ASSERT_TRUE(image.Create(13, 5, bpp, kFormatBmp));
        image.SetDpi(300, 150);
        for (int i = 0; i < image.PaletteEntries(); ++i) {
            image.SetPaletteColor(i, Bgr(i, 255 - i, i * 7));
        }
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 13; ++x) {
                if (bpp == 24)
                    image.SetPixelColor(x, y, Bgr(x * 10, y * 40, x * y));
                else
                    image.SetPixelIndex(x, y, static_cast<uint8_t>((x + 3 * y) % (1 << bpp)));
            }
        }
        const auto path = dir / ("round" + std::to_string(bpp) + ".bmp");
        ASSERT_TRUE(image.Save(path, kFormatBmp));
        ImageBuffer back;
        ASSERT_TRUE(back.Load(path, kFormatBmp)) << back.LastError();
        EXPECT_EQ(back.BitsPerPixel(), bpp);
        EXPECT_EQ(back.DpiX(), 300);
        EXPECT_EQ(back.DpiY(), 150);
        EXPECT_TRUE(std::equal(back.Block().begin(), back.Block().end(), image.Block().begin(),
                               image.Block().end()))
            << bpp;
    }
}

TEST(BmpEncode, LoadAndSaveReportFilesThatCannotBeOpened) {
    test::TempDir dir;
    ImageBuffer image;
    EXPECT_FALSE(image.Load(dir / "missing.bmp", kFormatBmp));
    EXPECT_EQ(image.LastError(), "");
    ASSERT_TRUE(image.Create(1, 1, 24, kFormatBmp));
    EXPECT_FALSE(image.Save(dir / "no-such-dir" / "x.bmp", kFormatBmp));
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-dir"));
}

}  // namespace
}  // namespace tavolin
