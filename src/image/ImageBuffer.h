#pragma once
// One raster picture in memory, held as a single block in Windows DIB layout: the 40-byte
// info header, the palette (2, 16 or 256 entries for 1, 4 or 8 bits) and the pixel rows,
// bottom row first, each padded to 4 bytes. Pixel coordinates follow the block: y = 0 is the
// bottom row (stored row 0), as in a DIB.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image/ImageFormat.h"

namespace tavolin {

struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

/// A value another thread may read or set while the picture is worked on (progress, cancel);
/// copies take the current value, so the picture stays copyable.
template <typename T>
class SharedFlag {
public:
    SharedFlag(T value = T{}) : m_value(value) {}
    SharedFlag(const SharedFlag& other) noexcept : m_value(other.load()) {}
    SharedFlag& operator=(const SharedFlag& other) noexcept {
        store(other.load());
        return *this;
    }
    SharedFlag& operator=(T value) {
        store(value);
        return *this;
    }
    operator T() const { return load(); }
    T load() const { return m_value.load(std::memory_order_relaxed); }
    void store(T value) { m_value.store(value, std::memory_order_relaxed); }

private:
    std::atomic<T> m_value;
};

/// A block of bytes from calloc. Large blocks come straight from the kernel as zero pages that
/// only cost memory once written, so a picture whose header promises more than its data
/// delivers never occupies its full size (and no loop touches every byte to zero it).
class ByteBlock {
public:
    ByteBlock() = default;
    ByteBlock(const ByteBlock& other) { *this = other; }
    ByteBlock(ByteBlock&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}
    ByteBlock& operator=(const ByteBlock& other) {
        if (this != &other) {
            ByteBlock copy;
            copy.Allocate(other.m_size);
            if (other.m_size) std::memcpy(copy.m_data, other.m_data, other.m_size);
            swap(copy);
        }
        return *this;
    }
    ByteBlock& operator=(ByteBlock&& other) noexcept {
        ByteBlock moved(std::move(other));
        swap(moved);
        return *this;
    }
    ~ByteBlock() { std::free(m_data); }

    /// Replaces the contents by size zero bytes; throws std::bad_alloc.
    void Allocate(size_t size) {
        ByteBlock fresh;
        if (size) {
            fresh.m_data = static_cast<uint8_t*>(std::calloc(size, 1));
            if (!fresh.m_data) throw std::bad_alloc();
            fresh.m_size = size;
        }
        swap(fresh);
    }
    void clear() { ByteBlock().swap(*this); }
    void swap(ByteBlock& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
    }

    bool empty() const { return m_size == 0; }
    size_t size() const { return m_size; }
    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    uint8_t* begin() { return m_data; }
    uint8_t* end() { return m_data + m_size; }
    const uint8_t* begin() const { return m_data; }
    const uint8_t* end() const { return m_data + m_size; }

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

/// The shared ceiling on decoded pictures, checked by every decoder right after its header.
inline constexpr uint32_t kMaxImageDimension = 16384;
inline constexpr uint64_t kMaxImagePixels =
    uint64_t{16384} * 8192;  // 128 Mpixel, 384 MiB at 24 bits
/// Files larger than this are not read into memory.
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{512} << 20;

class ImageBuffer {
public:
    explicit ImageBuffer(int format = kFormatBmp);

    ImageBuffer(const ImageBuffer&) = default;
    ImageBuffer& operator=(const ImageBuffer&) = default;
    ImageBuffer(ImageBuffer&&) noexcept = default;
    ImageBuffer& operator=(ImageBuffer&&) noexcept = default;

    /// Reads and decodes a file; false with LastError() set on a damaged file, false without
    /// a text when the file cannot be opened.
    bool Load(const std::filesystem::path& path, int format);
    /// Decodes file contents already in memory.
    bool Decode(std::span<const uint8_t> data, int format);
    /// Encodes and writes a file (through a temporary file, so a failed save never leaves a
    /// truncated picture behind).
    bool Save(const std::filesystem::path& path, int format);
    /// Encodes into memory.
    bool Encode(std::string& out, int format);

    /// Replaces the picture; the depth is normalised to 1, 4, 8 or 24, the palette zeroed, the
    /// pixels zeroed, the alpha plane, transparent index and selection released. False (with
    /// LastError) when the size is zero, beyond the ceiling or the memory cannot be had.
    bool Create(uint32_t width, uint32_t height, int bitsPerPixel, int format);

