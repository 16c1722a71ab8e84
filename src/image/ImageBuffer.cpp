#include "image/ImageBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "image/formats/Codecs.h"
#include "image/formats/Dib.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

constexpr size_t kInfoHeaderSize = 40;

int PixelsPerMetre(int dpi) {
    return static_cast<int>(std::lround(dpi * 39.37007874015748));
}

}  // namespace

ImageBuffer::ImageBuffer(int format) : m_format(format) {}

uint64_t ImageBuffer::StrideFor(uint64_t width, int bitsPerPixel) {
    return codecs::DibStride(width, bitsPerPixel);
}

int ImageBuffer::NormaliseDepth(int bitsPerPixel) {
    if (bitsPerPixel <= 1) return 1;
    if (bitsPerPixel <= 4) return 4;
    if (bitsPerPixel <= 8) return 8;
    return 24;
}

bool ImageBuffer::CheckSize(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0 || width > kMaxImageDimension || height > kMaxImageDimension ||
        width * height > kMaxImagePixels) {
        SetLastError("Image too large");
        return false;
    }
    return true;
}

void ImageBuffer::SetLastError(std::string_view text) {
    m_lastError.assign(text.substr(0, std::min<size_t>(text.size(), 255)));
}

bool ImageBuffer::Create(uint32_t width, uint32_t height, int bitsPerPixel, int format) {
    if (width == 0 || height == 0) {
        SetLastError("Image has no pixels");
        return false;
    }
    if (!CheckSize(width, height)) return false;
    const int bpp = NormaliseDepth(bitsPerPixel);
    const int entries = bpp == 24 ? 0 : (1 << bpp);
    const uint64_t stride = StrideFor(width, bpp);
    const uint64_t total = kInfoHeaderSize + 4u * entries + stride * height;
    ByteBlock block;
    try {
        block.Allocate(static_cast<size_t>(total));
    } catch (const std::bad_alloc&) {
        SetLastError("Can't allocate memory");
        return false;
    }
    m_block.swap(block);
    m_alpha.clear();
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
    m_bpp = bpp;
    m_stride = static_cast<size_t>(stride);
    m_paletteEntries = entries;
    m_format = format;
    m_transparentIndex = -1;
    WriteInfoHeader();
    return true;
}

void ImageBuffer::WriteInfoHeader() {
    if (m_block.empty()) return;
    codecs::WriteInfoHeader(m_block.data(), m_width, m_height, m_bpp,
                            static_cast<uint32_t>(ImageSize()), PixelsPerMetre(m_dpiX),
                            PixelsPerMetre(m_dpiY), static_cast<uint32_t>(m_paletteEntries));
}

ByteBlock ImageBuffer::ReleaseBlock() {
    ByteBlock block;
    block.swap(m_block);
    m_alpha.clear();
    m_width = m_height = m_bpp = m_paletteEntries = 0;
    m_stride = 0;
    m_transparentIndex = -1;
    return block;
}

void ImageBuffer::SetDpi(int x, int y) {
    // Files carry any number here; beyond this range pixels per metre would not fit the header.
    constexpr int kMaxDpi = 1000000;
    m_dpiX = std::clamp(x, 0, kMaxDpi);
    m_dpiY = std::clamp(y, 0, kMaxDpi);
    WriteInfoHeader();
}

RgbQuad* ImageBuffer::Palette() {
    return m_block.empty() ? nullptr : reinterpret_cast<RgbQuad*>(m_block.data() + kInfoHeaderSize);
}
const RgbQuad* ImageBuffer::Palette() const {
    return m_block.empty() ? nullptr
                           : reinterpret_cast<const RgbQuad*>(m_block.data() + kInfoHeaderSize);
}

void ImageBuffer::SetPaletteColor(int index, RgbQuad colour) {
    if (index < 0 || index >= m_paletteEntries) return;
    colour.reserved = 0;
    Palette()[index] = colour;
}

uint8_t* ImageBuffer::Bits() {
    return m_block.empty() ? nullptr : m_block.data() + kInfoHeaderSize + 4u * m_paletteEntries;
}
const uint8_t* ImageBuffer::Bits() const {
    return m_block.empty() ? nullptr : m_block.data() + kInfoHeaderSize + 4u * m_paletteEntries;
}

uint8_t ImageBuffer::GetPixelIndex(int x, int y) const {
    if (m_block.empty() || m_bpp == 24 || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    return PackedIndex(Row(y), x, m_bpp);
}

void ImageBuffer::SetPixelIndex(int x, int y, uint8_t index) {
    if (m_block.empty() || m_bpp == 24 || x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    uint8_t* row = Row(y);
    switch (m_bpp) {
        case 8:
            row[x] = index;
            break;
        case 4: {
            uint8_t& b = row[x >> 1];
            b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F))
                        : static_cast<uint8_t>((b & 0x0F) | (index << 4));
            break;
        }
        default: {
            uint8_t& b = row[x >> 3];
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
            b = (index & 1) ? (b | mask) : (b & ~mask);
        }
    }
}

RgbQuad ImageBuffer::GetPixelColor(int x, int y) const {
    if (m_block.empty() || x < 0 || y < 0 || x >= m_width || y >= m_height) return {};
    if (m_bpp == 24) {
        const uint8_t* p = Row(y) + 3 * static_cast<size_t>(x);
        return {p[0], p[1], p[2], 0};
    }
    const int index = GetPixelIndex(x, y);
    return index < m_paletteEntries ? Palette()[index] : RgbQuad{};
}

