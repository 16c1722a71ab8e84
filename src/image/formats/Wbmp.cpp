// Wireless bitmap, level 0: a type field and a fixed-header byte, width and height as
// multi-byte integers, then the rows top to bottom, one bit per pixel (1 = white), each row
// padded to a whole byte.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

// Seven bits per byte, most significant group first, the top bit set on all but the last
// byte. More than five bytes cannot hold a 32-bit number and means the file is something else.
bool ReadMultiByte(ByteReader& in, uint32_t& value) {
    uint64_t v = 0;
    for (int i = 0; i < 5; ++i) {
        const uint8_t b = in.U8();
        if (in.Failed()) return false;
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) {
            if (v > 0xFFFFFFFFu) return false;
            value = static_cast<uint32_t>(v);
            return true;
        }
    }
    return false;
}

}  // namespace

bool DecodeWbmp(ByteReader& in, ImageBuffer& image) {
    uint32_t type = 0;
    if (!ReadMultiByte(in, type)) {
        image.SetLastError("Not a WBMP");
        return false;
    }
    if (type != 0) {
        image.SetLastError("Unsupported WBMP type");
        return false;
    }
    // Type 0 has no extension headers, so the fixed-header byte must be zero.
    const uint8_t fixHeader = in.U8();
    uint32_t width = 0, height = 0;
    if (in.Failed() || fixHeader != 0 || !ReadMultiByte(in, width) || !ReadMultiByte(in, height)) {
        image.SetLastError("Not a WBMP");
        return false;
    }
    if (width == 0 || height == 0) {
        image.SetLastError("Corrupted WBMP");
        return false;
    }
    if (!image.CheckSize(width, height)) return false;
    const uint64_t rowBytes = (uint64_t{width} + 7) / 8;
    if (rowBytes * height > in.Remaining()) {
        image.SetLastError("Corrupted WBMP");
        return false;
    }
    if (!image.Create(width, height, 1, image.Format())) {
        image.SetLastError("WBMP Create failed");
        return false;
    }
    image.SetPaletteColor(0, {0, 0, 0, 0});
    image.SetPaletteColor(1, {255, 255, 255, 0});
    // The bit layout matches a 1-bit DIB row; only the row order differs.
    const auto last = static_cast<uint8_t>(width % 8 ? 0xFF00 >> (width % 8) : 0xFF);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = image.Row(static_cast<int>(height - 1 - y));
        if (!in.Read(row, rowBytes)) {
            image.SetLastError("Corrupted WBMP");
            return false;
        }
        row[rowBytes - 1] &= last;  // keep the padding bits clean
    }
    return true;
}

}  // namespace tavolin::codecs
