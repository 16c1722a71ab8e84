#include <gtest/gtest.h>

#include "FormatTestSupport.h"

namespace tavolin::test {
namespace {

TEST(WbmpDecoder, ReadsFilesOfNetpbmAndImageMagickAsTheSourcePicture) {
    const RgbImage source = ReadSource("mono.pbm");
    for (const char* name : {"wbmp/netpbm.wbmp", "wbmp/im.wbmp"}) {
        SCOPED_TRACE(name);
        ImageBuffer image(kFormatWbmp);
        ASSERT_TRUE(DecodeBytes(ReadFixtureBytes(name), kFormatWbmp, image)) << image.LastError();
        EXPECT_EQ(image.BitsPerPixel(), 1);
        EXPECT_TRUE(SameColours(image, source));
        RgbImage magick;
        if (MagickRead(ImageFixture(name), magick)) {
            EXPECT_TRUE(SameColours(image, magick));
        }
    }
}

TEST(WbmpDecoder, ReadsSizesThatTakeSeveralBytes) {
    // 200 x 130: both sizes need two 7-bit groups.
    const std::string bytes = ReadFixtureBytes("wbmp/wide.wbmp");
    ASSERT_EQ(bytes.substr(2, 4), std::string("\x81\x48\x81\x02", 4));
    ImageBuffer image(kFormatWbmp);
    ASSERT_TRUE(DecodeBytes(bytes, kFormatWbmp, image)) << image.LastError();
    EXPECT_EQ(image.Width(), 200);
    EXPECT_EQ(image.Height(), 130);
    RgbImage magick;
    if (!MagickRead(ImageFixture("wbmp/wide.wbmp"), magick)) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    EXPECT_TRUE(SameColours(image, magick));
}

TEST(WbmpDecoder, RefusesOtherTypesAndDamagedHeaders) {
    struct Case {
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"", "Not a WBMP"},
        {std::string("\x01\x00\x08\x01\xFF", 5), "Unsupported WBMP type"},
        {std::string("\x81\x00\x00\x08\x01\xFF", 6), "Unsupported WBMP type"},
        {std::string("\x00\x80\x08\x01\xFF", 5), "Not a WBMP"},  // extension headers
        {std::string("\x00\x00\xFF\xFF\xFF\xFF\xFF\x7F\x01\xFF", 10), "Not a WBMP"},
        {std::string("\x00\x00\x00\x01", 4), "Corrupted WBMP"},
        {std::string("\x00\x00\x08\x00", 4), "Corrupted WBMP"},
        // 2^28 x 1: refused by the size ceiling before anything is allocated.
        {std::string("\x00\x00\x81\x80\x80\x80\x00\x01", 8), "Image too large"},
        // 16 x 2 needs four bytes of pixels, three are there.
        {std::string("\x00\x00\x10\x02\xFF\xFF\xFF", 7), "Corrupted WBMP"},
    };
    for (const Case& c : cases) {
        ImageBuffer image(kFormatWbmp);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatWbmp, image));
        EXPECT_EQ(image.LastError(), c.message);
    }
}

TEST(WbmpDecoder, TruncatedFilesFailCleanly) {
    EXPECT_TRUE(TruncationsFail(ReadFixtureBytes("wbmp/netpbm.wbmp"), kFormatWbmp,
                                {"Not a WBMP", "Corrupted WBMP"}));
}

TEST(WbmpDecoder, PaddingBitsOfTheLastByteStayClear) {
    // 3 x 1, white pixels and set padding bits: the stored row keeps only the three pixels.
    ImageBuffer image(kFormatWbmp);
    ASSERT_TRUE(DecodeBytes(std::string("\x00\x00\x03\x01\xFF", 5), kFormatWbmp, image));
    EXPECT_EQ(image.Row(0)[0], 0xE0);
    EXPECT_EQ(image.GetPixelColor(2, 0), (RgbQuad{255, 255, 255, 0}));
}

}  // namespace
}  // namespace tavolin::test
