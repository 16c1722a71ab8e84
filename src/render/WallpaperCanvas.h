#pragma once
// The surface the wallpaper is painted on: an uncompressed bitmap held in memory exactly as a
// BMP file stores it (rows bottom-up, each padded to 4 bytes), in the same block layout as an
// ImageBuffer's, so a decoded picture becomes the canvas without a copy (TakePicture). Files
// are read and written with the bitmap structures of image/formats/Dib.h. All drawing goes through
// SetPixel, which clips silently, so text and frames may run off the edges. Text uses PixelFont;
// the month sheets are painted by DrawMonth.

#include <array>
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "image/ImageBuffer.h"
#include "render/DateRules.h"
#include "settings/Settings.h"

namespace tavolin {

struct WriteFaults;

/// The 14-byte BMP file header (little-endian on disk).
struct BmpFileHeader {
    uint16_t type = 0;  // "BM" = 0x4D42
    uint32_t fileSize = 0;
    uint16_t reserved1 = 0;
    uint16_t reserved2 = 0;
    uint32_t pixelOffset = 0;
};

/// The 40-byte BMP info header (little-endian on disk).
struct BmpInfoHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    int32_t xPixelsPerMetre = 0;
    int32_t yPixelsPerMetre = 0;
    uint32_t coloursUsed = 0;
    uint32_t coloursImportant = 0;
};

/// Results of Load and Save.
enum CanvasResult : int {
    kCanvasOk = 0,
    kCanvasNotBmp = 3,        // Load: not a BMP, or a header this reader cannot use
    kCanvasCannotOpen = 4,    // Load: the file cannot be opened for reading
    kCanvasCannotCreate = 5,  // Save: the file cannot be opened for writing
    kCanvasNoMemory = 6,      // Load: the pixel buffer cannot be had (or is over the limits)
    kCanvasNoPixelData = 7,   // Load: nothing of the pixel block could be read
    kCanvasWriteFailed = 8,   // Save: writing failed (or there are no pixels to write)
};

class WallpaperCanvas {
public:
    /// Largest width and height accepted, and the largest pixel count (an 8K screen is 33M).
    static constexpr int32_t kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = int64_t{1} << 26;

    /// GetPixel's and SetPixel's "no pixel" answer, -1 as a colour value.
    static constexpr Colour kNoPixel = 0xFFFFFFFFu;

    static constexpr int kFrameWidth = 175;
    static constexpr int kFrameHeight = 114;

    WallpaperCanvas() = default;
    WallpaperCanvas(WallpaperCanvas&&) noexcept = default;
    WallpaperCanvas& operator=(WallpaperCanvas&&) noexcept = default;

    /// Makes a new white image of width x height at 1, 4, 8, 16, 24 or 32 bits per pixel.
    /// Without source pixels the result is -1. With rowOrder 2, source holds height rows of
    /// Stride() bytes top-down and the result is the number of rows copied; with any other
    /// rowOrder source holds ImageSize() bytes in stored (bottom-up) order and the result is
    /// ImageSize(). A size or depth outside the limits leaves the canvas empty and gives 0.
    int Create(int32_t width, int32_t height, int32_t bitsPerPixel, const uint8_t* source,
               int32_t rowOrder);

    /// Reads a BMP file: 0, or kCanvasNotBmp / kCanvasCannotOpen (the canvas is unchanged),
    /// kCanvasNoMemory / kCanvasNoPixelData (the canvas is left empty). rowOrder 2 reads rows
    /// stored top-down. A file whose pixel block is cut short loads; the missing part is black.
    int Load(const std::filesystem::path& path, int32_t rowOrder);

    /// Load from the bytes of a BMP file already in memory, with the same results.
    int LoadFromMemory(std::span<const uint8_t> fileBytes, int32_t rowOrder);

    /// Takes over the decoded picture's pixel block without a copy (the picture is left
    /// empty): afterwards the canvas is what loading the picture's saved BMP file would give.
    /// False, and the canvas empty, when the picture is empty or beyond the canvas's limits.
    bool TakePicture(ImageBuffer&& picture);

    /// Writes the image as a BMP file, replacing any old file atomically: 0, or
    /// kCanvasCannotCreate / kCanvasWriteFailed (the old file is untouched).
    int Save(const std::filesystem::path& path, WriteFaults* faults = nullptr) const;

    /// The colour at (x, y) (x to the right, y downwards from the top-left corner), read
    /// through the palette at 8 bits or fewer; kNoPixel outside the image, below 8 bits or
    /// without pixels.
    Colour GetPixel(int x, int y) const;

    /// Writes a colour at (x, y) on a 24-bit canvas and returns the previous colour; outside
    /// the image or on any other depth nothing is written and the result is kNoPixel.
    Colour SetPixel(int x, int y, Colour colour) {
        if (m_bitsPerPixel != 24 || static_cast<uint32_t>(x) >= static_cast<uint32_t>(m_width) ||
            static_cast<uint32_t>(y) >= static_cast<uint32_t>(m_height) || m_block.empty()) {
            return kNoPixel;
        }
        uint8_t* p = Pixels() +
                     static_cast<size_t>(m_height - 1 - y) * static_cast<size_t>(m_stride) +
                     3 * static_cast<size_t>(x);
        const Colour old = Colour{p[2]} | Colour{p[1]} << 8 | Colour{p[0]} << 16;
        p[0] = static_cast<uint8_t>(colour >> 16);
        p[1] = static_cast<uint8_t>(colour >> 8);
        p[2] = static_cast<uint8_t>(colour);
        return old;
    }

