#include "image/formats/Dib.h"

#include <algorithm>

namespace tavolin::codecs {
namespace {

constexpr size_t kLargestHeaderSize = 4096;  // V5 is 124; anything far beyond is not a bitmap

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

void SetDefaultMasks(DibHeader& header) {
    const uint32_t none[4] = {0, 0, 0, 0};
    const uint32_t rgb555[4] = {0x7C00, 0x03E0, 0x001F, 0};
    const uint32_t bgrx[4] = {0xFF0000, 0xFF00, 0xFF, 0};
    const uint32_t* m = header.bitCount == 16 ? rgb555 : header.bitCount == 32 ? bgrx : none;
    std::copy(m, m + 4, header.masks);
}

DibHeader ParseCoreHeader(const uint8_t (&b)[kCoreHeaderSize]) {
    DibHeader h;
    h.size = Le32(b);
    h.width = Le16(b + 4);
    h.height = Le16(b + 6);
    h.planes = Le16(b + 8);
    h.bitCount = Le16(b + 10);
    SetDefaultMasks(h);
    return h;
}

DibHeader ParseInfoHeader(const uint8_t (&b)[kInfoHeaderSize]) {
    DibHeader h;
    h.size = Le32(b);
    h.width = static_cast<int32_t>(Le32(b + 4));
    h.height = static_cast<int32_t>(Le32(b + 8));
    h.planes = Le16(b + 12);
    h.bitCount = Le16(b + 14);
    h.compression = Le32(b + 16);
    h.imageSize = Le32(b + 20);
    h.xPelsPerMeter = static_cast<int32_t>(Le32(b + 24));
    h.yPelsPerMeter = static_cast<int32_t>(Le32(b + 28));
    h.coloursUsed = Le32(b + 32);
    SetDefaultMasks(h);
    return h;
}

bool ReadDibHeader(ByteReader& in, DibHeader& header) {
    const size_t start = in.Position();
    uint8_t sizeBytes[4];
    if (!in.Read(sizeBytes, sizeof sizeBytes)) return false;
    const uint32_t size = Le32(sizeBytes);
    in.Seek(start);
    if (size == kCoreHeaderSize) {
        uint8_t core[kCoreHeaderSize];
        if (!in.Read(core, sizeof core)) return false;
        header = ParseCoreHeader(core);
        return true;
    }
    if (size < kInfoHeaderSize || size > kLargestHeaderSize) return false;
    uint8_t info[kInfoHeaderSize];
    if (!in.Read(info, sizeof info)) return false;
    header = ParseInfoHeader(info);
    return in.Seek(start + size);
}

bool ReadDibMasks(ByteReader& in, size_t headerStart, DibHeader& header) {
    if (!header.BitFields() || (header.bitCount != 16 && header.bitCount != 32)) return true;
    const size_t afterHeader = in.Position();
    in.Seek(headerStart + kInfoHeaderSize);
    header.masks[0] = in.U32LE();
    header.masks[1] = in.U32LE();
    header.masks[2] = in.U32LE();
    header.masks[3] = header.compression == kBiAlphaBitFields || header.size >= 56 ? in.U32LE() : 0;
    if (in.Failed()) return false;
    // Inside a longer header the masks are part of it; after a 40-byte one they follow it.
    if (header.size > kInfoHeaderSize) in.Seek(afterHeader);
    return true;
}

bool ReadColourTable(ByteReader& in, const DibHeader& header, std::vector<RgbQuad>& colours) {
    colours.clear();
    if (header.bitCount > 8) return true;
    const size_t full = size_t{1} << header.bitCount;
    const size_t entries =
        header.coloursUsed == 0 || header.coloursUsed > full ? full : header.coloursUsed;
    const size_t entrySize = header.EntrySize();
    if (entries * entrySize > in.Remaining()) return false;
    colours.resize(entries);
    for (RgbQuad& c : colours) {
        c.blue = in.U8();
        c.green = in.U8();
        c.red = in.U8();
        c.reserved = 0;
        if (entrySize == 4) in.Skip(1);
    }
    return true;
}

MaskChannel::MaskChannel(uint32_t mask) : m_mask(mask) {
    if (mask == 0) return;
    while (((mask >> m_shift) & 1) == 0) ++m_shift;
    m_max = mask >> m_shift;
}

void ConvertRowTo24(const uint8_t* src, int width, int bitsPerPixel, const DibHeader& header,
                    uint8_t* bgr, uint8_t* alpha) {
    const int step = bitsPerPixel / 8;
    if (bitsPerPixel == 32 && !alpha && PixelMasks::Plain32(header)) {
        for (int x = 0; x < width; ++x, src += 4, bgr += 3) {
            bgr[0] = src[0];
            bgr[1] = src[1];
            bgr[2] = src[2];
        }
        return;
    }
    const PixelMasks m(header);
    for (int x = 0; x < width; ++x, src += step, bgr += 3) {
        const uint32_t p = LoadPixel(src, bitsPerPixel);
        bgr[0] = m.blue(p);
        bgr[1] = m.green(p);
        bgr[2] = m.red(p);
        if (alpha) alpha[x] = m.alpha(p);
    }
}

bool DecodeRle(ByteReader& in, ImageBuffer& image, bool rle4, bool topDown) {
    const int width = image.Width();
    const int height = image.Height();
    auto rowOf = [&](int y) { return topDown ? height - 1 - y : y; };
    auto put = [&](int x, int row, uint8_t value) {
        if (x < width) image.SetPixelIndex(x, row, value);
    };
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
                put(x + i, row, index);
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
                    put(x + i, row, index);
                }
                x += n;
                break;
            }
        }
    }
    return true;
}

