// TIFF through libtiff, first page only. libtiff is opened over the bytes in memory with our
// own client procedures and per-file error and warning handlers, so nothing is printed and no
// process-wide handler is touched (Qt's own TIFF plugin, say, keeps its own). Pictures of the
// common kinds (palette, grey, RGB and CMYK at 8 or 16 bits, with or without alpha, and
// JPEG-compressed YCbCr) are read row by row straight into the picture; everything else goes
// through libtiff's RGBA reader one tile or strip at a time. Working memory beyond the picture
// stays within a fifth of it (plus a little); a file that would need more is refused.

#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "image/formats/CodecSupport.h"
#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

int TiffError(TIFF*, void* userData, const char*, const char* format, va_list args) {
    // The first error names the cause; later ones are its consequences.
    auto* message = static_cast<std::string*>(userData);
    if (message->empty()) {
        char text[256];
        std::vsnprintf(text, sizeof text, format, args);
        *message = text;
    }
    return 1;  // handled: the process-wide handler stays out of it
}

int TiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

/// Working memory a decode may use beside the picture itself.
uint64_t WorkBudget(uint64_t width, uint64_t height) {
    return (uint64_t{16} << 20) + width * height * 3 / 5;
}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

struct MemoryFile {
    const uint8_t* data;
    uint64_t size;
    uint64_t pos;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t count) {
    auto* f = static_cast<MemoryFile*>(handle);
    if (count <= 0 || f->pos >= f->size) return 0;
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), f->size - f->pos);
    std::memcpy(buffer, f->data + f->pos, n);
    f->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = f->pos;
    else if (whence == SEEK_END)
        base = f->size;
    if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
    f->pos = base + offset;  // past the end is allowed; reads there return nothing
    return f->pos;
}

int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->size;
}

int MapProc(thandle_t handle, void** base, toff_t* size) {
    // Opened read-only, libtiff only reads through the mapping.
    auto* f = static_cast<MemoryFile*>(handle);
    *base = const_cast<uint8_t*>(f->data);
    *size = f->size;
    return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

bool Fail(ImageBuffer& image, const char* what, const std::string& detail) {
    image.SetLastError(detail.empty() ? std::string(what) : std::string(what) + ": " + detail);
    return false;
}

struct TiffInfo {
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1, planar = PLANARCONFIG_CONTIG;
    uint16_t photometric = 0, orientation = ORIENTATION_TOPLEFT, sampleFormat = SAMPLEFORMAT_UINT;
    bool hasPhotometric = false;
    uint16_t extraCount = 0;
    uint16_t firstExtra = EXTRASAMPLE_UNSPECIFIED;
};

/// libtiff's RGBA reader treats an unspecified extra sample after three colour samples as
/// premultiplied alpha; the same rule decides here whether the picture has an alpha plane.
bool HasAlphaSample(const TiffInfo& t) {
    if (t.extraCount == 0) return false;
    return t.firstExtra == EXTRASAMPLE_ASSOCALPHA || t.firstExtra == EXTRASAMPLE_UNASSALPHA ||
           (t.firstExtra == EXTRASAMPLE_UNSPECIFIED && t.samplesPerPixel > 3);
}

void TakeResolution(TIFF* tif, ImageBuffer& image) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
        return;
    const double factor = unit == RESUNIT_CENTIMETER ? 2.54 : unit == RESUNIT_INCH ? 1.0 : 0.0;
    const double dx = x * factor, dy = y * factor;
    if (std::isfinite(dx) && std::isfinite(dy) && dx >= 1 && dy >= 1 && dx < 1e6 && dy < 1e6) {
        image.SetDpi(static_cast<int>(std::lround(dx)), static_cast<int>(std::lround(dy)));
    }
}

/// How the strip reader turns one row of samples into the picture's row.
enum class Model {
    Index,  // grey or palette indices at 1, 4 or 8 bits, copied as they are
    Grey,   // grey samples (8 or 16 bits, optionally with alpha) to an 8-bit grey picture
    Rgb,    // red, green, blue (8 or 16 bits, optionally with alpha)
    Cmyk,   // ink amounts (8 or 16 bits, optionally with alpha)
};