    /// The outline of a month sheet: corners (x, y) and (x + 174, y + 113).
    void DrawFrame(int x, int y, Colour colour);

    /// Draws one Windows-1252 character with (x, y) the top-left of glyph row 0 and returns
    /// its advance. "^" and "`" draw nothing and give 0; any other character without a glyph
    /// gives 6 and is noted in MissingGlyphs.
    int DrawGlyph(char c, int x, int y, Colour colour);

    /// The characters drawn so far that have no glyph, each once, in the order first met. The
    /// caller tells the user about them (one message per character, not per occurrence).
    const std::string& MissingGlyphs() const { return m_missingGlyphs; }

    /// Draws the text glyph by glyph with a one-pixel gap after each advance.
    void DrawText(std::string_view text, int x, int y, Colour colour);

    /// Sum of the advances, gaps not counted, characters without a glyph counting 0.
    static int TextWidth(std::string_view text);

    /// The month's name centred in a band: drawn at x + (bandWidth - name width) / 2.
    /// Months outside 1..12 draw nothing.
    void DrawMonthTitle(int month, int x, int y, int bandWidth, Colour colour);

    /// One month sheet with its top-left corner at (x, y); month 0 is December and 13 is
    /// January. The year is the one nearest to today: December shown in January is last
    /// year's, January shown in December next year's.
    void DrawMonth(int month, int x, int y, Colour dayColour, Colour monthColour,
                   Colour holidayColour, Colour currentDayColour, bool sundayFirst,
                   const CalendarDate& today);

    /// The sheet of a given month (1..12) and year; today's number gets the current-day colour.
    void DrawMonthSheet(int month, int year, int x, int y, Colour dayColour, Colour monthColour,
                        Colour holidayColour, Colour currentDayColour, bool sundayFirst,
                        const CalendarDate& today);

    // Bulk operations for the pipeline, so screen-sized work needs no per-pixel calls.

    /// Sets the info header's resolution fields (pixels per metre), as a loaded file would have.
    void SetResolution(int32_t xPixelsPerMetre, int32_t yPixelsPerMetre);

    /// Fills the clipped rectangle on a 24-bit canvas.
    void FillRect(int x, int y, int width, int height, Colour colour);

    /// Copies source with its top-left corner at (x, y): the same result as
    /// SetPixel(x + sx, y + sy, source.GetPixel(sx, sy)) for every source pixel. The source
    /// must be another canvas.
    void Blit(const WallpaperCanvas& source, int x, int y);

    /// Brings a 1-, 4-, 8-, 16- or 32-bit image to 24 bits (palette colours, 5-5-5 for 16
    /// bits), so it can be drawn on. False when there are no pixels or no memory.
    bool ConvertTo24Bit();

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t BitsPerPixel() const { return m_bitsPerPixel; }
    int32_t ImageSize() const { return m_imageSize; }
    int32_t PaletteEntries() const { return m_paletteEntries; }
    int32_t Stride() const { return m_stride; }
    bool HasPixels() const { return !m_block.empty(); }

    /// The pixel block in stored order (bottom row first); nullptr without pixels.
    uint8_t* Pixels() { return m_block.empty() ? nullptr : m_block.data() + m_pixelOffset; }
    const uint8_t* Pixels() const {
        return m_block.empty() ? nullptr : m_block.data() + m_pixelOffset;
    }

    /// The stored bytes of image row y (0 = top); nullptr outside the image.
    uint8_t* Row(int y);
    const uint8_t* Row(int y) const;

    /// Palette entries as blue, green, red, reserved.
    const std::array<uint8_t, 1024>& Palette() const { return m_palette; }
    const BmpFileHeader& FileHeader() const { return m_fileHeader; }
    const BmpInfoHeader& InfoHeader() const { return m_infoHeader; }

private:
    int LoadFrom(class CanvasSource& source, int32_t rowOrder);
    Colour ColourAt(int x, int y) const;  // every depth, also below 8 bits
    void Reset();
    bool AllocateBlock(int64_t width, int64_t height, int64_t bits);
    void WriteHeadersToBuffer();

    std::string m_missingGlyphs;
    std::bitset<256> m_missingSeen;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_bitsPerPixel = 0;
    int32_t m_imageSize = 0;
    int32_t m_paletteEntries = 0;
    int32_t m_stride = 0;
    // The bitmap as an image buffer holds it: info header, palette, then the pixel block at
    // m_pixelOffset; Save puts the file header in front. Allocated with calloc, so a big block
    // that a short file leaves mostly unread costs no memory beyond what was read.
    ByteBlock m_block;
    size_t m_pixelOffset = 0;
    std::array<uint8_t, 1024> m_palette{};
    BmpFileHeader m_fileHeader;
    BmpInfoHeader m_infoHeader;
};

}  // namespace tavolin
