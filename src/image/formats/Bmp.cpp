// Windows bitmap reader and writer. The reader takes files with or without the 14-byte file
// header, core (12-byte) and info (40-byte and longer) headers, bottom-up and top-down rows,
// 1/2/4/8 bits (plain, RLE8, RLE4), 16 and 32 bits (plain or bit fields) and 24 bits. Pixel
// data is checked against the file size before the picture is allocated, so a short file
// claiming a huge picture costs nothing.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kCompressionAlphaBitFields = 6;

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kLargestHeaderSize = 4096;  // V5 is 124; anything far beyond is not a bitmap

struct BmpInfo {
    bool core = false;
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;  // negative: rows stored top-down
    int bitCount = 0;
    uint32_t compression = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;
};

bool ReadInfoHeader(ByteReader& in, BmpInfo& info) {
    const size_t start = in.Position();
    info.headerSize = in.U32LE();
    if (in.Failed()) return false;
    if (info.headerSize == kCoreHeaderSize) {
        info.core = true;
        info.width = in.U16LE();
        info.height = in.U16LE();
        in.U16LE();  // planes
        info.bitCount = in.U16LE();
        return !in.Failed();
    }
    if (info.headerSize < kInfoHeaderSize || info.headerSize > kLargestHeaderSize) return false;
    info.width = in.S32LE();
    info.height = in.S32LE();
    in.U16LE();  // planes
    info.bitCount = in.U16LE();
    info.compression = in.U32LE();
    in.U32LE();  // image size: recomputed from width, height and depth
    info.xPelsPerMeter = in.S32LE();
    info.yPelsPerMeter = in.S32LE();
    info.colorsUsed = in.U32LE();
    in.U32LE();  // important colours
    if (in.Failed()) return false;
    return in.Seek(start + info.headerSize);
}

int DpiFromPelsPerMeter(int32_t ppm) {
    return static_cast<int>(std::lround(ppm * 0.0254));
}

/// One colour channel of a bit-field mask: the value is (pixel & mask) >> shift, at most max.
struct MaskChannel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;

    explicit MaskChannel(uint32_t m) : mask(m) {
        if (m == 0) return;
        while (((m >> shift) & 1) == 0) ++shift;
        max = m >> shift;
    }
    uint8_t operator()(uint32_t pixel) const {
        if (max == 0) return 0;
        const uint64_t v = (pixel & mask) >> shift;
        return static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
};

struct Masks {
    uint32_t red = 0x7C00, green = 0x03E0, blue = 0x001F, alpha = 0;
};

/// Writes palette index `value` at (x, row) of a picture whose depth may be below 8.
struct IndexWriter {
    ImageBuffer& image;
    int width;
    void Put(int x, int row, uint8_t value) const {
        if (x < width) image.SetPixelIndex(x, row, value);
    }
};

/// RLE8 and RLE4: runs, absolute runs (padded to 16 bits), end of line, end of bitmap and
/// delta moves. Runs and moves past the right edge are clipped; anything past the top row
/// ends the picture. Data that stops before the end of the bitmap is a damaged file.
bool DecodeRle(ByteReader& in, ImageBuffer& image, bool rle4, bool topDown) {
    const int width = image.Width();
    const int height = image.Height();
    const IndexWriter out{image, width};
    auto rowOf = [&](int y) { return topDown ? height - 1 - y : y; };
    int x = 0;
    int y = 0;
    while (y < height) {
        if (image.Cancelled()) {
            image.SetLastError("Cancelled");
            return false;
        }
        if (in.Remaining() < 2) {
            image.SetLastError("corrupted BMP");
            return false;
        }
        const uint8_t count = in.U8();
        const uint8_t value = in.U8();
        if (count > 0) {
            const int n = std::min<int>(count, width - x);
            const int row = rowOf(y);
            for (int i = 0; i < n; ++i) {
                const uint8_t index =
                    rle4 ? static_cast<uint8_t>((i & 1) ? (value & 0x0F) : (value >> 4)) : value;
                out.Put(x + i, row, index);
            }
            x += n;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return true;
            case 2: {  // delta
                if (in.Remaining() < 2) {
                    image.SetLastError("corrupted BMP");
                    return false;
                }
                const int dx = in.U8();
                const int dy = in.U8();
                x = std::min(x + dx, width);
                y += dy;
                break;
            }
            default: {  // absolute run of `value` pixels
                const size_t bytes = rle4 ? (value + 1u) / 2 : value;
                const size_t padded = bytes + (bytes & 1);
                const auto data = in.Take(std::min(padded, in.Remaining()));
                if (data.size() < bytes) {
                    image.SetLastError("corrupted BMP");
                    return false;
                }
                const int n = std::min<int>(value, width - x);
                const int row = rowOf(y);
                for (int i = 0; i < n; ++i) {
                    const uint8_t index = rle4 ? static_cast<uint8_t>((i & 1) ? (data[i / 2] & 0x0F)
                                                                              : (data[i / 2] >> 4))
                                               : data[i];
                    out.Put(x + i, row, index);
                }
                x += n;
                break;
            }
        }
    }
    return true;
}

}  // namespace

