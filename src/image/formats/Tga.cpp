// Placeholder until the TGA codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeTga(ByteReader&, ImageBuffer& image) {
    image.SetLastError("TGA decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
