#pragma once
// A device-independent bitmap embedded in another file: the pictures inside icons and the
// bitmaps of metafile records. Reads the info header (the 12-byte core form or the 40-byte
// form and its longer successors), the colour table and uncompressed rows at 1, 4, 8, 16, 24
// and 32 bits (16 and 32 with or without bit-field masks). Every access is bounds-checked
// against the spans it was given.

#include <cstdint>
#include <span>
#include <vector>

#include "image/ImageBuffer.h"

namespace tavolin::codecs {

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
    int BitsPerPixel() const { return m_bpp; }
    /// True when the rows are stored top row first (negative header height).
    bool TopDown() const { return m_topDown; }
    size_t Stride() const { return m_stride; }
    /// Bytes the rows take (stride x height).
    size_t RowBytes() const { return m_stride * static_cast<size_t>(m_height); }
    /// Offset of the rows from the start of a contiguous block.
    size_t BitsOffset() const { return m_bitsOffset; }
    const std::vector<RgbQuad>& Colours() const { return m_colours; }
    /// True for 32-bit pixels whose fourth byte is alpha (no masks).
    bool HasAlphaByte() const { return m_bpp == 32 && !m_bitFields; }

    /// Colour of the pixel x in the row counted from the top; alpha in reserved (255 unless
    /// the pixel has an alpha byte).
    RgbQuad Pixel(int x, int yFromTop) const;
    /// Colour-table index at x, yFromTop for depths up to 8; 0 otherwise.
    uint8_t Index(int x, int yFromTop) const;

private:
    const uint8_t* RowPtr(int yFromTop) const;

    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    bool m_topDown = false;
    bool m_bitFields = false;
    uint32_t m_masks[3] = {0, 0, 0};
    size_t m_stride = 0;
    size_t m_bitsOffset = 0;
    std::vector<RgbQuad> m_colours;
    std::span<const uint8_t> m_bits;
};

}  // namespace tavolin::codecs
