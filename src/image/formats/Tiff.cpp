// Placeholder until the TIFF codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeTiff(ByteReader&, ImageBuffer& image) {
    image.SetLastError("TIFF decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
