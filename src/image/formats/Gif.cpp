// GIF 87a and 89a: the first image of the file, with its local or the global colour table,
// decompressed by our own LZW decoder, interlaced rows put in place, and the transparent index
// of a graphic control extension kept as the picture's transparent palette index. The result is
// a palette picture of 1, 4 or 8 bits.
#include <algorithm>
#include <array>
#include <vector>

#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

// Bytes of the image data sub-blocks, handed out one at a time; a missing block terminator
// (the file ends inside the data) leaves truncated() set.
class SubBlockReader {
public:
    explicit SubBlockReader(ByteReader& in) : m_in(in) {}

    // False at the block terminator or on truncation.
    bool Next(uint8_t& byte) {
        while (m_left == 0) {
            if (m_ended) return false;
            const uint8_t size = m_in.U8();
            if (m_in.Failed()) {
                m_truncated = m_ended = true;
                return false;
            }
            if (size == 0) {
                m_ended = true;
                return false;
            }
            m_block = m_in.Take(size);
            if (m_in.Failed()) {
                m_truncated = m_ended = true;
                return false;
            }
            m_left = size;
        }
        byte = m_block[m_block.size() - m_left--];
        return true;
    }
    // Consumes whatever is left of the data up to and including the terminator.
    void Finish() {
        uint8_t b;
        while (Next(b)) {
        }
    }
    bool Truncated() const { return m_truncated; }

private:
    ByteReader& m_in;
    std::span<const uint8_t> m_block;
    size_t m_left = 0;
    bool m_ended = false;
    bool m_truncated = false;
};

enum class LzwResult { Ok, Corrupt, Truncated };

