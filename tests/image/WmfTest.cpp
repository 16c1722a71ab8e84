// Metafiles built record by record, played into pictures whose shapes and colours are checked at
// chosen pixels (coordinates from the top left, as the metafile's device sees them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "FormatTestSupport.h"

namespace tavolin::test {
namespace {

const RgbQuad kWhite{255, 255, 255, 0};
const RgbQuad kRed{0, 0, 255, 0};
const RgbQuad kGreen{0, 255, 0, 0};
const RgbQuad kBlue{255, 0, 0, 0};
const RgbQuad kBlack{0, 0, 0, 0};

constexpr uint32_t kRedRef = 0x0000FF;  // COLORREF: red in the lowest byte
constexpr uint32_t kGreenRef = 0x00FF00;
constexpr uint32_t kBlueRef = 0xFF0000;

RgbQuad At(const ImageBuffer& image, int x, int top) {
    return image.GetPixelColor(x, image.Height() - 1 - top);
}

// ---------------------------------------------------------------------------------------------
// Old-style records behind a placeable header.

class WmfBuilder {
public:
    /// A record whose parameters are 16-bit words.
    WmfBuilder& Add(uint16_t function, std::initializer_list<int> words) {
        std::string params;
        for (int w : words) PutLe16(params, static_cast<uint32_t>(w) & 0xFFFF);
        return AddRaw(function, params);
    }
    WmfBuilder& AddRaw(uint16_t function, const std::string& params) {
        PutLe32(m_records, static_cast<uint32_t>(3 + params.size() / 2));
        PutLe16(m_records, function);
        m_records += params;
        return *this;
    }
    // Common records.
    WmfBuilder& Brush(uint32_t colour, int style = 0, int hatch = 0) {
        return Add(0x02FC, {style, int(colour & 0xFFFF), int(colour >> 16), hatch});
    }
    WmfBuilder& Pen(uint32_t colour, int width = 0, int style = 0) {
        return Add(0x02FA, {style, width, 0, int(colour & 0xFFFF), int(colour >> 16)});
    }
    WmfBuilder& Select(int slot) { return Add(0x012D, {slot}); }
    WmfBuilder& Rectangle(int l, int t, int r, int b) { return Add(0x041B, {b, r, t, l}); }
    WmfBuilder& Ellipse(int l, int t, int r, int b) { return Add(0x0418, {b, r, t, l}); }
    WmfBuilder& Polygon(std::initializer_list<std::pair<int, int>> points) {
        std::string p;
        PutLe16(p, static_cast<uint32_t>(points.size()));
        for (auto [x, y] : points) {
            PutLe16(p, static_cast<uint32_t>(x) & 0xFFFF);
            PutLe16(p, static_cast<uint32_t>(y) & 0xFFFF);
        }
        return AddRaw(0x0324, p);
    }
    /// Null pen in slot 0 selected; the brushes created next go to slots 1, 2, ...
    WmfBuilder& NoOutline() { return Pen(0, 0, 5).Select(0); }

