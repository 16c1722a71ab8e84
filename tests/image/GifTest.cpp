#include <gtest/gtest.h>

#include <map>

#include "FormatTestSupport.h"
#include "support/TestSupport.h"

namespace tavolin::test {
namespace {

struct GifFixture {
    const char* file;
    const char* source;  // nullptr: compared with ImageMagick only
    int bitsPerPixel;
};

const GifFixture kFixtures[] = {
    {"gif/plain.gif", "pal.ppm", 8},         {"gif/interlaced.gif", "pal.ppm", 8},
    {"gif/im-interlaced.gif", "pal.ppm", 8}, {"gif/sixteen.gif", "pal16.ppm", 4},
    {"gif/mono.gif", "mono.pbm", 1},         {"gif/animation.gif", "pal16.ppm", 4},
    {"gif/noise.gif", nullptr, 8},
};

TEST(GifDecoder, ReadsFilesOfNetpbmAndImageMagickAsTheSourcePicture) {
    for (const GifFixture& f : kFixtures) {
        SCOPED_TRACE(f.file);
        ImageBuffer image(kFormatGif);
        ASSERT_TRUE(DecodeBytes(ReadFixtureBytes(f.file), kFormatGif, image)) << image.LastError();
        EXPECT_EQ(image.BitsPerPixel(), f.bitsPerPixel);
        EXPECT_EQ(image.TransparentIndex(), -1);
        if (f.source) {
            EXPECT_TRUE(SameColours(image, ReadSource(f.source)));
        }
        RgbImage magick;
        if (MagickRead(ImageFixture(f.file), magick, 0)) {
            EXPECT_TRUE(SameColours(image, magick));
        } else if (!f.source) {
#ifndef _WIN32  // the ImageMagick oracle is Linux-only; Windows checks the other fixtures
            ADD_FAILURE() << "ImageMagick is needed for this fixture";
#endif
        }
    }
}

TEST(GifDecoder, InterlacedFixturesReallyAreInterlaced) {
    // Flags byte of the image descriptor, which follows the 6 + 7 header bytes and the
    // global colour table in these files.
    for (const char* name : {"gif/interlaced.gif", "gif/im-interlaced.gif"}) {
        const std::string bytes = ReadFixtureBytes(name);
        const size_t table = 3u << ((bytes[10] & 7) + 1);
        size_t pos = 13 + table;
        while (bytes[pos] == 0x21) {  // extensions before the image
            pos += 2;
            while (bytes[pos] != 0) pos += static_cast<uint8_t>(bytes[pos]) + 1;
            ++pos;
        }
        ASSERT_EQ(bytes[pos], 0x2C) << name;
        EXPECT_TRUE(bytes[pos + 9] & 0x40) << name;
    }
}

TEST(GifDecoder, TransparentIndexOfTheGraphicControlExtensionIsKept) {
    ImageBuffer image(kFormatGif);
    ASSERT_TRUE(DecodeBytes(ReadFixtureBytes("gif/transparent.gif"), kFormatGif, image));
    ASSERT_GE(image.TransparentIndex(), 0);
    EXPECT_EQ(image.Palette()[image.TransparentIndex()], (RgbQuad{0, 0, 0, 0}));  // the black
    const RgbImage source = ReadSource("pal.ppm");
    EXPECT_TRUE(SameColours(image, source));
    RgbImage magick;
    if (!MagickRead(ImageFixture("gif/transparent.gif"), magick)) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    // ImageMagick shows exactly the pixels of that index as transparent.
    for (int top = 0; top < magick.height; ++top) {
        for (int x = 0; x < magick.width; ++x) {
            const bool transparent =
                image.GetPixelIndex(x, image.Height() - 1 - top) == image.TransparentIndex();
            EXPECT_EQ(magick.At(x, top)[3] == 0, transparent) << x << "," << top;
        }
    }
    EXPECT_TRUE(SameColours(image, magick, 0, true));
}

// Moves the global colour table of a file into its first image descriptor as a local table;
// with garbageGlobal, the global table stays in place filled with red.
std::string WithLocalTable(const std::string& file, bool garbageGlobal) {
    const uint8_t flags = static_cast<uint8_t>(file[10]);
    const size_t tableSize = 3u << ((flags & 7) + 1);
    const std::string table = file.substr(13, tableSize);
    std::string out = file.substr(0, 13);
    if (garbageGlobal) {
        for (size_t i = 0; i < tableSize; i += 3) out += std::string("\xFF\x00\x00", 3);
    } else {
        out[10] = static_cast<char>(flags & 0x7F);
    }
    std::string rest = file.substr(13 + tableSize);
    EXPECT_EQ(rest[0], 0x2C);  // netpbm's 87a files start the image right away
    rest[9] = static_cast<char>(static_cast<uint8_t>(rest[9]) | 0x80 | (flags & 7));
    rest.insert(10, table);
    return out + rest;
}

TEST(GifDecoder, LocalColourTableTakesPrecedence) {
    const std::string plain = ReadFixtureBytes("gif/plain.gif");
    const RgbImage source = ReadSource("pal.ppm");
    ImageBuffer image(kFormatGif);
    for (bool garbageGlobal : {false, true}) {
        ASSERT_TRUE(DecodeBytes(WithLocalTable(plain, garbageGlobal), kFormatGif, image))
            << image.LastError();
        EXPECT_TRUE(SameColours(image, source)) << garbageGlobal;
    }
    // ImageMagick reads the rewritten file the same way.
    TempDir dir;
    WriteBytes(dir / "local.gif", WithLocalTable(plain, true));
    RgbImage magick;
    if (MagickRead(dir / "local.gif", magick)) {
        EXPECT_TRUE(SameColours(image, magick));
    }
}

// A GIF89a of the given size, with a two-entry global table (red, blue) unless noTable, and one
// image of LZW data (minimum code size 2) in a single sub-block.
std::string TinyGif(int width, int height, const std::string& lzw, bool noTable = false) {
    std::string f = "GIF89a";
    PutLe16(f, width);
    PutLe16(f, height);
    f += noTable ? std::string("\x00\x00\x00", 3) : std::string("\x80\x00\x00", 3);
    if (!noTable) f += std::string("\xFF\x00\x00\x00\x00\xFF", 6);
    f += std::string("\x2C\0\0\0\0", 5);
    PutLe16(f, width);
    PutLe16(f, height);
    f += std::string("\x00\x02", 2);
    f.push_back(static_cast<char>(lzw.size()));
    f += lzw;
    f += std::string("\x00\x3B", 2);
    return f;
}

TEST(GifDecoder, LzwCornerCases) {
    ImageBuffer image(kFormatGif);
    // clear, 0, then code 6 while it is being defined (0 0), end: three pixels of index 0.
    ASSERT_TRUE(DecodeBytes(TinyGif(3, 1, "\x84\x0B"), kFormatGif, image)) << image.LastError();
    EXPECT_EQ(image.BitsPerPixel(), 1);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image.GetPixelColor(x, 0), (RgbQuad{0, 0, 255, 0}));

