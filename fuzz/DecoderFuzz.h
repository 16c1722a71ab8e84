#pragma once
// The one body of every picture-decoder harness: arbitrary bytes in a given format must never
// crash, hang or allocate without bound; every failure says why; a picture that decodes is
// well formed, readable to its last pixel, survives a BMP round trip and resamples. The
// decoders run at the production ceilings; only the checks after a decode are thinned out for
// large pictures, so the harness itself adds no second picture's worth of memory or time.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "image/ImageBuffer.h"

namespace tavolin::fuzz {

inline int FuzzDecoder(const uint8_t* data, size_t size, int format) {
    ImageBuffer image;
    if (!image.Decode(std::span<const uint8_t>(data, size), format)) {
        if (image.LastError().empty()) std::abort();
        return 0;
    }
    const int bpp = image.BitsPerPixel();
    if (image.Width() <= 0 || image.Height() <= 0 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)) {
        std::abort();
    }
    // Metafiles are played into 24-bit pictures of at most 4000 pixels either way.
    if (format == kFormatWmf && (bpp != 24 || image.Width() > 4000 || image.Height() > 4000))
        std::abort();
    if (image.Block().size() != 40 + 4 * size_t(image.PaletteEntries()) + image.ImageSize())
        std::abort();

    // Every pixel and alpha value is read, so a wrong size or stride shows under the sanitizers;
    // of a large picture the first, middle and last rows.
    const bool large = image.ImageSize() > (size_t{1} << 22);
    const int h = image.Height();
    unsigned sum = 0;
    auto readRow = [&](int y) {
        for (int x = 0; x < image.Width(); ++x)
            sum += image.GetPixelColor(x, y).red + image.GetAlpha(x, y);
    };
    if (large) {
        for (int y : {0, h / 2, h - 1}) readRow(y);
    } else {
        for (int y = 0; y < h; ++y) readRow(y);
    }
    if (sum == 0xFFFFFFFFu) std::abort();
    if (!large) {
        std::string bmp;
        if (!image.Encode(bmp, kFormatBmp)) std::abort();
        ImageBuffer back;
        if (!back.Decode(std::span(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()),
                         kFormatBmp) ||
            !std::equal(back.Block().begin(), back.Block().end(), image.Block().begin(),
                        image.Block().end())) {
            std::abort();
        }
    }
    if (!image.Resample(7, 5, true) || image.Width() != 7) std::abort();
    return 0;
}

}  // namespace tavolin::fuzz
