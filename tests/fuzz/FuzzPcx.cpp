// PCX, both kinds: the run-length decoder, the in-place palette expansion of 8-bit images and
// the promise that every pixel is written (the sink clears to alpha 0).
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "pcx";

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    return fuzz::Decoded(DecodePcx, data, size, fuzz::Alpha::Opaque, sink);
}
