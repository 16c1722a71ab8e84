#pragma once
// Small helpers shared by the library-backed decoders: grey palettes (the alpha arithmetic is
// in image/PixelMath.h).

#include <cstdint>

#include "image/ImageBuffer.h"
#include "image/PixelMath.h"

namespace tavolin::codecs {

/// Fills the first `levels` palette entries with evenly spaced greys from black to white.
inline void SetGreyPalette(ImageBuffer& image, int levels) {
    if (levels < 2) levels = 2;
    for (int i = 0; i < levels; ++i) {
        const auto v = static_cast<uint8_t>((i * 255 + (levels - 1) / 2) / (levels - 1));
        image.SetPaletteColor(i, {v, v, v, 0});
    }
}

}  // namespace tavolin::codecs
