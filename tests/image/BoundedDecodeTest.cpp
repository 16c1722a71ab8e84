// Pictures at the size ceiling through tavolin-cli convert and generate, with the child's peak
// memory taken from getrusage: a header that promises more than its data holds, or data cut short,
// is refused at little cost; a picture that really is that large decodes in about its own size.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../cli/CliRunner.h"
#include "ImageTestSupport.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

constexpr uint32_t kWidth = 16384;
constexpr uint32_t kHeight = 8192;
constexpr uint64_t kPixels = uint64_t{kWidth} * kHeight;
constexpr long kMiB = 1024;  // getrusage counts KiB

void PutBe32(std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>(v >> shift));
}

/// A zlib stream of `count` zero bytes, built in moments: after a full flush every further
/// megabyte of zeros compresses to the same bytes, so they are repeated rather than computed.
std::string DeflatedZeros(uint64_t count) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    const std::vector<unsigned char> zeros(1 << 20, 0);
    auto run = [&](size_t n, int flush) {
        std::string out;
        z.next_in = const_cast<unsigned char*>(zeros.data());
        z.avail_in = static_cast<uInt>(n);
        unsigned char buffer[1 << 16];
        do {
            z.next_out = buffer;
            z.avail_out = sizeof buffer;
            deflate(&z, flush);
            out.append(reinterpret_cast<char*>(buffer), sizeof buffer - z.avail_out);
        } while (z.avail_out == 0 || z.avail_in > 0);
        return out;
    };
    std::string out = "\x78\xDA";
    uint64_t left = count;
    std::string chunk;
    while (left > zeros.size()) {
        if (chunk.empty()) chunk = run(zeros.size(), Z_FULL_FLUSH);
        out += chunk;
        left -= zeros.size();
    }
    out += run(static_cast<size_t>(left), Z_FINISH);
    deflateEnd(&z);
    // Adler-32 of zeros: the low sum stays 1, the high sum counts the bytes.
    PutBe32(out, static_cast<uint32_t>(count % 65521) << 16 | 1);
    return out;
}

