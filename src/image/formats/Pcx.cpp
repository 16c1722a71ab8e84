// Placeholder until the PCX codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodePcx(ByteReader&, ImageBuffer& image) {
    image.SetLastError("PCX decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