    std::string Build(int left, int top, int right, int bottom, int inch, int type = 1,
                      int headerWords = 9) const {
        std::string records = m_records;
        PutLe32(records, 3);  // end of file
        PutLe16(records, 0);
        std::string f;
        std::string placeable;
        PutLe32(placeable, 0x9AC6CDD7);
        PutLe16(placeable, 0);
        for (int v : {left, top, right, bottom})
            PutLe16(placeable, static_cast<uint32_t>(v) & 0xFFFF);
        PutLe16(placeable, static_cast<uint32_t>(inch));
        PutLe32(placeable, 0);
        uint16_t checksum = 0;
        for (size_t i = 0; i < 20; i += 2) {
            checksum ^= static_cast<uint16_t>(static_cast<uint8_t>(placeable[i]) |
                                              (static_cast<uint8_t>(placeable[i + 1]) << 8));
        }
        PutLe16(placeable, checksum);
        f += placeable;
        PutLe16(f, static_cast<uint32_t>(type));
        PutLe16(f, static_cast<uint32_t>(headerWords));
        PutLe16(f, 0x0300);
        PutLe32(f, static_cast<uint32_t>(9 + records.size() / 2));
        PutLe16(f, 16);  // objects
        PutLe32(f, 0);   // largest record
        PutLe16(f, 0);
        return f + records;
    }

private:
    std::string m_records;
};

ImageBuffer Decode(const std::string& file) {
    ImageBuffer image(kFormatWmf);
    EXPECT_TRUE(image.Decode(Bytes(file), kFormatWmf)) << image.LastError();
    return image;
}

// 96 units per inch: one unit is one pixel, and the picture is 200 x 100.
constexpr int kInch = 96;

TEST(WmfPlayer, FillsRectanglesEllipsesAndPolygonsOnWhite) {
    WmfBuilder wmf;
    wmf.NoOutline()
        .Brush(kRedRef)
        .Select(1)
        .Rectangle(10, 10, 60, 40)
        .Brush(kBlueRef)
        .Select(2)
        .Ellipse(100, 10, 180, 90)
        .Brush(kGreenRef)
        .Select(3)
        .Polygon({{10, 60}, {90, 60}, {50, 95}});
    const ImageBuffer image = Decode(wmf.Build(0, 0, 200, 100, kInch));
    ASSERT_EQ(image.Width(), 200);
    ASSERT_EQ(image.Height(), 100);
    EXPECT_EQ(image.BitsPerPixel(), 24);
    // Without a pen a rectangle covers left..right-2 (one pixel less, as on Windows).
    EXPECT_EQ(At(image, 10, 10), kRed);
    EXPECT_EQ(At(image, 58, 38), kRed);
    EXPECT_EQ(At(image, 9, 20), kWhite);
    EXPECT_EQ(At(image, 60, 20), kWhite);
    EXPECT_EQ(At(image, 30, 41), kWhite);
    EXPECT_EQ(At(image, 140, 50), kBlue);
    EXPECT_EQ(At(image, 102, 12), kWhite);  // outside the ellipse, inside its box
    EXPECT_EQ(At(image, 140, 12), kBlue);
    EXPECT_EQ(At(image, 50, 70), kGreen);
    EXPECT_EQ(At(image, 15, 90), kWhite);
    EXPECT_EQ(At(image, 0, 0), kWhite);
    EXPECT_EQ(At(image, 199, 99), kWhite);
}

TEST(WmfPlayer, AlternateAndWindingFillRules) {
    // A five-pointed star drawn in one stroke: its middle is enclosed twice.
    auto star = [](int mode) {
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Select(1).Add(0x0106, {mode});
        wmf.Polygon({{50, 5}, {76, 86}, {7, 36}, {93, 36}, {24, 86}});
        // Two squares turning the same way, one inside the other.
        std::string p;
        PutLe16(p, 2);
        PutLe16(p, 4);
        PutLe16(p, 4);
        for (auto [x, y] : {std::pair{110, 10},
                            {190, 10},
                            {190, 90},
                            {110, 90},
                            {130, 30},
                            {170, 30},
                            {170, 70},
                            {130, 70}}) {
            PutLe16(p, static_cast<uint32_t>(x));
            PutLe16(p, static_cast<uint32_t>(y));
        }
        wmf.AddRaw(0x0538, p);
        return Decode(wmf.Build(0, 0, 200, 100, kInch));
    };
    const ImageBuffer alternate = star(1);
    EXPECT_EQ(At(alternate, 50, 20), kRed);     // a point of the star
    EXPECT_EQ(At(alternate, 50, 50), kWhite);   // the middle
    EXPECT_EQ(At(alternate, 115, 50), kRed);    // the ring
    EXPECT_EQ(At(alternate, 150, 50), kWhite);  // the hole
    const ImageBuffer winding = star(2);
    EXPECT_EQ(At(winding, 50, 20), kRed);
    EXPECT_EQ(At(winding, 50, 50), kRed);
    EXPECT_EQ(At(winding, 115, 50), kRed);
    EXPECT_EQ(At(winding, 150, 50), kRed);
}

TEST(WmfPlayer, PensOutlineShapesAndDrawLines) {
    WmfBuilder wmf;
    wmf.Pen(0)             // slot 0: black, one pixel
        .Brush(0, 1)       // slot 1: null brush
        .Pen(kBlueRef, 9)  // slot 2: blue, 9 units wide
        .Select(0)
        .Select(1)
        .Rectangle(10, 10, 50, 30)
        .Select(2)
        .Add(0x0214, {60, 10})   // move to (10, 60)
        .Add(0x0213, {60, 150})  // line to (150, 60)
        .Select(0)
        .Add(0x0214, {80, 10})
        .Add(0x0213, {80, 100});
    const ImageBuffer image = Decode(wmf.Build(0, 0, 200, 100, kInch));
    EXPECT_EQ(At(image, 10, 20), kBlack);  // left edge
    EXPECT_EQ(At(image, 49, 20), kBlack);  // right edge, one pixel inside
    EXPECT_EQ(At(image, 30, 10), kBlack);
    EXPECT_EQ(At(image, 30, 29), kBlack);
    EXPECT_EQ(At(image, 30, 20), kWhite);  // the null brush leaves the inside alone
    EXPECT_EQ(At(image, 50, 20), kWhite);
    EXPECT_EQ(At(image, 80, 56), kBlue);  // the wide line, 4 pixels either side
    EXPECT_EQ(At(image, 80, 64), kBlue);
    EXPECT_EQ(At(image, 80, 66), kWhite);
    EXPECT_EQ(At(image, 80, 53), kWhite);
    EXPECT_EQ(At(image, 12, 80), kBlack);  // the thin line
    EXPECT_EQ(At(image, 99, 80), kBlack);
    EXPECT_EQ(At(image, 100, 80), kWhite);  // its end point is left out
}

TEST(WmfPlayer, WindowRecordsMapTheMetafileOntoThePicture) {
    WmfBuilder wmf;
    wmf.NoOutline()
        .Brush(kRedRef)
        .Select(1)
        .Add(0x020B, {1000, 1000})  // window origin (1000, 1000)
        .Add(0x020C, {200, 400})    // window extent 400 x 200: half a pixel per unit
        .Rectangle(1200, 1100, 1402, 1202);
    const ImageBuffer image = Decode(wmf.Build(0, 0, 200, 100, kInch));
    EXPECT_EQ(At(image, 150, 75), kRed);
    EXPECT_EQ(At(image, 101, 51), kRed);
    EXPECT_EQ(At(image, 98, 75), kWhite);
    EXPECT_EQ(At(image, 150, 48), kWhite);
    EXPECT_EQ(At(image, 50, 25), kWhite);
}

// The viewport starts as the whole picture in 96-dpi pixels; the metafile's own viewport
// records act within it, as on Windows.
TEST(WmfPlayer, ViewportExtentAndOriginPlaceTheWindow) {
    auto redSquare = [](std::initializer_list<std::pair<uint16_t, std::pair<int, int>>> records,
                        int side = 100) {
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Select(1);
        wmf.Add(0x020B, {0, 0}).Add(0x020C, {100, 100});  // window (0, 0), 100 x 100
        for (const auto& [function, yx] : records) wmf.Add(function, {yx.first, yx.second});
        wmf.Rectangle(0, 0, 101, 101);  // the whole window
        return Decode(wmf.Build(0, 0, side, side, kInch));
    };
    {
        const ImageBuffer half = redSquare({{0x020E, {50, 50}}});  // viewport 50 x 50
        EXPECT_EQ(At(half, 1, 1), kRed);
        EXPECT_EQ(At(half, 48, 48), kRed);
        EXPECT_EQ(At(half, 52, 25), kWhite);
        EXPECT_EQ(At(half, 25, 52), kWhite);
        EXPECT_EQ(At(half, 75, 75), kWhite);
    }
    {
        // The viewport counts pixels of the metafile's own size, before a picture wider than
        // 4000 pixels is shrunk: 4000 of 8000 are half the picture.
        const ImageBuffer large = redSquare({{0x020E, {4000, 4000}}}, 8000);
        ASSERT_EQ(large.Width(), 4000);
        EXPECT_EQ(At(large, 1990, 1990), kRed);
        EXPECT_EQ(At(large, 2030, 1000), kWhite);
        EXPECT_EQ(At(large, 1000, 2030), kWhite);
    }
    {
        // A negative width turns the picture over left to right about the viewport origin.
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Select(1);
        wmf.Add(0x020C, {100, 100}).Add(0x020D, {0, 100}).Add(0x020E, {100, -100});
        wmf.Rectangle(0, 0, 30, 101);  // the window's left 30 units
        const ImageBuffer flipped = Decode(wmf.Build(0, 0, 100, 100, kInch));
        EXPECT_EQ(At(flipped, 15, 50), kWhite);
        EXPECT_EQ(At(flipped, 65, 50), kWhite);
        EXPECT_EQ(At(flipped, 75, 50), kRed);
        EXPECT_EQ(At(flipped, 98, 50), kRed);
    }
    {
        // Upside down: the window's top rows at the bottom of the picture.
        const ImageBuffer flipped = redSquare({{0x020D, {100, 0}}, {0x020E, {-100, 100}}});
        EXPECT_EQ(At(flipped, 50, 50), kRed);
        EXPECT_EQ(At(flipped, 50, 98), kRed);
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Select(1);
        wmf.Add(0x020C, {100, 100}).Add(0x020D, {100, 0}).Add(0x020E, {-100, 100});
        wmf.Rectangle(0, 0, 101, 30);
        const ImageBuffer strip = Decode(wmf.Build(0, 0, 100, 100, kInch));
        EXPECT_EQ(At(strip, 50, 15), kWhite);
        EXPECT_EQ(At(strip, 50, 75), kRed);
        EXPECT_EQ(At(strip, 50, 98), kRed);
    }
    {
        // The viewport origin moves the drawing down by 50 pixels; offsetting it moves it on.
        const ImageBuffer moved = redSquare({{0x020D, {50, 0}}});
        EXPECT_EQ(At(moved, 50, 48), kWhite);
        EXPECT_EQ(At(moved, 50, 52), kRed);
        EXPECT_EQ(At(moved, 98, 98), kRed);
        const ImageBuffer offset = redSquare({{0x020D, {50, 0}}, {0x0211, {0, 60}}});
        EXPECT_EQ(At(offset, 50, 52), kWhite);
        EXPECT_EQ(At(offset, 58, 75), kWhite);
        EXPECT_EQ(At(offset, 62, 75), kRed);
    }
}

TEST(WmfPlayer, MapModesResetTheExtents) {
    // MM_TEXT: one unit per pixel, and a later window extent changes nothing.
    {
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Select(1);
        wmf.Add(0x0103, {1}).Add(0x020C, {600, 600}).Add(0x020E, {50, 50});
        wmf.Rectangle(20, 20, 280, 280);
        const ImageBuffer image = Decode(wmf.Build(0, 0, 300, 300, kInch));
        EXPECT_EQ(At(image, 18, 150), kWhite);
        EXPECT_EQ(At(image, 22, 22), kRed);
        EXPECT_EQ(At(image, 277, 277), kRed);
        EXPECT_EQ(At(image, 282, 150), kWhite);
    }
    // MM_ISOTROPIC keeps one scale: a window twice as high as wide on a square viewport
    // narrows the viewport's width to half.
    auto isotropic = [](std::initializer_list<std::pair<uint16_t, std::pair<int, int>>> records,
                        int bottom) {
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Select(1).Add(0x0103, {7});
        for (const auto& [function, yx] : records) wmf.Add(function, {yx.first, yx.second});
        wmf.Rectangle(0, 0, 101, bottom);
        return Decode(wmf.Build(0, 0, 100, 100, kInch));
    };
    for (const ImageBuffer& image : {isotropic({{0x020C, {200, 100}}, {0x020E, {100, 100}}}, 201),
                                     isotropic({{0x020E, {100, 100}}, {0x020C, {200, 100}}}, 201),
                                     // Without a viewport extent the mode's own one, y upwards,
                                     // is narrowed the same way.
                                     isotropic({{0x020D, {0, 0}}, {0x020C, {200, 100}}}, -201)}) {
        EXPECT_EQ(At(image, 25, 50), kRed);
        EXPECT_EQ(At(image, 48, 98), kRed);
        EXPECT_EQ(At(image, 52, 50), kWhite);
        EXPECT_EQ(At(image, 75, 50), kWhite);
    }
    // MM_ANISOTROPIC scales each way on its own, and setting it again keeps the extents.
    {
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Select(1).Add(0x0103, {8});
        wmf.Add(0x020C, {200, 100}).Add(0x020E, {100, 100}).Add(0x0103, {8});
        wmf.Rectangle(0, 0, 51, 101);
        const ImageBuffer image = Decode(wmf.Build(0, 0, 100, 100, kInch));
        EXPECT_EQ(At(image, 48, 48), kRed);
        EXPECT_EQ(At(image, 48, 52), kWhite);
        EXPECT_EQ(At(image, 52, 25), kWhite);
    }
}

TEST(WmfPlayer, HatchLinesLieInRowThreeAndColumnFour) {
    WmfBuilder wmf;
    wmf.NoOutline()
        .Brush(kRedRef, 2, 0)  // horizontal
        .Brush(kRedRef, 2, 1)  // vertical
        .Brush(kRedRef, 2, 4)  // cross
        .Brush(kRedRef, 2, 2)  // forward diagonal
        .Select(1)
        .Rectangle(0, 0, 17, 17)
        .Select(2)
        .Rectangle(16, 0, 33, 17)
        .Select(3)
        .Rectangle(32, 0, 49, 17)
        .Select(4)
        .Rectangle(48, 0, 65, 17);
    const ImageBuffer image = Decode(wmf.Build(0, 0, 64, 16, kInch));
    for (int x : {1, 5, 12}) {
        EXPECT_EQ(At(image, x, 3), kRed) << x;
        EXPECT_EQ(At(image, x, 11), kRed) << x;
        EXPECT_EQ(At(image, x, 7), kWhite) << x;
    }
    for (int y : {1, 7, 12}) {
        EXPECT_EQ(At(image, 20, y), kRed) << y;
        EXPECT_EQ(At(image, 28, y), kRed) << y;
        EXPECT_EQ(At(image, 23, y), kWhite) << y;
    }
    EXPECT_EQ(At(image, 36, 6), kRed);
    EXPECT_EQ(At(image, 42, 3), kRed);
    EXPECT_EQ(At(image, 39, 6), kWhite);
    EXPECT_EQ(At(image, 39, 7), kWhite);
    EXPECT_EQ(At(image, 50, 2), kRed);  // the diagonals as before
    EXPECT_EQ(At(image, 61, 13), kRed);
    EXPECT_EQ(At(image, 50, 3), kWhite);
}

TEST(WmfPlayer, SaveAndRestoreTheDeviceContext) {
    WmfBuilder wmf;
    wmf.NoOutline()
        .Brush(kRedRef)
        .Brush(kBlueRef)
        .Select(1)
        .Add(0x001E, {})  // save
        .Select(2)
        .Add(0x0416, {50, 100, 0, 0})  // clip to the left half
        .Rectangle(0, 0, 200, 50)      // blue, clipped
        .Add(0x0127, {-1})             // restore: red brush, no clip
        .Rectangle(0, 50, 200, 100);
    const ImageBuffer image = Decode(wmf.Build(0, 0, 200, 100, kInch));
    EXPECT_EQ(At(image, 50, 25), kBlue);
    EXPECT_EQ(At(image, 150, 25), kWhite);
    EXPECT_EQ(At(image, 50, 75), kRed);
    EXPECT_EQ(At(image, 150, 75), kRed);
}

// A 2 x 2 24-bit DIB, rows bottom-up: blue, green / red, white.
std::string TinyDib() {
    std::string d;
    PutLe32(d, 40);
    PutLe32(d, 2);
    PutLe32(d, 2);
    PutLe16(d, 1);
    PutLe16(d, 24);
    d += std::string(24, '\0');
    d += std::string("\xFF\x00\x00\x00\xFF\x00\0\0", 8);
    d += std::string("\x00\x00\xFF\xFF\xFF\xFF\0\0", 8);
    return d;
}

std::string Words(std::initializer_list<int> words) {
    std::string s;
    for (int w : words) PutLe16(s, static_cast<uint32_t>(w) & 0xFFFF);
    return s;
}

TEST(WmfPlayer, DrawsDeviceIndependentBitmaps) {
    const uint32_t srcCopy = 0x00CC0020;
    WmfBuilder wmf;
    // StretchDIB of the whole bitmap onto the left half.
    wmf.AddRaw(0x0F43,
               Words({int(srcCopy & 0xFFFF), int(srcCopy >> 16), 0, 2, 2, 0, 0, 100, 100, 0, 0}) +
                   TinyDib());
    // DIBStretchBlt onto (120, 0)-(200, 40).
    wmf.AddRaw(
        0x0B41,
        Words({int(srcCopy & 0xFFFF), int(srcCopy >> 16), 2, 2, 0, 0, 40, 80, 0, 120}) + TinyDib());
    // SetDIBitsToDevice: 2 x 2 pixels at (150, 80).
    wmf.AddRaw(0x0D33, Words({0, 2, 0, 0, 0, 2, 2, 80, 150}) + TinyDib());
    // PatBlt with a green brush onto (120, 50)-(140, 70).
    wmf.Brush(kGreenRef).Select(0);
    wmf.Add(0x061D, {0x0021, 0x00F0, 20, 20, 50, 120});
    const ImageBuffer image = Decode(wmf.Build(0, 0, 200, 100, kInch));
    EXPECT_EQ(At(image, 25, 25), kRed);
    EXPECT_EQ(At(image, 75, 25), kWhite);
    EXPECT_EQ(At(image, 25, 75), kBlue);
    EXPECT_EQ(At(image, 75, 75), kGreen);
    EXPECT_EQ(At(image, 99, 99), kGreen);
    EXPECT_EQ(At(image, 130, 10), kRed);
    EXPECT_EQ(At(image, 190, 30), kGreen);
    EXPECT_EQ(At(image, 150, 80), kRed);
    EXPECT_EQ(At(image, 151, 81), kGreen);
    EXPECT_EQ(At(image, 152, 80), kWhite);
    EXPECT_EQ(At(image, 130, 60), kGreen);
    EXPECT_EQ(At(image, 145, 60), kWhite);
}

// A 2 x 1 DIB of the given depth; palette entries and masks as given, then one row.
std::string Dib2x1(int bits, const std::vector<uint32_t>& table, const std::string& row,
                   uint32_t compression = 0) {
    std::string d;
    PutLe32(d, 40);
    PutLe32(d, 2);
    PutLe32(d, 1);
    PutLe16(d, 1);
    PutLe16(d, static_cast<uint32_t>(bits));
    PutLe32(d, compression);
    PutLe32(d, 0);
    PutLe32(d, 0);
    PutLe32(d, 0);
    PutLe32(d, bits <= 8 ? static_cast<uint32_t>(table.size()) : 0);
    PutLe32(d, 0);
    for (uint32_t v : table) PutLe32(d, v);  // colours (0x00RRGGBB) or masks
    return d + row;
}

TEST(WmfPlayer, BitmapsOfEveryDepth) {
    const std::string pad2 = std::string(2, '\0'), pad3 = std::string(3, '\0');
    const std::pair<std::string, std::pair<RgbQuad, RgbQuad>> bitmaps[] = {
        {Dib2x1(1, {0x000000, 0xFF0000}, "\x40" + pad3), {kBlack, kRed}},
        {Dib2x1(4, {0x00FF00, 0x0000FF}, "\x01" + pad3), {kGreen, kBlue}},
        {Dib2x1(8, {0xFF0000, 0x00FF00}, std::string("\x01\x00", 2) + pad2), {kGreen, kRed}},
        {Dib2x1(16, {}, std::string("\x00\x7C\x1F\x00", 4)), {kRed, kBlue}},  // 5-5-5
        {Dib2x1(16, {0xF800, 0x07E0, 0x001F}, std::string("\xE0\x07\x00\xF8", 4), 3),
         {kGreen, kRed}},  // 5-6-5 bit fields
        {Dib2x1(24, {}, std::string("\x00\x00\xFF\xFF\x00\x00", 6) + pad2), {kRed, kBlue}},
        {Dib2x1(32, {}, std::string("\xFF\x00\x00\x00\x00\xFF\x00\x00", 8)), {kBlue, kGreen}},
    };
    WmfBuilder wmf;
    int band = 0;
    for (const auto& [dib, colours] : bitmaps) {
        wmf.AddRaw(0x0F43, Words({0x0020, 0x00CC, 0, 1, 2, 0, 0, 10, 100, band * 10, 0}) + dib);
        ++band;
    }
    const ImageBuffer image = Decode(wmf.Build(0, 0, 100, 100, kInch));
    band = 0;
    for (const auto& [dib, colours] : bitmaps) {
        EXPECT_EQ(At(image, 25, band * 10 + 5), colours.first) << "band " << band;
        EXPECT_EQ(At(image, 75, band * 10 + 5), colours.second) << "band " << band;
        ++band;
    }
}

TEST(WmfPlayer, SkipsUnknownRecordsAndStopsAtABrokenOne) {
    WmfBuilder wmf;
    wmf.NoOutline()
        .Add(0x7777, {1, 2, 3, 4, 5})                                                   // unknown
        .AddRaw(0x0626, Words({15, 4}) + "abcd")                                        // escape
        .AddRaw(0x0521, Words({5}) + "hello" + std::string(1, '\0') + Words({10, 10}))  // text
        .Add(0x02FB, {12, 0, 0, 0, 400})  // a font takes slot 1
        .Brush(kRedRef)                   // slot 2
        .Select(2)
        .Rectangle(10, 10, 60, 40);
    // A record claiming more words than the metafile holds ends the playing.
    wmf.AddRaw(0x041B, Words({90, 190, 50, 100}) + std::string(400, '\0'));
    std::string file = wmf.Build(0, 0, 200, 100, kInch);
    // Make the last record claim far more than is there, keeping the file size consistent.
    const size_t last = file.size() - 6 - 414;
    file[last] = '\xFF';
    file[last + 1] = '\x7F';
    const ImageBuffer image = Decode(file);
    EXPECT_EQ(At(image, 30, 30), kRed);
    EXPECT_EQ(At(image, 150, 70), kWhite);
}

TEST(WmfPlayer, PlaceableHeaderChecks) {
    WmfBuilder wmf;
    wmf.Rectangle(10, 10, 20, 20);
    const std::string good = wmf.Build(0, 0, 200, 100, kInch);
    std::string badKey = good;
    badKey[0] = 0x00;
    std::string badChecksum = good;
    badChecksum[20] ^= 1;
    struct Case {
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"", "corrupted WMF"},
        {badKey, "corrupted WMF"},
        {badChecksum, "corrupted WMF"},
        {wmf.Build(0, 0, 200, 100, 0), "corrupted WMF"},
        {wmf.Build(0, 0, 200, 100, 2541), "corrupted WMF"},
        {wmf.Build(0, 0, 200, 100, kInch, 3), "corrupted WMF"},
        {wmf.Build(0, 0, 200, 100, kInch, 1, 12), "corrupted WMF"},
        {good.substr(0, good.size() - 2), "corrupted WMF"},  // the header's size no longer fits
        {wmf.Build(0, 0, 0, 100, kInch), "empty WMF"},
        {wmf.Build(0, 0, 200, 0, kInch), "empty WMF"},
        {wmf.Build(100, 0, 50, 100, kInch), "empty WMF"},
        {wmf.Build(0, 0, 1, 1, 2540), "empty WMF"},  // less than a pixel
    };
    for (const Case& c : cases) {
        ImageBuffer image(kFormatWmf);
        EXPECT_FALSE(image.Decode(Bytes(c.bytes), kFormatWmf));
        EXPECT_EQ(image.LastError(), c.message);
    }
    // Units per inch scale the picture: 1440 twips per inch, 2 x 1 inches.
    ImageBuffer image(kFormatWmf);
    ASSERT_TRUE(image.Decode(Bytes(wmf.Build(0, 0, 2880, 1440, 1440)), kFormatWmf));
    EXPECT_EQ(image.Width(), 192);
    EXPECT_EQ(image.Height(), 96);
    // Type 2 (a metafile on disk) is as good as type 1.
    ASSERT_TRUE(image.Decode(Bytes(wmf.Build(0, 0, 200, 100, kInch, 2)), kFormatWmf));
}

TEST(WmfPlayer, LargeMetafilesAreShrunkToFourThousandPixelsInProportion) {
    struct Case {
        int width, height, expectedWidth, expectedHeight;
    };
    for (const Case& c : {Case{5000, 2000, 4000, 1600}, Case{2000, 5000, 1600, 4000},
                          Case{9000, 100, 4000, 44}, Case{30000, 1, 4000, 1}}) {
        WmfBuilder wmf;
        // The right half red (the rectangle reaches past the edges).
        wmf.NoOutline().Brush(kRedRef).Select(1).Rectangle(
            c.width / 2, 0, std::min(c.width + 100, 32767), 3 * c.height + 3);
        const ImageBuffer image = Decode(wmf.Build(0, 0, c.width, c.height, kInch));
        ASSERT_EQ(image.Width(), c.expectedWidth) << c.width;
        ASSERT_EQ(image.Height(), c.expectedHeight) << c.width;
        const int w = c.expectedWidth, h = c.expectedHeight;
        EXPECT_EQ(At(image, w / 2 - 2, h / 2), kWhite);
        EXPECT_EQ(At(image, w / 2 + 2, h / 2), kRed);
        EXPECT_EQ(At(image, w - 3, 0), kRed);
    }
}

TEST(WmfPlayer, DrawingStopsWhenTheWorkBudgetIsSpent) {
    // 1000 x 1000 pixels allow 64 pixels of work each and a fixed allowance: about 80 fills of
    // the whole picture. 200 red ones and a last green one: the green one is never reached.
    WmfBuilder wmf;
    wmf.NoOutline().Brush(kRedRef).Brush(kGreenRef).Select(1);
    for (int i = 0; i < 200; ++i) wmf.Rectangle(0, 0, 1001, 1001);
    wmf.Select(2).Rectangle(0, 0, 1001, 1001);
    const ImageBuffer image = Decode(wmf.Build(0, 0, 1000, 1000, kInch));
    EXPECT_EQ(At(image, 500, 500), kRed);
    // Below the budget everything is drawn.
    WmfBuilder few;
    few.NoOutline().Brush(kRedRef).Brush(kGreenRef).Select(1);
    for (int i = 0; i < 20; ++i) few.Rectangle(0, 0, 1001, 1001);
    few.Select(2).Rectangle(0, 0, 1001, 1001);
    EXPECT_EQ(At(Decode(few.Build(0, 0, 1000, 1000, kInch)), 500, 500), kGreen);
}

TEST(WmfPlayer, ShapesAreChargedBeforeTheyAreBuilt) {
    // Points alternating between the top and bottom edge: every row crosses every edge.
    auto zigzag = [](int points, int side) {
        WmfBuilder wmf;
        wmf.NoOutline().Brush(kRedRef).Brush(kGreenRef).Select(1);
        std::string p;
        PutLe16(p, static_cast<uint32_t>(points));
        for (int i = 0; i < points; ++i) {
            PutLe16(p, static_cast<uint32_t>(int64_t{i} * side / points));
            PutLe16(p, static_cast<uint32_t>(i % 2 == 0 ? 0 : side - 1));
        }
        wmf.AddRaw(0x0324, p);
        wmf.Select(2).Rectangle(0, 0, 20, 20);
        return Decode(wmf.Build(0, 0, side, side, kInch));
    };
    // 32767 points on the largest picture: far more crossings than the budget holds, so the
    // polygon is refused before a row is filled, and nothing after it is drawn.
    const ImageBuffer huge = zigzag(32767, 4000);
    for (int y : {0, 1000, 2000, 3999}) {
        for (int x = 2000; x < 2004; ++x) EXPECT_EQ(At(huge, x, y), kWhite) << x << "," << y;
    }
    EXPECT_EQ(At(huge, 5, 5), kWhite);
    // A few hundred points are drawn, and so is what follows.
    const ImageBuffer small = zigzag(400, 400);
    EXPECT_EQ(At(small, 2, 100), kRed);  // inside the first tooth
    EXPECT_EQ(At(small, 2, 395), kWhite);
    EXPECT_EQ(At(small, 5, 5), kGreen);
}

TEST(WmfPlayer, LongWidePenPathsDrawWithoutSeams) {
    // 600 points on a line under a 9-unit pen: several thousand edges of outline.
    WmfBuilder wmf;
    wmf.Pen(kBlueRef, 9).Select(0);
    std::string p;
    PutLe16(p, 600);
    for (int i = 0; i < 600; ++i) {
        PutLe16(p, static_cast<uint32_t>(10 + i));
        PutLe16(p, static_cast<uint32_t>(i < 300 ? 40 : 60));
    }
    wmf.AddRaw(0x0325, p);
    const ImageBuffer image = Decode(wmf.Build(0, 0, 640, 100, kInch));
    for (int x = 10; x < 608; ++x) {
        const int y = x < 310 ? 40 : 60;
        ASSERT_EQ(At(image, x, y - 4), kBlue) << x;
        ASSERT_EQ(At(image, x, y + 4), kBlue) << x;
        if (x > 300 && x < 320) continue;  // the step's own stroke
        ASSERT_EQ(At(image, x, y + 7), kWhite) << x;
        ASSERT_EQ(At(image, x, y - 7), kWhite) << x;
    }
    EXPECT_EQ(At(image, 309, 50), kBlue);  // the step between the two halves
}

TEST(WmfPlayer, NewObjectsTakeTheLowestFreeSlot) {
    WmfBuilder wmf;
    wmf.Pen(0, 0, 5)       // slot 0
        .Brush(kRedRef)    // 1
        .Brush(kGreenRef)  // 2
        .Brush(kBlueRef)   // 3
        .Add(0x01F0, {2})  // delete green
        .Add(0x01F0, {1})  // delete red
        .Brush(kBlueRef)   // 1
        .Brush(kRedRef)    // 2
        .Brush(kGreenRef)  // 4
        .Select(0)
        .Select(1)
        .Rectangle(0, 0, 21, 21)
        .Select(2)
        .Rectangle(20, 0, 41, 21)
        .Select(4)
        .Rectangle(40, 0, 61, 21);
    const ImageBuffer image = Decode(wmf.Build(0, 0, 60, 20, kInch));
    EXPECT_EQ(At(image, 10, 10), kBlue);
    EXPECT_EQ(At(image, 30, 10), kRed);
    EXPECT_EQ(At(image, 50, 10), kGreen);
}

TEST(WmfPlayer, CancelFlagStopsThePlaying) {
    WmfBuilder wmf;
    wmf.Rectangle(10, 10, 20, 20);
    ImageBuffer image(kFormatWmf);
    image.SetCancel(true);
    EXPECT_FALSE(image.Decode(Bytes(wmf.Build(0, 0, 200, 100, kInch)), kFormatWmf));
    EXPECT_EQ(image.LastError(), "Cancelled");
}

TEST(WmfPlayer, TruncatedWmfFailsCleanly) {
    WmfBuilder wmf;
    wmf.NoOutline().Brush(kRedRef).Select(1).Rectangle(10, 10, 60, 40).Ellipse(0, 0, 50, 50);
    EXPECT_TRUE(TruncationsFail(wmf.Build(0, 0, 200, 100, kInch), kFormatWmf, {"corrupted WMF"}));
}

// ---------------------------------------------------------------------------------------------
// Enhanced metafiles.

class EmfBuilder {
public:
    EmfBuilder& Add(uint32_t type, std::initializer_list<int32_t> values) {
        std::string body;
        for (int32_t v : values) PutLe32(body, static_cast<uint32_t>(v));
        return AddRaw(type, body);
    }
    EmfBuilder& AddRaw(uint32_t type, const std::string& body) {
        PutLe32(m_records, type);
        PutLe32(m_records, static_cast<uint32_t>(8 + body.size()));
        m_records += body;
        ++m_count;
        return *this;
    }
    EmfBuilder& Brush(int handle, uint32_t colour, int style = 0) {
        return Add(39, {handle, style, int32_t(colour), 0});
    }
    EmfBuilder& Select(uint32_t handle) { return Add(37, {int32_t(handle)}); }
    EmfBuilder& NoOutline() { return Select(0x80000008u); }
    EmfBuilder& Rectangle(int l, int t, int r, int b) { return Add(43, {l, t, r, b}); }

