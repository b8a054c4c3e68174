// GIF: the still first frame, then the animation as the picture box plays it (Open, Start and
// a run of Next steps composing onto one screen), then the same object opened again on a
// shorter piece of the data, which must not reuse anything sized for the first picture.
#include <cstring>
#include <vector>

#include "FuzzTarget.h"
#include "Gif.h"

const char kFuzzTargetName[] = "gif";

bool FuzzTargetSelects(PictureKind kind) {
    return kind == PictureKind::Gif;
}

namespace {

// Enough steps to go round a small stream a few times, disposal and restart included.
constexpr int kSteps = 24;
constexpr uint32_t kBackground = 0xFF336699u;

// Returns whether the first frame was composed.
bool Play(GifAnimation& gif, const uint8_t* data, size_t size) {
    if (!gif.Open(data, size)) {
        return false;
    }
    const int64_t pixels = int64_t{gif.Width()} * gif.Height();
    fuzz::Require(gif.Width() >= 1 && gif.Height() >= 1 && pixels <= kMaxPicturePixels,
                  "an opened GIF has a screen within the cap");
    if (pixels > fuzz::gSinkMaxPixels) {
        return false;
    }
    // Exactly the screen's size, so a write past it is caught.
    std::vector<uint8_t> screen(static_cast<size_t>(pixels) * 4);
    int32_t delay = -1;
    if (!gif.Start(screen.data(), kBackground, &delay)) {
        return false;
    }
    fuzz::Require(delay > 0, "a frame stays a positive time");
    for (int i = 0; i < kSteps; ++i) {
        delay = -1;
        const GifAnimation::Step step = gif.Next(screen.data(), &delay);
        if (step == GifAnimation::Step::NoFrame) {
            fuzz::Require(delay == GifAnimation::kNoFrameWaitMs, "no frame: the short wait");
        } else {
            fuzz::Require(delay > 0, "a frame stays a positive time");
        }
    }
    // Opaque background and opaque palette colours: nothing may become translucent.
    for (size_t i = 0; i < screen.size(); i += 4) {
        if (screen[i + 3] != 255) {
            fuzz::Broken("the animation screen stays opaque");
        }
    }
    return true;
}

}  // namespace

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    ImageInfo info;
    const bool still = DecodeGifFirstFrame(data, size, sink, &info);
    if (still) {
        fuzz::CheckDecoded(sink, info);
        fuzz::CheckAlphaFlag(sink, info);
    }

    GifAnimation gif;
    const bool played = Play(gif, data, size);
    if (sink.Requests() == 1 && sink.Pixels()) {
        fuzz::Require(played == still, "the still frame and the animation agree on frame one");
    }
    Play(gif, data, size / 2);
    return still;
}
