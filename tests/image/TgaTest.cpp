#include <gtest/gtest.h>

#include "FormatTestSupport.h"

namespace tavolin::test {
namespace {

struct TgaFixture {
    const char* file;
    const char* source;
    int type;
    bool topDown;
    int bitsPerPixel;  // of the decoded picture
};

// netpbm writes bottom-up files, ImageMagick (with -orient TopLeft) top-down ones.
const TgaFixture kFixtures[] = {
    {"tga/type1.tga", "pal.ppm", 1, false, 8},     {"tga/type9.tga", "pal.ppm", 9, false, 8},
    {"tga/type2.tga", "rgb.ppm", 2, false, 24},    {"tga/type10.tga", "rgb.ppm", 10, false, 24},
    {"tga/type3.tga", "grey.pgm", 3, false, 8},    {"tga/type11.tga", "grey.pgm", 11, false, 8},
    {"tga/top-type1.tga", "pal.ppm", 1, true, 8},  {"tga/top-type9.tga", "pal.ppm", 9, true, 8},
    {"tga/top-type2.tga", "rgb.ppm", 2, true, 24}, {"tga/top-type10.tga", "rgb.ppm", 10, true, 24},
    {"tga/top-type3.tga", "grey.pgm", 3, true, 8}, {"tga/top-type11.tga", "grey.pgm", 11, true, 8},
};

TEST(TgaDecoder, ReadsAllSixTypesInBothOriginsAsTheSourcePicture) {
    for (const TgaFixture& f : kFixtures) {
        SCOPED_TRACE(f.file);
        const std::string bytes = ReadFixtureBytes(f.file);
        ASSERT_GE(bytes.size(), 18u);
        ASSERT_EQ(bytes[2], f.type);  // the fixture is what it claims to be
        ASSERT_EQ((bytes[17] & 0x20) != 0, f.topDown);
        ImageBuffer image(kFormatTga);
        ASSERT_TRUE(DecodeBytes(bytes, kFormatTga, image)) << image.LastError();
        EXPECT_EQ(image.BitsPerPixel(), f.bitsPerPixel);
        EXPECT_TRUE(SameColours(image, ReadSource(f.source)));
        RgbImage magick;
        if (MagickRead(ImageFixture(f.file), magick)) {
            EXPECT_TRUE(SameColours(image, magick));
        }
    }
}

TEST(TgaDecoder, ReadsRightToLeftSixteenBitAndAlphaFiles) {
    // netpbm's type 2 file with every row turned round and the right-to-left bit set.
    std::string mirrored = ReadFixtureBytes("tga/type2.tga");
    ASSERT_EQ(mirrored.size(), 18u + 10 + 37 * 23 * 3);
    mirrored[17] = static_cast<char>(mirrored[17] | 0x10);
    for (size_t row = 0; row < 23; ++row) {
        const size_t start = 28 + row * 37 * 3;
        for (size_t x = 0; x < 18; ++x) {
            for (size_t k = 0; k < 3; ++k) {
                std::swap(mirrored[start + 3 * x + k], mirrored[start + 3 * (36 - x) + k]);
            }
        }
    }
    ImageBuffer image(kFormatTga);
    ASSERT_TRUE(DecodeBytes(mirrored, kFormatTga, image));
    EXPECT_TRUE(SameColours(image, ReadSource("rgb.ppm")));

    // 5 bits per channel: near the source (ImageMagick reduces to 5 bits coarsely),
    // and exactly as ImageMagick reads it.
    ASSERT_TRUE(DecodeBytes(ReadFixtureBytes("tga/depth16.tga"), kFormatTga, image))
        << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 24);
    EXPECT_TRUE(SameColours(image, ReadSource("rgb.ppm"), 24));
    RgbImage magick;
    if (MagickRead(ImageFixture("tga/depth16.tga"), magick)) {
        EXPECT_TRUE(SameColours(image, magick));
    }

