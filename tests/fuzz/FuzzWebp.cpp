// WebP: the still picture (of an animation, its first frame), then the animation as the
// picture box plays it (Open, Start and a run of Next steps composing onto one screen), then
// the same object opened again on a shorter piece of the data, which must not reuse anything
// sized for the first picture.
#include "FuzzTarget.h"
#include "Webp.h"

const char kFuzzTargetName[] = "webp";

bool FuzzTargetSelects(PictureKind kind) {
    return kind == PictureKind::Webp;
}

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    // A still picture's hasAlpha is its header's answer (see DecodeWebp).
    const bool still = fuzz::Decoded(DecodeWebp, data, size, fuzz::Alpha::Header, sink);
    WebpAnimation animation;
    const char* withinCap = "an opened WebP has a canvas within the cap";
    fuzz::Play(animation, data, size, withinCap);
    fuzz::Play(animation, data, size / 2, withinCap);
    return still;
}
