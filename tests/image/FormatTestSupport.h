#pragma once
// Shared pieces of the decoder tests: the fixture files under tests/data/images (written by
// netpbm and ImageMagick, see make-fixtures.sh there), their netpbm source pictures, and
// comparisons of a decoded picture with a reference picture.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ImageTestSupport.h"
#include "image/ImageBuffer.h"

namespace tavolin::test {

/// tests/data/images/<relative>.
std::filesystem::path ImageFixture(const std::string& relative);
/// The whole file; empty when it cannot be read.
std::string ReadFixtureBytes(const std::string& relative);

/// A netpbm source picture (P4, P5, P6 or P7 with RGB_ALPHA) as RGBA samples, top row first.
RgbImage ReadSource(const std::string& name);

/// ImageMagick's decode of one frame of a file as RGBA, turned upright by the file's own
/// orientation; false when ImageMagick is missing or cannot read the file.
bool MagickRead(const std::filesystem::path& path, RgbImage& out, int frame = 0);

/// Decodes the bytes as the format; the picture's last error explains a failure.
bool DecodeBytes(const std::string& bytes, int format, ImageBuffer& image);

/// Colour samples of the decoded picture against the reference; the first mismatch is named.
/// With opaqueOnly, pixels whose reference alpha is 0 are not compared.
::testing::AssertionResult SameColours(const ImageBuffer& image, const RgbImage& reference,
                                       int tolerance = 0, bool opaqueOnly = false);
/// The picture's alpha plane (255 without one) against the reference's fourth channel.
::testing::AssertionResult SameAlpha(const ImageBuffer& image, const RgbImage& reference);

/// Decodes every proper prefix of the file (every length from 0 to size - 1, in steps) and
/// expects each to fail with one of the given messages.
::testing::AssertionResult TruncationsFail(const std::string& bytes, int format,
                                           const std::vector<std::string>& messages,
                                           size_t step = 1);

}  // namespace tavolin::test