    ASSERT_TRUE(DecodeBytes(ReadFixtureBytes("tga/alpha32.tga"), kFormatTga, image));
    const RgbImage rgba = ReadSource("rgba.pam");
    EXPECT_TRUE(SameColours(image, rgba));
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_TRUE(SameAlpha(image, rgba));
}

std::string Header(int idLength, int mapType, int type, int mapLength, int mapBits, int width,
                   int height, int bits, int descriptor) {
    std::string h;
    h.push_back(static_cast<char>(idLength));
    h.push_back(static_cast<char>(mapType));
    h.push_back(static_cast<char>(type));
    PutLe16(h, 0);
    PutLe16(h, mapLength);
    h.push_back(static_cast<char>(mapBits));
    PutLe32(h, 0);
    PutLe16(h, width);
    PutLe16(h, height);
    h.push_back(static_cast<char>(bits));
    h.push_back(static_cast<char>(descriptor));
    return h;
}

TEST(TgaDecoder, RunPacketsCrossRowsAndAreCutAtTheLastPixel) {
    // 3 x 2 true colour: one run of 4 pixels over both rows, then a raw packet of 3 pixels
    // that only has room for 2.
    std::string file = Header(0, 0, 10, 0, 0, 3, 2, 24, 0x20);
    file += std::string("\x83\x00\x00\xFF", 4);                           // 4 x red
    file += std::string("\x02\x00\xFF\x00\xFF\x00\x00\x00\x00\x00", 10);  // green, blue, (black)
    ImageBuffer image(kFormatTga);
    ASSERT_TRUE(DecodeBytes(file, kFormatTga, image)) << image.LastError();
    const RgbQuad red{0, 0, 255, 0}, green{0, 255, 0, 0}, blue{255, 0, 0, 0};
    // Top-down file: the first three pixels form the top row (y = 1).
    EXPECT_EQ(image.GetPixelColor(0, 1), red);
    EXPECT_EQ(image.GetPixelColor(2, 1), red);
    EXPECT_EQ(image.GetPixelColor(0, 0), red);
    EXPECT_EQ(image.GetPixelColor(1, 0), green);
    EXPECT_EQ(image.GetPixelColor(2, 0), blue);
}

TEST(TgaDecoder, RefusesUnknownTypesAndDamagedHeaders) {
    struct Case {
        std::string bytes;
        const char* message;
    };
    const std::string pixel(3, '\0');
    const Case cases[] = {
        {"", "Not a TGA"},
        {Header(0, 2, 2, 0, 0, 1, 1, 24, 0) + pixel, "Not a TGA"},  // colour map type
        {Header(0, 0, 0, 0, 0, 1, 1, 24, 0) + pixel, "Unknown TGA image type"},
        {Header(0, 0, 4, 0, 0, 1, 1, 24, 0) + pixel, "Unknown TGA image type"},
        {Header(0, 0, 32, 0, 0, 1, 1, 24, 0) + pixel, "Unknown TGA image type"},
        {Header(0, 0, 2, 0, 0, 1, 1, 12, 0) + pixel, "Not a TGA"},        // depth
        {Header(0, 0, 1, 0, 0, 1, 1, 8, 0) + pixel, "Not a TGA"},         // mapped, no map
        {Header(0, 1, 1, 2, 7, 1, 1, 8, 0) + pixel, "Not a TGA"},         // map entry size
        {Header(0, 0, 2, 0, 0, 0, 1, 24, 0) + pixel, "corrupted TGA"},    // no width
        {Header(0, 0, 2, 0, 0, 2, 1, 24, 0) + pixel, "corrupted TGA"},    // short data
        {Header(200, 0, 2, 0, 0, 1, 1, 24, 0) + pixel, "corrupted TGA"},  // ID beyond the end
        {Header(0, 1, 1, 300, 24, 1, 1, 8, 0), "corrupted TGA"},          // map beyond the end
        // 65535 x 65535 is beyond the shared ceiling; refused before anything is allocated.
        {Header(0, 0, 2, 0, 0, 65535, 65535, 24, 0) + pixel, "Image too large"},
        // A run-length file far too short for its size is refused before allocation too.
        {Header(0, 0, 10, 0, 0, 16000, 8000, 24, 0) + std::string("\xFF\0\0\0", 4),
         "corrupted TGA"},
    };
    for (const Case& c : cases) {
        ImageBuffer image(kFormatTga);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatTga, image));
        EXPECT_EQ(image.LastError(), c.message);
    }
}

TEST(TgaDecoder, TruncatedFilesFailCleanly) {
    for (const char* name : {"tga/type1.tga", "tga/type9.tga", "tga/type10.tga", "tga/type11.tga",
                             "tga/top-type9.tga", "tga/alpha32.tga"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(
            TruncationsFail(ReadFixtureBytes(name), kFormatTga, {"Not a TGA", "corrupted TGA"}, 7));
    }
}

}  // namespace
}  // namespace tavolin::test
