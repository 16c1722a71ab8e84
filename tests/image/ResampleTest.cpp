#include <gtest/gtest.h>

#include <cstring>

#include "image/ImageBuffer.h"

namespace tavolin {
namespace {

RgbQuad Bgr(int b, int g, int r) {
    return {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
}

/// A picture whose every pixel tells where it came from.
ImageBuffer Numbered(int width, int height, int bpp) {
    ImageBuffer image;
    EXPECT_TRUE(image.Create(width, height, bpp, kFormatJpeg));
    for (int i = 0; i < image.PaletteEntries(); ++i)
        image.SetPaletteColor(i, Bgr(i, 255 - i, 7 * i));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (bpp == 24)
                image.SetPixelColor(x, y, Bgr(x & 0xFF, y & 0xFF, (x * 7 + y * 13) & 0xFF));
            else
                image.SetPixelIndex(x, y, static_cast<uint8_t>((x * 3 + y * 5) % (1 << bpp)));
        }
    }
    return image;
}

/// The nearest-pixel rule as written down for the pipeline, one GetPixelColor at a time (into a
/// 24-bit picture, so only the colours are compared).
ImageBuffer Reference(const ImageBuffer& source, int width, int height) {
    ImageBuffer out;
    EXPECT_TRUE(out.Create(width, height, 24, source.Format()));
    const float xScale = static_cast<float>(source.Width()) / static_cast<float>(width);
    const float yScale = static_cast<float>(source.Height()) / static_cast<float>(height);
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(static_cast<float>(y) * yScale);
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(static_cast<float>(x) * xScale);
            out.SetPixelColor(x, y, source.GetPixelColor(sx, sy));
        }
    }
    return out;
}

void ExpectSameColours(const ImageBuffer& a, const ImageBuffer& b, const std::string& what) {
    ASSERT_EQ(a.Width(), b.Width()) << what;
    ASSERT_EQ(a.Height(), b.Height()) << what;
    int wrong = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (!(a.GetPixelColor(x, y) == b.GetPixelColor(x, y)) && ++wrong < 4) {
                ADD_FAILURE() << what << " differs at " << x << "," << y;
            }
        }
    }
}

TEST(ResampleFast, OnePixelFillsAWholeScreen) {
    for (int bpp : {24, 8, 1}) {
        ImageBuffer image;
        ASSERT_TRUE(image.Create(1, 1, bpp, kFormatBmp));
        image.SetPaletteColor(1, Bgr(10, 20, 30));
        if (bpp == 24)
            image.SetPixelColor(0, 0, Bgr(10, 20, 30));
        else
            image.SetPixelIndex(0, 0, 1);
        ASSERT_TRUE(image.Resample(1024, 768, true));
        ASSERT_EQ(image.Width(), 1024);
        ASSERT_EQ(image.Height(), 768);
        EXPECT_EQ(image.BitsPerPixel(), bpp);
        int wrong = 0;
        for (int y = 0; y < 768; ++y) {
            for (int x = 0; x < 1024; ++x) wrong += !(image.GetPixelColor(x, y) == Bgr(10, 20, 30));
        }
        EXPECT_EQ(wrong, 0) << bpp;
    }
}

TEST(ResampleFast, HalvingTakesEvenCoordinates) {
    const ImageBuffer source = Numbered(100, 100, 24);
    ImageBuffer image = source;
    ASSERT_TRUE(image.Resample(50, 50, true));
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 50; ++x) {
            ASSERT_EQ(image.GetPixelColor(x, y), source.GetPixelColor(2 * x, 2 * y))
                << x << "," << y;
        }
    }
}

TEST(ResampleFast, SameSizeChangesNothingAndZeroSizeFails) {
    ImageBuffer image = Numbered(17, 9, 8);
    const std::vector<uint8_t> before(image.Block().begin(), image.Block().end());
    for (bool fast : {true, false}) {
        EXPECT_TRUE(image.Resample(17, 9, fast));
        EXPECT_TRUE(
            std::equal(before.begin(), before.end(), image.Block().begin(), image.Block().end()));
    }
    EXPECT_FALSE(image.Resample(0, 9, true));
    EXPECT_FALSE(image.Resample(17, 0, false));
    EXPECT_FALSE(image.Resample(-3, 9, true));
    EXPECT_EQ(image.Width(), 17);
    ImageBuffer empty;
    EXPECT_FALSE(empty.Resample(10, 10, true));
}

