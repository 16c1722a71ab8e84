// JPEG, PNG and TIFF decoding. Fixtures are written in the test through the libraries' own
// encoders, so every colour type, depth and layout is covered with known pixels; files written
// by ImageMagick are checked against ImageMagick's own decode.

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "ImageTestSupport.h"
#include "image/ImageBuffer.h"
#include "image/formats/Codecs.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using test::Bytes;

RgbQuad Bgr(int b, int g, int r) {
    return {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
}

int ColourDistance(RgbQuad a, RgbQuad b) {
    return std::max(
        {std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

// ===== PNG =====================================================================================

struct PngFixture {
    int width = 5;
    int height = 3;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlace = false;
    std::function<std::vector<int>(int x, int top)> sample;  // channel values of one pixel
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;
    bool trnsColour = false;
    png_color_16 trns{};
};

int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
        default:
            return 1;
    }
}

void AppendPng(png_structp png, png_bytep data, size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

std::string WritePng(const PngFixture& s) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::vector<uint8_t>> rows(s.height);
    std::vector<png_bytep> pointers;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "PNG writer failed";
        return {};
    }
    png_set_write_fn(png, &out, AppendPng, nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) {
        png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    }
    if (!s.paletteAlpha.empty()) {
        png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()),
                     nullptr);
    }
    if (s.trnsColour) png_set_tRNS(png, info, nullptr, 0, &s.trns);
    png_set_pHYs(png, info, 5906, 5906, PNG_RESOLUTION_METER);  // 150 dpi
    png_write_info(png, info);
    const int channels = Channels(s.colorType);
    for (int top = 0; top < s.height; ++top) {
        std::vector<uint8_t>& row = rows[top];
        row.assign((static_cast<size_t>(s.width) * channels * s.bitDepth + 7) / 8, 0);
        size_t bit = 0;
        for (int x = 0; x < s.width; ++x) {
            for (int v : s.sample(x, top)) {
                if (s.bitDepth == 16) {
                    row[bit / 8] = static_cast<uint8_t>(v >> 8);
                    row[bit / 8 + 1] = static_cast<uint8_t>(v);
                } else {
                    row[bit / 8] |= static_cast<uint8_t>(v << (8 - s.bitDepth - bit % 8));
                }
                bit += s.bitDepth;
            }
        }
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

int Max(int bitDepth) {
    return (1 << bitDepth) - 1;
}

/// Sample level scaled to 8 bits as the decoder must give it.
int To8(int v, int bitDepth) {
    return bitDepth == 16 ? (v * 255 + 32767) / 65535 : v * 255 / Max(bitDepth);
}

TEST(PngDecode, GreyAtEveryDepthBecomesAGreyPalettePicture) {
    const std::pair<int, int> depths[] = {{1, 1}, {2, 4}, {4, 4}, {8, 8}, {16, 8}};
    for (bool interlace : {false, true}) {
        for (const auto& depth : depths) {
            const int bitDepth = depth.first;  // (clang 14 cannot capture structured bindings)
            const int expectedBpp = depth.second;
            PngFixture s;
            s.width = 11;
            s.height = 9;
            s.colorType = PNG_COLOR_TYPE_GRAY;
            s.bitDepth = bitDepth;
            s.interlace = interlace;
            s.sample = [&](int x, int top) {
                return std::vector<int>{((x * 5 + top * 3) * (bitDepth == 16 ? 1237 : 1)) %
                                        (Max(bitDepth) + 1)};
            };
            ImageBuffer image;
            ASSERT_TRUE(image.Decode(Bytes(WritePng(s)), kFormatPng)) << image.LastError();
            EXPECT_EQ(image.BitsPerPixel(), expectedBpp) << bitDepth;
            EXPECT_FALSE(image.HasAlpha());
            EXPECT_EQ(image.DpiX(), 150);
            for (int top = 0; top < s.height; ++top) {
                for (int x = 0; x < s.width; ++x) {
                    const int g = To8(s.sample(x, top)[0], bitDepth);
                    ASSERT_EQ(image.GetPixelColor(x, s.height - 1 - top), Bgr(g, g, g))
                        << bitDepth << " bits at " << x << "," << top
                        << (interlace ? " interlaced" : "");
                }
            }
        }
    }
}

TEST(PngDecode, PalettePicturesKeepIndicesAndTransparency) {
    for (bool interlace : {false, true}) {
        for (int bitDepth : {1, 2, 4, 8}) {
            PngFixture s;
            s.width = 13;
            s.height = 6;
            s.colorType = PNG_COLOR_TYPE_PALETTE;
            s.bitDepth = bitDepth;
            s.interlace = interlace;
            const int entries = 1 << bitDepth;
            for (int i = 0; i < entries; ++i) {
                s.palette.push_back({static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i),
                                     static_cast<uint8_t>(i * 7)});
            }
            s.paletteAlpha = {255, 0};  // entry 1 fully transparent, the rest opaque
            s.sample = [&](int x, int top) { return std::vector<int>{(x + 2 * top) % entries}; };
            ImageBuffer image;
            ASSERT_TRUE(image.Decode(Bytes(WritePng(s)), kFormatPng)) << image.LastError();
            EXPECT_EQ(image.BitsPerPixel(), ImageBuffer::NormaliseDepth(bitDepth));
            EXPECT_EQ(image.TransparentIndex(), 1);
            ASSERT_TRUE(image.HasAlpha());
            for (int top = 0; top < s.height; ++top) {
                for (int x = 0; x < s.width; ++x) {
                    const int index = s.sample(x, top)[0];
                    const int y = s.height - 1 - top;
                    ASSERT_EQ(image.GetPixelIndex(x, y), index)
                        << bitDepth << " " << x << "," << top;
                    ASSERT_EQ(image.GetPixelColor(x, y), Bgr(index * 7, 255 - index, index * 3));
                    ASSERT_EQ(image.GetAlpha(x, y), index == 1 ? 0 : 255);
                }
            }
        }
    }
}

