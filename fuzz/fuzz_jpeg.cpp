// Arbitrary bytes as a JPEG (through libjpeg) picture: decoding never crashes, hangs or allocates
// without bound; a picture that decodes is well formed, survives a BMP round trip unchanged and
// resamples.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "image/ImageBuffer.h"

using namespace tavolin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A small ceiling keeps every run fast; the size checks themselves are the same.
    static const bool limited = (ImageBuffer::SetPixelLimitForTesting(uint64_t{1} << 22), true);
    (void)limited;
    ImageBuffer image;
    if (!image.Decode(std::span<const uint8_t>(data, size), kFormatJpeg)) {
        if (image.LastError().empty()) std::abort();  // every failure says why
        return 0;
    }
    const int bpp = image.BitsPerPixel();
    if (image.Width() <= 0 || image.Height() <= 0 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)) {
        std::abort();
    }
    std::string bmp;
    if (!image.Encode(bmp, kFormatBmp)) std::abort();
    ImageBuffer back;
    if (!back.Decode(std::span(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()),
                     kFormatBmp) ||
        !std::equal(back.Block().begin(), back.Block().end(), image.Block().begin(),
                    image.Block().end())) {
        std::abort();
    }
    if (!image.Resample(7, 5, true) || image.Width() != 7) std::abort();
    return 0;
}
