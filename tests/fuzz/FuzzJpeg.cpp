// JPEG: our glue around libjpeg (error jumps, scan limit, memory limit, row batches), whole or
// at the size the picture box shows. One of the two per input, picked by the size's parity, so
// an input costs one decode: a progressive picture's coefficients are allocated per decode.
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "jpeg";

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    if (size % 2 == 0) return fuzz::Decoded(DecodeJpeg, data, size, fuzz::Alpha::Opaque, sink);
    // Stretched over the box's 98 x 98 client area: a reduced picture must still serve there.
    const DrawTarget box{1, 98, 98};
    ImageInfo info;
    if (DecodeJpegToFit(data, size, box, sink, &info) != Refusal::None) return false;
    fuzz::Require(sink.Requests() == 1 && sink.Pixels() != nullptr &&
                      DecodedSizeServes(box, info.width, info.height, sink.Width(), sink.Height()),
                  "a picture decoded to fit has its pixels, at a size that serves the box");
    fuzz::CheckOpaque(sink);
    return true;
}