void ImageBuffer::SetPixelColor(int x, int y, RgbQuad colour) {
    if (m_block.empty() || x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    if (m_bpp == 24) {
        uint8_t* p = Row(y) + 3 * static_cast<size_t>(x);
        p[0] = colour.blue;
        p[1] = colour.green;
        p[2] = colour.red;
        return;
    }
    // Nearest palette entry by squared RGB distance; the first of equals wins.
    const RgbQuad* pal = Palette();
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < m_paletteEntries; ++i) {
        const long db = pal[i].blue - colour.blue;
        const long dg = pal[i].green - colour.green;
        const long dr = pal[i].red - colour.red;
        const long d = db * db + dg * dg + dr * dr;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    SetPixelIndex(x, y, static_cast<uint8_t>(best));
}

void ImageBuffer::AllocateAlpha(bool opaque) {
    if (m_block.empty() || !m_alpha.empty()) return;
    const size_t size = static_cast<size_t>(m_width) * static_cast<size_t>(m_height);
    m_alpha.Allocate(size);
    if (opaque) std::memset(m_alpha.data(), 255, size);
}

uint8_t ImageBuffer::GetAlpha(int x, int y) const {
    if (m_alpha.empty() || x < 0 || y < 0 || x >= m_width || y >= m_height) return 255;
    return AlphaRow(y)[x];
}

void ImageBuffer::FlipVertical() {
    if (m_block.empty()) return;
    std::vector<uint8_t> tmp(m_stride);
    for (int top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(tmp.data(), Row(top), m_stride);
        std::memcpy(Row(top), Row(bottom), m_stride);
        std::memcpy(Row(bottom), tmp.data(), m_stride);
    }
    if (!m_alpha.empty()) {
        const size_t w = static_cast<size_t>(m_width);
        for (int top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom) {
            std::swap_ranges(AlphaRow(top), AlphaRow(top) + w, AlphaRow(bottom));
        }
    }
}

bool ImageBuffer::Load(const std::filesystem::path& path, int format) {
    std::string bytes;
    switch (ReadWholeFile(path, bytes, kMaxImageFileBytes)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::TooLarge:
            SetLastError("File too large");
            return false;
        case ReadStatus::NotRegular:
            SetLastError("Not a regular file");
            return false;
        default:
            return false;  // cannot be opened: no text
    }
    return Decode(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), format);
}

bool ImageBuffer::Decode(std::span<const uint8_t> data, int format) {
    ByteReader in(data);
    m_format = format;
    switch (format) {
        case kFormatBmp:
            return codecs::DecodeBmp(in, *this);
        case kFormatGif:
            return codecs::DecodeGif(in, *this);
        case kFormatJpeg:
            return codecs::DecodeJpeg(in, *this);
        case kFormatPng:
            return codecs::DecodePng(in, *this);
        case kFormatIco:
            return codecs::DecodeIco(in, *this);
        case kFormatTiff:
            return codecs::DecodeTiff(in, *this);
        case kFormatTga:
            return codecs::DecodeTga(in, *this);
        case kFormatPcx:
            return codecs::DecodePcx(in, *this);
        case kFormatWbmp:
            return codecs::DecodeWbmp(in, *this);
        case kFormatWmf:
            return codecs::DecodeWmf(in, *this);
        default:
            SetLastError("Unsupported operation for this format");
            return false;
    }
}

bool ImageBuffer::Encode(std::string& out, int format) {
    if (format == kFormatWmf) {
        SetLastError("Save WMF not supported");
        return false;
    }
    if (format != kFormatBmp) {
        // Only bitmaps are ever written; the other formats are read-only here.
        SetLastError("Unsupported operation for this format");
        return false;
    }
    if (m_block.empty()) {
        SetLastError("Image is empty");
        return false;
    }
    if (!codecs::EncodeBmp(*this, out)) {
        SetLastError("Can't allocate memory");
        return false;
    }
    return true;
}

bool ImageBuffer::Save(const std::filesystem::path& path, int format) {
    if (format != kFormatBmp || m_block.empty()) {
        std::string unused;
        return Encode(unused, format);  // fails with the reason
    }
    // The file is a file header followed by the block as it stands, written without a copy.
    // The pictures saved here are made again on every run, so no flush to disk is waited for.
    uint8_t header[14];
    if (!codecs::BmpFileHeader(*this, header)) {
        SetLastError("Image too large for a BMP file");
        return false;
    }
    const std::string_view head(reinterpret_cast<const char*>(header), sizeof header);
    const std::string_view block(reinterpret_cast<const char*>(m_block.data()), m_block.size());
    if (!AtomicWriteFile(path, {head, block}, Durability::NoSync)) {
        SetLastError("Can't write file");
        return false;
    }
    return true;
}

int FormatFromExtension(std::string_view extension) {
    std::string ext(extension);
    for (char& c : ext) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    if (ext == "bmp") return kFormatBmp;
    if (ext == "gif") return kFormatGif;
    if (ext == "jpg" || ext == "jpeg") return kFormatJpeg;
    if (ext == "png") return kFormatPng;
    if (ext == "ico") return kFormatIco;
    if (ext == "tif" || ext == "tiff") return kFormatTiff;
    if (ext == "tga") return kFormatTga;
    if (ext == "pcx") return kFormatPcx;
    if (ext == "wbmp") return kFormatWbmp;
    if (ext == "wmf" || ext == "emf") return kFormatWmf;
    return -1;
}

}  // namespace tavolin
