#pragma once
// Small helpers shared by the library-backed decoders: grey palettes and alpha arithmetic.

#include <cstdint>

#include "image/ImageBuffer.h"

namespace tavolin::codecs {

/// Fills the first `levels` palette entries with evenly spaced greys from black to white.
inline void SetGreyPalette(ImageBuffer& image, int levels) {
    if (levels < 2) levels = 2;
    for (int i = 0; i < levels; ++i) {
        const auto v = static_cast<uint8_t>((i * 255 + (levels - 1) / 2) / (levels - 1));
        image.SetPaletteColor(i, {v, v, v, 0});
    }
}

/// a * b / 255, rounded, for 8-bit values.
inline uint8_t Mul255(unsigned a, unsigned b) {
    const unsigned t = a * b + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

/// A colour channel stored multiplied by its alpha, back to a plain value.
inline uint8_t Unpremultiply(uint32_t value, uint32_t alpha) {
    if (alpha == 0) return 0;
    if (alpha == 255) return static_cast<uint8_t>(value);
    const uint32_t v = (value * 255 + alpha / 2) / alpha;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

}  // namespace tavolin::codecs