TEST(ResampleFast, MatchesThePixelByPixelRuleAtEveryDepth) {
    const std::pair<int, int> sizes[][2] = {{{37, 23}, {101, 7}}, {{640, 480}, {33, 1001}},
                                            {{5, 3}, {640, 360}}, {{1001, 601}, {1000, 600}},
                                            {{9, 9}, {8, 17}},    {{2, 2}, {82, 94}}};
    for (int bpp : {1, 4, 8, 24}) {
        for (const auto& s : sizes) {
            const ImageBuffer source = Numbered(s[0].first, s[0].second, bpp);
            ImageBuffer image = source;
            ASSERT_TRUE(image.Resample(s[1].first, s[1].second, true));
            EXPECT_EQ(image.BitsPerPixel(), bpp);
            EXPECT_EQ(image.Format(), kFormatJpeg);
            const std::string what = std::to_string(bpp) + " bpp " + std::to_string(s[0].first) +
                                     "x" + std::to_string(s[0].second) + " to " +
                                     std::to_string(s[1].first) + "x" + std::to_string(s[1].second);
            ExpectSameColours(image, Reference(source, s[1].first, s[1].second), what);
        }
    }
}

TEST(ResampleFast, UsesSinglePrecisionScaleFactors) {
    // 2 / 82 in single precision times 41 comes out just below 1, so target column 41 still
    // shows source column 0 (exact arithmetic would pick column 1).
    ImageBuffer image;
    ASSERT_TRUE(image.Create(2, 2, 24, kFormatBmp));
    image.SetPixelColor(1, 0, Bgr(255, 255, 255));
    image.SetPixelColor(0, 1, Bgr(0, 0, 255));
    ASSERT_TRUE(image.Resample(82, 82, true));
    EXPECT_EQ(image.GetPixelColor(41, 0), Bgr(0, 0, 0));
    EXPECT_EQ(image.GetPixelColor(42, 0), Bgr(255, 255, 255));
    EXPECT_EQ(image.GetPixelColor(0, 41), Bgr(0, 0, 0));
    EXPECT_EQ(image.GetPixelColor(0, 42), Bgr(0, 0, 255));
}

TEST(ResampleFast, KeepsPaletteIndicesResolutionTransparencyAndAlpha) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(4, 2, 8, kFormatGif));
    image.SetDpi(120, 60);
    image.SetTransparentIndex(7);
    // Two entries of the same colour: the index, not the first match, must survive.
    image.SetPaletteColor(3, Bgr(1, 2, 3));
    image.SetPaletteColor(9, Bgr(1, 2, 3));
    image.AllocateAlpha();
    for (int x = 0; x < 4; ++x) {
        image.SetPixelIndex(x, 0, 9);
        image.SetPixelIndex(x, 1, 3);
        image.AlphaRow(0)[x] = static_cast<uint8_t>(x * 50);
        image.AlphaRow(1)[x] = 200;
    }
    ASSERT_TRUE(image.Resample(8, 4, true));
    EXPECT_EQ(image.GetPixelIndex(5, 0), 9);
    EXPECT_EQ(image.GetPixelIndex(5, 3), 3);
    EXPECT_EQ(image.Palette()[9], Bgr(1, 2, 3));
    EXPECT_EQ(image.DpiX(), 120);
    EXPECT_EQ(image.DpiY(), 60);
    EXPECT_EQ(image.TransparentIndex(), 7);
    EXPECT_EQ(image.Format(), kFormatGif);
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(image.GetAlpha(7, 1), 150);
    EXPECT_EQ(image.GetAlpha(2, 1), 50);
    EXPECT_EQ(image.GetAlpha(0, 2), 200);
}