TEST(PngDecode, TrueColourAndAlphaAtEightAndSixteenBits) {
    const int types[] = {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_GRAY_ALPHA};
    for (bool interlace : {false, true}) {
        for (int type : types) {
            for (int bitDepth : {8, 16}) {
                PngFixture s;
                s.width = 10;
                s.height = 7;
                s.colorType = type;
                s.bitDepth = bitDepth;
                s.interlace = interlace;
                const int m = Max(bitDepth);
                s.sample = [&](int x, int top) {
                    std::vector<int> v = {(x * 977 + top * 13) % (m + 1),
                                          (x * 31 + top * 5003) % (m + 1), (x * top * 71) % (m + 1),
                                          (x * 40 + top * 3) % (m + 1)};
                    if (type == PNG_COLOR_TYPE_RGB) v.resize(3);
                    if (type == PNG_COLOR_TYPE_GRAY_ALPHA) v = {v[0], v[3]};
                    return v;
                };
                ImageBuffer image;
                ASSERT_TRUE(image.Decode(Bytes(WritePng(s)), kFormatPng)) << image.LastError();
                const bool grey = type == PNG_COLOR_TYPE_GRAY_ALPHA;
                EXPECT_EQ(image.BitsPerPixel(), grey ? 8 : 24);
                EXPECT_EQ(image.HasAlpha(), type != PNG_COLOR_TYPE_RGB);
                for (int top = 0; top < s.height; ++top) {
                    for (int x = 0; x < s.width; ++x) {
                        const auto v = s.sample(x, top);
                        const int y = s.height - 1 - top;
                        const RgbQuad want = grey ? Bgr(To8(v[0], bitDepth), To8(v[0], bitDepth),
                                                        To8(v[0], bitDepth))
                                                  : Bgr(To8(v[2], bitDepth), To8(v[1], bitDepth),
                                                        To8(v[0], bitDepth));
                        ASSERT_EQ(image.GetPixelColor(x, y), want)
                            << type << "/" << bitDepth << " at " << x << "," << top;
                        if (image.HasAlpha()) {
                            ASSERT_EQ(image.GetAlpha(x, y), To8(v.back(), bitDepth));
                        }
                    }
                }
            }
        }
    }
}

TEST(PngDecode, TransparentColourBecomesAnAlphaPlane) {
    PngFixture s;
    s.width = 4;
    s.height = 1;
    s.sample = [](int x, int) { return std::vector<int>{x * 10, 20, 30}; };
    s.trnsColour = true;
    s.trns.red = 10;
    s.trns.green = 20;
    s.trns.blue = 30;
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(WritePng(s)), kFormatPng)) << image.LastError();
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(image.GetAlpha(0, 0), 255);
    EXPECT_EQ(image.GetAlpha(1, 0), 0);
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(30, 20, 10));

    s.colorType = PNG_COLOR_TYPE_GRAY;
    s.bitDepth = 16;
    s.sample = [](int x, int) { return std::vector<int>{x * 1000}; };
    s.trns.gray = 2000;
    ASSERT_TRUE(image.Decode(Bytes(WritePng(s)), kFormatPng)) << image.LastError();
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(image.GetAlpha(2, 0), 0);
    EXPECT_EQ(image.GetAlpha(3, 0), 255);
    EXPECT_EQ(image.GetPixelColor(3, 0), Bgr(12, 12, 12));  // 3000 of 65535
}

TEST(PngDecode, DecodesFromASubSpanOfALargerFile) {
    PngFixture s;
    s.sample = [](int x, int top) { return std::vector<int>{x, top, 99}; };
    const std::string png = WritePng(s);
    const std::string container = "HEADER!" + png + "TRAILER";
    ByteReader in(Bytes(container).subspan(7, png.size()));
    ImageBuffer image(kFormatIco);
    ASSERT_TRUE(codecs::DecodePng(in, image)) << image.LastError();
    EXPECT_EQ(image.GetPixelColor(4, 0), Bgr(99, 2, 4));
}

