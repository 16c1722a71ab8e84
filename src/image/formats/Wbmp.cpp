// Placeholder until the WBMP codec lands; it refuses every file.
#include "image/formats/Codecs.h"

namespace tavolin::codecs {

bool DecodeWbmp(ByteReader&, ImageBuffer& image) {
    image.SetLastError("WBMP decoder not built yet");
    return false;
}

}  // namespace tavolin::codecs
