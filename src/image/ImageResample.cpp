// Placeholder until resampling lands.
#include "image/ImageBuffer.h"

namespace tavolin {

bool ImageBuffer::Resample(int, int, bool) {
    SetLastError("Resample not built yet");
    return false;
}

}  // namespace tavolin