struct StripPlan {
    Model model = Model::Index;
    int colours = 1;  // colour samples before the alpha sample
    bool alpha = false;
    bool premultiplied = false;
};

/// Where the file's first row and column lie. The rotated orientations are read like their
/// unrotated counterparts, as libtiff's RGBA reader does.
struct Orientation {
    bool bottomUp = false;
    bool rightToLeft = false;
};

Orientation OrientationOf(uint16_t orientation) {
    switch (orientation) {
        case ORIENTATION_TOPRIGHT:
        case ORIENTATION_RIGHTTOP:
            return {false, true};
        case ORIENTATION_BOTRIGHT:
        case ORIENTATION_RIGHTBOT:
            return {true, true};
        case ORIENTATION_BOTLEFT:
        case ORIENTATION_LEFTBOT:
            return {true, false};
        default:
            return {false, false};
    }
}

/// Stripped, contiguous pictures of the common kinds are read row by row; the rest (tiles,
/// separate planes, YCbCr without JPEG, Lab, odd depths) goes through the RGBA reader.
bool PlanRows(TIFF* tif, const TiffInfo& t, StripPlan& plan) {
    if (TIFFIsTiled(tif) || t.planar != PLANARCONFIG_CONTIG || !t.hasPhotometric ||
        t.sampleFormat != SAMPLEFORMAT_UINT) {
        return false;
    }
    const uint16_t bps = t.bitsPerSample;
    const bool wide = bps == 8 || bps == 16;
    auto withAlpha = [&](Model model, int colours) {
        plan.model = model;
        plan.colours = colours;
        if (t.samplesPerPixel == colours) return wide;
        plan.alpha = t.samplesPerPixel == colours + 1 && HasAlphaSample(t);
        plan.premultiplied = plan.alpha && t.firstExtra != EXTRASAMPLE_UNASSALPHA;
        return wide && plan.alpha;
    };
    switch (t.photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE:
            if (t.samplesPerPixel == 1 && (bps == 1 || bps == 4 || bps == 8)) {
                plan.model = Model::Index;
                return true;
            }
            return withAlpha(Model::Grey, 1);
        case PHOTOMETRIC_PALETTE:
            plan.model = Model::Index;
            return t.samplesPerPixel == 1 && (bps == 1 || bps == 4 || bps == 8);
        case PHOTOMETRIC_RGB:
            return withAlpha(Model::Rgb, 3);
        case PHOTOMETRIC_SEPARATED: {
            uint16_t inkSet = INKSET_CMYK;
            TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
            return inkSet == INKSET_CMYK && withAlpha(Model::Cmyk, 4);
        }
        case PHOTOMETRIC_YCBCR: {
            // The JPEG codec turns its YCbCr into RGB rows itself.
            uint16_t compression = COMPRESSION_NONE;
            TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
            if (compression != COMPRESSION_JPEG || bps != 8 || t.samplesPerPixel != 3) return false;
            if (!TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) return false;
            plan.model = Model::Rgb;
            plan.colours = 3;
            return true;
        }
        default:
            return false;
    }
}