    bool IsValid() const { return !m_block.empty(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bpp; }
    int Format() const { return m_format; }
    size_t Stride() const { return m_stride; }
    int PaletteEntries() const { return m_paletteEntries; }

    /// The colour at (x, y); black outside the picture.
    RgbQuad GetPixelColor(int x, int y) const;
    /// Stores a colour; for palette pictures the index of the nearest palette entry. Ignored
    /// outside the picture.
    void SetPixelColor(int x, int y, RgbQuad colour);
    /// Palette index at (x, y) for palette pictures; 0 otherwise or outside.
    uint8_t GetPixelIndex(int x, int y) const;
    void SetPixelIndex(int x, int y, uint8_t index);

    /// Nearest-pixel (fast) or smoothing resampling to a new size; false for a zero size or
    /// when the new picture cannot be made.
    bool Resample(int width, int height, bool fast);

    const std::string& LastError() const { return m_lastError; }
    /// Keeps at most 255 characters, as the format's users expect.
    void SetLastError(std::string_view text);

    // The block and its parts.
    std::span<const uint8_t> Block() const { return {m_block.data(), m_block.size()}; }
    /// Hands the block to another owner without a copy; the picture is empty afterwards.
    ByteBlock ReleaseBlock();
    std::span<uint8_t> InfoHeader() { return {m_block.data(), m_block.empty() ? 0u : 40u}; }
    RgbQuad* Palette();
    const RgbQuad* Palette() const;
    void SetPaletteColor(int index, RgbQuad colour);
    /// Pixel bytes of the whole picture, bottom row first.
    uint8_t* Bits();
    const uint8_t* Bits() const;
    size_t ImageSize() const { return m_stride * static_cast<size_t>(m_height); }
    /// Stored row y (0 = bottom).
    uint8_t* Row(int y) { return Bits() + m_stride * static_cast<size_t>(y); }
    const uint8_t* Row(int y) const { return Bits() + m_stride * static_cast<size_t>(y); }

    // Resolution in dots per inch; the header holds pixels per metre.
    int DpiX() const { return m_dpiX; }
    int DpiY() const { return m_dpiY; }
    /// Kept within 0 to 1000000.
    void SetDpi(int x, int y);

    /// Transparent palette index (GIF, ...); -1 for none.
    int TransparentIndex() const { return m_transparentIndex; }
    void SetTransparentIndex(int index) { m_transparentIndex = index; }

    /// Optional alpha plane, one byte per pixel, in the pixel rows' order (bottom row first).
    bool HasAlpha() const { return !m_alpha.empty(); }
    /// Creates an alpha plane when there is none: opaque, or zero for a decoder that writes
    /// every row itself (its pages then cost memory only as the rows arrive).
    void AllocateAlpha(bool opaque = true);
    void ReleaseAlpha() { m_alpha.clear(); }
    uint8_t* AlphaRow(int y) { return m_alpha.data() + static_cast<size_t>(m_width) * y; }
    const uint8_t* AlphaRow(int y) const {
        return m_alpha.data() + static_cast<size_t>(m_width) * y;
    }
    uint8_t GetAlpha(int x, int y) const;

    /// Turns the rows over (decoders that produce top-down rows).
    void FlipVertical();

    // Progress in percent and the cancel request: safe to use from another thread while this
    // picture is decoded or resampled.
    int Progress() const { return m_progress; }
    void SetProgress(int percent) { m_progress = percent; }
    bool Cancelled() const { return m_cancel; }
    void SetCancel(bool cancel) { m_cancel = cancel; }

    /// The palette index of pixel x in a row of 1-, 4- or 8-bit pixels (high bits first).
    static uint8_t PackedIndex(const uint8_t* row, int x, int bitsPerPixel) {
        switch (bitsPerPixel) {
            case 8:
                return row[x];
            case 4:
                return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
            default:
                return (row[x >> 3] >> (7 - (x & 7))) & 1;
        }
    }

    /// Row stride for a width and depth: ((width * bpp + 31) / 32) * 4, in 64 bits.
    static uint64_t StrideFor(uint64_t width, int bitsPerPixel);
    /// 1, 4, 8 or 24.
    static int NormaliseDepth(int bitsPerPixel);
    /// True when a picture of that size may be decoded; else sets LastError to "Image too large".
    bool CheckSize(uint64_t width, uint64_t height);

private:
    void WriteInfoHeader();

    int m_format;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    size_t m_stride = 0;
    int m_paletteEntries = 0;
    int m_dpiX = 72;
    int m_dpiY = 72;
    int m_transparentIndex = -1;
    SharedFlag<int> m_progress = 0;
    SharedFlag<bool> m_cancel = false;
    std::string m_lastError;
    ByteBlock m_block;
    ByteBlock m_alpha;
};

}  // namespace tavolin
