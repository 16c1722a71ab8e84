// Placeholder until the ICO codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeIco(ByteReader&, ImageBuffer& image) {
    image.SetLastError("ICO decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