std::string PngChunk(const char* type, const std::string& data) {
    std::string chunk;
    PutBe32(chunk, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    chunk += body;
    PutBe32(chunk, static_cast<uint32_t>(
                       crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
    return chunk;
}

/// A PNG of zero pixels at the ceiling (every filter byte and sample zero).
std::string CeilingPng(int bitDepth, int colourType, bool interlaced, int bytesPerPixel) {
    std::string ihdr;
    PutBe32(ihdr, kWidth);
    PutBe32(ihdr, kHeight);
    ihdr += {static_cast<char>(bitDepth), static_cast<char>(colourType), 0, 0,
             static_cast<char>(interlaced ? 1 : 0)};
    uint64_t raw = 0;
    static constexpr int kX0[7] = {0, 4, 0, 2, 0, 1, 0}, kDx[7] = {8, 8, 4, 4, 2, 2, 1};
    static constexpr int kY0[7] = {0, 0, 4, 0, 2, 0, 1}, kDy[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const uint64_t x0 = interlaced ? kX0[pass] : 0, dx = interlaced ? kDx[pass] : 1;
        const uint64_t y0 = interlaced ? kY0[pass] : 0, dy = interlaced ? kDy[pass] : 1;
        raw += (kHeight - y0 + dy - 1) / dy * (1 + (kWidth - x0 + dx - 1) / dx * bytesPerPixel);
    }
    return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", ihdr) +
           PngChunk("IDAT", DeflatedZeros(raw)) + PngChunk("IEND", "");
}

/// A little-endian TIFF with one directory of SHORT (3) or LONG (4) entries; the image data
/// follows the directory, and entries whose value is kDataOffset point at it.
struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    std::vector<uint32_t> values;
};
constexpr uint32_t kDataOffset = 0xFFFFFFFF;

std::string BuildTiff(std::vector<TiffEntry> entries, const std::string& data) {
    std::sort(entries.begin(), entries.end(),
              [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    const uint32_t ifdEnd = 8 + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
    uint32_t extraSize = 0;
    for (const auto& e : entries) {
        const uint32_t bytes = static_cast<uint32_t>(e.values.size()) * (e.type == 3 ? 2 : 4);
        if (bytes > 4) extraSize += bytes;
    }
    const uint32_t dataOffset = ifdEnd + extraSize;
    std::string head = "II*";
    head.push_back('\0');
    test::PutLe32(head, 8);
    test::PutLe16(head, static_cast<uint32_t>(entries.size()));
    std::string extra;
    for (const auto& e : entries) {
        std::string value;
        for (uint32_t v : e.values) {
            if (v == kDataOffset) v = dataOffset;
            e.type == 3 ? test::PutLe16(value, v) : test::PutLe32(value, v);
        }
        test::PutLe16(head, e.tag);
        test::PutLe16(head, e.type);
        test::PutLe32(head, static_cast<uint32_t>(e.values.size()));
        if (value.size() <= 4) {
            value.resize(4, '\0');
            head += value;
        } else {
            test::PutLe32(head, ifdEnd + static_cast<uint32_t>(extra.size()));
            extra += value;
        }
    }
    test::PutLe32(head, 0);
    return head + extra + data;
}

struct Crafted {
    const char* name;
    std::string bytes;
    uint64_t pictureBytes;  // the decoded picture: 3 bytes a pixel, one more with alpha
};

std::vector<Crafted> CeilingPictures() {
    std::vector<Crafted> out;
    // An ordinary picture: 24-bit colour, not interlaced.
    out.push_back({"rgb.png", CeilingPng(8, 2, false, 3), 3 * kPixels});
    // 16-bit colour with alpha, interlaced: each pass is placed straight into the picture.
    out.push_back({"rgba16-interlaced.png", CeilingPng(16, 6, true, 8), 4 * kPixels});
    // The same ordinary PNG inside an icon.
    {
        const std::string png = CeilingPng(8, 2, false, 3);
        std::string ico;
        for (uint32_t v : {0u, 1u, 1u}) test::PutLe16(ico, v);
        ico += std::string(4, '\0');  // 256 x 256 as the directory says, no palette
        test::PutLe16(ico, 1);
        test::PutLe16(ico, 24);
        test::PutLe32(ico, static_cast<uint32_t>(png.size()));
        test::PutLe32(ico, 22);
        out.push_back({"png-entry.ico", ico + png, 3 * kPixels});
    }
    // One Deflate strip of 16-bit colour with alpha: read a row at a time.
    {
        const std::string strip = DeflatedZeros(kPixels * 8);
        out.push_back({"one-strip.tif",
                       BuildTiff({{256, 4, {kWidth}},
                                  {257, 4, {kHeight}},
                                  {258, 3, {16, 16, 16, 16}},
                                  {259, 3, {8}},
                                  {262, 3, {2}},
                                  {273, 4, {kDataOffset}},
                                  {277, 3, {4}},
                                  {278, 4, {kHeight}},
                                  {279, 4, {static_cast<uint32_t>(strip.size())}},
                                  {284, 3, {1}},
                                  {338, 3, {2}}},
                                 strip),
                       4 * kPixels});
    }
    // 2048 tiles sharing one small compressed tile: the RGBA reader takes a tile at a time.
    {
        constexpr uint32_t kTile = 256;
        const uint32_t tiles = (kWidth / kTile) * (kHeight / kTile);
        const std::string tile = DeflatedZeros(kTile * kTile * 3);
        out.push_back(
            {"tiled.tif",
             BuildTiff({{256, 4, {kWidth}},
                        {257, 4, {kHeight}},
                        {258, 3, {8, 8, 8}},
                        {259, 3, {8}},
                        {262, 3, {2}},
                        {277, 3, {3}},
                        {284, 3, {1}},
                        {322, 3, {kTile}},
                        {323, 3, {kTile}},
                        {324, 4, std::vector<uint32_t>(tiles, kDataOffset)},
                        {325, 4, std::vector<uint32_t>(tiles, static_cast<uint32_t>(tile.size()))}},
                       tile),
             3 * kPixels});
    }
    return out;
}

class CeilingPicture : public ::testing::TestWithParam<int> {};

TEST_P(CeilingPicture, DecodesWithinAFifthAboveItsSize) {
    const Crafted c = CeilingPictures().at(static_cast<size_t>(GetParam()));
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const auto in = dir / c.name;
    const auto out = dir / "out.bmp";
    test::WriteBytes(in, c.bytes);
    const auto r = test::RunCli(dir.path(), {"convert", in.string(), out.string()});
    std::printf("%-22s %7zu bytes: exit %d, peak %ld MiB, %.2f s CPU\n", c.name, c.bytes.size(),
                r.exitCode, r.peakKib / kMiB, r.cpuSeconds);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("16384 x 8192, 24 bits"), std::string::npos) << r.out;
    EXPECT_LE(r.peakKib, test::AllowedPeakKib(c.pictureBytes));
    EXPECT_LE(r.cpuSeconds, test::GenerousCpuSeconds());
}

TEST_P(CeilingPicture, MakesAWallpaperWithinAFifthAboveItsSize) {
    // The generator holds the decoded picture while it flattens (alpha over the background)
    // and stretches it to the screen; neither may cost another copy of the picture.
    const Crafted c = CeilingPictures().at(static_cast<size_t>(GetParam()));
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const auto in = dir / c.name;
    test::WriteBytes(in, c.bytes);
    const auto data = dir / "data";
    std::filesystem::create_directory(data);
    const auto r = test::GenerateWithPicture(data, in, 640, 480);
    std::printf("%-22s generate: exit %d, peak %ld MiB, %.2f s CPU\n", c.name, r.exitCode,
                r.peakKib / kMiB, r.cpuSeconds);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadBytes(data / "Background.bmp").size(), 54u + 3u * 640 * 480);
    EXPECT_LE(r.peakKib, test::AllowedPeakKib(c.pictureBytes));
    EXPECT_LE(r.cpuSeconds, test::GenerousCpuSeconds());
}

// One test per picture, so they run side by side.
INSTANTIATE_TEST_SUITE_P(BoundedDecode, CeilingPicture, ::testing::Range(0, 5));

TEST(BoundedDecode, HeadersPromisingMoreThanTheirDataAreRefusedCheaply) {
    // Each claims 16384 x 8192: a PNG with a few bytes of pixel data (alone and inside an
    // icon), a baseline JPEG whose size was patched, a progressive CMYK JPEG whose
    // coefficients alone would need 1 GiB, and a JPEG cut inside its scan with an end marker
    // put back after the cut.
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"png/header-only-16384x8192.png", "Not enough image data"},
        {"ico/png-header-only-16384x8192.ico", "Not enough image data"},
        {"jpeg/patched-header-16384x8192.jpg", "Corrupt JPEG data"},
        {"jpeg/progressive-cmyk-16384x8192.jpg", "needs more memory"},
        {"jpeg/cut-then-end-marker.jpg", "Corrupt JPEG data"},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto in = test::TestDataDir() / "malformed" / c.file;
        const auto r = test::RunCli(dir.path(), {"convert", in.string(), (dir / "o.bmp").string()});
        std::printf("%-38s exit %d, peak %ld MiB, %.2f s CPU\n", c.file, r.exitCode,
                    r.peakKib / kMiB, r.cpuSeconds);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_LE(r.peakKib, test::AllowedPeakKib(0));
        EXPECT_FALSE(std::filesystem::exists(dir / "o.bmp"));
    }
}

}  // namespace
}  // namespace tavolin
