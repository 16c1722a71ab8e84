// PNG through libpng. Our error function keeps the library's message and jumps back into the
// guarded part of the decoder (plain C state only); warnings are dropped. Palette pictures stay
// palette pictures (1, 4 or 8 bits), grey pictures get a grey palette, everything else becomes
// 24 bits; an alpha channel or a tRNS chunk becomes the picture's alpha plane. Bytes come from
// the reader, so a PNG inside another file (an icon entry) decodes from its sub-span.

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/formats/CodecSupport.h"
#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

struct PngJob {
    ByteReader* in = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::jmp_buf jump;
    char message[256] = {};
    std::vector<uint8_t> rows;  // rows in libpng's layout when they cannot go straight in
};

[[noreturn]] void ErrorFn(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message ? message : "PNG error");
    std::longjmp(job->jump, 1);
}

void WarningFn(png_structp, png_const_charp) {}

void ReadFn(png_structp png, png_bytep out, size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (!job->in->Read(out, length)) png_error(png, "Read Error");
}

/// How decoded rows reach the picture.
enum class Layout {
    Direct,     // libpng's row is the picture's row (palette/grey 1, 4, 8 bits; BGR)
    Crumbs,     // one palette or grey index per byte, packed into the 1- or 4-bit picture
    GreyAlpha,  // grey and alpha bytes: grey palette index plus alpha plane
    BgrAlpha,   // blue, green, red, alpha bytes
};

/// Bytes per pixel in libpng's row for a layout; 0 for packed rows.
int PixelBytes(Layout layout, int depth) {
    switch (layout) {
        case Layout::Direct:
            return depth == 24 ? 3 : depth == 8 ? 1 : 0;
        case Layout::Crumbs:
            return 1;
        case Layout::GreyAlpha:
            return 2;
        case Layout::BgrAlpha:
            return 4;
    }
    return 0;
}

/// Stores `count` decoded pixels of stored row y at columns first, first + step, ...; an
/// interlaced pass delivers every step-th pixel of its rows.
void StorePixels(ImageBuffer& image, Layout layout, const uint8_t* src, int count, int y, int first,
                 int step) {
    uint8_t* dst = image.Row(y);
    uint8_t* a =
        layout == Layout::GreyAlpha || layout == Layout::BgrAlpha ? image.AlphaRow(y) : nullptr;
    int x = first;
    switch (layout) {
        case Layout::Crumbs:
            for (int i = 0; i < count; ++i, x += step) image.SetPixelIndex(x, y, src[i]);
            break;
        case Layout::Direct:
            if (image.BitsPerPixel() == 24) {
                for (int i = 0; i < count; ++i, x += step, src += 3) {
                    std::memcpy(dst + 3 * static_cast<size_t>(x), src, 3);
                }
            } else {
                for (int i = 0; i < count; ++i, x += step) dst[x] = src[i];
            }
            break;
        case Layout::GreyAlpha:
            for (int i = 0; i < count; ++i, x += step, src += 2) {
                dst[x] = src[0];
                a[x] = src[1];
            }
            break;
        case Layout::BgrAlpha:
            for (int i = 0; i < count; ++i, x += step, src += 4) {
                std::memcpy(dst + 3 * static_cast<size_t>(x), src, 3);
                a[x] = src[3];
            }
            break;
    }
}