bool DecodeBmp(ByteReader& in, ImageBuffer& image) {
    const size_t start = in.Position();
    uint8_t fileHeader[kFileHeaderSize];
    if (!in.Read(fileHeader, sizeof fileHeader)) {
        image.SetLastError("Not a BMP");
        return false;
    }
    uint32_t dataOffset = 0;
    if (fileHeader[0] == 'B' && fileHeader[1] == 'M') {
        dataOffset =
            static_cast<uint32_t>(fileHeader[10] | fileHeader[11] << 8 | fileHeader[12] << 16 |
                                  static_cast<uint32_t>(fileHeader[13]) << 24);
    } else {
        in.Seek(start);  // a bare bitmap: the info header comes first
    }

    const size_t infoStart = in.Position();
    BmpInfo info;
    if (!ReadInfoHeader(in, info)) {
        image.SetLastError("Error reading BMP info");
        return false;
    }
    const int bpp = info.bitCount;
    if (info.width <= 0 || info.height == 0 ||
        (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
        image.SetLastError("Error reading BMP info");
        return false;
    }
    const bool topDown = info.height < 0;
    const int64_t height = topDown ? -info.height : info.height;
    if (!image.CheckSize(static_cast<uint64_t>(info.width), static_cast<uint64_t>(height))) {
        return false;
    }
    const int width = static_cast<int>(info.width);

    // Which compressions go with which depth.
    const uint32_t compression = info.compression;
    const bool bitFields =
        compression == kCompressionBitFields || compression == kCompressionAlphaBitFields;
    if (bpp <= 8) {
        const bool ok = compression == kCompressionNone ||
                        (compression == kCompressionRle8 && bpp == 8) ||
                        (compression == kCompressionRle4 && bpp == 4);
        if (!ok) {
            image.SetLastError("compression type not supported");
            return false;
        }
    } else if (bpp == 24 ? compression != kCompressionNone
                         : (compression != kCompressionNone && !bitFields)) {
        image.SetLastError("unknown compression");
        return false;
    }

    // Bit-field masks sit right after the 40-byte part of the header: inside a V2..V5 header
    // or, after a plain 40-byte header, between the header and the palette.
    Masks masks;
    bool standardMasks = true;
    if (bitFields && bpp > 8) {
        const size_t afterHeader = in.Position();
        in.Seek(infoStart + kInfoHeaderSize);
        masks.red = in.U32LE();
        masks.green = in.U32LE();
        masks.blue = in.U32LE();
        if (compression == kCompressionAlphaBitFields || info.headerSize >= 56) {
            masks.alpha = in.U32LE();
        }
        if (in.Failed()) {
            image.SetLastError("Error reading BMP info");
            return false;
        }
        if (info.headerSize > kInfoHeaderSize) in.Seek(afterHeader);
        standardMasks =
            bpp == 32 && masks.red == 0xFF0000 && masks.green == 0xFF00 && masks.blue == 0xFF;
    } else if (bpp == 32) {
        masks = {0xFF0000, 0xFF00, 0xFF, 0};
    }

    // Palette. Pictures above 8 bits may carry a colour table too (a hint for palette
    // displays); it is skipped.
    RgbQuad palette[256] = {};
    int paletteEntries = 0;
    const uint32_t addressable = bpp <= 8 ? 1u << bpp : 0;
    const uint32_t stored = info.colorsUsed == 0 ? addressable : info.colorsUsed;
    const size_t entrySize = info.core ? 3 : 4;
    paletteEntries = static_cast<int>(std::min(stored, addressable));
    for (int i = 0; i < paletteEntries; ++i) {
        palette[i].blue = in.U8();
        palette[i].green = in.U8();
        palette[i].red = in.U8();
        if (!info.core) in.U8();
    }
    // Entries beyond what the depth can address matter only for finding the pixels.
    const uint64_t extra = uint64_t{stored - static_cast<uint32_t>(paletteEntries)} * entrySize;
    if (dataOffset == 0 && extra > 0) {
        if (extra > in.Remaining()) {
            in.Skip(in.Remaining() + 1);  // fails: truncated
        } else {
            in.Skip(static_cast<size_t>(extra));
        }
    }
    if (in.Failed()) {
        image.SetLastError("Error reading BMP info");
        return false;
    }

    if (dataOffset != 0) {
        // The offset counts from the file header; compared before anything is added.
        if (dataOffset > in.Size() - start) {
            image.SetLastError("corrupted BMP");
            return false;
        }
        in.Seek(start + dataOffset);
    }

    // Uncompressed pixel data must all be there before anything is allocated.
    const uint64_t fileStride = ImageBuffer::StrideFor(static_cast<uint64_t>(width), bpp);
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bpp + 7) / 8;
    const bool rle = compression == kCompressionRle8 || compression == kCompressionRle4;
    if (!rle) {
        const uint64_t needed = fileStride * static_cast<uint64_t>(height - 1) + rowBytes;
        if (needed > in.Remaining()) {
            image.SetLastError("corrupted BMP");
            return false;
        }
    }

    if (!image.Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), bpp,
                      image.Format())) {
        return false;  // "Can't allocate memory"
    }
    image.SetDpi(DpiFromPelsPerMeter(info.xPelsPerMeter), DpiFromPelsPerMeter(info.yPelsPerMeter));
    for (int i = 0; i < paletteEntries; ++i) image.SetPaletteColor(i, palette[i]);

    if (rle) {
        return DecodeRle(in, image, compression == kCompressionRle4, topDown);
    }

    const int h = static_cast<int>(height);
    const MaskChannel red(masks.red), green(masks.green), blue(masks.blue), alpha(masks.alpha);
    const bool keepAlpha = bpp > 8 && bitFields && masks.alpha != 0;
    if (keepAlpha) image.AllocateAlpha();
    for (int fileRow = 0; fileRow < h; ++fileRow) {
        if (image.Cancelled()) {
            image.SetLastError("Cancelled");
            return false;
        }
        const int y = topDown ? h - 1 - fileRow : fileRow;
        const auto src = in.Take(fileRow + 1 < h ? fileStride : rowBytes);
        uint8_t* dst = image.Row(y);
        uint8_t* a = keepAlpha ? image.AlphaRow(y) : nullptr;
        switch (bpp) {
            case 1:
            case 4:
            case 8:
            case 24:
                std::memcpy(dst, src.data(), rowBytes);
                break;
            case 2:  // widened to 4 bits per pixel
                for (int x = 0; x < width; ++x) {
                    const uint8_t index = (src[x / 4] >> (6 - 2 * (x % 4))) & 3;
                    image.SetPixelIndex(x, y, index);
                }
                break;
            case 16:
                for (int x = 0; x < width; ++x) {
                    const uint32_t p = src[2 * x] | src[2 * x + 1] << 8;
                    dst[3 * x] = blue(p);
                    dst[3 * x + 1] = green(p);
                    dst[3 * x + 2] = red(p);
                    if (a) a[x] = alpha(p);
                }
                break;
            case 32:
                if (standardMasks && !a) {
                    // The usual layout: blue, green, red and one unused byte.
                    for (int x = 0; x < width; ++x) {
                        dst[3 * x] = src[4 * x];
                        dst[3 * x + 1] = src[4 * x + 1];
                        dst[3 * x + 2] = src[4 * x + 2];
                    }
                } else {
                    for (int x = 0; x < width; ++x) {
                        const uint32_t p = src[4 * x] | src[4 * x + 1] << 8 | src[4 * x + 2] << 16 |
                                           static_cast<uint32_t>(src[4 * x + 3]) << 24;
                        dst[3 * x] = blue(p);
                        dst[3 * x + 1] = green(p);
                        dst[3 * x + 2] = red(p);
                        if (a) a[x] = alpha(p);
                    }
                }
                break;
        }
        image.SetProgress(static_cast<int>(100LL * fileRow / h));
    }
    // Many writers leave the alpha byte at zero; such a plane would hide the whole picture.
    if (keepAlpha) {
        bool allZero = true;
        for (int y = 0; y < h && allZero; ++y) {
            const uint8_t* a = image.AlphaRow(y);
            allZero = std::all_of(a, a + width, [](uint8_t v) { return v == 0; });
        }
        if (allZero) image.ReleaseAlpha();
    }
    return true;
}