    /// Frame in hundredths of a millimetre; the reference device has 96 dots per inch.
    std::string Build(int32_t left, int32_t top, int32_t right, int32_t bottom) const {
        std::string records = m_records;
        for (uint32_t v : {14u, 20u, 0u, 16u, 20u}) PutLe32(records, v);  // end of file
        std::string h;
        PutLe32(h, 1);
        PutLe32(h, 88);
        for (int i = 0; i < 4; ++i) PutLe32(h, 0);  // bounds
        for (int32_t v : {left, top, right, bottom}) PutLe32(h, static_cast<uint32_t>(v));
        PutLe32(h, 0x464D4520);
        PutLe32(h, 0x10000);
        PutLe32(h, static_cast<uint32_t>(88 + records.size()));
        PutLe32(h, m_count + 2);
        PutLe16(h, 8);  // handles
        PutLe16(h, 0);
        PutLe32(h, 0);
        PutLe32(h, 0);
        PutLe32(h, 0);
        for (uint32_t v : {1920u, 960u, 508u, 254u}) PutLe32(h, v);  // pixels, millimetres
        return h + records;
    }
    /// The picture is width x height pixels at 96 dots per inch.
    std::string BuildPixels(int width, int height) const {
        return Build(0, 0, static_cast<int32_t>(std::ceil(width * 2540.0 / 96)),
                     static_cast<int32_t>(std::ceil(height * 2540.0 / 96)));
    }

private:
    std::string m_records;
    uint32_t m_count = 0;
};

std::string Points16(std::initializer_list<std::pair<int, int>> points) {
    std::string s;
    for (auto [x, y] : points) {
        PutLe16(s, static_cast<uint32_t>(x) & 0xFFFF);
        PutLe16(s, static_cast<uint32_t>(y) & 0xFFFF);
    }
    return s;
}

std::string Poly16(std::initializer_list<std::pair<int, int>> points) {
    std::string s(16, '\0');  // bounds
    PutLe32(s, static_cast<uint32_t>(points.size()));
    return s + Points16(points);
}

TEST(EmfPlayer, FillsShapesInTheirColours) {
    EmfBuilder emf;
    emf.NoOutline()
        .Brush(1, kRedRef)
        .Select(1)
        .Rectangle(10, 10, 60, 40)
        .Brush(2, kBlueRef)
        .Select(2)
        .Add(42, {100, 10, 180, 90})  // ellipse
        .Brush(3, kGreenRef)
        .Select(3)
        .AddRaw(86, Poly16({{10, 60}, {90, 60}, {50, 95}}))  // polygon
        .Select(0x80000004u)                                 // stock black brush
        .Add(44, {185, 5, 199, 60, 6, 6});                   // round rectangle
    const ImageBuffer image = Decode(emf.BuildPixels(200, 100));
    ASSERT_EQ(image.Width(), 200);
    ASSERT_EQ(image.Height(), 100);
    EXPECT_EQ(At(image, 30, 25), kRed);
    EXPECT_EQ(At(image, 11, 11), kRed);
    EXPECT_EQ(At(image, 8, 25), kWhite);
    EXPECT_EQ(At(image, 140, 50), kBlue);
    EXPECT_EQ(At(image, 102, 12), kWhite);
    EXPECT_EQ(At(image, 50, 70), kGreen);
    EXPECT_EQ(At(image, 15, 90), kWhite);
    EXPECT_EQ(At(image, 192, 30), kBlack);
    EXPECT_EQ(At(image, 185, 5), kWhite);  // the rounded corner
}

TEST(EmfPlayer, PolyPolygonsFollowTheFillMode) {
    std::string body(16, '\0');
    PutLe32(body, 2);
    PutLe32(body, 8);
    PutLe32(body, 4);
    PutLe32(body, 4);
    body +=
        Points16({{10, 10}, {90, 10}, {90, 90}, {10, 90}, {30, 30}, {70, 30}, {70, 70}, {30, 70}});
    for (int mode : {1, 2}) {
        EmfBuilder emf;
        emf.NoOutline().Brush(1, kRedRef).Select(1).Add(19, {mode}).AddRaw(91, body);
        const ImageBuffer image = Decode(emf.BuildPixels(100, 100));
        EXPECT_EQ(At(image, 20, 50), kRed);
        EXPECT_EQ(At(image, 50, 50), mode == 1 ? kWhite : kRed) << mode;
    }
}

TEST(EmfPlayer, MappingModesAndWorldTransform) {
    {
        // Anisotropic: a window of 1000 x 1000 onto a viewport of 200 x 100 pixels.
        EmfBuilder emf;
        emf.NoOutline().Brush(1, kRedRef).Select(1);
        emf.Add(17, {8}).Add(9, {1000, 1000}).Add(11, {200, 100});
        emf.Rectangle(500, 500, 1000, 1000);
        const ImageBuffer image = Decode(emf.BuildPixels(200, 100));
        EXPECT_EQ(At(image, 150, 75), kRed);
        EXPECT_EQ(At(image, 90, 75), kWhite);
        EXPECT_EQ(At(image, 150, 40), kWhite);
    }
    {
        // Tenths of a millimetre with y upwards: 10 mm square below the origin at the top.
        EmfBuilder emf;
        emf.NoOutline().Brush(1, kRedRef).Select(1).Add(17, {2});
        emf.Rectangle(0, 0, 100, -100);
        const ImageBuffer image = Decode(emf.BuildPixels(100, 100));
        EXPECT_EQ(At(image, 18, 18), kRed);  // 10 mm is about 38 pixels
        EXPECT_EQ(At(image, 36, 36), kRed);
        EXPECT_EQ(At(image, 40, 18), kWhite);
    }
    {
        // MM_ANISOTROPIC after tenths of a millimetre keeps their scale until extents are set;
        // MM_TEXT ignores them.
        EmfBuilder emf;
        emf.NoOutline().Brush(1, kRedRef).Select(1).Add(17, {2}).Add(17, {8});
        emf.Rectangle(0, 0, 100, -100);
        emf.Add(17, {1}).Add(9, {10, 10}).Add(11, {1000, 1000}).Rectangle(60, 60, 70, 70);
        const ImageBuffer image = Decode(emf.BuildPixels(100, 100));
        EXPECT_EQ(At(image, 36, 36), kRed);
        EXPECT_EQ(At(image, 40, 18), kWhite);
        EXPECT_EQ(At(image, 65, 65), kRed);
        EXPECT_EQ(At(image, 72, 65), kWhite);
    }
    {
        // A quarter turn: (x, y) -> (150 - y, x).
        EmfBuilder emf;
        emf.NoOutline().Brush(1, kRedRef).Select(1);
        std::string xform;
        for (float f : {0.0f, 1.0f, -1.0f, 0.0f, 150.0f, 0.0f}) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            PutLe32(xform, bits);
        }
        emf.AddRaw(35, xform).Rectangle(10, 10, 80, 30);
        const ImageBuffer image = Decode(emf.BuildPixels(200, 100));
        EXPECT_EQ(At(image, 130, 45), kRed);
        EXPECT_EQ(At(image, 45, 20), kWhite);
    }
}

