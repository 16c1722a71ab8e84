// tavolin-cli convert end to end: files written by ImageMagick go in, the bitmap that comes out
// must look to ImageMagick exactly like the original (within a step for lossy JPEG).

#include <gtest/gtest.h>

#include "../cli/CliRunner.h"
#include "ImageTestSupport.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

struct ConvertCase {
    const char* file;
    const char* options;
    int tolerance;
    int depth;  // bits per pixel of the bitmap written
};

// Test names and failure messages show the file, not the bytes of the case.
void PrintTo(const ConvertCase& c, std::ostream* os) {
    *os << c.file;
}

class ConvertCli : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertCli, BitmapMatchesImageMagicksDecode) {
    if (!test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const ConvertCase& c = GetParam();
    test::TempDir dir;
    const auto in = dir / c.file;
    const auto out = dir / "out.bmp";
    // Options ending in a coder prefix ("BMP3:") stick to the file name.
    const std::string options = c.options;
    const std::string glue = !options.empty() && options.back() == ':' ? "" : " ";
    ASSERT_TRUE(
        test::RunTool("convert rose: -resize 150% \\( -size 105x12 gradient:orange-teal \\) "
                      "-append " +
                      options + glue + test::Quote(in)));
    const auto r = test::RunCli(dir.path(), {"convert", in.string(), out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("105 x 81"), std::string::npos) << r.out;

    const std::string bmp = test::ReadBytes(out);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<uint8_t>(bmp[28]), c.depth);

    test::RgbImage original, converted;
    ASSERT_TRUE(test::MagickDecode(in, original));
    ASSERT_TRUE(test::MagickDecode(out, converted));
    ASSERT_EQ(converted.width, original.width);
    ASSERT_EQ(converted.height, original.height);
    int worst = 0;
    for (size_t i = 0; i < original.samples.size(); ++i) {
        worst = std::max(worst, std::abs(original.samples[i] - converted.samples[i]));
    }
    EXPECT_LE(worst, c.tolerance) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ConvertCli,
    ::testing::Values(ConvertCase{"photo.bmp", "", 0, 24},
                      ConvertCase{"rle.bmp", "-colors 60 -type Palette -compress RLE BMP3:", 0, 8},
                      ConvertCase{"photo.jpg", "-quality 85", 1, 24},
                      ConvertCase{"GREY.JPEG", "-colorspace Gray -interlace Plane", 1, 8},
                      ConvertCase{"photo.png", "", 0, 24},
                      ConvertCase{"palette.png", "-colors 14 -type Palette", 0, 4},
                      ConvertCase{"photo.tif", "-compress LZW", 0, 24},
                      ConvertCase{"cmyk.tiff", "-colorspace CMYK -compress Zip", 1, 24}),
    [](const ::testing::TestParamInfo<ConvertCase>& param) {
        std::string n = param.param.file;
        for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return n;
    });

TEST(ConvertCliFailures, MessagesAndExitCodes) {
    test::TempDir dir;
    test::WriteBytes(dir / "broken.jpg", "this is not a picture");
    auto r = test::RunCli(dir.path(),
                          {"convert", (dir / "broken.jpg").string(), (dir / "o.bmp").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Not a JPEG file"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "o.bmp"));

    test::WriteBytes(dir / "x.xyz", "whatever");
    r = test::RunCli(dir.path(), {"convert", (dir / "x.xyz").string(), (dir / "o.bmp").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unsupported operation for this format"), std::string::npos) << r.err;

    r = test::RunCli(dir.path(),
                     {"convert", (dir / "missing.png").string(), (dir / "o.bmp").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;

    r = test::RunCli(dir.path(), {"convert", (dir / "broken.jpg").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: tavolin-cli convert IN OUT.bmp"), std::string::npos) << r.err;
    r = test::RunCli(dir.path(),
                     {"convert", (dir / "broken.jpg").string(), (dir / "o.png").string()});
    EXPECT_EQ(r.exitCode, 2);

    // A bitmap we write ourselves converts back to the same bytes.
    ImageBuffer image;
    ASSERT_TRUE(image.Create(3, 2, 4, kFormatBmp));
    image.SetPaletteColor(5, {1, 2, 3, 0});
    image.SetPixelIndex(2, 1, 5);
    ASSERT_TRUE(image.Save(dir / "small.BMP", kFormatBmp));
    r = test::RunCli(dir.path(),
                     {"convert", (dir / "small.BMP").string(), (dir / "copy.bmp").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadBytes(dir / "copy.bmp"), test::ReadBytes(dir / "small.BMP"));
}

}  // namespace
}  // namespace tavolin