bool BmpFileHeader(const ImageBuffer& image, uint8_t (&header)[14]) {
    static_assert(sizeof header == kFileHeaderSize);
    const auto block = image.Block();
    const uint64_t offset = kFileHeaderSize + kInfoHeaderSize + 4u * image.PaletteEntries();
    const uint64_t fileSize = kFileHeaderSize + block.size();
    if (block.empty() || fileSize > 0xFFFFFFFFu) return false;
    std::fill(std::begin(header), std::end(header), uint8_t{0});
    header[0] = 'B';
    header[1] = 'M';
    for (int i = 0; i < 4; ++i) {
        header[2 + i] = static_cast<uint8_t>(fileSize >> (8 * i));
        header[10 + i] = static_cast<uint8_t>(offset >> (8 * i));
    }
    return true;
}

bool EncodeBmp(const ImageBuffer& image, std::string& out) {
    uint8_t header[kFileHeaderSize];
    if (!BmpFileHeader(image, header)) return false;
    const auto block = image.Block();
    const uint64_t fileSize = kFileHeaderSize + block.size();
    try {
        out.reserve(out.size() + static_cast<size_t>(fileSize));
        out.append(reinterpret_cast<const char*>(header), sizeof header);
        out.append(reinterpret_cast<const char*>(block.data()), block.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace tavolin::codecs
