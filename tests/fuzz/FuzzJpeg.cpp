// JPEG: our glue around libjpeg (error jumps, scan limit, memory limit, row batches), whole and
// at the size the picture box shows.
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "jpeg";

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    const bool whole = fuzz::Decoded(DecodeJpeg, data, size, fuzz::Alpha::Opaque, sink);
    // Stretched over the box's 98 x 98 client area: a reduced picture must still serve there.
    const DrawTarget box{1, 98, 98};
    fuzz::Sink fitted;
    ImageInfo info;
    if (DecodeJpegToFit(data, size, box, fitted, &info) == Refusal::None) {
        fuzz::Require(
            fitted.Requests() == 1 && fitted.Pixels() != nullptr &&
                DecodedSizeServes(box, info.width, info.height, fitted.Width(), fitted.Height()),
            "a picture decoded to fit has its pixels, at a size that serves the box");
        fuzz::CheckOpaque(fitted);
    }
    return whole;
}
