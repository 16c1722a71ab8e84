// Placeholder until the PNG codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodePng(ByteReader&, ImageBuffer& image) {
    image.SetLastError("PNG decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
