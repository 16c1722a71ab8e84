// Truevision TGA: colour-mapped (1, 9), true-colour (2, 10) and grey (3, 11) images, plain or
// run-length encoded, at 8, 15, 16, 24 or 32 bits per pixel, with either vertical origin and
// either horizontal direction. Colour-mapped 8-bit and grey images keep a palette; the rest
// become 24-bit pictures (32-bit ones with an alpha plane).
#include <algorithm>
#include <array>
#include <vector>

#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

struct TgaHeader {
    uint8_t idLength = 0;
    uint8_t colourMapType = 0;
    uint8_t imageType = 0;
    uint16_t mapFirst = 0;
    uint16_t mapLength = 0;
    uint8_t mapEntryBits = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t pixelBits = 0;
    uint8_t descriptor = 0;
};

RgbQuad From16(uint32_t v) {
    // x RRRRR GGGGG BBBBB, each scaled so that 31 becomes 255.
    const auto widen = [](uint32_t c) { return static_cast<uint8_t>(c * 255 / 31); };
    return {widen(v & 0x1F), widen((v >> 5) & 0x1F), widen((v >> 10) & 0x1F), 0};
}

// One stored pixel or colour-map entry as a colour, its alpha in reserved.
RgbQuad DecodeColour(const uint8_t* p, int bits) {
    switch (bits) {
        case 15:
        case 16:
            return From16(p[0] | (p[1] << 8));
        case 24:
            return {p[0], p[1], p[2], 255};
        default:
            return {p[0], p[1], p[2], p[3]};
    }
}

}  // namespace

