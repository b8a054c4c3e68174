// JPEG: our glue around libjpeg (error jumps, scan limit, memory limit, row batches).
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "jpeg";

bool FuzzTargetSelects(PictureKind kind) {
    return kind == PictureKind::Jpeg;
}

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    ImageInfo info;
    if (!DecodeJpeg(data, size, sink, &info)) {
        return false;
    }
    fuzz::CheckDecoded(sink, info);
    fuzz::CheckOpaque(sink);
    return true;
}