    // clear, 0, 1, end without any colour table: a grey ramp over the indices.
    ASSERT_TRUE(DecodeBytes(TinyGif(2, 1, "\x44\x0A", true), kFormatGif, image));
    EXPECT_EQ(image.GetPixelColor(0, 0), (RgbQuad{0, 0, 0, 0}));
    EXPECT_EQ(image.GetPixelColor(1, 0), (RgbQuad{255, 255, 255, 0}));

    // clear, 0, then code 7, which is not defined yet.
    EXPECT_FALSE(DecodeBytes(TinyGif(3, 1, "\xC4\x0B"), kFormatGif, image));
    EXPECT_EQ(image.LastError(), "corrupted GIF");

    // A stream that ends early leaves the remaining pixels at index 0; one that runs on past
    // the last pixel is cut there.
    ASSERT_TRUE(DecodeBytes(TinyGif(5, 1, "\x44\x0A"), kFormatGif, image));
    EXPECT_EQ(image.GetPixelColor(1, 0), (RgbQuad{255, 0, 0, 0}));
    EXPECT_EQ(image.GetPixelColor(4, 0), (RgbQuad{0, 0, 255, 0}));
    ASSERT_TRUE(DecodeBytes(TinyGif(2, 1, "\x84\x0B"), kFormatGif, image));
    EXPECT_EQ(image.Width(), 2);