TEST(PngDecode, DamagedFilesFailWithTheLibraryMessage) {
    PngFixture s;
    s.width = 64;
    s.height = 64;
    s.sample = [](int x, int top) { return std::vector<int>{x * 4, top * 4, (x ^ top) & 255}; };
    const std::string png = WritePng(s);
    ImageBuffer image;

    EXPECT_FALSE(image.Decode(Bytes("GIF89a not a png at all"), kFormatPng));
    EXPECT_NE(image.LastError().find("PNG"), std::string::npos) << image.LastError();

    for (size_t cut :
         {size_t{0}, size_t{8}, size_t{20}, size_t{40}, png.size() / 2, png.size() - 13}) {
        EXPECT_FALSE(image.Decode(Bytes(png.substr(0, cut)), kFormatPng)) << cut;
        EXPECT_FALSE(image.LastError().empty()) << cut;
    }
    std::string damaged = png;
    damaged[png.size() / 2] ^= 0x55;  // inside IDAT: CRC or zlib error
    EXPECT_FALSE(image.Decode(Bytes(damaged), kFormatPng));
    EXPECT_FALSE(image.LastError().empty());

    // IHDR width beyond the ceiling (the CRC is recomputed so only the size is wrong).
    for (uint32_t w : {20000u, 16000u}) {
        std::string big = png;
        const uint32_t h = w;
        for (int i = 0; i < 4; ++i) {
            big[16 + i] = static_cast<char>(w >> (24 - 8 * i));
            big[20 + i] = static_cast<char>(h >> (24 - 8 * i));
        }
        const uint32_t crc =
            static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(big.data() + 12), 17));
        for (int i = 0; i < 4; ++i) big[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
        EXPECT_FALSE(image.Decode(Bytes(big), kFormatPng)) << w;
        EXPECT_FALSE(image.LastError().empty());
        EXPECT_FALSE(image.IsValid() && image.Width() == static_cast<int>(w));
    }
}

// ===== JPEG ====================================================================================

struct JpegFixture {
    int width = 32;
    int height = 32;
    J_COLOR_SPACE input = JCS_RGB;
    int components = 3;
    J_COLOR_SPACE stored = JCS_UNKNOWN;  // JCS_UNKNOWN: the library's default for the input
    bool adobe = true;                   // only matters for CMYK and YCCK
    bool progressive = false;
    std::function<std::vector<int>(int x, int top)> sample;
};

std::string WriteJpeg(const JpegFixture& s) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = s.width;
    cinfo.image_height = s.height;
    cinfo.input_components = s.components;
    cinfo.in_color_space = s.input;
    jpeg_set_defaults(&cinfo);
    if (s.stored != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, s.stored);
    cinfo.write_Adobe_marker = s.adobe ? cinfo.write_Adobe_marker : FALSE;
    jpeg_set_quality(&cinfo, 98, TRUE);
    if (s.progressive) jpeg_simple_progression(&cinfo);
    cinfo.density_unit = 1;
    cinfo.X_density = 200;
    cinfo.Y_density = 100;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(s.width) * s.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < s.width; ++x) {
            const auto v = s.sample(x, static_cast<int>(cinfo.next_scanline));
            for (int c = 0; c < s.components; ++c)
                row[x * s.components + c] = static_cast<JSAMPLE>(v[c]);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return out;
}

/// Four flat quadrants: red, green, blue, white (top left, top right, bottom left, bottom right).
std::vector<int> Quadrant(int x, int top) {
    const int q = (top >= 16) * 2 + (x >= 16);
    static const int colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    return {colours[q][0], colours[q][1], colours[q][2]};
}

/// Checks the centre of each quadrant (edges blur through chroma subsampling).
void ExpectQuadrants(const ImageBuffer& image, const std::string& what) {
    ASSERT_EQ(image.Width(), 32) << what;
    ASSERT_EQ(image.BitsPerPixel(), 24) << what;
    for (int top : {4, 11, 20, 27}) {
        for (int x : {4, 11, 20, 27}) {
            const auto v = Quadrant(x, top);
            EXPECT_LE(ColourDistance(image.GetPixelColor(x, 31 - top), Bgr(v[2], v[1], v[0])), 6)
                << what << " at " << x << "," << top;
        }
    }
}

TEST(JpegDecode, ColourBaselineAndProgressive) {
    for (bool progressive : {false, true}) {
        JpegFixture s;
        s.progressive = progressive;
        s.sample = Quadrant;
        ImageBuffer image;
        ASSERT_TRUE(image.Decode(Bytes(WriteJpeg(s)), kFormatJpeg)) << image.LastError();
        ExpectQuadrants(image, progressive ? "progressive" : "baseline");
        EXPECT_EQ(image.DpiX(), 200);
        EXPECT_EQ(image.DpiY(), 100);
        EXPECT_FALSE(image.HasAlpha());
    }
    JpegFixture rgb;  // stored as RGB without YCbCr conversion (Adobe transform 0)
    rgb.stored = JCS_RGB;
    rgb.sample = Quadrant;
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(WriteJpeg(rgb)), kFormatJpeg)) << image.LastError();
    ExpectQuadrants(image, "RGB");
}

TEST(JpegDecode, GreyBecomesAnEightBitGreyPalettePicture) {
    JpegFixture s;
    s.input = JCS_GRAYSCALE;
    s.components = 1;
    s.sample = [](int x, int) { return std::vector<int>{x < 16 ? 40 : 200}; };
    ImageBuffer image;
    ASSERT_TRUE(image.Decode(Bytes(WriteJpeg(s)), kFormatJpeg)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 8);
    EXPECT_EQ(image.Palette()[77], Bgr(77, 77, 77));
    EXPECT_LE(ColourDistance(image.GetPixelColor(5, 5), Bgr(40, 40, 40)), 2);
    EXPECT_LE(ColourDistance(image.GetPixelColor(27, 5), Bgr(200, 200, 200)), 2);
}

