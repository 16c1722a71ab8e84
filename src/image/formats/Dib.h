#pragma once
// The one reader and writer of Windows bitmap structures (device-independent bitmaps): the
// file header, the info header in its 12-byte core form and its 40-byte form with the longer
// successors, bit-field masks and their scaling to 8 bits, colour tables, run-length data and
// the row layout. The BMP codec, the pictures inside icons and metafiles, the wallpaper canvas
// and the PNG copy of the wallpaper all read and write bitmaps through it.

#include <cstdint>
#include <span>
#include <vector>

#include "image/ByteReader.h"
#include "image/ImageBuffer.h"

namespace tavolin::codecs {

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitFields = 3;
inline constexpr uint32_t kBiAlphaBitFields = 6;

inline constexpr size_t kBmpFileHeaderSize = 14;
inline constexpr size_t kCoreHeaderSize = 12;
inline constexpr size_t kInfoHeaderSize = 40;
inline constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"

/// Bytes of one stored row: whole bytes padded to a multiple of 4, in 64 bits.
inline uint64_t DibStride(uint64_t width, int bitsPerPixel) {
    return ((width * static_cast<uint64_t>(bitsPerPixel) + 31) / 32) * 4;
}

/// Colour-table entries a depth addresses: 2, 16 or 256, none above 8 bits.
inline int PaletteEntriesFor(int bitsPerPixel) {
    return bitsPerPixel == 1 ? 2 : bitsPerPixel == 4 ? 16 : bitsPerPixel == 8 ? 256 : 0;
}

/// The fields of a bitmap info header, whichever form the file holds.
struct DibHeader {
    uint32_t size = 0;  // 12 for the core form, 40 or more otherwise
    int64_t width = 0;
    int64_t height = 0;  // as stored: negative for rows stored top row first
    int planes = 0;
    int bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t imageSize = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t coloursUsed = 0;
    /// Red, green, blue and alpha masks: read from the file with bit-field compression,
    /// otherwise the depth's own (5-5-5 at 16 bits, blue, green, red bytes at 32).
    uint32_t masks[4] = {0, 0, 0, 0};

