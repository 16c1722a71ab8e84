// Placeholder until the GIF codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeGif(ByteReader&, ImageBuffer& image) {
    image.SetLastError("GIF decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