TEST(JpegDecode, CmykPlainAdobeInvertedAndYcck) {
    // Ink per quadrant: cyan, magenta, yellow plus half black, no ink. As RGB: (0,255,255),
    // (255,0,255), (127,127,0), (255,255,255).
    auto ink = [](int x, int top) {
        const int q = (top >= 16) * 2 + (x >= 16);
        static const int inks[4][4] = {
            {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 128}, {0, 0, 0, 0}};
        return std::vector<int>(inks[q], inks[q] + 4);
    };
    auto inverted = [&](int x, int top) {
        auto v = ink(x, top);
        for (int& c : v) c = 255 - c;
        return v;
    };
    const RgbQuad expected[4] = {Bgr(255, 255, 0), Bgr(255, 0, 255), Bgr(0, 127, 127),
                                 Bgr(255, 255, 255)};
    struct Case {
        const char* name;
        J_COLOR_SPACE stored;
        bool adobe;
        bool invert;
    } cases[] = {{"plain CMYK", JCS_CMYK, false, false},
                 {"Adobe CMYK", JCS_CMYK, true, true},
                 {"Adobe YCCK", JCS_YCCK, true, true}};
    for (const Case& c : cases) {
        JpegFixture s;
        s.input = JCS_CMYK;
        s.components = 4;
        s.stored = c.stored;
        s.adobe = c.adobe;
        s.sample = c.invert ? std::function<std::vector<int>(int, int)>(inverted) : ink;
        ImageBuffer image;
        ASSERT_TRUE(image.Decode(Bytes(WriteJpeg(s)), kFormatJpeg))
            << c.name << ": " << image.LastError();
        EXPECT_EQ(image.BitsPerPixel(), 24);
        int i = 0;
        for (int top : {8, 24}) {
            for (int x : {8, 24}) {
                EXPECT_LE(ColourDistance(image.GetPixelColor(x, 31 - top), expected[i]), 6)
                    << c.name << " quadrant " << i;
                ++i;
            }
        }
    }
}

TEST(JpegDecode, DamagedFilesFailWithTheLibraryMessage) {
    JpegFixture s;
    s.width = 64;
    s.height = 64;
    s.sample = [](int x, int top) { return std::vector<int>{x * 4, top * 4, (x * top) & 255}; };
    const std::string jpeg = WriteJpeg(s);
    ImageBuffer image;

    EXPECT_FALSE(image.Decode(Bytes("\x89PNG not a jpeg"), kFormatJpeg));
    EXPECT_NE(image.LastError().find("Not a JPEG file"), std::string::npos) << image.LastError();
    EXPECT_FALSE(image.Decode(Bytes(""), kFormatJpeg));
    EXPECT_FALSE(image.LastError().empty());

    EXPECT_FALSE(image.Decode(Bytes(jpeg.substr(0, jpeg.size() / 2)), kFormatJpeg));
    EXPECT_EQ(image.LastError(), "Premature end of JPEG file");
    EXPECT_FALSE(image.Decode(Bytes(jpeg.substr(0, 300)), kFormatJpeg));
    EXPECT_FALSE(image.LastError().empty());

    // Only the end marker missing: every row is there, so the picture stands.
    ASSERT_TRUE(image.Decode(Bytes(jpeg.substr(0, jpeg.size() - 2)), kFormatJpeg))
        << image.LastError();
    EXPECT_EQ(image.Width(), 64);

    // A frame header claiming 60000 x 60000: refused before anything is allocated.
    std::string big = jpeg;
    const size_t sof =
        big.find(std::string("\xFF\xC0\x00\x11\x08", 5));  // baseline frame, 3 components
    ASSERT_NE(sof, std::string::npos);
    big[sof + 5] = big[sof + 7] = '\xEA';
    big[sof + 6] = big[sof + 8] = '\x60';
    EXPECT_FALSE(image.Decode(Bytes(big), kFormatJpeg));
    EXPECT_EQ(image.LastError(), "Image too large");
}

// ===== TIFF ====================================================================================

struct TiffFixture {
    int width = 6;
    int height = 5;
    int samples = 3;
    int bits = 8;
    int photometric = PHOTOMETRIC_RGB;
    int compression = COMPRESSION_NONE;
    int planar = PLANARCONFIG_CONTIG;
    int rowsPerStrip = 2;
    int tile = 0;  // tile side; 0 for strips
    int orientation = ORIENTATION_TOPLEFT;
    std::vector<uint16_t> extra;
    std::vector<uint16_t> map;  // colour map: red, green, blue runs of 1 << bits entries
    std::function<std::vector<int>(int x, int top)> sample;
    bool secondPage = false;
};