// Decodes the LZW stream into out (one index byte per pixel, in stream order). Stops at the
// end-of-information code or once every pixel has its value; pixels the stream never reaches
// stay 0.
LzwResult DecodeLzw(SubBlockReader& data, int minCodeSize, std::vector<uint8_t>& out) {
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    std::array<uint16_t, kTableSize> prefix{};
    std::array<uint8_t, kTableSize> suffix{};
    std::array<uint8_t, kTableSize> first{};  // first byte of each string
    std::array<uint16_t, kTableSize> length{};
    for (int i = 0; i < clearCode; ++i) {
        suffix[i] = static_cast<uint8_t>(i);
        first[i] = static_cast<uint8_t>(i);
        length[i] = 1;
    }

    int codeBits = minCodeSize + 1;
    int nextCode = endCode + 1;
    int previous = -1;
    uint32_t bitBuffer = 0;
    int bitCount = 0;
    size_t pos = 0;
    const size_t total = out.size();

    while (pos < total) {
        while (bitCount < codeBits) {
            uint8_t b;
            if (!data.Next(b)) return data.Truncated() ? LzwResult::Truncated : LzwResult::Ok;
            bitBuffer |= static_cast<uint32_t>(b) << bitCount;
            bitCount += 8;
        }
        const int code = static_cast<int>(bitBuffer & ((1u << codeBits) - 1));
        bitBuffer >>= codeBits;
        bitCount -= codeBits;

        if (code == clearCode) {
            codeBits = minCodeSize + 1;
            nextCode = endCode + 1;
            previous = -1;
            continue;
        }
        if (code == endCode) return LzwResult::Ok;
        if (previous < 0) {
            // The first code after a clear must be a literal.
            if (code >= clearCode) return LzwResult::Corrupt;
            out[pos++] = static_cast<uint8_t>(code);
            previous = code;
            continue;
        }

        uint8_t firstByte;
        if (code < nextCode) {
            firstByte = first[code];
        } else if (code == nextCode) {
            firstByte = first[previous];  // the string being defined: previous + its first byte
        } else {
            return LzwResult::Corrupt;
        }

        // Add previous + firstByte to the table while there is room; a full table stays
        // as it is until the next clear code.
        if (nextCode < kTableSize) {
            prefix[nextCode] = static_cast<uint16_t>(previous);
            suffix[nextCode] = firstByte;
            first[nextCode] = first[previous];
            length[nextCode] = static_cast<uint16_t>(length[previous] + 1);
            ++nextCode;
            if (nextCode == (1 << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
        }

        // Write the string of `code` (now always in the table) backwards into place, cut at
        // the end of the picture.
        const size_t len = length[code];
        size_t end = pos + len;
        int k = code;
        // Skip the tail that would fall beyond the last pixel.
        while (end > total) {
            k = prefix[k];
            --end;
        }
        for (size_t i = end; i > pos; --i) {
            out[i - 1] = suffix[k];
            k = prefix[k];
        }
        pos += len;
        previous = code;
    }
    return LzwResult::Ok;
}

void SkipSubBlocks(ByteReader& in) {
    for (;;) {
        const uint8_t size = in.U8();
        if (in.Failed() || size == 0) return;
        if (!in.Skip(size)) return;
    }
}

}  // namespace

bool DecodeGif(ByteReader& in, ImageBuffer& image) {
    uint8_t signature[6];
    if (!in.Read(signature, 6) || signature[0] != 'G' || signature[1] != 'I' ||
        signature[2] != 'F' || signature[3] != '8') {
        image.SetLastError("Not a GIF");
        return false;
    }
    in.Skip(4);  // logical screen size: the picture takes the size of its first image
    const uint8_t screenFlags = in.U8();
    in.Skip(2);  // background colour, aspect ratio
    std::vector<RgbQuad> globalTable;
    if (screenFlags & 0x80) {
        globalTable.resize(size_t{2} << (screenFlags & 7));
        for (auto& c : globalTable) {
            c.red = in.U8();
            c.green = in.U8();
            c.blue = in.U8();
        }
    }
    if (in.Failed()) {
        image.SetLastError("corrupted GIF");
        return false;
    }

    int transparent = -1;
    for (;;) {
        const uint8_t introducer = in.U8();
        if (in.Failed() || introducer == 0x3B) {
            image.SetLastError(in.Failed() ? "corrupted GIF" : "GIF file has no image");
            return false;
        }
        if (introducer == 0x21) {
            const uint8_t label = in.U8();
            if (label == 0xF9) {
                // Graphic control: size, flags, delay (2), transparent index, then sub-blocks.
                const uint8_t size = in.U8();
                const auto body = in.Take(size);
                if (!in.Failed() && size >= 4) transparent = (body[0] & 1) ? body[3] : -1;
            } else if (label == 0x01) {
                transparent = -1;  // a plain-text block consumes the control extension
            }
            SkipSubBlocks(in);
            if (in.Failed()) {
                image.SetLastError("corrupted GIF");
                return false;
            }
            continue;
        }
        if (introducer != 0x2C) {
            image.SetLastError("corrupted GIF");
            return false;
        }
        break;
    }

    in.Skip(4);  // position on the logical screen
    const uint16_t width = in.U16LE();
    const uint16_t height = in.U16LE();
    const uint8_t imageFlags = in.U8();
    std::vector<RgbQuad> localTable;
    if (imageFlags & 0x80) {
        localTable.resize(size_t{2} << (imageFlags & 7));
        for (auto& c : localTable) {
            c.red = in.U8();
            c.green = in.U8();
            c.blue = in.U8();
        }
    }
    const int minCodeSize = in.U8();
    if (in.Failed()) {
        image.SetLastError("corrupted GIF");
        return false;
    }
    if (width == 0 || height == 0 || minCodeSize < 1 || minCodeSize > 8) {
        image.SetLastError("corrupted GIF");
        return false;
    }
    if (!image.CheckSize(width, height)) return false;
    const std::vector<RgbQuad>& table = (imageFlags & 0x80) ? localTable : globalTable;

    const uint64_t pixels = uint64_t{width} * height;
    // Each code makes the longest string in the table at most one byte longer, so n codes
    // yield at most n(n+1)/2 pixels while the table fills and 4096 per code after that; a
    // code takes at least minCodeSize + 1 bits. Data too short for the picture is refused
    // before the picture's memory is taken.
    const uint64_t codes = uint64_t{in.Remaining()} * 8 / static_cast<uint64_t>(minCodeSize + 1);
    const uint64_t most = codes <= kTableSize ? codes * (codes + 1) / 2
                                              : uint64_t{kTableSize} * (kTableSize + 1) / 2 +
                                                    (codes - kTableSize) * kTableSize;
    if (most < pixels) {
        image.SetLastError("corrupted GIF");
        return false;
    }
    std::vector<uint8_t> indices;
    try {
        indices.assign(static_cast<size_t>(pixels), 0);
    } catch (const std::bad_alloc&) {
        image.SetLastError("GIF Create failed");
        return false;
    }
    SubBlockReader data(in);
    const LzwResult result = DecodeLzw(data, minCodeSize, indices);
    if (result == LzwResult::Ok) data.Finish();
    if (result != LzwResult::Ok || data.Truncated()) {
        image.SetLastError("corrupted GIF");
        return false;
    }

    // Depth: enough for the colour table and for every index the data uses.
    const int maxIndex = *std::max_element(indices.begin(), indices.end());
    const size_t colours = std::max<size_t>({table.size(), size_t(maxIndex) + 1, 2});
    const int bits = colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
    if (!image.Create(width, height, bits, image.Format())) {
        image.SetLastError("GIF Create failed");
        return false;
    }
    if (table.empty()) {
        // No colour table at all: a grey ramp over the indices in use.
        const int n = 1 << bits;
        for (int i = 0; i < n; ++i) {
            const auto g = static_cast<uint8_t>(i * 255 / (n - 1));
            image.SetPaletteColor(i, {g, g, g, 0});
        }
    } else {
        for (size_t i = 0; i < table.size() && i < 256; ++i) {
            image.SetPaletteColor(static_cast<int>(i), table[i]);
        }
    }
    if (transparent >= 0 && transparent < (1 << bits)) image.SetTransparentIndex(transparent);

    // Interlaced images store every 8th row from 0, every 8th from 4, every 4th from 2, then
    // every 2nd from 1.
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    const bool interlaced = imageFlags & 0x40;
    int pass = 0;
    int y = 0;
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        const int row = interlaced ? y : fileRow;
        const uint8_t* src = indices.data() + static_cast<size_t>(fileRow) * width;
        const int target = height - 1 - row;
        if (bits == 8) {
            std::copy_n(src, width, image.Row(target));
        } else {
            for (int x = 0; x < width; ++x) image.SetPixelIndex(x, target, src[x]);
        }
        if (interlaced) {
            y += kStep[pass];
            while (y >= height && pass < 3) {
                ++pass;
                y = kStart[pass];
            }
        }
    }
    return true;
}

}  // namespace tavolin::codecs