/// The libpng calls. Only trivially destructible locals live here; the job, owned by the
/// caller, holds everything that must survive a jump.
bool RunPng(PngJob& job, ImageBuffer& image) {
    if (setjmp(job.jump)) {
        image.SetLastError(job.message);
        return false;
    }
    png_structp png = job.png;
    png_infop info = job.info;
    png_set_read_fn(png, &job, ReadFn);
    png_set_user_limits(png, kMaxImageDimension, kMaxImageDimension);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (!image.CheckSize(width, height)) return false;
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    int depth = 24;
    Layout layout = Layout::Direct;
    // Interlaced passes deliver every few pixels of a row, which this decoder places itself
    // (libpng's own de-interlacing would need its whole picture in libpng's layout): such rows
    // come one pixel per byte.
    const bool interlaced = interlace != PNG_INTERLACE_NONE;
    if (bitDepth == 16) png_set_scale_16(png);
    switch (colorType) {
        case PNG_COLOR_TYPE_PALETTE:
            depth = bitDepth;
            if (bitDepth == 2 || (interlaced && bitDepth < 8)) {
                png_set_packing(png);
                layout = Layout::Crumbs;
            }
            break;
        case PNG_COLOR_TYPE_GRAY:
            if (hasTrns) {
                png_set_tRNS_to_alpha(png);  // also widens low depths to 8 bits
                depth = 8;
                layout = Layout::GreyAlpha;
            } else {
                depth = std::min(bitDepth, 8);
                if (bitDepth == 2 || (interlaced && bitDepth < 8)) {
                    png_set_packing(png);
                    layout = Layout::Crumbs;
                }
            }
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            depth = 8;
            layout = Layout::GreyAlpha;
            break;
        case PNG_COLOR_TYPE_RGB:
            png_set_bgr(png);
            if (hasTrns) {
                png_set_tRNS_to_alpha(png);
                layout = Layout::BgrAlpha;
            }
            break;
        default:  // RGB with alpha
            png_set_bgr(png);
            layout = Layout::BgrAlpha;
            break;
    }
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);

    if (!image.Create(width, height, depth, image.Format())) return false;
    const bool grey = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
    if (grey) SetGreyPalette(image, layout == Layout::GreyAlpha ? 256 : 1 << std::min(bitDepth, 8));
    // Every pixel's alpha arrives with the rows.
    if (layout == Layout::GreyAlpha || layout == Layout::BgrAlpha) image.AllocateAlpha(false);

    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) && palette) {
            for (int i = 0; i < std::min(count, 256); ++i) {
                image.SetPaletteColor(i, {palette[i].blue, palette[i].green, palette[i].red, 0});
            }
        }
    }
    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER && resX > 0 &&
        resY > 0 && resX < 10000000 && resY < 10000000) {
        image.SetDpi(static_cast<int>(std::lround(resX * 0.0254)),
                     static_cast<int>(std::lround(resY * 0.0254)));
    }

    const int h = static_cast<int>(height);
    const int w = static_cast<int>(width);
    if (!interlaced && layout == Layout::Direct) {
        if (rowBytes > image.Stride()) png_error(png, "Unexpected PNG row size");
        for (int top = 0; top < h; ++top) {
            if (image.Cancelled()) png_error(png, "Cancelled");
            image.SetProgress(static_cast<int>(100LL * top / h));
            png_read_row(png, image.Row(h - 1 - top), nullptr);
        }
    } else {
        if (PixelBytes(layout, depth) == 0) png_error(png, "Unexpected PNG row layout");
        job.rows.resize(rowBytes);
        // Adam7: the seven passes, each a sub-picture of every n-th row and column; passes
        // without pixels are skipped by libpng as well.
        static constexpr int kX0[7] = {0, 4, 0, 2, 0, 1, 0}, kDx[7] = {8, 8, 4, 4, 2, 2, 1};
        static constexpr int kY0[7] = {0, 0, 4, 0, 2, 0, 1}, kDy[7] = {8, 8, 8, 4, 4, 2, 2};
        const int passes = interlaced ? 7 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int x0 = interlaced ? kX0[pass] : 0, dx = interlaced ? kDx[pass] : 1;
            const int y0 = interlaced ? kY0[pass] : 0, dy = interlaced ? kDy[pass] : 1;
            if (x0 >= w || y0 >= h) continue;
            const int columns = (w - x0 + dx - 1) / dx;
            for (int top = y0; top < h; top += dy) {
                if (image.Cancelled()) png_error(png, "Cancelled");
                image.SetProgress(static_cast<int>((100LL * pass + 100LL * top / h) / passes));
                png_read_row(png, job.rows.data(), nullptr);
                StorePixels(image, layout, job.rows.data(), columns, h - 1 - top, x0, dx);
            }
        }
    }

    if (colorType == PNG_COLOR_TYPE_PALETTE && hasTrns) {
        png_bytep alpha = nullptr;
        int count = 0;
        png_get_tRNS(png, info, &alpha, &count, nullptr);
        uint8_t table[256];
        std::fill(std::begin(table), std::end(table), 255);
        for (int i = 0; i < std::min(count, 256); ++i) table[i] = alpha[i];
        if (std::any_of(std::begin(table), std::end(table), [](uint8_t a) { return a != 255; })) {
            image.AllocateAlpha();
            for (int y = 0; y < h; ++y) {
                uint8_t* a = image.AlphaRow(y);
                for (int x = 0; x < image.Width(); ++x) a[x] = table[image.GetPixelIndex(x, y)];
            }
            // A single fully transparent entry is also a transparent colour, as in GIF.
            const auto zeros = std::count(std::begin(table), std::end(table), uint8_t{0});
            const auto opaque = std::count(std::begin(table), std::end(table), uint8_t{255});
            if (zeros == 1 && opaque == 255) {
                image.SetTransparentIndex(static_cast<int>(
                    std::find(std::begin(table), std::end(table), uint8_t{0}) - std::begin(table)));
            }
        }
    }
    return true;
}

}  // namespace

bool DecodePng(ByteReader& in, ImageBuffer& image) {
    auto job = std::make_unique<PngJob>();
    job->in = &in;
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job.get(), ErrorFn, WarningFn);
    if (!job->png) {
        image.SetLastError("Failed to create PNG structure");
        return false;
    }
    job->info = png_create_info_struct(job->png);
    if (!job->info) {
        png_destroy_read_struct(&job->png, nullptr, nullptr);
        image.SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    bool ok = false;
    try {
        ok = RunPng(*job, image);
    } catch (const std::bad_alloc&) {
        image.SetLastError("Can't allocate memory");
        ok = false;
    }
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    return ok;
}

}  // namespace tavolin::codecs
