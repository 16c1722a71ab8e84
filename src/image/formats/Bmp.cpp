// Placeholder until the BMP codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeBmp(ByteReader&, ImageBuffer& image) {
    image.SetLastError("BMP decoder not built yet");
    return false;
}

bool EncodeBmp(const ImageBuffer& image, std::string&) {
    const_cast<ImageBuffer&>(image).SetLastError("BMP encoder not built yet");
    return false;
}
}  // namespace tavolin::codecs
