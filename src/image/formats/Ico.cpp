// Windows icons (and cursors, which share the layout): a directory of images, of which the
// largest is read, the deepest among equally large ones. An image is either a PNG file, decoded
// through the PNG path, or a bitmap without file header whose rows are followed by a 1-bit AND
// mask; the mask (or the alpha byte of 32-bit pixels) becomes the picture's alpha plane.
#include <algorithm>
#include <cstdlib>

#include "image/formats/Codecs.h"
#include "image/formats/Dib.h"

namespace tavolin::codecs {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct IconEntry {
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 0;
    bool png = false;
    std::span<const uint8_t> data;
};

bool IsPng(std::span<const uint8_t> data) {
    return data.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, data.begin());
}

// Depth as the image data itself declares it; the directory's own field is often 0.
int DeclaredDepth(std::span<const uint8_t> data, bool png) {
    ByteReader r(data);
    if (png) {
        // Signature, IHDR length and type, width, height, then bit depth and colour type.
        r.Skip(24);
        const int bitDepth = r.U8();
        const int colourType = r.U8();
        static constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        if (r.Failed() || colourType > 6) return 0;
        return bitDepth * kChannels[colourType];
    }
    const uint32_t headerSize = r.U32LE();
    r.Skip(headerSize == 12 ? 6 : 10);
    const int bits = r.U16LE();
    return r.Failed() ? 0 : bits;
}

}  // namespace

bool DecodeIco(ByteReader& in, ImageBuffer& image) {
    const uint16_t reserved = in.U16LE();
    const uint16_t type = in.U16LE();
    const uint16_t count = in.U16LE();
    if (in.Failed() || reserved != 0 || (type != 1 && type != 2) || count == 0) {
        image.SetLastError("Not an ICO file");
        return false;
    }
    const auto file = in.Data();
    IconEntry best;
    for (int i = 0; i < count; ++i) {
        IconEntry e;
        e.width = in.U8();
        e.height = in.U8();
        const int colourCount = in.U8();
        in.Skip(3);  // reserved, colour planes (cursors: hot spot x)
        const int directoryDepth = in.U16LE();
        const uint32_t size = in.U32LE();
        const uint32_t offset = in.U32LE();
        // An entry whose data is not in the file means the file is damaged (often cut short),
        // even when another entry could still be read.
        if (in.Failed() || offset > file.size() || size > file.size() - offset || size == 0) {
            image.SetLastError("corrupted ICO");
            return false;
        }
        if (e.width == 0) e.width = 256;
        if (e.height == 0) e.height = 256;
        e.data = file.subspan(offset, size);
        e.png = IsPng(e.data);
        e.depth = DeclaredDepth(e.data, e.png);
        if (e.depth == 0) e.depth = type == 1 ? directoryDepth : 0;
        if (e.depth == 0 && colourCount > 0)
            e.depth = colourCount <= 2 ? 1 : colourCount <= 16 ? 4 : 8;
        const uint64_t area = uint64_t{e.width} * e.height;
        const uint64_t bestArea = uint64_t{best.width} * best.height;
        if (best.data.empty() || area > bestArea || (area == bestArea && e.depth > best.depth)) {
            best = e;
        }
    }

    if (best.png) {
        ByteReader png(best.data);
        return DecodePng(png, image);
    }

    // The header's height counts the colour rows and the mask rows.
    ByteReader header(best.data);
    DibHeader info;
    const bool headerRead = ReadDibHeader(header, info);
    const int64_t headerHeight = info.height;
    const int rows = static_cast<int>(std::min<int64_t>(info.Rows() / 2, 1 << 20));
    Dib dib;
    if (!headerRead || rows == 0 || !dib.ParseContiguous(best.data, rows)) {
        image.SetLastError("corrupted ICO");
        return false;
    }
    const int width = dib.Width();
    if (!image.CheckSize(static_cast<uint64_t>(width), static_cast<uint64_t>(rows))) return false;

    const size_t maskStride = static_cast<size_t>(ImageBuffer::StrideFor(width, 1));
    const size_t maskOffset = dib.BitsOffset() + dib.RowBytes();
    std::span<const uint8_t> mask;
    if (maskOffset <= best.data.size() &&
        best.data.size() - maskOffset >= maskStride * static_cast<size_t>(rows)) {
        mask = best.data.subspan(maskOffset, maskStride * static_cast<size_t>(rows));
    } else if (dib.BitsPerPixel() != 32) {
        // Only 32-bit images may do without the mask, their alpha bytes take its place.
        image.SetLastError("corrupted ICO");
        return false;
    }

    const int depth = dib.BitsPerPixel();
    if (!image.Create(static_cast<uint32_t>(width), static_cast<uint32_t>(rows),
                      depth <= 8 ? depth : 24, image.Format())) {
        image.SetLastError("ICO Create failed");
        return false;
    }
    image.AllocateAlpha();
    for (size_t i = 0; i < dib.Colours().size(); ++i) {
        image.SetPaletteColor(static_cast<int>(i), dib.Colours()[i]);
    }
    // Old 32-bit icons leave the alpha bytes at 0 and rely on the mask.
    bool alphaBytes = false;
    if (dib.HasAlphaByte()) {
        for (int y = 0; y < rows && !alphaBytes; ++y) {
            for (int x = 0; x < width && !alphaBytes; ++x) alphaBytes = dib.Pixel(x, y).reserved;
        }
    }
    for (int y = 0; y < rows; ++y) {
        const int target = rows - 1 - y;
        uint8_t* alpha = image.AlphaRow(target);
        // Mask rows are stored in the same order as the colour rows.
        const int maskRowIndex = headerHeight < 0 ? y : target;
        const uint8_t* maskRow =
            mask.empty() ? nullptr : mask.data() + maskStride * static_cast<size_t>(maskRowIndex);
        for (int x = 0; x < width; ++x) {
            if (depth <= 8) {
                image.SetPixelIndex(x, target, dib.Index(x, y));
            } else {
                const RgbQuad c = dib.Pixel(x, y);
                uint8_t* p = image.Row(target) + 3 * static_cast<size_t>(x);
                p[0] = c.blue;
                p[1] = c.green;
                p[2] = c.red;
            }
            if (alphaBytes) {
                alpha[x] = dib.Pixel(x, y).reserved;
            } else if (maskRow) {
                alpha[x] = (maskRow[x >> 3] >> (7 - (x & 7))) & 1 ? 0 : 255;
            }
        }
    }
    return true;
}

}  // namespace tavolin::codecs