    // Minimum code sizes outside 1 to 8.
    std::string wide = TinyGif(3, 1, "\x84\x0B");
    wide[wide.size() - 5] = 12;
    EXPECT_FALSE(DecodeBytes(wide, kFormatGif, image));
    EXPECT_EQ(image.LastError(), "corrupted GIF");
}

// A small GIF encoder that never sends a clear code, so its table fills up and then stays as
// it is ("deferred clear"), which decoders must follow.
std::string EncodeWithoutClears(const std::vector<uint8_t>& indices) {
    const int minCodeSize = 8, clear = 256;
    std::map<std::pair<int, int>, int> table;
    int next = clear + 2, width = minCodeSize + 1;
    std::string bytes;
    uint32_t buffer = 0;
    int bits = 0;
    auto put = [&](int code) {
        buffer |= static_cast<uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            bytes.push_back(static_cast<char>(buffer & 0xFF));
            buffer >>= 8;
            bits -= 8;
        }
    };
    put(clear);
    int current = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const auto key = std::make_pair(current, int(indices[i]));
        if (const auto it = table.find(key); it != table.end()) {
            current = it->second;
            continue;
        }
        put(current);
        if (next < 4096) {
            table[key] = next++;
            if (next > (1 << width) && width < 12) ++width;
        }
        current = indices[i];
    }
    put(current);
    if (bits > 0) bytes.push_back(static_cast<char>(buffer & 0xFF));

    const int w = 200, h = static_cast<int>(indices.size()) / w;
    std::string f = "GIF89a";
    PutLe16(f, w);
    PutLe16(f, h);
    f += std::string("\xF7\x00\x00", 3);  // 256-entry table
    for (int i = 0; i < 256; ++i) f += std::string{char(i), char(255 - i), char(i * 7)};
    f += std::string("\x2C\0\0\0\0", 5);
    PutLe16(f, w);
    PutLe16(f, h);
    f += std::string("\x00\x08", 2);
    for (size_t pos = 0; pos < bytes.size(); pos += 255) {
        const std::string block = bytes.substr(pos, 255);
        f.push_back(static_cast<char>(block.size()));
        f += block;
    }
    return f + std::string("\x00\x3B", 2);
}

TEST(GifDecoder, FullTableWithoutClearCodeKeepsDecoding) {
    std::vector<uint8_t> indices(200 * 150);
    uint32_t seed = 12345;
    for (auto& v : indices) {
        seed = seed * 1103515245 + 12345;
        v = static_cast<uint8_t>((seed >> 16) % 200);
    }
    const std::string file = EncodeWithoutClears(indices);
    ImageBuffer image(kFormatGif);
    ASSERT_TRUE(DecodeBytes(file, kFormatGif, image)) << image.LastError();
    for (int top = 0; top < 150; ++top) {
        for (int x = 0; x < 200; ++x) {
            ASSERT_EQ(image.GetPixelIndex(x, 149 - top), indices[top * 200 + x]) << x << "," << top;
        }
    }
    // ImageMagick agrees, so the encoder above writes real GIF.
    TempDir dir;
    WriteBytes(dir / "full.gif", file);
    RgbImage magick;
    if (MagickRead(dir / "full.gif", magick)) {
        EXPECT_TRUE(SameColours(image, magick));
    }
}

TEST(GifDecoder, RefusesOtherFilesAndPicturesBeyondTheCeiling) {
    ImageBuffer image(kFormatGif);
    EXPECT_FALSE(DecodeBytes("", kFormatGif, image));
    EXPECT_EQ(image.LastError(), "Not a GIF");
    EXPECT_FALSE(DecodeBytes("GIF7aa\x01\x00\x01\x00\x00\x00\x00;", kFormatGif, image));
    EXPECT_EQ(image.LastError(), "Not a GIF");
    EXPECT_FALSE(
        DecodeBytes(std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14), kFormatGif, image));
    EXPECT_EQ(image.LastError(), "GIF file has no image");
    EXPECT_FALSE(
        DecodeBytes(std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00!", 14), kFormatGif, image));
    EXPECT_EQ(image.LastError(), "corrupted GIF");
    // 65535 x 65535 from a few bytes: beyond the ceiling; 16000 x 8000 from a few bytes: too
    // little data for that many pixels, refused before the memory is taken.
    EXPECT_FALSE(DecodeBytes(TinyGif(65535, 65535, "\x84\x0B"), kFormatGif, image));
    EXPECT_EQ(image.LastError(), "Image too large");
    EXPECT_FALSE(DecodeBytes(TinyGif(16000, 8000, "\x84\x0B"), kFormatGif, image));
    EXPECT_EQ(image.LastError(), "corrupted GIF");
}

TEST(GifDecoder, TruncatedFilesFailCleanly) {
    for (const char* name : {"gif/plain.gif", "gif/interlaced.gif", "gif/transparent.gif"}) {
        SCOPED_TRACE(name);
        const std::string bytes = ReadFixtureBytes(name);
        ASSERT_EQ(bytes.back(), ';');
        // Only the trailer may go missing: the first image is complete without it.
        ImageBuffer image(kFormatGif);
        EXPECT_TRUE(DecodeBytes(bytes.substr(0, bytes.size() - 1), kFormatGif, image));
        EXPECT_TRUE(TruncationsFail(bytes.substr(0, bytes.size() - 1), kFormatGif,
                                    {"Not a GIF", "corrupted GIF"}));
    }
}

}  // namespace
}  // namespace tavolin::test
