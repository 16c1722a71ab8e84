// Decoding and resampling speed. Each decoder runs beside the library's own plain decode loop
// over the same bytes into freshly allocated memory (as any decode must), so the cost of our
// error handling, zeroed picture and row conversion shows as the ratio of the two. Figures are
// megapixels per second of the decoded (or resampled) picture.
//   build/x/bench/bench_image --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>
#include <png.h>
#include <tiffio.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "image/ImageBuffer.h"

using namespace tavolin;

namespace {

constexpr int kWidth = 2560;  // a typical photo-sized background picture
constexpr int kHeight = 1440;

/// Smooth gradients with a little texture, closer to a photo than noise or flat colour.
std::vector<uint8_t> PhotoLikeRgb(int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525 + 1013904223;
            const int grain = static_cast<int>(seed >> 29);
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>((x * 255 / width + grain) & 255);
            p[1] = static_cast<uint8_t>((y * 255 / height + grain) & 255);
            p[2] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.01 + y * 0.003));
        }
    }
    return rgb;
}

std::string EncodeJpeg(const std::vector<uint8_t>& rgb) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(&rgb[static_cast<size_t>(cinfo.next_scanline) * kWidth * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return out;
}

void AppendPng(png_structp png, png_bytep data, size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

std::string EncodePng(const std::vector<uint8_t>& rgb) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) return {};
    png_set_write_fn(png, &out, AppendPng, nullptr);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y) {
        png_write_row(png, &rgb[static_cast<size_t>(y) * kWidth * 3]);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

/// A growable in-memory file for libtiff, for writing and reading alike.
struct MemFile {
    std::vector<uint8_t> bytes;
    uint64_t pos = 0;
};
tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<MemFile*>(h);
    const uint64_t left = f->pos < f->bytes.size() ? f->bytes.size() - f->pos : 0;
    const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(n), left);
    std::memcpy(buf, f->bytes.data() + f->pos, count);
    f->pos += count;
    return static_cast<tmsize_t>(count);
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<MemFile*>(h);
    if (f->pos + n > f->bytes.size()) f->bytes.resize(f->pos + n);
    std::memcpy(f->bytes.data() + f->pos, buf, static_cast<size_t>(n));
    f->pos += n;
    return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemFile*>(h);
    f->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? f->pos + off : f->bytes.size() + off;
    return f->pos;
}
int MemClose(thandle_t) {
    return 0;
}
toff_t MemSize(thandle_t h) {
    return static_cast<MemFile*>(h)->bytes.size();
}
int MemMap(thandle_t h, void** base, toff_t* size) {
    auto* f = static_cast<MemFile*>(h);
    *base = f->bytes.data();
    *size = f->bytes.size();
    return 1;
}
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenMem(MemFile& f, const char* mode) {
    return TIFFClientOpen("bench", mode, &f, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                          MemUnmap);
}

std::string EncodeTiff(const std::vector<uint8_t>& rgb, int compression) {
    MemFile f;
    TIFF* tif = OpenMem(f, "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_LZW) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    for (int y = 0; y < kHeight; ++y) {
        TIFFWriteScanline(tif, const_cast<uint8_t*>(&rgb[static_cast<size_t>(y) * kWidth * 3]), y,
                          0);
    }
    TIFFClose(tif);
    return std::string(f.bytes.begin(), f.bytes.end());
}