void WriteBmpFileHeader(uint8_t* out, uint32_t fileSize, uint32_t dataOffset) {
    Put16(out, kBmpSignature);
    Put32(out + 2, fileSize);
    Put32(out + 6, 0);
    Put32(out + 10, dataOffset);
}

void WriteInfoHeader(uint8_t* out, int32_t width, int32_t height, int bitsPerPixel,
                     uint32_t imageSize, int32_t xPelsPerMeter, int32_t yPelsPerMeter,
                     uint32_t coloursUsed) {
    Put32(out, kInfoHeaderSize);
    Put32(out + 4, static_cast<uint32_t>(width));
    Put32(out + 8, static_cast<uint32_t>(height));
    Put16(out + 12, 1);
    Put16(out + 14, static_cast<uint32_t>(bitsPerPixel));
    Put32(out + 16, kBiRgb);
    Put32(out + 20, imageSize);
    Put32(out + 24, static_cast<uint32_t>(xPelsPerMeter));
    Put32(out + 28, static_cast<uint32_t>(yPelsPerMeter));
    Put32(out + 32, coloursUsed);
    Put32(out + 36, 0);
}

bool Dib::Parse(std::span<const uint8_t> info, std::span<const uint8_t> bits, int rows) {
    ByteReader in(info);
    DibHeader h;
    if (!ReadDibHeader(in, h) || !ReadDibMasks(in, 0, h)) return false;
    const int bpp = h.bitCount;
    if (h.planes != 1 || h.width <= 0 || h.height == 0) return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    if (h.compression != kBiRgb && !(h.BitFields() && (bpp == 16 || bpp == 32))) return false;
    const int64_t height = rows >= 0 ? rows : h.Rows();
    if (h.width > kMaxImageDimension || height > kMaxImageDimension) return false;

    // Other depths may carry an optional colour table that only needs skipping.
    if (!ReadColourTable(in, h, m_colours)) return false;
    if (bpp > 8) {
        const uint64_t skip = uint64_t{h.coloursUsed} * h.EntrySize();
        if (skip > in.Remaining()) return false;
        in.Skip(static_cast<size_t>(skip));
    }
    m_bitsOffset = in.Position();

    const uint64_t stride = DibStride(static_cast<uint64_t>(h.width), bpp);
    if (stride * static_cast<uint64_t>(height) > bits.size()) return false;
    m_header = h;
    m_masks = PixelMasks(h);
    m_width = static_cast<int>(h.width);
    m_height = static_cast<int>(height);
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
    const int stored = TopDown() ? yFromTop : m_height - 1 - yFromTop;
    return m_bits.data() + m_stride * static_cast<size_t>(stored);
}

uint8_t Dib::Index(int x, int yFromTop) const {
    if (x < 0 || yFromTop < 0 || x >= m_width || yFromTop >= m_height || BitsPerPixel() > 8) {
        return 0;
    }
    return ImageBuffer::PackedIndex(RowPtr(yFromTop), x, BitsPerPixel());
}

RgbQuad Dib::Pixel(int x, int yFromTop) const {
    if (x < 0 || yFromTop < 0 || x >= m_width || yFromTop >= m_height) return {0, 0, 0, 255};
    const int bpp = BitsPerPixel();
    if (bpp <= 8) {
        const uint8_t i = Index(x, yFromTop);
        RgbQuad c = i < m_colours.size() ? m_colours[i] : RgbQuad{};
        c.reserved = 255;
        return c;
    }
    const uint8_t* p = RowPtr(yFromTop) + static_cast<size_t>(x) * (bpp / 8);
    if (bpp == 24) return {p[0], p[1], p[2], 255};
    if (HasAlphaByte()) return {p[0], p[1], p[2], p[3]};
    const uint32_t v = LoadPixel(p, bpp);
    return {m_masks.blue(v), m_masks.green(v), m_masks.red(v), 255};
}

}  // namespace tavolin::codecs
