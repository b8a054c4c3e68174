// BMP: the whole decode, and the promise about alpha: only run-length pixels the stream skips
// and bit fields with an alpha mask make a pixel other than opaque, so a picture stored without
// compression is opaque everywhere (which also shows every pixel was written).
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "bmp";

// Fuzzed up to 64 Ki pixels (8 KiB of 1-bit rows), not a few RLE bytes' fresh 4 MiB picture;
// set before main, so the replay program still sets the real cap over it.
static const bool kSinkCapSet = (fuzz::gSinkMaxPixels = int64_t{64} * 1024, true);

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    return fuzz::Decoded(DecodeBmp, data, size, fuzz::Alpha::Flagged, sink, [&](const ImageInfo&) {
        // The compression field of a 40-byte or larger header; the 12-byte one has none.
        const uint32_t headerSize = uint32_t{data[14]} | uint32_t{data[15]} << 8 |
                                    uint32_t{data[16]} << 16 | uint32_t{data[17]} << 24;
        if (headerSize == 12 ||
            (data[30] == 0 && data[31] == 0 && data[32] == 0 && data[33] == 0)) {
            fuzz::CheckOpaque(sink);
        }
    });
}
