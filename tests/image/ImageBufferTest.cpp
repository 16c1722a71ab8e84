#include <gtest/gtest.h>

#include "image/ImageBuffer.h"
#include "image/PixelMath.h"

namespace tavolin {
namespace {

TEST(ImageBuffer, CreateNormalisesDepthAndWritesTheInfoHeader) {
    ImageBuffer image;
    const std::pair<int, int> depths[] = {{0, 1}, {1, 1}, {2, 4},  {4, 4},
                                          {5, 8}, {8, 8}, {9, 24}, {32, 24}};
    for (auto [asked, got] : depths) {
        ASSERT_TRUE(image.Create(3, 2, asked, kFormatBmp));
        EXPECT_EQ(image.BitsPerPixel(), got) << asked;
    }
    ASSERT_TRUE(image.Create(5, 3, 8, kFormatPng));
    EXPECT_EQ(image.Stride(), 8u);
    EXPECT_EQ(image.PaletteEntries(), 256);
    EXPECT_EQ(image.Block().size(), 40u + 1024 + 24);
    const auto h = image.Block();
    auto u32 = [&](size_t o) { return h[o] | h[o + 1] << 8 | h[o + 2] << 16 | h[o + 3] << 24; };
    EXPECT_EQ(u32(0), 40);
    EXPECT_EQ(u32(4), 5);
    EXPECT_EQ(u32(8), 3);
    EXPECT_EQ(h[12] | h[13] << 8, 1);
    EXPECT_EQ(h[14] | h[15] << 8, 8);
    EXPECT_EQ(u32(20), 24);
    EXPECT_EQ(u32(24), 2835);  // 72 dpi
    EXPECT_EQ(u32(28), 2835);
    EXPECT_EQ(u32(32), 256);
    EXPECT_EQ(image.Format(), kFormatPng);
}

TEST(ImageBuffer, CreateRefusesEmptyAndOversizedPictures) {
    ImageBuffer image;
    EXPECT_FALSE(image.Create(0, 10, 24, kFormatBmp));
    EXPECT_FALSE(image.Create(kMaxImageDimension + 1, 1, 24, kFormatBmp));
    EXPECT_FALSE(image.Create(kMaxImageDimension, kMaxImageDimension, 24, kFormatBmp));
    EXPECT_EQ(image.LastError(), "Image too large");
    EXPECT_FALSE(image.IsValid());
}

TEST(ImageBuffer, PixelsAtEveryDepth) {
    ImageBuffer image;
    for (int bpp : {1, 4, 8}) {
        ASSERT_TRUE(image.Create(9, 2, bpp, kFormatBmp));
        image.SetPaletteColor(0, {0, 0, 0, 0});
        image.SetPaletteColor(1, {255, 255, 255, 0});
        if (bpp > 1) image.SetPaletteColor(2, {0, 0, 200, 0});
        image.SetPixelColor(8, 1, {250, 250, 240, 0});  // nearest: white
        image.SetPixelColor(7, 1, {10, 0, 0, 0});       // nearest: black
        EXPECT_EQ(image.GetPixelIndex(8, 1), 1) << bpp;
        EXPECT_EQ(image.GetPixelIndex(7, 1), 0) << bpp;
        EXPECT_EQ(image.GetPixelColor(8, 1), (RgbQuad{255, 255, 255, 0}));
        if (bpp > 1) {
            image.SetPixelColor(0, 0, {0, 10, 190, 0});
            EXPECT_EQ(image.GetPixelIndex(0, 0), 2);
            EXPECT_EQ(image.GetPixelIndex(1, 0), 0);  // the neighbour in the same byte is kept
        }
    }
    ASSERT_TRUE(image.Create(2, 2, 24, kFormatBmp));
    image.SetPixelColor(1, 0, {1, 2, 3, 0});
    EXPECT_EQ(image.Row(0)[3], 1);
    EXPECT_EQ(image.Row(0)[5], 3);
    EXPECT_EQ(image.GetPixelColor(1, 0), (RgbQuad{1, 2, 3, 0}));
    image.SetPixelColor(2, 0, {9, 9, 9, 0});  // outside: ignored
    image.SetPixelColor(-1, 0, {9, 9, 9, 0});
    EXPECT_EQ(image.GetPixelColor(5, 5), RgbQuad{});
}

TEST(ImageBuffer, LastErrorKeepsAtMost255Characters) {
    ImageBuffer image;
    image.SetLastError(std::string(300, 'e'));
    EXPECT_EQ(image.LastError().size(), 255u);
}

TEST(ImageBuffer, FormatNumbersOutsideTheTableFail) {
    ImageBuffer image;
    const uint8_t bytes[] = {'B', 'M'};
    EXPECT_FALSE(image.Decode(bytes, 10));
    EXPECT_EQ(image.LastError(), "Unsupported operation for this format");
    EXPECT_FALSE(image.Decode(bytes, -1));
    ASSERT_TRUE(image.Create(1, 1, 24, kFormatBmp));
    std::string out;
    EXPECT_FALSE(image.Encode(out, 12));
    EXPECT_EQ(image.LastError(), "Unsupported operation for this format");
    EXPECT_FALSE(image.Encode(out, kFormatWmf));
    EXPECT_EQ(image.LastError(), "Save WMF not supported");
}

TEST(ImageBuffer, ExtensionsMapToFormats) {
    EXPECT_EQ(FormatFromExtension("JPG"), kFormatJpeg);
    EXPECT_EQ(FormatFromExtension("jpeg"), kFormatJpeg);
    EXPECT_EQ(FormatFromExtension("jpe"), -1);
    EXPECT_EQ(FormatFromExtension("Tiff"), kFormatTiff);
    EXPECT_EQ(FormatFromExtension("emf"), kFormatWmf);
    EXPECT_EQ(FormatFromExtension(""), -1);
}

TEST(ImageBuffer, FlipTurnsRowsAndAlpha) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(1, 3, 24, kFormatBmp));
    image.AllocateAlpha();
    for (int y = 0; y < 3; ++y) {
        image.SetPixelColor(0, y, {static_cast<uint8_t>(y), 0, 0, 0});
        image.AlphaRow(y)[0] = static_cast<uint8_t>(10 * y);
    }
    image.FlipVertical();
    EXPECT_EQ(image.GetPixelColor(0, 0).blue, 2);
    EXPECT_EQ(image.GetPixelColor(0, 2).blue, 0);
    EXPECT_EQ(image.GetAlpha(0, 0), 20);
    ASSERT_TRUE(image.Create(1, 1, 24, kFormatBmp));
    EXPECT_FALSE(image.HasAlpha());  // released by Create
}

TEST(PixelMath, ProductsAndBlendsRoundToTheNearestValue) {
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned b = 0; b < 256; ++b) {
            ASSERT_EQ(Mul255(a, b), (a * b + 127) / 255) << a << " * " << b;
            // Over b with alpha a: a colour over itself stays, the ends show one side.
            ASSERT_EQ(Blend255(a, b, 255), a);
            ASSERT_EQ(Blend255(a, b, 0), b);
            ASSERT_EQ(Blend255(a, a, b), a);
            ASSERT_EQ(Blend255(a, 255 - a, b), (a * b + (255 - a) * (255 - b) + 127) / 255);
        }
    }
}

}  // namespace
}  // namespace tavolin