/// One row of 8- or 16-bit samples (16-bit ones in native order, as libtiff hands them out).
void ConvertRow(const StripPlan& plan, int bits, int samplesPerPixel, const uint8_t* src, int width,
                uint8_t* dst, uint8_t* alpha) {
    auto sample = [&](size_t i) -> unsigned {
        if (bits == 8) return src[i];
        uint16_t v;
        std::memcpy(&v, src + 2 * i, 2);
        return (v * 255u + 32767u) / 65535u;
    };
    if (plan.model == Model::Rgb && bits == 8 && !plan.alpha) {
        // Red-green-blue to blue-green-red four bytes at a time: the byte swap turns RGBx into
        // xBGR, the shift drops x, and the fourth byte written is overwritten by the next pixel.
        int x = 0;
        if constexpr (std::endian::native == std::endian::little) {
            for (; x + 1 < width; ++x, src += 3, dst += 3) {
                uint32_t v;
                std::memcpy(&v, src, 4);
                v = __builtin_bswap32(v) >> 8;
                std::memcpy(dst, &v, 4);
            }
        }
        for (; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        const size_t base = static_cast<size_t>(x) * samplesPerPixel;
        const unsigned a = plan.alpha ? sample(base + plan.colours) : 255;
        if (alpha) alpha[x] = static_cast<uint8_t>(a);
        auto plain = [&](unsigned v) {
            return plan.premultiplied ? Unpremultiply(v, a) : static_cast<uint8_t>(v);
        };
        switch (plan.model) {
            case Model::Grey:
                dst[x] = plain(sample(base));
                break;
            case Model::Rgb:
                dst[3 * x] = plain(sample(base + 2));
                dst[3 * x + 1] = plain(sample(base + 1));
                dst[3 * x + 2] = plain(sample(base));
                break;
            default: {  // CMYK: each colour is what its ink and the black ink leave of white
                const unsigned white = 255 - sample(base + 3);
                dst[3 * x] = plain(Mul255(255 - sample(base + 2), white));
                dst[3 * x + 1] = plain(Mul255(255 - sample(base + 1), white));
                dst[3 * x + 2] = plain(Mul255(255 - sample(base), white));
                break;
            }
        }
    }
}

/// Turns a stored row round, for pictures whose columns run from the right.
void MirrorRow(ImageBuffer& image, int y) {
    const int width = image.Width();
    uint8_t* row = image.Row(y);
    if (image.BitsPerPixel() == 24) {
        for (int l = 0, r = width - 1; l < r; ++l, --r) {
            std::swap_ranges(row + 3 * static_cast<size_t>(l), row + 3 * static_cast<size_t>(l) + 3,
                             row + 3 * static_cast<size_t>(r));
        }
    } else {
        for (int l = 0, r = width - 1; l < r; ++l, --r) {
            const uint8_t left = image.GetPixelIndex(l, y);
            image.SetPixelIndex(l, y, image.GetPixelIndex(r, y));
            image.SetPixelIndex(r, y, left);
        }
    }
    if (image.HasAlpha()) std::reverse(image.AlphaRow(y), image.AlphaRow(y) + width);
}

bool ReadRows(TIFF* tif, const TiffInfo& t, const StripPlan& plan, ImageBuffer& image,
              std::string& message) {
    const int width = static_cast<int>(t.width);
    const int height = static_cast<int>(t.height);
    const Orientation orientation = OrientationOf(t.orientation);
    const int bits = t.photometric == PHOTOMETRIC_YCBCR ? 8 : t.bitsPerSample;
    const int samples = t.photometric == PHOTOMETRIC_YCBCR ? 3 : t.samplesPerPixel;
    const uint64_t scanline = TIFFScanlineSize64(tif);
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bits * samples + 7) / 8;
    if (scanline < rowBytes || scanline > WorkBudget(t.width, t.height)) {
        return Fail(image, "Corrupted TIFF file!", message);
    }
    const int depth = plan.model == Model::Index  ? t.bitsPerSample
                      : plan.model == Model::Grey ? 8
                                                  : 24;
    if (!image.Create(t.width, t.height, depth, image.Format())) return false;
    if (t.photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b) {
            return Fail(image, "Unable to allocate TIFF palette", message);
        }
        const int entries = 1 << t.bitsPerSample;
        // Some writers store 8-bit values in the 16-bit colour map.
        bool eightBit = true;
        for (int i = 0; i < entries && eightBit; ++i) {
            eightBit = r[i] < 256 && g[i] < 256 && b[i] < 256;
        }
        auto scale = [&](uint16_t v) {
            return static_cast<uint8_t>(eightBit ? v : (v * 255u + 32767u) / 65535u);
        };
        for (int i = 0; i < entries; ++i) {
            image.SetPaletteColor(i, {scale(b[i]), scale(g[i]), scale(r[i]), 0});
        }
    } else if (depth <= 8) {
        const int levels = 1 << depth;
        SetGreyPalette(image, levels);
        if (t.photometric == PHOTOMETRIC_MINISWHITE) {
            // White at zero: the palette turns round, the indices stay as stored.
            for (int i = 0; i < levels / 2; ++i) {
                const RgbQuad low = image.Palette()[i];
                image.SetPaletteColor(i, image.Palette()[levels - 1 - i]);
                image.SetPaletteColor(levels - 1 - i, low);
            }
        }
    }
    if (plan.alpha) image.AllocateAlpha(false);  // every row writes its alpha

    std::vector<uint8_t> line;
    try {
        line.resize(static_cast<size_t>(scanline));
    } catch (const std::bad_alloc&) {
        return Fail(image, "No space for raster buffer", "");
    }
    // Rows are read in file order, so each strip is decoded once, a row at a time.
    for (int row = 0; row < height; ++row) {
        if (image.Cancelled()) return Fail(image, "Cancelled", "");
        if (TIFFReadScanline(tif, line.data(), static_cast<uint32_t>(row), 0) < 0) {
            return Fail(image, "Corrupted TIFF file!", message);
        }
        image.SetProgress(static_cast<int>(100LL * row / height));
        const int y = orientation.bottomUp ? row : height - 1 - row;
        if (plan.model == Model::Index) {
            std::memcpy(image.Row(y), line.data(), static_cast<size_t>(rowBytes));
        } else {
            ConvertRow(plan, bits, samples, line.data(), width, image.Row(y),
                       plan.alpha ? image.AlphaRow(y) : nullptr);
        }
        if (orientation.rightToLeft) MirrorRow(image, y);
    }
    return true;
}