std::string WriteTiff(const TiffFixture& s, const std::filesystem::path& path) {
    TIFF* tif = TIFFOpen(path.string().c_str(), "w");
    if (!tif) return {};
    for (int page = 0; page < (s.secondPage ? 2 : 1); ++page) {
        const int w = page ? 3 : s.width;
        const int h = page ? 2 : s.height;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar);
        TIFFSetField(tif, TIFFTAG_ORIENTATION, s.orientation);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 118.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 118.0f);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
        if (s.compression == COMPRESSION_JPEG)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        if (!s.extra.empty())
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(s.extra.size()),
                         s.extra.data());
        if (s.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
        const size_t entries = size_t{1} << s.bits;
        if (!s.map.empty()) {
            TIFFSetField(tif, TIFFTAG_COLORMAP, s.map.data(), s.map.data() + entries,
                         s.map.data() + 2 * entries);
        }
        // Whole picture in file layout first, then cut into strips or tiles.
        const int planes = s.planar == PLANARCONFIG_SEPARATE ? s.samples : 1;
        const int perPlane = s.planar == PLANARCONFIG_SEPARATE ? 1 : s.samples;
        const size_t rowBytes = (static_cast<size_t>(w) * perPlane * s.bits + 7) / 8;
        std::vector<std::vector<uint8_t>> plane(planes, std::vector<uint8_t>(rowBytes * h, 0));
        for (int top = 0; top < h; ++top) {
            for (int x = 0; x < w; ++x) {
                const auto v = s.sample(x, top);
                for (int c = 0; c < s.samples; ++c) {
                    const int p = planes > 1 ? c : 0;
                    const size_t bit =
                        (static_cast<size_t>(x) * perPlane + (planes > 1 ? 0 : c)) * s.bits;
                    uint8_t* row = plane[p].data() + rowBytes * top;
                    if (s.bits == 16) {
                        const uint16_t value = static_cast<uint16_t>(v[c]);
                        std::memcpy(row + bit / 8, &value, 2);  // native order, as libtiff expects
                    } else {
                        row[bit / 8] |= static_cast<uint8_t>(v[c] << (8 - s.bits - bit % 8));
                    }
                }
            }
        }
        if (s.tile) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tile);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tile);
            const size_t pixelBytes = static_cast<size_t>(perPlane) * s.bits / 8;
            std::vector<uint8_t> tile(static_cast<size_t>(s.tile) * s.tile * pixelBytes);
            for (int p = 0; p < planes; ++p) {
                for (int ty = 0; ty < h; ty += s.tile) {
                    for (int tx = 0; tx < w; tx += s.tile) {
                        std::fill(tile.begin(), tile.end(), 0);
                        for (int r = 0; r < s.tile && ty + r < h; ++r) {
                            const int n = std::min(s.tile, w - tx);
                            std::memcpy(&tile[r * s.tile * pixelBytes],
                                        &plane[p][rowBytes * (ty + r) + tx * pixelBytes],
                                        n * pixelBytes);
                        }
                        TIFFWriteTile(tif, tile.data(), tx, ty, 0, static_cast<uint16_t>(p));
                    }
                }
            }
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip);
            for (int p = 0; p < planes; ++p) {
                for (int top = 0; top < h; ++top) {
                    TIFFWriteScanline(tif, plane[p].data() + rowBytes * top, top,
                                      static_cast<uint16_t>(p));
                }
            }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return test::ReadBytes(path);
}

std::vector<int> Rainbow(int x, int top) {
    return {x * 40, top * 50, (x * top * 9) & 255, 255};
}

void ExpectRainbow(const ImageBuffer& image, const TiffFixture& s, int tolerance,
                   const std::string& what) {
    ASSERT_EQ(image.Width(), s.width) << what;
    ASSERT_EQ(image.Height(), s.height) << what;
    for (int top = 0; top < s.height; ++top) {
        for (int x = 0; x < s.width; ++x) {
            const auto v = Rainbow(x, top);
            const int y = s.orientation == ORIENTATION_BOTLEFT ? top : s.height - 1 - top;
            ASSERT_LE(ColourDistance(image.GetPixelColor(x, y), Bgr(v[2], v[1], v[0])), tolerance)
                << what << " at " << x << "," << top;
        }
    }
}

class TiffDecode : public ::testing::Test {
protected:
    bool Decode(const TiffFixture& s, ImageBuffer& image) {
        const std::string bytes = WriteTiff(s, m_dir / "t.tif");
        EXPECT_FALSE(bytes.empty());
        const bool ok = image.Decode(Bytes(bytes), kFormatTiff);
        EXPECT_TRUE(ok) << image.LastError();
        return ok;
    }
    test::TempDir m_dir;
};

TEST_F(TiffDecode, RgbStripsInEveryLosslessCompression) {
    const int compressions[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE,
                                COMPRESSION_PACKBITS};
    for (int compression : compressions) {
        TiffFixture s;
        s.compression = compression;
        s.sample = Rainbow;
        ImageBuffer image;
        if (!Decode(s, image)) continue;
        EXPECT_EQ(image.BitsPerPixel(), 24);
        EXPECT_FALSE(image.HasAlpha());
        EXPECT_EQ(image.DpiX(), 300);  // 118 per centimetre
        ExpectRainbow(image, s, 0, "compression " + std::to_string(compression));
    }
}

TEST_F(TiffDecode, TilesPlanesSixteenBitsAndBottomUp) {
    TiffFixture tiled;
    tiled.width = 37;
    tiled.height = 21;
    tiled.tile = 16;
    tiled.compression = COMPRESSION_LZW;
    tiled.sample = Rainbow;
    TiffFixture planar;
    planar.planar = PLANARCONFIG_SEPARATE;
    planar.sample = Rainbow;
    TiffFixture deep;
    deep.bits = 16;
    deep.sample = [](int x, int top) {
        auto v = Rainbow(x, top);
        for (int& c : v) c *= 257;
        return v;
    };
    TiffFixture bottomUp;
    bottomUp.orientation = ORIENTATION_BOTLEFT;
    bottomUp.sample = Rainbow;
    const std::pair<const char*, TiffFixture*> cases[] = {
        {"tiled", &tiled}, {"planar", &planar}, {"16-bit", &deep}, {"bottom-up", &bottomUp}};
    for (auto [name, fixture] : cases) {
        ImageBuffer image;
        if (!Decode(*fixture, image)) continue;
        EXPECT_EQ(image.BitsPerPixel(), 24) << name;
        ExpectRainbow(image, *fixture, 0, name);
    }
}