    bool Core() const { return size == kCoreHeaderSize; }
    bool TopDown() const { return height < 0; }
    int64_t Rows() const { return height < 0 ? -height : height; }
    bool BitFields() const {
        return compression == kBiBitFields || compression == kBiAlphaBitFields;
    }
    /// Bytes per colour-table entry: 3 after a core header, else 4.
    size_t EntrySize() const { return Core() ? 3 : 4; }
};

/// The fields of a 12-byte core header (width and height unsigned 16-bit).
DibHeader ParseCoreHeader(const uint8_t (&bytes)[kCoreHeaderSize]);
/// The fields of the first 40 bytes of an info header; the masks are the depth's own.
DibHeader ParseInfoHeader(const uint8_t (&bytes)[kInfoHeaderSize]);

/// Reads an info header of any form at the reader's position and leaves the reader after it.
/// False when the header is cut short or its size is not a known one (12, or 40 to 4096).
bool ReadDibHeader(ByteReader& in, DibHeader& header);

/// With bit-field compression at 16 or 32 bits, reads the masks of the header that began at
/// headerStart (red, green, blue, and alpha in a V4 or later header or with alpha bit fields).
/// False when they are cut short.
bool ReadDibMasks(ByteReader& in, size_t headerStart, DibHeader& header);

/// Reads the colour table of a palette depth: the header's count of entries (all that the
/// depth addresses when it names none or more), 3 bytes each after a core header, else 4.
/// Nothing for other depths. False when the table is cut short.
bool ReadColourTable(ByteReader& in, const DibHeader& header, std::vector<RgbQuad>& colours);

/// The default masks of a depth, as used without bit-field compression.
void SetDefaultMasks(DibHeader& header);

/// One colour channel of a bit-field mask: (pixel & mask) >> shift, scaled so that the full
/// channel gives 255 exactly (a 5-bit 31 gives 255, not 248).
class MaskChannel {
public:
    MaskChannel() = default;
    explicit MaskChannel(uint32_t mask);
    uint8_t operator()(uint32_t pixel) const {
        if (m_max == 0) return 0;
        const uint64_t v = (pixel & m_mask) >> m_shift;
        return static_cast<uint8_t>((v * 255 + m_max / 2) / m_max);
    }
    bool Empty() const { return m_max == 0; }

private:
    uint32_t m_mask = 0;
    int m_shift = 0;
    uint64_t m_max = 0;
};

/// The four channels of a header's masks.
struct PixelMasks {
    MaskChannel red, green, blue, alpha;
    explicit PixelMasks(const DibHeader& header)
        : red(header.masks[0]),
          green(header.masks[1]),
          blue(header.masks[2]),
          alpha(header.masks[3]) {}
    /// True for the usual 32-bit layout: blue, green, red and one byte more.
    static bool Plain32(const DibHeader& header) {
        return header.masks[0] == 0xFF0000 && header.masks[1] == 0xFF00 && header.masks[2] == 0xFF;
    }
};

/// One 16- or 32-bit pixel at p.
inline uint32_t LoadPixel(const uint8_t* p, int bitsPerPixel) {
    if (bitsPerPixel == 16) return p[0] | p[1] << 8;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

/// Converts one row of 16- or 32-bit pixels to blue, green, red bytes; alpha, when given,
/// receives the alpha channel.
void ConvertRowTo24(const uint8_t* src, int width, int bitsPerPixel, const DibHeader& header,
                    uint8_t* bgr, uint8_t* alpha = nullptr);

/// RLE8 and RLE4 data into a palette picture: runs, absolute runs (padded to 16 bits), end of
/// line, end of bitmap and delta moves. Runs and moves past the right edge are clipped;
/// anything past the top row ends the picture. Data that stops before the end of the bitmap is
/// a damaged file ("corrupted BMP").
bool DecodeRle(ByteReader& in, ImageBuffer& image, bool rle4, bool topDown);

/// Writes the 14-byte file header.
void WriteBmpFileHeader(uint8_t* out, uint32_t fileSize, uint32_t dataOffset);
/// Writes a 40-byte info header of an uncompressed bottom-up bitmap.
void WriteInfoHeader(uint8_t* out, int32_t width, int32_t height, int bitsPerPixel,
                     uint32_t imageSize, int32_t xPelsPerMeter, int32_t yPelsPerMeter,
                     uint32_t coloursUsed);

/// A bitmap embedded in another file: the pictures inside icons and the bitmaps of metafile
/// records. Uncompressed rows at 1, 4, 8, 16, 24 and 32 bits (16 and 32 with or without
/// bit-field masks). Every access is bounds-checked against the spans it was given.
class Dib {
public:
    /// Parses the header and colour table at the start of info; the pixel rows are bits.
    /// rows, when not negative, replaces the header's row count (an icon's header counts its
    /// mask rows too). False when the header is damaged, the depth or compression is not
    /// supported, or bits is too short for the rows.
    bool Parse(std::span<const uint8_t> info, std::span<const uint8_t> bits, int rows = -1);
    /// The same for a header directly followed by its colour table and then the rows; the
    /// rows may be followed by more data (an icon's mask).
    bool ParseContiguous(std::span<const uint8_t> data, int rows = -1);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_header.bitCount; }
    /// The header's stored height (negative for top-down rows), before any rows override.
    int64_t HeaderHeight() const { return m_header.height; }
    /// True when the rows are stored top row first (negative header height).
    bool TopDown() const { return m_header.TopDown(); }
    size_t Stride() const { return m_stride; }
    /// Bytes the rows take (stride x height).
    size_t RowBytes() const { return m_stride * static_cast<size_t>(m_height); }
    /// Offset of the rows from the start of a contiguous block.
    size_t BitsOffset() const { return m_bitsOffset; }
    const std::vector<RgbQuad>& Colours() const { return m_colours; }
    /// True for 32-bit pixels whose fourth byte is alpha (no masks).
    bool HasAlphaByte() const { return m_header.bitCount == 32 && !m_header.BitFields(); }

    /// Colour of the pixel x in the row counted from the top; alpha in reserved (255 unless
    /// the pixel has an alpha byte).
    RgbQuad Pixel(int x, int yFromTop) const;
    /// Colour-table index at x, yFromTop for depths up to 8; 0 otherwise.
    uint8_t Index(int x, int yFromTop) const;

private:
    const uint8_t* RowPtr(int yFromTop) const;

    DibHeader m_header;
    PixelMasks m_masks{DibHeader{}};
    int m_width = 0;
    int m_height = 0;
    size_t m_stride = 0;
    size_t m_bitsOffset = 0;
    std::vector<RgbQuad> m_colours;
    std::span<const uint8_t> m_bits;
};

}  // namespace tavolin::codecs
