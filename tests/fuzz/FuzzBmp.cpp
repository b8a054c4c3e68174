// BMP: the whole decode, and the promise that the picture is opaque.
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "bmp";

bool FuzzTargetSelects(PictureKind kind) { return kind == PictureKind::Bmp; }

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    ImageInfo info;
    if (!DecodeBmp(data, size, sink, &info)) {
        return false;
    }
    fuzz::CheckDecoded(sink, info);
    fuzz::CheckOpaque(sink);
    fuzz::Require(!info.hasAlpha, "a BMP has no alpha");
    return true;
}