TEST_F(TiffDecode, EveryOrientationPlacesTheFirstRowAndColumnWhereItSays) {
    // Rows read one at a time (colour and packed grey) and tiles read through the RGBA reader
    // are turned for the whole picture, not within each strip or tile.
    TiffFixture strips;
    strips.width = 7;
    strips.sample = Rainbow;
    TiffFixture grey = strips;
    grey.samples = 1;
    grey.bits = 4;
    grey.photometric = PHOTOMETRIC_MINISBLACK;
    grey.sample = [](int x, int top) { return std::vector<int>{(x + 3 * top) & 15}; };
    TiffFixture tiled = strips;
    tiled.width = 37;
    tiled.height = 21;
    tiled.tile = 16;
    const std::pair<const char*, TiffFixture*> cases[] = {
        {"strips", &strips}, {"grey", &grey}, {"tiled", &tiled}};
    for (auto [name, base] : cases) {
        for (int orientation : {ORIENTATION_TOPLEFT, ORIENTATION_TOPRIGHT, ORIENTATION_BOTRIGHT,
                                ORIENTATION_BOTLEFT}) {
            SCOPED_TRACE(std::string(name) + " orientation " + std::to_string(orientation));
            TiffFixture s = *base;
            s.orientation = orientation;
            ImageBuffer image;
            if (!Decode(s, image)) continue;
            const bool rightToLeft =
                orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT;
            const bool bottomUp =
                orientation == ORIENTATION_BOTLEFT || orientation == ORIENTATION_BOTRIGHT;
            for (int top = 0; top < s.height; ++top) {
                for (int x = 0; x < s.width; ++x) {
                    const auto v = s.sample(x, top);
                    const RgbQuad want = s.samples == 1 ? Bgr(v[0] * 17, v[0] * 17, v[0] * 17)
                                                        : Bgr(v[2], v[1], v[0]);
                    const int px = rightToLeft ? s.width - 1 - x : x;
                    const int py = bottomUp ? top : s.height - 1 - top;
                    ASSERT_EQ(image.GetPixelColor(px, py), want) << x << "," << top;
                }
            }
        }
    }
}

TEST_F(TiffDecode, AlphaUnassociatedAndPremultiplied) {
    auto sample = [](int x, int top) {
        return std::vector<int>{200, 100, 50, x == 0 ? 0 : x * 50 + top};
    };
    for (int kind : {EXTRASAMPLE_UNASSALPHA, EXTRASAMPLE_ASSOCALPHA}) {
        for (int tile : {0, 16}) {  // the strip reader and the general reader
            TiffFixture s;
            s.samples = 4;
            s.extra = {static_cast<uint16_t>(kind)};
            s.tile = tile;
            s.sample = [&](int x, int top) {
                auto v = sample(x, top);
                if (kind == EXTRASAMPLE_ASSOCALPHA) {
                    for (int c = 0; c < 3; ++c) v[c] = (v[c] * v[3] + 127) / 255;
                }
                return v;
            };
            ImageBuffer image;
            if (!Decode(s, image)) continue;
            ASSERT_TRUE(image.HasAlpha());
            for (int top = 0; top < s.height; ++top) {
                for (int x = 1; x < s.width; ++x) {
                    const int y = s.height - 1 - top;
                    const int a = sample(x, top)[3];
                    EXPECT_EQ(image.GetAlpha(x, y), a);
                    // Premultiplied storage loses a little precision at low alpha.
                    const int tolerance = kind == EXTRASAMPLE_UNASSALPHA && !tile ? 0 : 255 / a + 1;
                    EXPECT_LE(ColourDistance(image.GetPixelColor(x, y), Bgr(50, 100, 200)),
                              tolerance)
                        << kind << " tile " << tile << " at " << x << "," << top;
                }
            }
            EXPECT_EQ(image.GetAlpha(0, 0), 0);
        }
    }
}

