// WebP: the still picture (of an animation, its first frame), then the animation as the
// picture box plays it (Open, Start and a run of Next steps composing onto one screen), then
// the same object opened again on a shorter piece of the data, which must not reuse anything
// sized for the first picture.
#include "FuzzTarget.h"
#include "Webp.h"

const char kFuzzTargetName[] = "webp";

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    const bool still = fuzz::Decoded(DecodeWebp, data, size, fuzz::Alpha::Header, sink);
    // Each step costs the whole canvas several times: fuzzing plays up to 64 Ki pixels.
    const int64_t most = fuzz::gSinkMaxPixels < kMaxPicturePixels ? 64 * 1024 : kMaxPicturePixels;
    WebpAnimation animation;
    const char* withinCap = "an opened WebP has a canvas within the cap";
    fuzz::Play(animation, data, size, withinCap, most);
    fuzz::Play(animation, data, size / 2, withinCap, most);
    return still;
}
