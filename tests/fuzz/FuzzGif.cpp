// GIF: the still first frame, then the animation as the picture box plays it (Open, Start and
// a run of Next steps composing onto one screen), then the same object opened again on a
// shorter piece of the data, which must not reuse anything sized for the first picture.
#include "FuzzTarget.h"
#include "Gif.h"

const char kFuzzTargetName[] = "gif";

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    const bool still = fuzz::Decoded(DecodeGifFirstFrame, data, size, fuzz::Alpha::Flagged, sink);
    GifAnimation gif;
    const char* withinCap = "an opened GIF has a screen within the cap";
    const bool played = fuzz::Play(gif, data, size, withinCap);
    if (sink.Requests() == 1 && sink.Pixels()) {
        fuzz::Require(played == still, "the still frame and the animation agree on frame one");
    }
    fuzz::Play(gif, data, size / 2, withinCap);
    return still;
}
