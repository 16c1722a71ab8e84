#pragma once

#include <string_view>

namespace tavolin {

/// Format numbers as the pipeline chooses them from a file's extension.
enum ImageFormat : int {
    kFormatBmp = 0,
    kFormatGif = 1,
    kFormatJpeg = 2,
    kFormatPng = 3,
    kFormatIco = 4,
    kFormatTiff = 5,
    kFormatTga = 6,
    kFormatPcx = 7,
    kFormatWbmp = 8,
    kFormatWmf = 9,
};

constexpr bool IsKnownFormat(int format) { return format >= kFormatBmp && format <= kFormatWmf; }

/// The format for a file extension (without its dot; compared
/// case-insensitively): bmp, gif, jpg/jpeg, png, ico, tif/tiff, tga, wbmp, wmf/emf, pcx;
/// -1 for anything else.
int FormatFromExtension(std::string_view extension);

}  // namespace tavolin
