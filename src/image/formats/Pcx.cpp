// ZSoft PCX: a 128-byte header, then run-length encoded scan lines, each made of one line per
// plane. Read here: 1 bit in 1 to 4 planes (monochrome and EGA 16-colour), 2 and 4 bits packed
// in one plane, 8 bits in one plane with the 256-colour palette at the end of the file, and 8
// bits in 3 or 4 planes (24-bit colour; a fourth plane holds alpha and is dropped).
#include <algorithm>
#include <vector>

#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kVgaPaletteSize = 768;

// The standard EGA colours, for files that declare they carry no palette (version 3).
constexpr uint8_t kEgaPalette[16][3] = {
    {0, 0, 0},     {0, 0, 170},     {0, 170, 0},    {0, 170, 170},   {170, 0, 0},   {170, 0, 170},
    {170, 85, 0},  {170, 170, 170}, {85, 85, 85},   {85, 85, 255},   {85, 255, 85}, {85, 255, 255},
    {255, 85, 85}, {255, 85, 255},  {255, 255, 85}, {255, 255, 255},
};

}  // namespace

bool DecodePcx(ByteReader& in, ImageBuffer& image) {
    const auto header = in.Take(kHeaderSize);
    if (in.Failed()) {
        image.SetLastError("Can't read PCX image");
        return false;
    }
    ByteReader h(header);
    const uint8_t manufacturer = h.U8();
    const uint8_t version = h.U8();
    const uint8_t encoding = h.U8();
    const int bitsPerPixel = h.U8();
    const uint16_t xMin = h.U16LE(), yMin = h.U16LE(), xMax = h.U16LE(), yMax = h.U16LE();
    h.Skip(4);  // printing resolution
    const auto egaPalette = h.Take(48);
    h.Skip(1);
    const int planes = h.U8();
    const uint16_t bytesPerLine = h.U16LE();
    if (manufacturer != 0x0A) {
        image.SetLastError("Error: Not a PCX file");
        return false;
    }
    if (encoding != 1) {
        image.SetLastError("PCX file has unknown encoding scheme");
        return false;
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 2 && bitsPerPixel != 4 && bitsPerPixel != 8) {
        image.SetLastError("Can't handle more than 1 bit per pixel");
        return false;
    }
    if (bitsPerPixel == 1 && planes > 4) {
        image.SetLastError("Can't handle image with more than 4 planes");
        return false;
    }
    if (bitsPerPixel == 8 && planes > 4) {
        image.SetLastError("Can't handle more than 4 planes");
        return false;
    }
    if ((bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) && planes > 1 &&
        !(bitsPerPixel == 8 && planes >= 3)) {
        image.SetLastError("Can't handle packed pixels with more than 1 plane.");
        return false;
    }
    if (planes == 0 || xMax < xMin || yMax < yMin) {
        image.SetLastError("corrupted PCX");
        return false;
    }
    const uint32_t width = uint32_t{xMax} - xMin + 1;
    const uint32_t height = uint32_t{yMax} - yMin + 1;
    if (!image.CheckSize(width, height)) return false;
    if (uint64_t{bytesPerLine} * 8 < uint64_t{width} * bitsPerPixel) {
        image.SetLastError("corrupted PCX");
        return false;
    }

    // The 256-colour palette sits in the last 769 bytes, behind its marker.
    const bool vga = bitsPerPixel == 8 && planes == 1;
    std::span<const uint8_t> data = in.Data().subspan(in.Position());
    std::span<const uint8_t> vgaPalette;
    if (vga) {
        if (data.size() < kVgaPaletteSize + 1 || data[data.size() - kVgaPaletteSize - 1] != 0x0C) {
            image.SetLastError("bad color map signature");
            return false;
        }
        vgaPalette = data.last(kVgaPaletteSize);
        data = data.first(data.size() - kVgaPaletteSize - 1);
    }

    // Every scan line decodes to planes x bytesPerLine bytes. A run of two bytes yields at most
    // 63 bytes, so a file too short for the picture is refused before any memory is taken.
    const uint64_t lineBytes = uint64_t{bytesPerLine} * planes;
    const uint64_t total = lineBytes * height;
    if (static_cast<uint64_t>(data.size()) * 63 / 2 + 1 < total) {
        image.SetLastError("corrupted PCX");
        return false;
    }
    const bool rgb = bitsPerPixel == 8 && planes >= 3;
    const int outBits = rgb ? 24 : vga ? 8 : (bitsPerPixel == 1 && planes == 1) ? 1 : 4;
    if (!image.Create(width, height, outBits, image.Format())) return false;

    if (vga) {
        for (int i = 0; i < 256; ++i) {
            const uint8_t* p = vgaPalette.data() + 3 * i;
            image.SetPaletteColor(i, {p[2], p[1], p[0], 0});
        }
    } else if (outBits != 24) {
        const int colours = 1 << std::min(bitsPerPixel * planes, 4);
        const bool headerPaletteUsable =
            version != 3 && !(colours == 2 && egaPalette[0] == egaPalette[3] &&
                              egaPalette[1] == egaPalette[4] && egaPalette[2] == egaPalette[5]);
        for (int i = 0; i < colours; ++i) {
            if (colours == 2 && !headerPaletteUsable) {
                // A monochrome file without a usable palette is black on white.
                const auto v = static_cast<uint8_t>(i ? 255 : 0);
                image.SetPaletteColor(i, {v, v, v, 0});
            } else {
                const uint8_t* p = headerPaletteUsable ? egaPalette.data() + 3 * i : kEgaPalette[i];
                image.SetPaletteColor(i, {p[2], p[1], p[0], 0});
            }
        }
    }

    std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
    ByteReader rle(data);
    uint8_t runValue = 0;
    uint32_t runLeft = 0;  // a run may carry over into the next scan line
    for (uint32_t y = 0; y < height; ++y) {
        for (size_t i = 0; i < line.size();) {
            if (runLeft == 0) {
                const uint8_t b = rle.U8();
                if (rle.Failed()) {
                    image.SetLastError("corrupted PCX");
                    return false;
                }
                if ((b & 0xC0) == 0xC0) {
                    runLeft = b & 0x3F;
                    runValue = rle.U8();
                    if (rle.Failed()) {
                        image.SetLastError("corrupted PCX");
                        return false;
                    }
                } else {
                    runLeft = 1;
                    runValue = b;
                }
                const uint64_t remaining = total - (uint64_t{y} * lineBytes + i);
                if (runLeft > remaining) {
                    image.SetLastError("repeat count spans end of image");
                    return false;
                }
            }
            const size_t n = std::min<size_t>(runLeft, line.size() - i);
            std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(i), n, runValue);
            i += n;
            runLeft -= static_cast<uint32_t>(n);
        }

        uint8_t* row = image.Row(static_cast<int>(height - 1 - y));
        if (outBits == 24) {
            const uint8_t* r = line.data();
            const uint8_t* g = r + bytesPerLine;
            const uint8_t* b = g + bytesPerLine;
            for (uint32_t x = 0; x < width; ++x) {
                row[3 * x] = b[x];
                row[3 * x + 1] = g[x];
                row[3 * x + 2] = r[x];
            }
        } else if (planes == 1 && (bitsPerPixel == 1 || bitsPerPixel == 8 || bitsPerPixel == 4)) {
            // Same bit layout as the picture's rows.
            std::copy_n(line.begin(), static_cast<size_t>((uint64_t{width} * bitsPerPixel + 7) / 8),
                        row);
        } else if (planes == 1) {  // 2-bit packed pixels
            for (uint32_t x = 0; x < width; ++x) {
                const int index = (line[x / 4] >> (6 - 2 * (x % 4))) & 3;
                image.SetPixelIndex(static_cast<int>(x), static_cast<int>(height - 1 - y),
                                    static_cast<uint8_t>(index));
            }
        } else {  // 1 bit in 2 to 4 planes, plane 0 the lowest bit
            for (uint32_t x = 0; x < width; ++x) {
                int index = 0;
                for (int p = 0; p < planes; ++p) {
                    index |= ((line[p * size_t{bytesPerLine} + x / 8] >> (7 - x % 8)) & 1) << p;
                }
                image.SetPixelIndex(static_cast<int>(x), static_cast<int>(height - 1 - y),
                                    static_cast<uint8_t>(index));
            }
        }
    }
    return true;
}

}  // namespace tavolin::codecs
