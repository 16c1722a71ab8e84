// Arbitrary bytes as a BMP picture; the checks are those of every decoder.
#include "DecoderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tavolin::fuzz::FuzzDecoder(data, size, tavolin::kFormatBmp);
}