struct Inputs {
    std::string jpeg, png, tiffLzw, tiffRaw;
    Inputs() {
        const auto rgb = PhotoLikeRgb(kWidth, kHeight);
        jpeg = EncodeJpeg(rgb);
        png = EncodePng(rgb);
        tiffLzw = EncodeTiff(rgb, COMPRESSION_LZW);
        tiffRaw = EncodeTiff(rgb, COMPRESSION_NONE);
    }
};
const Inputs& Files() {
    static const Inputs inputs;
    return inputs;
}

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void Report(benchmark::State& state, int64_t pixelsPerIteration) {
    state.SetItemsProcessed(state.iterations() * pixelsPerIteration);
    state.counters["MPixel/s"] = benchmark::Counter(static_cast<double>(pixelsPerIteration) / 1e6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// ----- decoding ------------------------------------------------------------------------------

void Decode(benchmark::State& state, const std::string& bytes, int format) {
    for (auto _ : state) {
        ImageBuffer image;
        if (!image.Decode(Bytes(bytes), format)) state.SkipWithError(image.LastError().c_str());
        benchmark::DoNotOptimize(image.Bits());
    }
    Report(state, int64_t{kWidth} * kHeight);
}

void BM_DecodeJpeg(benchmark::State& state) {
    Decode(state, Files().jpeg, kFormatJpeg);
}
void BM_DecodePng(benchmark::State& state) {
    Decode(state, Files().png, kFormatPng);
}
void BM_DecodeTiffLzw(benchmark::State& state) {
    Decode(state, Files().tiffLzw, kFormatTiff);
}
void BM_DecodeTiffRaw(benchmark::State& state) {
    Decode(state, Files().tiffRaw, kFormatTiff);
}

void BM_LibraryLoopJpeg(benchmark::State& state) {
    const std::string& bytes = Files().jpeg;
    for (auto _ : state) {
        const std::unique_ptr<uint8_t[]> out(new uint8_t[size_t{kWidth} * kHeight * 3]);
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[16];
            const int n = std::min<int>(16, cinfo.output_height - cinfo.output_scanline);
            for (int i = 0; i < n; ++i)
                rows[i] = out.get() + (cinfo.output_scanline + i) * size_t{kWidth} * 3;
            jpeg_read_scanlines(&cinfo, rows, n);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(out.get());
    }
    Report(state, int64_t{kWidth} * kHeight);
}

struct PngSource {
    const std::string* bytes;
    size_t pos;
};
void ReadPng(png_structp png, png_bytep out, size_t length) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    std::memcpy(out, src->bytes->data() + src->pos, length);
    src->pos += length;
}

void BM_LibraryLoopPng(benchmark::State& state) {
    const std::string& bytes = Files().png;
    for (auto _ : state) {
        const std::unique_ptr<uint8_t[]> out(new uint8_t[size_t{kWidth} * kHeight * 3]);
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        PngSource src{&bytes, 0};
        png_set_read_fn(png, &src, ReadPng);
        png_read_info(png, info);
        png_set_bgr(png);
        png_read_update_info(png, info);
        for (int y = 0; y < kHeight; ++y)
            png_read_row(png, out.get() + size_t{kWidth} * 3 * y, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(out.get());
    }
    Report(state, int64_t{kWidth} * kHeight);
}

void TiffLibraryLoop(benchmark::State& state, const std::string& bytes) {
    const size_t outSize = size_t{kWidth} * kHeight * 3;
    MemFile f;
    f.bytes.assign(bytes.begin(), bytes.end());
    for (auto _ : state) {
        const std::unique_ptr<uint8_t[]> out(new uint8_t[outSize]);
        f.pos = 0;
        TIFF* tif = OpenMem(f, "r");
        const uint32_t strips = TIFFNumberOfStrips(tif);
        const tmsize_t stripSize = TIFFStripSize(tif);
        for (uint32_t s = 0; s < strips; ++s) {
            const size_t offset = static_cast<size_t>(s) * stripSize;
            TIFFReadEncodedStrip(
                tif, s, out.get() + offset,
                std::min<tmsize_t>(stripSize, static_cast<tmsize_t>(outSize - offset)));
        }
        TIFFClose(tif);
        benchmark::DoNotOptimize(out.get());
    }
    Report(state, int64_t{kWidth} * kHeight);
}
void BM_LibraryLoopTiffLzw(benchmark::State& state) {
    TiffLibraryLoop(state, Files().tiffLzw);
}
void BM_LibraryLoopTiffRaw(benchmark::State& state) {
    TiffLibraryLoop(state, Files().tiffRaw);
}

BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryLoopJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryLoopPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTiffLzw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryLoopTiffLzw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTiffRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryLoopTiffRaw)->Unit(benchmark::kMillisecond);

// ----- resampling ----------------------------------------------------------------------------

ImageBuffer Source(int width, int height, int bpp) {
    ImageBuffer image;
    image.Create(width, height, bpp, kFormatBmp);
    uint32_t seed = 7;
    for (int i = 0; i < image.PaletteEntries(); ++i) {
        image.SetPaletteColor(i, {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 0, 0});
    }
    uint8_t* bits = image.Bits();
    for (size_t i = 0; i < image.ImageSize(); ++i) {
        seed = seed * 1664525 + 1013904223;
        bits[i] = static_cast<uint8_t>(seed >> 24);
    }
    return image;
}

/// Args: source width, source height, bits per pixel, target width, target height, fast.
void BM_Resample(benchmark::State& state) {
    const ImageBuffer source =
        Source(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
               static_cast<int>(state.range(2)));
    const int width = static_cast<int>(state.range(3));
    const int height = static_cast<int>(state.range(4));
    const bool fast = state.range(5) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        ImageBuffer image = source;
        state.ResumeTiming();
        if (!image.Resample(width, height, fast)) state.SkipWithError("Resample failed");
        benchmark::DoNotOptimize(image.Bits());
    }
    Report(state, int64_t{width} * height);
}

BENCHMARK(BM_Resample)
    ->ArgNames({"srcW", "srcH", "bpp", "w", "h", "fast"})
    ->Args({kWidth, kHeight, 24, 1920, 1080, 1})
    ->Args({kWidth, kHeight, 24, 3840, 2160, 1})
    ->Args({1920, 1080, 24, 3840, 2160, 1})
    ->Args({5184, 3456, 24, 3840, 2160, 1})
    ->Args({kWidth, kHeight, 8, 1920, 1080, 1})
    ->Args({kWidth, kHeight, 8, 3840, 2160, 1})
    ->Args({1, 1, 24, 3840, 2160, 1})
    ->Args({kWidth, kHeight, 24, 1920, 1080, 0})
    ->Args({kWidth, kHeight, 24, 3840, 2160, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
