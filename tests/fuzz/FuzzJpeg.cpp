// JPEG: our glue around libjpeg (error jumps, scan limit, memory limit, row batches).
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "jpeg";

bool FuzzTargetSelects(PictureKind kind) {
    return kind == PictureKind::Jpeg;
}

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    return fuzz::Decoded(DecodeJpeg, data, size, fuzz::Alpha::Opaque, sink);
}
