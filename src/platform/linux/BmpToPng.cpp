#include "platform/linux/BmpToPng.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <vector>

#include "image/ByteReader.h"
#include "image/formats/Dib.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

// libpng reports errors by longjmp; the message is kept for the caller.
void OnPngError(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message ? message : "libpng error";
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

bool ConvertBmpToPng(const std::filesystem::path& bmpPath, const std::filesystem::path& pngPath,
                     std::string& error) {
    std::string bmp;
    if (ReadWholeFile(bmpPath, bmp) != ReadStatus::Ok) {
        error = "cannot read " + bmpPath.string();
        return false;
    }
    // The headers through the program's one bitmap reader.
    ByteReader reader(std::span(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()));
    uint8_t fileHeader[codecs::kBmpFileHeaderSize];
    codecs::DibHeader header;
    if (bmp.size() < 54 || !reader.Read(fileHeader, sizeof fileHeader) ||
        (fileHeader[0] | fileHeader[1] << 8) != codecs::kBmpSignature ||
        !codecs::ReadDibHeader(reader, header)) {
        error = bmpPath.string() + " is not a bitmap";
        return false;
    }
    const uint32_t offset =
        static_cast<uint32_t>(fileHeader[10]) | static_cast<uint32_t>(fileHeader[11]) << 8 |
        static_cast<uint32_t>(fileHeader[12]) << 16 | static_cast<uint32_t>(fileHeader[13]) << 24;
    if (header.bitCount != 24 || header.compression != codecs::kBiRgb || header.width <= 0 ||
        header.height <= 0 || header.width > 32767 || header.height > 32767) {
        error = bmpPath.string() + " is not an uncompressed 24-bit bitmap";
        return false;
    }
    const auto width = static_cast<int32_t>(header.width);
    const auto height = static_cast<int32_t>(header.height);
    const uint64_t stride = codecs::DibStride(static_cast<uint64_t>(width), 24);
    if (offset > bmp.size() || stride * static_cast<uint64_t>(height) > bmp.size() - offset) {
        error = bmpPath.string() + " is cut short";
        return false;
    }

    std::string png;
    std::string pngError;
    png_structp writer =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngError, OnPngError, OnPngWarning);
    png_infop info = writer ? png_create_info_struct(writer) : nullptr;
    if (!info) {
        png_destroy_write_struct(&writer, nullptr);
        error = "cannot start libpng";
        return false;
    }
    std::vector<uint8_t> row(3 * static_cast<size_t>(width));
    if (setjmp(png_jmpbuf(writer))) {
        png_destroy_write_struct(&writer, &info);
        error = "PNG encoding failed: " + pngError;
        return false;
    }
    png_set_write_fn(writer, &png, AppendToString, FlushNothing);
    // Speed over size: the file only lives until the next wallpaper.
    png_set_compression_level(writer, 1);
    png_set_IHDR(writer, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer, info);
    for (int32_t y = 0; y < height; ++y) {
        // Bitmap rows are stored bottom-up in blue, green, red order.
        const char* in = bmp.data() + offset + stride * static_cast<uint64_t>(height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(in[3 * x + 2]);
            row[3 * x + 1] = static_cast<uint8_t>(in[3 * x + 1]);
            row[3 * x + 2] = static_cast<uint8_t>(in[3 * x]);
        }
        png_write_row(writer, row.data());
    }
    png_write_end(writer, nullptr);
    png_destroy_write_struct(&writer, &info);
    if (!AtomicWriteFile(pngPath, png, Durability::NoSync)) {
        error = "cannot write " + pngPath.string();
        return false;
    }
    return true;
}

}  // namespace tavolin