TEST(EmfPlayer, BitmapsPathsAndClipping) {
    EmfBuilder emf;
    // StretchDIBits of the 2 x 2 bitmap onto the left half.
    {
        std::string body(16, '\0');
        const std::string dib = TinyDib();
        const uint32_t bmiOffset = 8 + 72;
        for (int32_t v : {0, 0, 0, 0, 2, 2}) PutLe32(body, static_cast<uint32_t>(v));
        PutLe32(body, bmiOffset);
        PutLe32(body, 40);
        PutLe32(body, bmiOffset + 40);
        PutLe32(body, 16);
        PutLe32(body, 0);
        PutLe32(body, 0x00CC0020);
        PutLe32(body, 100);
        PutLe32(body, 100);
        emf.AddRaw(81, body + dib);
    }
    // A filled path: a curve from (110, 90) over (110, 10) and (190, 10) to (190, 90), closed.
    emf.NoOutline().Brush(1, kGreenRef).Select(1);
    emf.Add(59, {}).Add(27, {110, 90});
    {
        std::string body(16, '\0');
        PutLe32(body, 3);
        emf.AddRaw(88, body + Points16({{110, 10}, {190, 10}, {190, 90}}));
    }
    emf.Add(61, {}).Add(60, {}).Add(62, {0, 0, 0, 0});
    // Clipped to the top 10 rows, a blue rectangle over everything; then no clip again.
    emf.Add(33, {}).Add(30, {0, 0, 200, 10}).Brush(2, kBlueRef).Select(2).Rectangle(0, 0, 201, 101);
    emf.Add(34, {-1}).Add(9999, {1, 2, 3});  // restore, then an unknown record
    const ImageBuffer image = Decode(emf.BuildPixels(200, 100));
    EXPECT_EQ(At(image, 25, 5), kBlue);  // clipped blue over the red quadrant's top
    EXPECT_EQ(At(image, 25, 25), kRed);
    EXPECT_EQ(At(image, 75, 40), kWhite);
    EXPECT_EQ(At(image, 25, 75), kBlue);
    EXPECT_EQ(At(image, 75, 75), kGreen);
    EXPECT_EQ(At(image, 150, 60), kGreen);  // inside the curve
    EXPECT_EQ(At(image, 112, 20), kWhite);  // outside the curve, inside its hull
    EXPECT_EQ(At(image, 150, 5), kBlue);
}