/// Everything else through libtiff's RGBA reader, one tile or strip at a time, each placed in
/// the picture as the file's orientation says.
bool ReadRgba(TIFF* tif, const TiffInfo& t, ImageBuffer& image, std::string& message) {
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tif, why)) {
        return Fail(image, "Corrupted TIFF file!", message.empty() ? std::string(why) : message);
    }
    // A region is a tile, or the rows of one strip (a part of a strip would be decoded from
    // the strip's start again for every part).
    uint32_t regionWidth = t.width, regionHeight = t.height;
    uint64_t decodedBytes = 0;  // libtiff's own buffer for one region's samples
    if (TIFFIsTiled(tif)) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &regionWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &regionHeight);
        decodedBytes = TIFFTileSize64(tif);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &regionHeight);
        decodedBytes = TIFFStripSize64(tif);
    }
    if (regionWidth == 0 || regionHeight == 0) return Fail(image, "Corrupted TIFF file!", message);
    regionWidth = std::min(regionWidth, t.width);
    regionHeight = std::min(regionHeight, t.height);
    const uint64_t rasterBytes = uint64_t{regionWidth} * regionHeight * 4;
    if (rasterBytes + decodedBytes > WorkBudget(t.width, t.height)) {
        return Fail(image, "No space for raster buffer",
                    "the file's strips or tiles are too large");
    }

    TIFFRGBAImage reader;
    if (!TIFFRGBAImageBegin(&reader, tif, 0, why)) {
        return Fail(image, "Corrupted TIFF file!", message.empty() ? std::string(why) : message);
    }
    struct ReaderEnd {
        TIFFRGBAImage* r;
        ~ReaderEnd() { TIFFRGBAImageEnd(r); }
    } end{&reader};
    // Asked for the file's own orientation, the reader hands out rows and columns in file
    // order; they are turned here, for the whole picture rather than within each region.
    reader.req_orientation = t.orientation;
    const Orientation orientation = OrientationOf(t.orientation);
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[rasterBytes / 4]);
    if (!raster) return Fail(image, "No space for raster buffer", "");

    if (!image.Create(t.width, t.height, 24, image.Format())) return false;
    const bool alpha = HasAlphaSample(t);
    if (alpha) image.AllocateAlpha(false);
    const int width = static_cast<int>(t.width);
    const int height = static_cast<int>(t.height);
    for (uint32_t top = 0; top < t.height; top += regionHeight) {
        if (image.Cancelled()) return Fail(image, "Cancelled", "");
        image.SetProgress(static_cast<int>(100ULL * top / t.height));
        const uint32_t rows = std::min(regionHeight, t.height - top);
        for (uint32_t left = 0; left < t.width; left += regionWidth) {
            const uint32_t columns = std::min(regionWidth, t.width - left);
            reader.row_offset = static_cast<int>(top);
            reader.col_offset = static_cast<int>(left);
            if (!TIFFRGBAImageGet(&reader, raster.get(), columns, rows)) {
                return Fail(image, "Corrupted TIFF file!", message);
            }
            for (uint32_t r = 0; r < rows; ++r) {
                const int fileRow = static_cast<int>(top + r);
                const int y = orientation.bottomUp ? fileRow : height - 1 - fileRow;
                const uint32_t* src = raster.get() + size_t{columns} * r;
                uint8_t* dst = image.Row(y);
                uint8_t* a = alpha ? image.AlphaRow(y) : nullptr;
                for (uint32_t c = 0; c < columns; ++c) {
                    const int fileColumn = static_cast<int>(left + c);
                    const int x = orientation.rightToLeft ? width - 1 - fileColumn : fileColumn;
                    const uint32_t p = src[c];
                    uint8_t* d = dst + 3 * static_cast<size_t>(x);
                    if (a) {
                        // The RGBA reader hands out premultiplied colour.
                        const uint32_t av = TIFFGetA(p);
                        a[x] = static_cast<uint8_t>(av);
                        d[0] = Unpremultiply(TIFFGetB(p), av);
                        d[1] = Unpremultiply(TIFFGetG(p), av);
                        d[2] = Unpremultiply(TIFFGetR(p), av);
                    } else {
                        d[0] = static_cast<uint8_t>(TIFFGetB(p));
                        d[1] = static_cast<uint8_t>(TIFFGetG(p));
                        d[2] = static_cast<uint8_t>(TIFFGetR(p));
                    }
                }
            }
        }
    }
    return true;
}

}  // namespace

