#include "platform/linux/BmpToPng.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <vector>

#include "util/FileIO.h"

namespace tavolin {
namespace {

uint32_t Le32(const std::string& s, size_t o) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[o])) |
           static_cast<uint32_t>(static_cast<uint8_t>(s[o + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[o + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[o + 3])) << 24;
}

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
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M') {
        error = bmpPath.string() + " is not a bitmap";
        return false;
    }
    const uint32_t offset = Le32(bmp, 10);
    const auto width = static_cast<int32_t>(Le32(bmp, 18));
    const auto height = static_cast<int32_t>(Le32(bmp, 22));
    const uint32_t depth = static_cast<uint8_t>(bmp[28]) | static_cast<uint8_t>(bmp[29]) << 8;
    const uint32_t compression = Le32(bmp, 30);
    if (depth != 24 || compression != 0 || width <= 0 || height <= 0 || width > 32767 ||
        height > 32767) {
        error = bmpPath.string() + " is not an uncompressed 24-bit bitmap";
        return false;
    }
    const uint64_t stride = (uint64_t{3} * static_cast<uint64_t>(width) + 3) / 4 * 4;
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
