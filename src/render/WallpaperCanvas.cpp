#include "render/WallpaperCanvas.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "image/formats/Dib.h"
#include "render/PixelFont.h"
#include "util/FileIO.h"
#include "util/UniqueFd.h"

namespace tavolin {
namespace {

using codecs::kBmpFileHeaderSize;
using codecs::kBmpSignature;
using codecs::kCoreHeaderSize;
using codecs::kInfoHeaderSize;

bool IsSupportedDepth(int64_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The size checks shared by Create and Load; the products are formed in 64 bits.
enum class SizeCheck { Ok, Invalid, TooLarge };
SizeCheck CheckSize(int64_t width, int64_t height, int64_t bits) {
    if (width < 1 || height < 1 || !IsSupportedDepth(bits)) return SizeCheck::Invalid;
    if (width > WallpaperCanvas::kMaxSide || height > WallpaperCanvas::kMaxSide ||
        width * height > WallpaperCanvas::kMaxPixels) {
        return SizeCheck::TooLarge;
    }
    return SizeCheck::Ok;
}

Colour FromBgr(const uint8_t* p) {
    return Colour{p[2]} | Colour{p[1]} << 8 | Colour{p[0]} << 16;
}

BmpInfoHeader ToInfoHeader(const codecs::DibHeader& h) {
    return BmpInfoHeader{h.size,
                         static_cast<int32_t>(h.width),
                         static_cast<int32_t>(h.height),
                         static_cast<uint16_t>(h.planes),
                         static_cast<uint16_t>(h.bitCount),
                         h.compression,
                         h.imageSize,
                         h.xPelsPerMeter,
                         h.yPelsPerMeter,
                         h.coloursUsed,
                         0};
}

// The headers of an uncompressed bottom-up bitmap as this canvas builds them.
void BuildHeaders(int64_t width, int64_t height, int64_t bits, int64_t pixelOffset,
                  int64_t imageSize, BmpFileHeader& file, BmpInfoHeader& info) {
    file = BmpFileHeader{kBmpSignature, static_cast<uint32_t>(pixelOffset + imageSize), 0, 0,
                         static_cast<uint32_t>(pixelOffset)};
    info = BmpInfoHeader{};
    info.size = kInfoHeaderSize;
    info.width = static_cast<int32_t>(width);
    info.height = static_cast<int32_t>(height);
    info.planes = 1;
    info.bitsPerPixel = static_cast<uint16_t>(bits);
    info.imageSize = static_cast<uint32_t>(imageSize);
}

}  // namespace

// Where Load reads from: an open file, or file bytes already in memory.
class CanvasSource {
public:
    virtual ~CanvasSource() = default;
    /// Reads up to size bytes; returns how many arrived before the end or an error.
    virtual size_t ReadUpTo(uint8_t* data, size_t size) = 0;
    virtual bool Seek(int64_t offset) = 0;
    virtual int64_t Position() = 0;
    virtual int64_t Length() const = 0;
};

namespace {

class FileSource final : public CanvasSource {
public:
    FileSource(int fd, int64_t length) : m_fd(fd), m_length(length) {}
    size_t ReadUpTo(uint8_t* data, size_t size) override {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(m_fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }
    bool Seek(int64_t offset) override {
        return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
    }
    int64_t Position() override { return ::lseek(m_fd, 0, SEEK_CUR); }
    int64_t Length() const override { return m_length; }

private:
    int m_fd;
    int64_t m_length;
};

class MemorySource final : public CanvasSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    size_t ReadUpTo(uint8_t* data, size_t size) override {
        const size_t n = std::min(size, m_bytes.size() - m_pos);
        if (n) std::memcpy(data, m_bytes.data() + m_pos, n);
        m_pos += n;
        return n;
    }
    bool Seek(int64_t offset) override {
        if (offset < 0 || static_cast<uint64_t>(offset) > m_bytes.size()) return false;
        m_pos = static_cast<size_t>(offset);
        return true;
    }
    int64_t Position() override { return static_cast<int64_t>(m_pos); }
    int64_t Length() const override { return static_cast<int64_t>(m_bytes.size()); }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
};

}  // namespace

void WallpaperCanvas::Reset() {
    m_block.clear();
    m_pixelOffset = 0;
    m_width = m_height = m_bitsPerPixel = m_imageSize = m_paletteEntries = m_stride = 0;
    m_palette.fill(0);
    m_fileHeader = BmpFileHeader{};
    m_infoHeader = BmpInfoHeader{};
}

bool WallpaperCanvas::AllocateBlock(int64_t width, int64_t height, int64_t bits) {
    const int64_t stride = static_cast<int64_t>(
        codecs::DibStride(static_cast<uint64_t>(width), static_cast<int>(bits)));
    const int32_t entries = codecs::PaletteEntriesFor(static_cast<int>(bits));
    const size_t offset = kInfoHeaderSize + 4 * static_cast<size_t>(entries);
    try {
        m_block.Allocate(offset + static_cast<size_t>(stride * height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_pixelOffset = offset;
    m_width = static_cast<int32_t>(width);
    m_height = static_cast<int32_t>(height);
    m_bitsPerPixel = static_cast<int32_t>(bits);
    m_stride = static_cast<int32_t>(stride);
    m_imageSize = static_cast<int32_t>(stride * height);
    m_paletteEntries = entries;
    return true;
}

int WallpaperCanvas::Create(int32_t width, int32_t height, int32_t bitsPerPixel,
                            const uint8_t* source, int32_t rowOrder) {
    Reset();
    if (CheckSize(width, height, bitsPerPixel) != SizeCheck::Ok) return 0;
    if (!AllocateBlock(width, height, bitsPerPixel)) return 0;
    BuildHeaders(width, height, bitsPerPixel, kBmpFileHeaderSize + m_pixelOffset, m_imageSize,
                 m_fileHeader, m_infoHeader);
    WriteHeadersToBuffer();

    uint8_t* pixels = Pixels();
    if (!source) {
        std::memset(pixels, 0xFF, static_cast<size_t>(m_imageSize));
        return -1;
    }
    if (rowOrder == 2) {
        for (int32_t i = 0; i < height; ++i) {
            std::memcpy(pixels + static_cast<size_t>(height - 1 - i) * m_stride,
                        source + static_cast<size_t>(i) * m_stride, static_cast<size_t>(m_stride));
        }
        return height;
    }
    std::memcpy(pixels, source, static_cast<size_t>(m_imageSize));
    return m_imageSize;
}

bool WallpaperCanvas::TakePicture(ImageBuffer&& picture) {
    if (!picture.IsValid()) return false;
    const int64_t width = picture.Width();
    const int64_t height = picture.Height();
    const int bits = picture.BitsPerPixel();
    if (CheckSize(width, height, bits) != SizeCheck::Ok) {
        Reset();
        return false;
    }
    uint8_t info[kInfoHeaderSize];
    std::memcpy(info, picture.InfoHeader().data(), sizeof info);
    Reset();
    // The picture's block has the layout of this canvas's block: info header, palette, rows.
    m_block = picture.ReleaseBlock();
    m_width = static_cast<int32_t>(width);
    m_height = static_cast<int32_t>(height);
    m_bitsPerPixel = bits;
    m_paletteEntries = codecs::PaletteEntriesFor(bits);
    m_pixelOffset = kInfoHeaderSize + 4 * static_cast<size_t>(m_paletteEntries);
    m_stride = static_cast<int32_t>(codecs::DibStride(static_cast<uint64_t>(width), bits));
    m_imageSize = m_stride * m_height;
    std::memcpy(m_palette.data(), m_block.data() + kInfoHeaderSize,
                4 * static_cast<size_t>(m_paletteEntries));
    // The headers as loading the picture's BMP file would have given them.
    m_fileHeader =
        BmpFileHeader{kBmpSignature, static_cast<uint32_t>(kBmpFileHeaderSize + m_block.size()), 0,
                      0, static_cast<uint32_t>(kBmpFileHeaderSize + m_pixelOffset)};
    m_infoHeader = ToInfoHeader(codecs::ParseInfoHeader(info));
    WriteHeadersToBuffer();
    return true;
}

int WallpaperCanvas::Load(const std::filesystem::path& path, int32_t rowOrder) {
    // Non-blocking: a FIFO in the place of the file is refused below, not waited on.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) return kCanvasCannotOpen;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return kCanvasCannotOpen;
    FileSource source(fd.Get(), st.st_size);
    return LoadFrom(source, rowOrder);
}

int WallpaperCanvas::LoadFromMemory(std::span<const uint8_t> fileBytes, int32_t rowOrder) {
    MemorySource source(fileBytes);
    return LoadFrom(source, rowOrder);
}

int WallpaperCanvas::LoadFrom(CanvasSource& source, int32_t rowOrder) {
    const int64_t fileLength = source.Length();

    uint8_t raw[kBmpFileHeaderSize];
    if (source.ReadUpTo(raw, sizeof raw) != sizeof raw || (raw[0] | raw[1] << 8) != kBmpSignature) {
        return kCanvasNotBmp;
    }
    auto le32 = [&raw](size_t o) {
        return uint32_t{raw[o]} | uint32_t{raw[o + 1]} << 8 | uint32_t{raw[o + 2]} << 16 |
               uint32_t{raw[o + 3]} << 24;
    };
    BmpFileHeader fileHeader{kBmpSignature, le32(2), static_cast<uint16_t>(raw[6] | raw[7] << 8),
                             static_cast<uint16_t>(raw[8] | raw[9] << 8), le32(10)};

    // The long header when its planes field says so; otherwise (and for a file too short for
    // the long header) an old-style file with the short core header.
    uint8_t info[kInfoHeaderSize] = {};
    const size_t infoRead = source.ReadUpTo(info, sizeof info);
    codecs::DibHeader header;
    bool oldStyle = false;
    if (infoRead == sizeof info && (info[12] | info[13] << 8) == 1) {
        header = codecs::ParseInfoHeader(info);
    } else {
        uint8_t core[kCoreHeaderSize];
        if (!source.Seek(kBmpFileHeaderSize) || source.ReadUpTo(core, sizeof core) != sizeof core) {
            return kCanvasNotBmp;
        }
        header = codecs::ParseCoreHeader(core);
        oldStyle = true;
    }
    const int64_t width = header.width;
    const int64_t height = header.height;
    const int64_t bits = header.bitCount;
    // Negative (top-down) heights, zero sizes and unknown depths are not images we write.
    switch (CheckSize(width, height, bits)) {
        case SizeCheck::Ok:
            break;
        case SizeCheck::Invalid:
            return kCanvasNotBmp;
        case SizeCheck::TooLarge:
            Reset();
            return kCanvasNoMemory;
    }

    const int32_t entries = codecs::PaletteEntriesFor(static_cast<int>(bits));
    const int64_t offset = kBmpFileHeaderSize + kInfoHeaderSize + 4 * int64_t{entries};
    const int64_t imageSize = static_cast<int64_t>(codecs::DibStride(static_cast<uint64_t>(width),
                                                                     static_cast<int>(bits))) *
                              height;
    BmpInfoHeader infoHeader = ToInfoHeader(header);
    if (oldStyle) BuildHeaders(width, height, bits, offset, imageSize, fileHeader, infoHeader);
    // The stored size (0 is allowed, or may simply be wrong) is never trusted: the computed one
    // wins, and the file size follows it.
    if (infoHeader.imageSize != imageSize) {
        infoHeader.imageSize = static_cast<uint32_t>(imageSize);
        fileHeader.fileSize = static_cast<uint32_t>(imageSize + offset);
    }

    std::array<uint8_t, 1024> palette{};
    if (entries > 0) source.ReadUpTo(palette.data(), 4 * static_cast<size_t>(entries));

    // Nothing left to read: fail before allocating anything.
    const int64_t position = source.Position();
    Reset();
    if (position < 0 || position >= fileLength) return kCanvasNoPixelData;

    if (!AllocateBlock(width, height, bits)) {
        Reset();
        return kCanvasNoMemory;
    }
    uint8_t* pixels = Pixels();
    const int64_t stride = m_stride;
    size_t got = 0;
    if (rowOrder == 2) {
        for (int64_t i = 0; i < height; ++i) {
            const size_t n =
                source.ReadUpTo(pixels + (height - 1 - i) * stride, static_cast<size_t>(stride));
            got += n;
            if (n < static_cast<size_t>(stride)) break;
        }
    } else {
        got = source.ReadUpTo(pixels, static_cast<size_t>(imageSize));
    }
    if (got == 0) {
        Reset();
        return kCanvasNoPixelData;
    }

    m_palette = palette;
    m_fileHeader = fileHeader;
    m_infoHeader = infoHeader;
    WriteHeadersToBuffer();
    return kCanvasOk;
}

void WallpaperCanvas::WriteHeadersToBuffer() {
    // What is written is always self-consistent, whatever the loaded headers said: the pixels
    // follow the full palette directly and are uncompressed.
    codecs::WriteInfoHeader(m_block.data(), m_width, m_height, m_bitsPerPixel,
                            static_cast<uint32_t>(m_imageSize), m_infoHeader.xPixelsPerMetre,
                            m_infoHeader.yPixelsPerMetre, 0);
    std::memcpy(m_block.data() + kInfoHeaderSize, m_palette.data(),
                4 * static_cast<size_t>(m_paletteEntries));
}

int WallpaperCanvas::Save(const std::filesystem::path& path, WriteFaults* faults) const {
    if (m_block.empty()) return kCanvasWriteFailed;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return kCanvasCannotCreate;
    const std::filesystem::path parent = path.has_parent_path() ? path.parent_path() : ".";
    if (::access(parent.c_str(), W_OK | X_OK) != 0) return kCanvasCannotCreate;
    uint8_t head[kBmpFileHeaderSize];
    codecs::WriteBmpFileHeader(head, static_cast<uint32_t>(kBmpFileHeaderSize + m_block.size()),
                               static_cast<uint32_t>(kBmpFileHeaderSize + m_pixelOffset));
    // A loaded file's reserved words are kept.
    head[6] = static_cast<uint8_t>(m_fileHeader.reserved1);
    head[7] = static_cast<uint8_t>(m_fileHeader.reserved1 >> 8);
    head[8] = static_cast<uint8_t>(m_fileHeader.reserved2);
    head[9] = static_cast<uint8_t>(m_fileHeader.reserved2 >> 8);
    const std::string_view headBytes(reinterpret_cast<const char*>(head), sizeof head);
    const std::string_view blockBytes(reinterpret_cast<const char*>(m_block.data()),
                                      m_block.size());
    // The wallpaper is made anew on every run: readers must never see half a file, but a
    // disk sync would buy nothing.
    return AtomicWriteFile(path, {headBytes, blockBytes}, Durability::NoSync, faults) ? kCanvasOk
                                                                              : kCanvasWriteFailed;
}

void WallpaperCanvas::SetResolution(int32_t xPixelsPerMetre, int32_t yPixelsPerMetre) {
    m_infoHeader.xPixelsPerMetre = xPixelsPerMetre;
    m_infoHeader.yPixelsPerMetre = yPixelsPerMetre;
    if (!m_block.empty()) WriteHeadersToBuffer();
}

uint8_t* WallpaperCanvas::Row(int y) {
    if (m_block.empty() || y < 0 || y >= m_height) return nullptr;
    return Pixels() + static_cast<size_t>(m_height - 1 - y) * static_cast<size_t>(m_stride);
}

const uint8_t* WallpaperCanvas::Row(int y) const {
    return const_cast<WallpaperCanvas*>(this)->Row(y);
}

Colour WallpaperCanvas::ColourAt(int x, int y) const {
    if (x < 0 || x >= m_width) return kNoPixel;
    const uint8_t* row = Row(y);
    if (!row) return kNoPixel;
    switch (m_bitsPerPixel) {
        case 1:
        case 4:
        case 8:
            return FromBgr(
                &m_palette[4 * size_t{ImageBuffer::PackedIndex(row, x, m_bitsPerPixel)}]);
        case 16:
        case 32: {
            // 5-5-5 and blue, green, red bytes, scaled as every bitmap reader here scales them.
            codecs::DibHeader plain;
            plain.bitCount = m_bitsPerPixel;
            codecs::SetDefaultMasks(plain);
            uint8_t bgr[3];
            codecs::ConvertRowTo24(row + static_cast<size_t>(x) * (m_bitsPerPixel / 8), 1,
                                   m_bitsPerPixel, plain, bgr);
            return FromBgr(bgr);
        }
        case 24:
            return FromBgr(row + 3 * static_cast<size_t>(x));
        default:
            return kNoPixel;
    }
}

Colour WallpaperCanvas::GetPixel(int x, int y) const {
    if (m_bitsPerPixel < 8) return kNoPixel;
    return ColourAt(x, y);
}

void WallpaperCanvas::DrawFrame(int x, int y, Colour colour) {
    const int64_t right = int64_t{x} + kFrameWidth - 1;
    const int64_t bottom = int64_t{y} + kFrameHeight - 1;
    if (right > INT32_MAX || bottom > INT32_MAX) return;  // wholly off any image
    for (int64_t i = x; i <= right; ++i) {
        SetPixel(static_cast<int>(i), y, colour);
        SetPixel(static_cast<int>(i), static_cast<int>(bottom), colour);
    }
    for (int64_t j = y; j <= bottom; ++j) {
        SetPixel(x, static_cast<int>(j), colour);
        SetPixel(static_cast<int>(right), static_cast<int>(j), colour);
    }
}

int WallpaperCanvas::DrawGlyph(char c, int x, int y, Colour colour) {
    const auto ch = static_cast<unsigned char>(c);
    if (PixelFont::HasGlyph(ch)) {
        for (int row = PixelFont::kFirstRow; row <= PixelFont::kLastRow; ++row) {
            const int64_t py = int64_t{y} + row;
            uint16_t bits = PixelFont::RowBits(ch, row);
            for (int col = 0; bits != 0; ++col, bits = static_cast<uint16_t>(bits >> 1)) {
                const int64_t px = int64_t{x} + col;
                if ((bits & 1) && px <= INT32_MAX && py >= INT32_MIN && py <= INT32_MAX) {
                    SetPixel(static_cast<int>(px), static_cast<int>(py), colour);
                }
            }
        }
        return PixelFont::Advance(ch);
    }
    if (PixelFont::IsSilent(ch)) return 0;
    if (!m_missingSeen.test(ch)) {
        m_missingSeen.set(ch);
        m_missingGlyphs += c;
    }
    return PixelFont::kMissingGlyphAdvance;
}

void WallpaperCanvas::DrawText(std::string_view text, int x, int y, Colour colour) {
    int64_t pen = x;
    for (char c : text) {
        if (pen > INT32_MAX) break;  // the rest lies beyond any image
        pen += DrawGlyph(c, static_cast<int>(pen), y, colour) + 1;
    }
}

int WallpaperCanvas::TextWidth(std::string_view text) {
    return PixelFont::TextWidth(text);
}

void WallpaperCanvas::FillRect(int x, int y, int width, int height, Colour colour) {
    if (m_bitsPerPixel != 24 || m_block.empty()) return;
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + width, m_width);
    const int64_t bottom = std::min<int64_t>(int64_t{y} + height, m_height);
    if (left >= right || top >= bottom) return;
    const uint8_t bgr[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour)};
    const size_t spanBytes = 3 * static_cast<size_t>(right - left);
    uint8_t* first = Row(static_cast<int>(top)) + 3 * left;
    for (size_t i = 0; i < spanBytes; ++i) first[i] = bgr[i % 3];
    for (int64_t row = top + 1; row < bottom; ++row) {
        std::memcpy(Row(static_cast<int>(row)) + 3 * left, first, spanBytes);
    }
}

void WallpaperCanvas::Blit(const WallpaperCanvas& source, int x, int y) {
    if (&source == this || m_bitsPerPixel != 24 || m_block.empty() || source.m_block.empty()) {
        return;
    }
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + source.m_width, m_width);
    const int64_t bottom = std::min<int64_t>(int64_t{y} + source.m_height, m_height);
    if (left >= right || top >= bottom) return;
    for (int64_t row = top; row < bottom; ++row) {
        uint8_t* dst = Row(static_cast<int>(row)) + 3 * left;
        const int sy = static_cast<int>(row - y);
        if (source.m_bitsPerPixel == 24) {
            std::memcpy(dst, source.Row(sy) + 3 * (left - x),
                        3 * static_cast<size_t>(right - left));
            continue;
        }
        for (int64_t col = left; col < right; ++col, dst += 3) {
            // Like GetPixel: below 8 bits there is no colour, which writes white.
            const Colour c = source.GetPixel(static_cast<int>(col - x), sy);
            dst[0] = static_cast<uint8_t>(c >> 16);
            dst[1] = static_cast<uint8_t>(c >> 8);
            dst[2] = static_cast<uint8_t>(c);
        }
    }
}

bool WallpaperCanvas::ConvertTo24Bit() {
    if (m_block.empty()) return false;
    if (m_bitsPerPixel == 24) return true;
    WallpaperCanvas converted;
    if (converted.Create(m_width, m_height, 24, nullptr, 1) != -1) return false;
    for (int y = 0; y < m_height; ++y) {
        uint8_t* dst = converted.Row(y);
        for (int x = 0; x < m_width; ++x, dst += 3) {
            const Colour c = ColourAt(x, y);
            dst[0] = static_cast<uint8_t>(c >> 16);
            dst[1] = static_cast<uint8_t>(c >> 8);
            dst[2] = static_cast<uint8_t>(c);
        }
    }
    converted.m_infoHeader.xPixelsPerMetre = m_infoHeader.xPixelsPerMetre;
    converted.m_infoHeader.yPixelsPerMetre = m_infoHeader.yPixelsPerMetre;
    converted.WriteHeadersToBuffer();
    *this = std::move(converted);
    return true;
}

}  // namespace tavolin
