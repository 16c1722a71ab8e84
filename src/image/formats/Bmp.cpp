// Windows bitmap reader and writer. The reader takes files with or without the 14-byte file
// header, core (12-byte) and info (40-byte and longer) headers, bottom-up and top-down rows,
// 1/2/4/8 bits (plain, RLE8, RLE4), 16 and 32 bits (plain or bit fields) and 24 bits. Pixel
// data is checked against the file size before the picture is allocated, so a short file
// claiming a huge picture costs nothing.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "image/formats/Codecs.h"
#include "image/formats/Dib.h"

namespace tavolin::codecs {
namespace {

int DpiFromPelsPerMeter(int32_t ppm) {
    return static_cast<int>(std::lround(ppm * 0.0254));
}

}  // namespace

bool DecodeBmp(ByteReader& in, ImageBuffer& image) {
    const size_t start = in.Position();
    uint8_t fileHeader[kBmpFileHeaderSize];
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
    DibHeader info;
    if (!ReadDibHeader(in, info)) {
        image.SetLastError("Error reading BMP info");
        return false;
    }
    const int bpp = info.bitCount;
    if (info.width <= 0 || info.height == 0 ||
        (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
        image.SetLastError("Error reading BMP info");
        return false;
    }
    const bool topDown = info.TopDown();
    const int64_t height = info.Rows();
    if (!image.CheckSize(static_cast<uint64_t>(info.width), static_cast<uint64_t>(height))) {
        return false;
    }
    const int width = static_cast<int>(info.width);

    // Which compressions go with which depth.
    const uint32_t compression = info.compression;
    const bool bitFields = info.BitFields();
    if (bpp <= 8) {
        const bool ok = compression == kBiRgb || (compression == kBiRle8 && bpp == 8) ||
                        (compression == kBiRle4 && bpp == 4);
        if (!ok) {
            image.SetLastError("compression type not supported");
            return false;
        }
    } else if (bpp == 24 ? compression != kBiRgb : (compression != kBiRgb && !bitFields)) {
        image.SetLastError("unknown compression");
        return false;
    }
    if (!ReadDibMasks(in, infoStart, info)) {
        image.SetLastError("Error reading BMP info");
        return false;
    }

    // Palette. Pictures above 8 bits may carry a colour table too (a hint for palette
    // displays); it is skipped.
    std::vector<RgbQuad> palette;
    if (!ReadColourTable(in, info, palette)) {
        image.SetLastError("Error reading BMP info");
        return false;
    }
    const uint32_t addressable = bpp <= 8 ? 1u << bpp : 0;
    const uint32_t stored = info.coloursUsed == 0 ? addressable : info.coloursUsed;
    const size_t entrySize = info.EntrySize();
    // Entries beyond what the depth can address matter only for finding the pixels.
    const uint64_t extra = (uint64_t{stored} - palette.size()) * entrySize;
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
    const uint64_t fileStride = DibStride(static_cast<uint64_t>(width), bpp);
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bpp + 7) / 8;
    const bool rle = compression == kBiRle8 || compression == kBiRle4;
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
    for (size_t i = 0; i < palette.size(); ++i) {
        image.SetPaletteColor(static_cast<int>(i), palette[i]);
    }

    if (rle) {
        return DecodeRle(in, image, compression == kBiRle4, topDown);
    }

    const int h = static_cast<int>(height);
    const bool keepAlpha = bpp > 8 && bitFields && info.masks[3] != 0;
    if (keepAlpha) image.AllocateAlpha();
    for (int fileRow = 0; fileRow < h; ++fileRow) {
        if (image.Cancelled()) {
            image.SetLastError("Cancelled");
            return false;
        }
        const int y = topDown ? h - 1 - fileRow : fileRow;
        const auto src = in.Take(fileRow + 1 < h ? fileStride : rowBytes);
        uint8_t* dst = image.Row(y);
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
            default:  // 16 and 32 bits through their masks
                ConvertRowTo24(src.data(), width, bpp, info, dst,
                               keepAlpha ? image.AlphaRow(y) : nullptr);
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
    static_assert(sizeof header == kBmpFileHeaderSize);
    const auto block = image.Block();
    const uint64_t offset = kBmpFileHeaderSize + kInfoHeaderSize + 4u * image.PaletteEntries();
    const uint64_t fileSize = kBmpFileHeaderSize + block.size();
    if (block.empty() || fileSize > 0xFFFFFFFFu) return false;
    WriteBmpFileHeader(header, static_cast<uint32_t>(fileSize), static_cast<uint32_t>(offset));
    return true;
}

bool EncodeBmp(const ImageBuffer& image, std::string& out) {
    uint8_t header[kBmpFileHeaderSize];
    if (!BmpFileHeader(image, header)) return false;
    const auto block = image.Block();
    const uint64_t fileSize = kBmpFileHeaderSize + block.size();
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