TEST_F(TiffDecode, GreyBilevelAndPalettePicturesStayPalettePictures) {
    TiffFixture grey;
    grey.samples = 1;
    grey.photometric = PHOTOMETRIC_MINISBLACK;
    grey.sample = [](int x, int top) { return std::vector<int>{x * 40 + top}; };
    ImageBuffer image;
    ASSERT_TRUE(Decode(grey, image));
    EXPECT_EQ(image.BitsPerPixel(), 8);
    EXPECT_EQ(image.GetPixelColor(3, 0), Bgr(124, 124, 124));  // top 4

    TiffFixture bilevel = grey;
    bilevel.bits = 1;
    bilevel.photometric = PHOTOMETRIC_MINISWHITE;
    bilevel.width = 11;
    bilevel.compression = COMPRESSION_CCITTFAX4;
    bilevel.sample = [](int x, int top) { return std::vector<int>{(x + top) % 3 == 0}; };
    ASSERT_TRUE(Decode(bilevel, image));
    EXPECT_EQ(image.BitsPerPixel(), 1);
    for (int top = 0; top < 5; ++top) {
        for (int x = 0; x < 11; ++x) {
            const int v = (x + top) % 3 == 0 ? 0 : 255;  // 1 is black when white is zero
            ASSERT_EQ(image.GetPixelColor(x, 4 - top), Bgr(v, v, v)) << x << "," << top;
        }
    }

    TiffFixture palette = grey;
    palette.bits = 4;
    palette.photometric = PHOTOMETRIC_PALETTE;
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 16; ++i)
            palette.map.push_back(static_cast<uint16_t>((i * 16 + c * 5) * 257));
    }
    palette.sample = [](int x, int top) { return std::vector<int>{(x + 2 * top) % 16}; };
    ASSERT_TRUE(Decode(palette, image));
    EXPECT_EQ(image.BitsPerPixel(), 4);
    EXPECT_EQ(image.GetPixelIndex(5, 4), 5);
    EXPECT_EQ(image.GetPixelColor(5, 4), Bgr(90, 85, 80));
    EXPECT_EQ(image.GetPixelIndex(1, 0), 9);

    TiffFixture grey16 = grey;
    grey16.bits = 16;
    grey16.sample = [](int x, int) { return std::vector<int>{x * 40 * 257 + 128}; };
    ASSERT_TRUE(Decode(grey16, image));
    EXPECT_EQ(image.BitsPerPixel(), 8);
    EXPECT_EQ(image.GetPixelColor(4, 2), Bgr(160, 160, 160));

    TiffFixture greyAlpha = grey;
    greyAlpha.samples = 2;
    greyAlpha.extra = {EXTRASAMPLE_UNASSALPHA};
    greyAlpha.sample = [](int x, int) { return std::vector<int>{x * 40, 255 - x}; };
    ASSERT_TRUE(Decode(greyAlpha, image));
    EXPECT_EQ(image.BitsPerPixel(), 8);
    EXPECT_EQ(image.GetPixelColor(2, 1), Bgr(80, 80, 80));
    EXPECT_EQ(image.GetAlpha(2, 1), 253);
}

TEST_F(TiffDecode, CmykJpegCompressionAndFirstPageOnly) {
    TiffFixture cmyk;
    cmyk.samples = 4;
    cmyk.photometric = PHOTOMETRIC_SEPARATED;
    cmyk.sample = [](int x, int) {
        return std::vector<int>{x == 0 ? 255 : 0, 0, 0, x == 1 ? 255 : 0};
    };
    ImageBuffer image;
    ASSERT_TRUE(Decode(cmyk, image));
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(255, 255, 0));  // cyan ink
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(0, 0, 0));      // black ink
    EXPECT_EQ(image.GetPixelColor(2, 0), Bgr(255, 255, 255));
    for (int tile : {0, 16}) {  // the strip reader and the general reader agree
        TiffFixture magenta = cmyk;
        magenta.tile = tile;
        magenta.sample = [](int, int) { return std::vector<int>{0, 255, 0, 128}; };
        ASSERT_TRUE(Decode(magenta, image));
        EXPECT_LE(ColourDistance(image.GetPixelColor(3, 3), Bgr(127, 0, 127)), 1) << tile;
    }
    TiffFixture cmyk16 = cmyk;
    cmyk16.bits = 16;
    cmyk16.sample = [](int x, int) {
        return std::vector<int>{x == 0 ? 65535 : 0, 0, 0, x == 1 ? 65535 : 0};
    };
    ASSERT_TRUE(Decode(cmyk16, image));
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(255, 255, 0));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(0, 0, 0));
    EXPECT_EQ(image.GetPixelColor(2, 0), Bgr(255, 255, 255));

    if (TIFFIsCODECConfigured(COMPRESSION_JPEG)) {
        TiffFixture jpeg;
        jpeg.width = 32;
        jpeg.height = 32;
        jpeg.rowsPerStrip = 16;
        jpeg.compression = COMPRESSION_JPEG;
        jpeg.photometric = PHOTOMETRIC_YCBCR;
        jpeg.sample = Quadrant;
        ASSERT_TRUE(Decode(jpeg, image));
        ExpectQuadrants(image, "JPEG in TIFF");
    }

    TiffFixture pages;
    pages.secondPage = true;
    pages.sample = Rainbow;
    ASSERT_TRUE(Decode(pages, image));
    ExpectRainbow(image, pages, 0, "first page");
}

TEST_F(TiffDecode, DamagedFilesFailWithTheirMessage) {
    ImageBuffer image;
    EXPECT_FALSE(image.Decode(Bytes("PK\3\4 not a tiff"), kFormatTiff));
    EXPECT_EQ(image.LastError().rfind("Error encountered while opening TIFF file", 0), 0u)
        << image.LastError();
    EXPECT_FALSE(image.Decode(Bytes(""), kFormatTiff));

    TiffFixture s;
    s.width = 64;
    s.height = 64;
    s.rowsPerStrip = 64;
    s.sample = Rainbow;
    const std::string tiff = WriteTiff(s, m_dir / "d.tif");
    // Uncompressed strip data cut short; the directory is at the end, so keep it and lose data
    // by pointing the strip past the end instead.
    // Cut in half, the directory (written last) is gone.
    EXPECT_FALSE(image.Decode(Bytes(tiff.substr(0, tiff.size() / 2)), kFormatTiff));
    EXPECT_EQ(image.LastError().rfind("Error encountered while opening TIFF file", 0), 0u);
    // The strip offset moved near the end of the file: its data is cut short.
    auto u16 = [&](size_t o) {
        return static_cast<uint8_t>(tiff[o]) | static_cast<uint8_t>(tiff[o + 1]) << 8;
    };
    const size_t dir = u16(4) | static_cast<size_t>(u16(6)) << 16;
    std::string cut = tiff;
    bool patched = false;
    for (size_t e = dir + 2; e + 12 <= dir + 2 + 12 * u16(dir); e += 12) {
        if (u16(e) != TIFFTAG_STRIPOFFSETS) continue;
        const uint32_t offset = static_cast<uint32_t>(tiff.size() - 100);
        for (int i = 0; i < 4; ++i) cut[e + 8 + i] = static_cast<char>(offset >> (8 * i));
        patched = true;
    }
    ASSERT_TRUE(patched);
    EXPECT_FALSE(image.Decode(Bytes(cut), kFormatTiff));
    EXPECT_EQ(image.LastError().rfind("Corrupted TIFF file!", 0), 0u) << image.LastError();

    // A width beyond the ceiling fails right after the directory is read.
    TiffFixture wide = s;
    wide.width = 20000;
    wide.height = 1;
    wide.rowsPerStrip = 1;
    EXPECT_FALSE(image.Decode(Bytes(WriteTiff(wide, m_dir / "w.tif")), kFormatTiff));
    EXPECT_EQ(image.LastError(), "Image too large");
}

