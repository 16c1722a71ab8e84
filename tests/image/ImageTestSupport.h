#pragma once
// Helpers for the image tests: little-endian byte builders, pixel comparison and ImageMagick as
// an independent decoder (tests that need it skip when it is not installed).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "image/ImageBuffer.h"

namespace tavolin::test {

inline void PutLe16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void PutLe32(std::string& s, uint32_t v) {
    PutLe16(s, v & 0xFFFF);
    PutLe16(s, v >> 16);
}

inline std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

/// A picture as 8-bit RGB(A) samples, top row first (the order of every image tool).
struct RgbImage {
    int width = 0;
    int height = 0;
    int channels = 3;  // 3 or 4
    std::vector<uint8_t> samples;

    const uint8_t* At(int x, int top) const {
        return samples.data() + (static_cast<size_t>(top) * width + x) * channels;
    }
};

/// The largest difference of any colour sample between the decoded picture and the reference
/// (reference rows top first); -1 when the sizes differ.
int MaxColourDifference(const ImageBuffer& image, const RgbImage& reference);

/// True when ImageMagick's convert can be run.
bool HaveImageMagick();
/// Runs a shell command; true when it exits with 0.
bool RunTool(const std::string& command);
/// ImageMagick's own decode of a file, as RGB (or RGBA with alpha = true).
bool MagickDecode(const std::filesystem::path& path, RgbImage& out, bool alpha = false);
/// The path quoted for the shell.
std::string Quote(const std::filesystem::path& path);

}  // namespace tavolin::test
