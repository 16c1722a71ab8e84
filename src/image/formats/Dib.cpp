#include "image/formats/Dib.h"

#include <bit>

#include "image/ByteReader.h"

namespace tavolin::codecs {
namespace {

constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitFields = 3;

// Scales a masked channel to 8 bits.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const uint32_t v = (pixel & mask) >> shift;
    const uint32_t max = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    return static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
}

}  // namespace

bool Dib::Parse(std::span<const uint8_t> info, std::span<const uint8_t> bits, int rows) {
    ByteReader in(info);
    const uint32_t headerSize = in.U32LE();
    int64_t width = 0, height = 0;
    uint32_t compression = kCompressionRgb, coloursUsed = 0;
    int planes = 1;
    if (headerSize == 12) {
        width = in.U16LE();
        height = in.S16LE();
        planes = in.U16LE();
        m_bpp = in.U16LE();
    } else if (headerSize >= 40 && headerSize <= 1024) {
        width = in.S32LE();
        height = in.S32LE();
        planes = in.U16LE();
        m_bpp = in.U16LE();
        compression = in.U32LE();
        in.Skip(12);  // image size, resolution
        coloursUsed = in.U32LE();
        in.Skip(4);
        if (headerSize >= 52) {
            m_masks[0] = in.U32LE();
            m_masks[1] = in.U32LE();
            m_masks[2] = in.U32LE();
        }
        if (!in.Seek(headerSize)) return false;
        if (headerSize < 52 && compression == kCompressionBitFields) {
            m_masks[0] = in.U32LE();
            m_masks[1] = in.U32LE();
            m_masks[2] = in.U32LE();
        }
    } else {
        return false;
    }
    if (in.Failed() || planes != 1 || width <= 0 || height == 0) return false;
    if (m_bpp != 1 && m_bpp != 4 && m_bpp != 8 && m_bpp != 16 && m_bpp != 24 && m_bpp != 32) {
        return false;
    }
    m_bitFields = compression == kCompressionBitFields;
    if (compression != kCompressionRgb && !(m_bitFields && (m_bpp == 16 || m_bpp == 32))) {
        return false;
    }
    if (!m_bitFields && m_bpp == 16) {
        m_masks[0] = 0x7C00;
        m_masks[1] = 0x03E0;
        m_masks[2] = 0x001F;
    }
    m_topDown = height < 0;
    if (height < 0) height = -height;
    if (rows >= 0) height = rows;
    if (width > kMaxImageDimension || height > kMaxImageDimension) return false;
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);

    // Colour table: the full table for palette depths unless fewer are named; other depths
    // may carry an optional table that only needs skipping.
    const size_t entrySize = headerSize == 12 ? 3 : 4;
    m_colours.clear();
    if (m_bpp <= 8) {
        const size_t full = size_t{1} << m_bpp;
        const size_t entries = (coloursUsed == 0 || coloursUsed > full) ? full : coloursUsed;
        if (entries * entrySize > in.Remaining()) return false;
        m_colours.resize(entries);
        for (auto& c : m_colours) {
            c.blue = in.U8();
            c.green = in.U8();
            c.red = in.U8();
            c.reserved = 0;
            if (entrySize == 4) in.Skip(1);
        }
    } else {
        const uint64_t skip = uint64_t{coloursUsed} * entrySize;
        if (skip > in.Remaining()) return false;
        in.Skip(static_cast<size_t>(skip));
    }
    m_bitsOffset = in.Position();

    const uint64_t stride = ImageBuffer::StrideFor(static_cast<uint64_t>(width), m_bpp);
    if (stride * static_cast<uint64_t>(height) > bits.size()) return false;
    m_stride = static_cast<size_t>(stride);
    m_bits = bits;
    return true;
}

bool Dib::ParseContiguous(std::span<const uint8_t> data, int rows) {
    if (!Parse(data, {}, 0)) return false;  // header and colour table only
    const size_t offset = m_bitsOffset;
    return Parse(data, data.subspan(offset), rows);
}

const uint8_t* Dib::RowPtr(int yFromTop) const {
    const int stored = m_topDown ? yFromTop : m_height - 1 - yFromTop;
    return m_bits.data() + m_stride * static_cast<size_t>(stored);
}

uint8_t Dib::Index(int x, int yFromTop) const {
    if (x < 0 || yFromTop < 0 || x >= m_width || yFromTop >= m_height || m_bpp > 8) return 0;
    return ImageBuffer::PackedIndex(RowPtr(yFromTop), x, m_bpp);
}

RgbQuad Dib::Pixel(int x, int yFromTop) const {
    if (x < 0 || yFromTop < 0 || x >= m_width || yFromTop >= m_height) return {0, 0, 0, 255};
    if (m_bpp <= 8) {
        const uint8_t i = Index(x, yFromTop);
        RgbQuad c = i < m_colours.size() ? m_colours[i] : RgbQuad{};
        c.reserved = 255;
        return c;
    }
    const uint8_t* p = RowPtr(yFromTop);
    switch (m_bpp) {
        case 16: {
            const uint32_t v = p[2 * x] | (p[2 * x + 1] << 8);
            return {Channel(v, m_masks[2]), Channel(v, m_masks[1]), Channel(v, m_masks[0]), 255};
        }
        case 24:
            p += 3 * static_cast<size_t>(x);
            return {p[0], p[1], p[2], 255};
        default: {
            p += 4 * static_cast<size_t>(x);
            if (!m_bitFields) return {p[0], p[1], p[2], p[3]};
            const uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
            return {Channel(v, m_masks[2]), Channel(v, m_masks[1]), Channel(v, m_masks[0]), 255};
        }
    }
}

}  // namespace tavolin::codecs