// ===== Files written by ImageMagick ============================================================

struct MagickCase {
    const char* file;
    const char* options;  // between the source picture and the output name
    int tolerance;
};

// Test names and failure messages show the file, not the bytes of the case.
void PrintTo(const MagickCase& c, std::ostream* os) {
    *os << c.file;
}

class MagickFiles : public ::testing::TestWithParam<MagickCase> {};

TEST_P(MagickFiles, DecodeAsImageMagickDoes) {
    if (!test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const MagickCase& c = GetParam();
    test::TempDir dir;
    const auto path = dir / c.file;
    const std::string name = c.file;
    const std::string ext = name.substr(name.rfind('.') + 1);
    // A picture with smooth areas, edges and many hues: the rose above a gradient band.
    std::string prefix;  // the BMP variant, from the file name
    if (name.rfind("bmp3", 0) == 0 || name.rfind("rle", 0) == 0) prefix = "BMP3:";
    if (name.rfind("os2", 0) == 0) prefix = "BMP2:";
    ASSERT_TRUE(test::RunTool("convert rose: \\( -size 70x10 gradient:yellow-navy \\) -append " +
                              std::string(c.options) + " " + prefix + test::Quote(path)))
        << c.file;
    ImageBuffer image;
    ASSERT_TRUE(image.Load(path, FormatFromExtension(ext))) << c.file << ": " << image.LastError();
    test::RgbImage reference;
    ASSERT_TRUE(test::MagickDecode(path, reference));
    EXPECT_LE(test::MaxColourDifference(image, reference), c.tolerance) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Library, MagickFiles,
    ::testing::Values(
        MagickCase{"plain.png", "", 0}, MagickCase{"deep.png", "-depth 16", 0},
        MagickCase{"grey.png", "-colorspace Gray", 0},
        MagickCase{"palette.png", "-colors 40 -type Palette", 0},
        MagickCase{"interlaced.png", "-interlace PNG", 0},
        MagickCase{"alpha.png", "-alpha set -channel A -fx 'i/w' +channel", 0},
        MagickCase{"plain.jpg", "-quality 90", 1},
        MagickCase{"progressive.jpg", "-interlace Plane", 1},
        MagickCase{"grey.jpg", "-colorspace Gray", 1},
        MagickCase{"cmyk.jpg", "-colorspace CMYK", 2}, MagickCase{"plain.tif", "", 0},
        MagickCase{"lzw.tif", "-compress LZW", 0}, MagickCase{"zip.tif", "-compress Zip", 0},
        MagickCase{"jpeg.tif", "-compress JPEG", 2},
        MagickCase{"tiled.tif", "-define tiff:tile-geometry=16x16", 0},
        MagickCase{"planar.tif", "-interlace Plane", 0},
        MagickCase{"grey.tif", "-colorspace Gray", 0}, MagickCase{"bilevel.tif", "-monochrome", 0},
        MagickCase{"palette.tif", "-colors 12 -type Palette", 0},
        MagickCase{"deep.tif", "-depth 16", 0}, MagickCase{"cmyk.tif", "-colorspace CMYK", 1}),
    [](const ::testing::TestParamInfo<MagickCase>& param) {
        std::string n = param.param.file;
        for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return n;
    });

INSTANTIATE_TEST_SUITE_P(
    Bitmap, MagickFiles,
    ::testing::Values(MagickCase{"v5.bmp", "", 0}, MagickCase{"bmp3.bmp", "", 0},
                      MagickCase{"rle8.bmp", "-colors 50 -type Palette -compress RLE", 0},
                      MagickCase{"bmp3_4bit.bmp", "-colors 16 -type Palette", 0},
                      MagickCase{"bmp3_mono.bmp", "-monochrome", 0},
                      MagickCase{"rgb565.bmp", "-define bmp:subtype=RGB565", 1},
                      MagickCase{"rgb555.bmp", "-define bmp:subtype=RGB555", 1},
                      MagickCase{"argb.bmp", "-alpha set -channel A -evaluate set 100% +channel",
                                 0},
                      MagickCase{"os2.bmp", "", 0}),
    [](const ::testing::TestParamInfo<MagickCase>& param) {
        std::string n = param.param.file;
        for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return n;
    });

}  // namespace
}  // namespace tavolin
