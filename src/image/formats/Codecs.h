#pragma once
// The decoders and encoders behind ImageBuffer::Decode/Encode, one file per format. A decoder
// reads the whole file through the reader into the picture (1, 4, 8 or 24 bits) and returns
// false with the picture's last-error text set when the file is damaged.

#include <string>

#include "image/ByteReader.h"
#include "image/ImageBuffer.h"

namespace tavolin::codecs {

bool DecodeBmp(ByteReader& in, ImageBuffer& image);
bool DecodeGif(ByteReader& in, ImageBuffer& image);
bool DecodeJpeg(ByteReader& in, ImageBuffer& image);
bool DecodePng(ByteReader& in, ImageBuffer& image);
bool DecodeIco(ByteReader& in, ImageBuffer& image);
bool DecodeTiff(ByteReader& in, ImageBuffer& image);
bool DecodeTga(ByteReader& in, ImageBuffer& image);
bool DecodePcx(ByteReader& in, ImageBuffer& image);
bool DecodeWbmp(ByteReader& in, ImageBuffer& image);
bool DecodeWmf(ByteReader& in, ImageBuffer& image);

/// The 14-byte file header that turns the picture's block into a BMP file; false when the file
/// would be too large for the format.
bool BmpFileHeader(const ImageBuffer& image, uint8_t (&header)[14]);

/// Appends the BMP file of the picture, at its own depth, to out.
bool EncodeBmp(const ImageBuffer& image, std::string& out);

}  // namespace tavolin::codecs