TEST(ResampleFast, CancelKeepsTheOldPicture) {
    ImageBuffer image = Numbered(20, 20, 24);
    image.SetCancel(true);
    EXPECT_FALSE(image.Resample(40, 40, true));
    EXPECT_EQ(image.LastError(), "Cancelled");
    EXPECT_EQ(image.Width(), 20);
    EXPECT_EQ(image.GetPixelColor(3, 4), Numbered(20, 20, 24).GetPixelColor(3, 4));
}

TEST(ResampleFast, BeyondTheCeilingFails) {
    ImageBuffer image = Numbered(2, 2, 24);
    EXPECT_FALSE(image.Resample(kMaxImageDimension + 1, 2, true));
    EXPECT_EQ(image.Width(), 2);
}

TEST(ResampleSmooth, ShrinkingAveragesAreas) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(4, 4, 24, kFormatBmp));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            image.SetPixelColor(x, y, ((x + y) & 1) ? Bgr(255, 255, 255) : Bgr(0, 0, 0));
        }
    }
    ImageBuffer half = image;
    ASSERT_TRUE(half.Resample(2, 2, false));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) EXPECT_EQ(half.GetPixelColor(x, y), Bgr(128, 128, 128));
    }
    // Three source pixels to two: the middle one is shared half and half.
    ImageBuffer row;
    ASSERT_TRUE(row.Create(3, 1, 24, kFormatBmp));
    row.SetPixelColor(0, 0, Bgr(0, 0, 0));
    row.SetPixelColor(1, 0, Bgr(90, 90, 90));
    row.SetPixelColor(2, 0, Bgr(240, 240, 240));
    ASSERT_TRUE(row.Resample(2, 1, false));
    EXPECT_EQ(row.GetPixelColor(0, 0), Bgr(30, 30, 30));     // (0 * 1 + 90 * 0.5) / 1.5
    EXPECT_EQ(row.GetPixelColor(1, 0), Bgr(190, 190, 190));  // (90 * 0.5 + 240) / 1.5
}

TEST(ResampleSmooth, EnlargingInterpolatesAndKeepsTheEnds) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(2, 1, 24, kFormatBmp));
    image.SetPixelColor(0, 0, Bgr(0, 0, 0));
    image.SetPixelColor(1, 0, Bgr(200, 100, 40));
    ASSERT_TRUE(image.Resample(8, 3, false));
    EXPECT_EQ(image.GetPixelColor(0, 1), Bgr(0, 0, 0));
    EXPECT_EQ(image.GetPixelColor(7, 2), Bgr(200, 100, 40));
    for (int x = 1; x < 8; ++x) {
        EXPECT_GE(image.GetPixelColor(x, 0).blue, image.GetPixelColor(x - 1, 0).blue);
    }
    EXPECT_EQ(image.GetPixelColor(3, 0).blue, 75);  // centre 3.5 / 4 - 0.5 = 0.375 of the way
}

TEST(ResampleSmooth, PalettePicturesBecomeTrueColourAndAlphaWeighsColours) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(2, 1, 1, kFormatBmp));
    image.SetPaletteColor(1, Bgr(255, 255, 255));
    image.SetPixelIndex(1, 0, 1);
    ASSERT_TRUE(image.Resample(1, 1, false));
    EXPECT_EQ(image.BitsPerPixel(), 24);
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(128, 128, 128));

    // A transparent red pixel beside an opaque blue one lends no red.
    ASSERT_TRUE(image.Create(2, 1, 24, kFormatPng));
    image.SetPixelColor(0, 0, Bgr(0, 0, 255));
    image.SetPixelColor(1, 0, Bgr(255, 0, 0));
    image.AllocateAlpha();
    image.AlphaRow(0)[0] = 0;
    ASSERT_TRUE(image.Resample(1, 1, false));
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(255, 0, 0));
    EXPECT_EQ(image.GetAlpha(0, 0), 128);
}

}  // namespace
}  // namespace tavolin