bool DecodeTiff(ByteReader& in, ImageBuffer& image) {
    std::string message;
    const auto data = in.Take(in.Remaining());
    MemoryFile file{data.data(), data.size(), 0};
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) return Fail(image, "Error encountered while opening TIFF file", "");
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), TiffError, &message);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), TiffWarning, nullptr);
    // No single buffer of libtiff's needs more than the work budget of the largest picture.
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options.get(), static_cast<tmsize_t>(WorkBudget(kMaxImageDimension, kMaxImageDimension)));
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFClientOpenExt("TIFF", "r", &file, ReadProc, WriteProc,
                                                            SeekProc, CloseProc, SizeProc, MapProc,
                                                            UnmapProc, options.get()));
    if (!tif) return Fail(image, "Error encountered while opening TIFF file", message);

    TiffInfo t;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &t.width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &t.height)) {
        return Fail(image, "Corrupted TIFF file!", message);
    }
    if (!image.CheckSize(t.width, t.height)) return false;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &t.bitsPerSample);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &t.samplesPerPixel);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &t.planar);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &t.orientation);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &t.sampleFormat);
    t.hasPhotometric = TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &t.photometric) != 0;
    uint16_t* extras = nullptr;
    if (TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &t.extraCount, &extras) &&
        t.extraCount > 0 && extras) {
        t.firstExtra = extras[0];
    } else {
        t.extraCount = 0;
    }

    StripPlan plan;
    const bool ok = PlanRows(tif.get(), t, plan) ? ReadRows(tif.get(), t, plan, image, message)
                                                 : ReadRgba(tif.get(), t, image, message);
    if (ok) TakeResolution(tif.get(), image);
    return ok;
}

}  // namespace tavolin::codecs
