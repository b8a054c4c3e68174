// AVIF: the still picture (of a sequence without a primary image, its first frame), then the
// sequence as the picture box plays it, then the same object opened again on a shorter piece
// of the data, which must not reuse anything sized for the first.
#include "Avif.h"
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "avif";

// AV1 codes a flat frame of millions of pixels in a few bytes, and decoding costs every pixel:
// fuzzed up to 64 Ki pixels. Set before main, so the replay program still sets the real cap.
static const bool kSinkCapSet = (fuzz::gSinkMaxPixels = int64_t{64} * 1024, true);

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    const bool still = fuzz::Decoded(DecodeAvif, data, size, fuzz::Alpha::Flagged, sink);
    AvifAnimation animation;
    const char* withinCap = "an opened AVIF sequence has frames within the cap";
    fuzz::Play(animation, data, size, withinCap);
    fuzz::Play(animation, data, size / 2, withinCap);
    return still;
}
