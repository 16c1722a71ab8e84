// Placeholder until the WMF codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeWmf(ByteReader&, ImageBuffer& image) {
    image.SetLastError("WMF decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