bool DecodeTga(ByteReader& in, ImageBuffer& image) {
    TgaHeader h;
    h.idLength = in.U8();
    h.colourMapType = in.U8();
    h.imageType = in.U8();
    h.mapFirst = in.U16LE();
    h.mapLength = in.U16LE();
    h.mapEntryBits = in.U8();
    in.Skip(4);  // x and y origin of the screen position
    h.width = in.U16LE();
    h.height = in.U16LE();
    h.pixelBits = in.U8();
    h.descriptor = in.U8();
    if (in.Failed() || h.colourMapType > 1) {
        image.SetLastError("Not a TGA");
        return false;
    }
    const bool rle = h.imageType >= 9;
    const int baseType = rle ? h.imageType - 8 : h.imageType;
    if (baseType < 1 || baseType > 3 || (h.imageType > 3 && h.imageType < 9) || h.imageType > 11) {
        image.SetLastError("Unknown TGA image type");
        return false;
    }
    const int bits = h.pixelBits;
    bool depthOk = false;
    switch (baseType) {
        case 1:
            depthOk = (bits == 8 || bits == 16) && h.colourMapType == 1;
            break;
        case 2:
            depthOk = bits == 15 || bits == 16 || bits == 24 || bits == 32;
            break;
        case 3:
            depthOk = bits == 8 || bits == 16;
            break;
    }
    const int mapBits = h.mapEntryBits;
    const bool mapBitsOk = mapBits == 15 || mapBits == 16 || mapBits == 24 || mapBits == 32;
    if (!depthOk || (h.colourMapType == 1 && h.mapLength > 0 && !mapBitsOk)) {
        image.SetLastError("Not a TGA");
        return false;
    }
    if (h.width == 0 || h.height == 0) {
        image.SetLastError("corrupted TGA");
        return false;
    }
    if (!image.CheckSize(h.width, h.height)) return false;

    // Image ID, then the colour map (read for mapped images, skipped otherwise).
    std::vector<RgbQuad> map;
    if (!in.Skip(h.idLength)) {
        image.SetLastError("corrupted TGA");
        return false;
    }
    if (h.colourMapType == 1) {
        const size_t entryBytes = (static_cast<size_t>(mapBits) + 7) / 8;
        const auto bytes = in.Take(entryBytes * h.mapLength);
        if (in.Failed()) {
            image.SetLastError("corrupted TGA");
            return false;
        }
        if (baseType == 1) {
            map.resize(h.mapLength);
            for (size_t i = 0; i < map.size(); ++i) {
                map[i] = DecodeColour(bytes.data() + i * entryBytes, mapBits);
            }
        }
    }

    const uint64_t pixels = uint64_t{h.width} * h.height;
    const size_t pixelBytes = (static_cast<size_t>(bits) + 7) / 8;
    // A run packet of two to five bytes stands for at most 128 pixels: a file too short for
    // that holds a damaged picture, and is refused before any memory is taken.
    const uint64_t minBytes = rle ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    if (in.Remaining() < minBytes) {
        image.SetLastError("corrupted TGA");
        return false;
    }

    const bool mapped8 = baseType == 1 && bits == 8;
    const bool grey = baseType == 3;
    const int outBits = (mapped8 || grey) ? 8 : 24;
    if (!image.Create(h.width, h.height, outBits, image.Format())) {
        image.SetLastError("TGA Create failed");
        return false;
    }
    const bool alpha = baseType == 2 && bits == 32 && (h.descriptor & 0x0F) != 0;
    if (alpha) image.AllocateAlpha();
    if (mapped8) {
        // Pixel values index the map from its first entry index on.
        for (size_t i = 0; i < map.size() && h.mapFirst + i < 256; ++i) {
            image.SetPaletteColor(static_cast<int>(h.mapFirst + i), map[i]);
        }
    } else if (grey) {
        for (int i = 0; i < 256; ++i) {
            const auto g = static_cast<uint8_t>(i);
            image.SetPaletteColor(i, {g, g, g, 0});
        }
    }

    const bool topDown = h.descriptor & 0x20;
    const bool rightToLeft = h.descriptor & 0x10;
    const int width = h.width;
    const int height = h.height;
    auto store = [&](uint64_t n, const uint8_t* p) {
        const int fileRow = static_cast<int>(n / static_cast<uint64_t>(width));
        int x = static_cast<int>(n % static_cast<uint64_t>(width));
        if (rightToLeft) x = width - 1 - x;
        const int y = topDown ? height - 1 - fileRow : fileRow;
        uint8_t* row = image.Row(y);
        if (mapped8 || grey) {
            row[x] = p[0];  // a 16-bit grey pixel keeps its grey byte, the alpha byte is dropped
            return;
        }
        RgbQuad c;
        if (baseType == 1) {
            const uint32_t index = p[0] | (p[1] << 8);
            c = (index >= h.mapFirst && index - h.mapFirst < map.size()) ? map[index - h.mapFirst]
                                                                         : RgbQuad{};
        } else {
            c = DecodeColour(p, bits);
        }
        uint8_t* q = row + 3 * static_cast<size_t>(x);
        q[0] = c.blue;
        q[1] = c.green;
        q[2] = c.red;
        if (alpha) image.AlphaRow(y)[x] = c.reserved;
    };

    std::array<uint8_t, 4> value{};
    if (!rle) {
        for (uint64_t n = 0; n < pixels; ++n) {
            in.Read(value.data(), pixelBytes);  // length checked above
            store(n, value.data());
        }
        return true;
    }
    uint64_t n = 0;
    while (n < pixels) {
        const uint8_t packet = in.U8();
        // Packets may run across rows; a packet running past the last pixel is cut short.
        const uint64_t count = std::min<uint64_t>((packet & 0x7F) + 1u, pixels - n);
        if (packet & 0x80) {
            if (!in.Read(value.data(), pixelBytes)) break;
            for (uint64_t i = 0; i < count; ++i) store(n++, value.data());
        } else {
            for (uint64_t i = 0; i < count; ++i) {
                if (!in.Read(value.data(), pixelBytes)) break;
                store(n++, value.data());
            }
        }
        if (in.Failed()) break;
    }
    if (n < pixels) {
        image.SetLastError("corrupted TGA");
        return false;
    }
    return true;
}

}  // namespace tavolin::codecs
