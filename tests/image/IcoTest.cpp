#include <gtest/gtest.h>

#include "FormatTestSupport.h"

namespace tavolin::test {
namespace {

TEST(IcoDecoder, ReadsBitmapEntriesWithTheirMasks) {
    struct Case {
        const char* file;
        const char* source;
        int bitsPerPixel;
    };
    const Case cases[] = {
        {"ico/bmp8-mask.ico", "pal.ppm", 8},
        {"ico/bmp4.ico", "pal16.ppm", 4},
        {"ico/bmp1.ico", "mono32.pbm", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ImageBuffer image(kFormatIco);
        ASSERT_TRUE(DecodeBytes(ReadFixtureBytes(c.file), kFormatIco, image)) << image.LastError();
        EXPECT_EQ(image.BitsPerPixel(), c.bitsPerPixel);
        ASSERT_TRUE(image.HasAlpha());
        // ImageMagick shows the AND mask as alpha and keeps the colours beneath it.
        RgbImage magick;
        if (MagickRead(ImageFixture(c.file), magick)) {
            EXPECT_TRUE(SameAlpha(image, magick));
            EXPECT_TRUE(SameColours(image, magick, 0, true));
        }
        EXPECT_TRUE(SameColours(image, ReadSource(c.source)));
    }
}

TEST(IcoDecoder, MaskOfTheEightBitFixtureIsTheMonochromePicture) {
    // ppmtowinicon made the mask from mono.pbm: its black pixels are the transparent ones.
    ImageBuffer image(kFormatIco);
    ASSERT_TRUE(DecodeBytes(ReadFixtureBytes("ico/bmp8-mask.ico"), kFormatIco, image));
    const RgbImage mono = ReadSource("mono.pbm");
    int transparent = 0;
    for (int top = 0; top < mono.height; ++top) {
        for (int x = 0; x < mono.width; ++x) {
            const bool black = mono.At(x, top)[0] == 0;
            const int alpha = image.GetAlpha(x, mono.height - 1 - top);
            EXPECT_EQ(alpha, black ? 0 : 255) << x << "," << top;
            transparent += alpha == 0;
        }
    }
    EXPECT_GT(transparent, 0);
}

TEST(IcoDecoder, ThirtyTwoBitEntriesKeepTheirAlpha) {
    const RgbImage rgba = ReadSource("rgba.pam");
    for (const char* name : {"ico/bmp32.ico", "ico/multi.ico"}) {
        SCOPED_TRACE(name);
        ImageBuffer image(kFormatIco);
        ASSERT_TRUE(DecodeBytes(ReadFixtureBytes(name), kFormatIco, image)) << image.LastError();
        // multi.ico holds 16x16 at 32 bits, 37x23 at 8 bits and 37x23 at 32 bits: the largest
        // and then deepest entry is the last.
        EXPECT_EQ(image.BitsPerPixel(), 24);
        EXPECT_TRUE(SameColours(image, rgba));
        EXPECT_TRUE(SameAlpha(image, rgba));
    }
}

TEST(IcoDecoder, OldThirtyTwoBitEntriesWithoutAlphaUseTheMask) {
    // Clear every alpha byte of bmp32.ico: the AND mask that pamtowinicon wrote from the alpha
    // channel takes over (transparent where alpha was 0).
    std::string file = ReadFixtureBytes("ico/bmp32.ico");
    const size_t bits = 6 + 16 + 40;
    for (size_t i = 0; i < 37u * 23u; ++i) file[bits + 4 * i + 3] = 0;
    ImageBuffer image(kFormatIco);
    ASSERT_TRUE(DecodeBytes(file, kFormatIco, image)) << image.LastError();
    const RgbImage rgba = ReadSource("rgba.pam");
    EXPECT_TRUE(SameColours(image, rgba));
    int opaque = 0;
    for (int top = 0; top < rgba.height; ++top) {
        for (int x = 0; x < rgba.width; ++x) {
            const int alpha = image.GetAlpha(x, rgba.height - 1 - top);
            EXPECT_TRUE(alpha == 0 || alpha == 255);
            if (rgba.At(x, top)[3] == 0) {
                EXPECT_EQ(alpha, 0) << x << "," << top;
            }
            opaque += alpha == 255;
        }
    }
    EXPECT_GT(opaque, 0);
}

TEST(IcoDecoder, PngEntriesGoThroughThePngDecoder) {
    const std::string file = ReadFixtureBytes("ico/png.ico");
    ASSERT_EQ(file.substr(22, 4), "\x89PNG");
    ImageBuffer image(kFormatIco);
    ASSERT_TRUE(DecodeBytes(file, kFormatIco, image)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 24);
    const RgbImage rgba = ReadSource("rgba.pam");
    EXPECT_TRUE(SameColours(image, rgba, 0, true));
    // The PNG's alpha channel must arrive as the picture's alpha plane.
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_TRUE(SameAlpha(image, rgba));
}

// An icon directory with one entry pointing at the given data.
std::string Directory(int width, int height, int bits, const std::string& data,
                      uint32_t offset = 22) {
    std::string f;
    PutLe16(f, 0);
    PutLe16(f, 1);
    PutLe16(f, 1);
    f.push_back(static_cast<char>(width));
    f.push_back(static_cast<char>(height));
    f.push_back(0);
    f.push_back(0);
    PutLe16(f, 1);
    PutLe16(f, bits);
    PutLe32(f, static_cast<uint32_t>(data.size()));
    PutLe32(f, offset);
    return f + data;
}

std::string InfoHeader(int width, int height, int bits, uint32_t compression = 0) {
    std::string h;
    PutLe32(h, 40);
    PutLe32(h, static_cast<uint32_t>(width));
    PutLe32(h, static_cast<uint32_t>(height));
    PutLe16(h, 1);
    PutLe16(h, bits);
    PutLe32(h, compression);
    h += std::string(20, '\0');
    return h;
}

TEST(IcoDecoder, TwentyFourBitEntry) {
    // 2 x 2, rows bottom-up: blue, green / red, white; the mask hides the top-right pixel.
    std::string data = InfoHeader(2, 4, 24);
    data += std::string("\xFF\x00\x00\x00\xFF\x00\0\0", 8);  // bottom row + padding
    data += std::string("\x00\x00\xFF\xFF\xFF\xFF\0\0", 8);  // top row
    data += std::string("\x00\x00\x00\x00", 4);              // mask, bottom row
    data += std::string("\x40\x00\x00\x00", 4);              // mask, top row: x = 1
    ImageBuffer image(kFormatIco);
    ASSERT_TRUE(DecodeBytes(Directory(2, 2, 24, data), kFormatIco, image)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 24);
    EXPECT_EQ(image.GetPixelColor(0, 0), (RgbQuad{255, 0, 0, 0}));
    EXPECT_EQ(image.GetPixelColor(1, 0), (RgbQuad{0, 255, 0, 0}));
    EXPECT_EQ(image.GetPixelColor(0, 1), (RgbQuad{0, 0, 255, 0}));
    EXPECT_EQ(image.GetAlpha(0, 1), 255);
    EXPECT_EQ(image.GetAlpha(1, 1), 0);
    EXPECT_EQ(image.GetAlpha(1, 0), 255);
}

TEST(IcoDecoder, RefusesOtherFilesAndDamagedEntries) {
    struct Case {
        std::string bytes;
        const char* message;
    };
    const std::string valid = ReadFixtureBytes("ico/bmp4.ico");
    std::string cursorWithBadType = valid;
    cursorWithBadType[2] = 3;
    std::string noEntries = valid;
    noEntries[4] = 0;
    std::string offsetBeyond = valid;
    offsetBeyond[18] = '\x7F';
    std::string compressed = valid;
    compressed[22 + 16] = 1;  // run-length compression is not read in icons
    const Case cases[] = {
        {"", "Not an ICO file"},
        {cursorWithBadType, "Not an ICO file"},
        {noEntries, "Not an ICO file"},
        {valid.substr(0, 14), "corrupted ICO"},
        {offsetBeyond, "corrupted ICO"},
        {compressed, "corrupted ICO"},
        {Directory(16, 16, 8, InfoHeader(16, 0, 8)), "corrupted ICO"},
        // ppmtowinicon's 1-bit output 37 pixels wide: the mask rows are cut short (ImageMagick
        // refuses it too).
        {ReadFixtureBytes("../malformed/ico/short-mask-rows.ico"), "corrupted ICO"},
        // A bitmap entry claiming 16384 x 16384 pixels with no rows behind its header.
        {Directory(0, 0, 24, InfoHeader(16384, 32768, 24)), "corrupted ICO"},
    };
    for (const Case& c : cases) {
        ImageBuffer image(kFormatIco);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatIco, image)) << c.message;
        EXPECT_EQ(image.LastError(), c.message);
    }
}

TEST(IcoDecoder, TruncatedFilesFailCleanly) {
    for (const char* name : {"ico/bmp8-mask.ico", "ico/bmp1.ico", "ico/multi.ico"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(TruncationsFail(ReadFixtureBytes(name), kFormatIco,
                                    {"Not an ICO file", "corrupted ICO"}, 5));
    }
}

}  // namespace
}  // namespace tavolin::test
