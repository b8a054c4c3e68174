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
    // Each step costs the whole canvas several times, instrumented: while fuzzing (the sink's
    // cap below the decoders'), canvases up to 64 Ki pixels are played; the replay plays all.
    const int64_t most = fuzz::gSinkMaxPixels < kMaxPicturePixels ? 64 * 1024 : kMaxPicturePixels;
    WebpAnimation animation;
    const char* withinCap = "an opened WebP has a canvas within the cap";
    fuzz::Play(animation, data, size, withinCap, most);
    fuzz::Play(animation, data, size / 2, withinCap, most);
    return still;
}