TEST(EmfPlayer, HeaderChecksAndSize) {
    EmfBuilder emf;
    emf.Rectangle(1, 1, 5, 5);
    const std::string good = emf.BuildPixels(200, 100);
    std::string badSignature = good;
    badSignature[40] = 'X';
    std::string shortHeader = good;
    shortHeader[4] = 40;
    struct Case {
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {badSignature, "corrupted WMF"},
        {shortHeader, "corrupted WMF"},
        {good.substr(0, good.size() - 1), "corrupted WMF"},  // fewer bytes than the header says
        {emf.Build(0, 0, 0, 1000), "empty WMF"},
        {emf.Build(0, 0, 1000, 10), "empty WMF"},  // less than a pixel high
    };
    for (const Case& c : cases) {
        ImageBuffer image(kFormatWmf);
        EXPECT_FALSE(image.Decode(Bytes(c.bytes), kFormatWmf));
        EXPECT_EQ(image.LastError(), c.message);
    }
    EXPECT_TRUE(TruncationsFail(good, kFormatWmf, {"corrupted WMF"}));

    // 5000 x 2000 dots become 4000 x 1600 pixels; the right half red stays the right half.
    EmfBuilder large;
    large.NoOutline().Brush(1, kRedRef).Select(1).Rectangle(2500, 0, 5001, 2001);
    const ImageBuffer image = Decode(large.BuildPixels(5000, 2000));
    ASSERT_EQ(image.Width(), 4000);
    ASSERT_EQ(image.Height(), 1600);
    EXPECT_EQ(At(image, 1997, 800), kWhite);
    EXPECT_EQ(At(image, 2003, 800), kRed);
    EXPECT_EQ(At(image, 3990, 1590), kRed);
}

}  // namespace
}  // namespace tavolin::test
