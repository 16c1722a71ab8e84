// Arbitrary bytes as a GIF file: decoding never crashes, hangs or allocates without
// bound; every failure says why, and a picture that decodes is well formed and readable to its
// last pixel.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "image/ImageBuffer.h"

using namespace tavolin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A small ceiling keeps every run fast; the size checks themselves are the same.
    static const bool limited = (ImageBuffer::SetPixelLimitForTesting(uint64_t{1} << 20), true);
    (void)limited;
    ImageBuffer image;
    if (!image.Decode(std::span<const uint8_t>(data, size), kFormatGif)) {
        if (image.LastError().empty()) std::abort();
        return 0;
    }
    const int bpp = image.BitsPerPixel();
    if (image.Width() <= 0 || image.Height() <= 0 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)) {
        std::abort();
    }
    if (image.Block().size() != 40 + 4 * size_t(image.PaletteEntries()) + image.ImageSize())
        std::abort();
    // Every pixel and alpha value is read, so a wrong size or stride shows under the sanitizers.
    unsigned sum = 0;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x)
            sum += image.GetPixelColor(x, y).red + image.GetAlpha(x, y);
    }
    std::string bmp;
    if (!image.Encode(bmp, kFormatBmp) || sum == 0xFFFFFFFFu) std::abort();
    return 0;
}
