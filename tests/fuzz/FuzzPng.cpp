// PNG: our glue around libpng's simplified reader, then the drawing-time blend the picture box
// applies to a picture with alpha.
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "png";

bool FuzzTargetSelects(PictureKind kind) {
    return kind == PictureKind::Png;
}

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    return fuzz::Decoded(DecodePng, data, size, fuzz::Alpha::Flagged, sink,
                         [&](const ImageInfo& info) {
                             if (info.hasAlpha) {
                                 BlendOntoBackground(sink.Pixels(), sink.Pixels(),
                                                     sink.PixelCount(), 0xF0, 0xF0, 0xF0);
                                 ImageInfo blended = info;
                                 blended.hasAlpha = false;
                                 fuzz::CheckAlphaFlag(sink, blended);
                             }
                         });
}
