#pragma once
// The 8-bit colour arithmetic shared by the decoders and the generator.

#include <cstdint>

namespace tavolin {

/// v / 255 rounded to the nearest integer, for v up to 255 * 255.
inline uint8_t Div255(unsigned v) {
    const unsigned t = v + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

/// a * b / 255, rounded, for 8-bit values.
inline uint8_t Mul255(unsigned a, unsigned b) {
    return Div255(a * b);
}

/// A colour channel laid over another with an alpha of 0 (under shows) to 255 (over shows).
inline uint8_t Blend255(unsigned over, unsigned under, unsigned alpha) {
    return Div255(over * alpha + under * (255 - alpha));
}

/// A colour channel stored multiplied by its alpha, back to a plain value.
inline uint8_t Unpremultiply(uint32_t value, uint32_t alpha) {
    if (alpha == 0) return 0;
    if (alpha == 255) return static_cast<uint8_t>(value);
    const uint32_t v = (value * 255 + alpha / 2) / alpha;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

}  // namespace tavolin
