#include <gtest/gtest.h>

#include "FormatTestSupport.h"

namespace tavolin::test {
namespace {

struct PcxFixture {
    const char* file;
    const char* source;
    int bitsPerPixel;  // of the decoded picture
    bool compareWithMagick;
};

// ImageMagick 6.9 shows monochrome PCX files inverted (it ignores the file's palette, which
// netpbm's reader and the PCX definition honour), so that one is compared with its source only.
const PcxFixture kFixtures[] = {
    {"pcx/mono.pcx", "mono.pbm", 1, false},    {"pcx/planes4.pcx", "pal16.ppm", 4, true},
    {"pcx/packed4.pcx", "pal16.ppm", 4, true}, {"pcx/vga256.pcx", "pal.ppm", 8, true},
    {"pcx/rgb24.pcx", "rgb.ppm", 24, true},    {"pcx/im-palette.pcx", "pal.ppm", 8, true},
    {"pcx/im-rgb.pcx", "rgb.ppm", 24, true},
};

TEST(PcxDecoder, ReadsOneFourEightAndTwentyFourBitFilesAsTheSourcePicture) {
    for (const PcxFixture& f : kFixtures) {
        SCOPED_TRACE(f.file);
        ImageBuffer image(kFormatPcx);
        ASSERT_TRUE(DecodeBytes(ReadFixtureBytes(f.file), kFormatPcx, image)) << image.LastError();
        EXPECT_EQ(image.BitsPerPixel(), f.bitsPerPixel);
        EXPECT_TRUE(SameColours(image, ReadSource(f.source)));
        RgbImage magick;
        if (f.compareWithMagick && MagickRead(ImageFixture(f.file), magick)) {
            EXPECT_TRUE(SameColours(image, magick));
        }
    }
}

// A header for a picture of the given size; the caller appends the data.
std::string Header(int bits, int planes, int width, int height, int bytesPerLine, int version = 5) {
    std::string h(128, '\0');
    h[0] = 0x0A;
    h[1] = static_cast<char>(version);
    h[2] = 1;
    h[3] = static_cast<char>(bits);
    std::string dims;
    PutLe16(dims, 0);
    PutLe16(dims, 0);
    PutLe16(dims, width - 1);
    PutLe16(dims, height - 1);
    h.replace(4, 8, dims);
    h[65] = static_cast<char>(planes);
    h[66] = static_cast<char>(bytesPerLine & 0xFF);
    h[67] = static_cast<char>(bytesPerLine >> 8);
    return h;
}

TEST(PcxDecoder, RunsMayCrossScanLinesButNotTheEndOfThePicture) {
    // 16 x 2 at 1 bit, two bytes a line: one run of four 0xFF bytes fills both lines.
    ImageBuffer image(kFormatPcx);
    const std::string header = Header(1, 1, 16, 2, 2);
    ASSERT_TRUE(DecodeBytes(header + "\xC4\xFF", kFormatPcx, image)) << image.LastError();
    EXPECT_EQ(image.Row(0)[1], 0xFF);
    EXPECT_EQ(image.Row(1)[0], 0xFF);

    // A run of five is one byte too many.
    EXPECT_FALSE(DecodeBytes(header + "\xC5\xFF", kFormatPcx, image));
    EXPECT_EQ(image.LastError(), "repeat count spans end of image");
    // So is a run that starts in the last byte.
    EXPECT_FALSE(DecodeBytes(header + "\x01\x02\x03\xC2\xFF", kFormatPcx, image));
    EXPECT_EQ(image.LastError(), "repeat count spans end of image");
}

TEST(PcxDecoder, MonochromeFilesWithoutUsablePaletteAreBlackOnWhite) {
    // 8 x 1, pixels 0 and 1 alternating; the header palette left empty.
    ImageBuffer image(kFormatPcx);
    ASSERT_TRUE(DecodeBytes(Header(1, 1, 8, 1, 2) + std::string("\x55\x00", 2), kFormatPcx, image));
    EXPECT_EQ(image.GetPixelColor(0, 0), (RgbQuad{0, 0, 0, 0}));
    EXPECT_EQ(image.GetPixelColor(1, 0), (RgbQuad{255, 255, 255, 0}));
}

TEST(PcxDecoder, RefusesWhatItCannotRead) {
    struct Case {
        std::string bytes;
        const char* message;
    };
    std::string notPcx = Header(8, 1, 1, 1, 2);
    notPcx[0] = 0x0B;
    std::string raw = Header(8, 1, 1, 1, 2);
    raw[2] = 0;
    const std::string palette = "\x0C" + std::string(768, '\x10');
    const Case cases[] = {
        {"", "Can't read PCX image"},
        {Header(8, 1, 1, 1, 2).substr(0, 127), "Can't read PCX image"},
        {notPcx + std::string(2, '\0') + palette, "Error: Not a PCX file"},
        {raw + std::string(2, '\0') + palette, "PCX file has unknown encoding scheme"},
        {Header(16, 1, 1, 1, 2) + std::string(2, '\0'), "Can't handle more than 1 bit per pixel"},
        {Header(1, 5, 8, 1, 2) + std::string(10, '\0'),
         "Can't handle image with more than 4 planes"},
        {Header(8, 5, 1, 1, 2) + std::string(10, '\0'), "Can't handle more than 4 planes"},
        {Header(4, 2, 1, 1, 2) + std::string(4, '\0'),
         "Can't handle packed pixels with more than 1 plane."},
        {Header(8, 2, 1, 1, 2) + std::string(4, '\0'),
         "Can't handle packed pixels with more than 1 plane."},
        {Header(8, 1, 1, 1, 2) + std::string(2, '\0') + "\x0D" + palette.substr(1),
         "bad color map signature"},
        {Header(8, 1, 1, 1, 2) + std::string(2, '\0'), "bad color map signature"},
        {Header(1, 0, 8, 1, 2) + std::string(2, '\0'), "corrupted PCX"},   // no planes
        {Header(8, 3, 40, 1, 2) + std::string(6, '\0'), "corrupted PCX"},  // lines too short
        {Header(1, 1, 16, 2, 2) + "\xC3\xFF", "corrupted PCX"},            // data ends early
        // 16000 x 8000 at 24 bits from a few bytes: refused before the memory is taken.
        {Header(8, 3, 16000, 8000, 16000) + std::string("\xFF\x00", 2), "corrupted PCX"},
        {Header(8, 3, 20000, 10, 20000) + std::string("\xFF\x00", 2), "Image too large"},
    };
    for (const Case& c : cases) {
        ImageBuffer image(kFormatPcx);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatPcx, image)) << c.message;
        EXPECT_EQ(image.LastError(), c.message);
    }
}

TEST(PcxDecoder, TruncatedFilesFailCleanly) {
    for (const char* name : {"pcx/mono.pcx", "pcx/planes4.pcx", "pcx/rgb24.pcx"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(TruncationsFail(ReadFixtureBytes(name), kFormatPcx,
                                    {"Can't read PCX image", "corrupted PCX"}, 3));
    }
    // Cutting the palette off an 8-bit file loses its marker.
    EXPECT_TRUE(
        TruncationsFail(ReadFixtureBytes("pcx/vga256.pcx"), kFormatPcx,
                        {"Can't read PCX image", "corrupted PCX", "bad color map signature"}, 5));
}

}  // namespace
}  // namespace tavolin::test
