// Placeholder until the JPEG codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeJpeg(ByteReader&, ImageBuffer& image) {
    image.SetLastError("JPEG decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
