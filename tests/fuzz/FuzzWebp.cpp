// WebP: the still picture (of an animation, its first frame), then the animation as the
// picture box plays it (Open, Start and a run of Next steps composing onto one screen), then
// the same object opened again on a shorter piece of the data, which must not reuse anything
// sized for the first picture.
#include <vector>

#include "FuzzTarget.h"
#include "Webp.h"

const char kFuzzTargetName[] = "webp";

bool FuzzTargetSelects(PictureKind kind) {
    return kind == PictureKind::Webp;
}

namespace {

// Enough steps to go round a small animation a few times.
constexpr int kSteps = 24;
constexpr uint32_t kBackground = 0xFF336699u;

void Play(WebpAnimation& animation, const uint8_t* data, size_t size) {
    if (!animation.Open(data, size)) {
        return;
    }
    const int64_t pixels = int64_t{animation.Width()} * animation.Height();
    fuzz::Require(animation.Width() >= 1 && animation.Height() >= 1 && pixels <= kMaxPicturePixels,
                  "an opened WebP has a canvas within the cap");
    if (pixels > fuzz::gSinkMaxPixels) {
        return;
    }
    // Exactly the screen's size, so a write past it is caught.
    std::vector<uint8_t> screen(static_cast<size_t>(pixels) * 4);
    int32_t delay = -1;
    if (!animation.Start(screen.data(), kBackground, &delay)) {
        return;
    }
    fuzz::Require(delay > 0, "a frame stays a positive time");
    for (int i = 0; i < kSteps; ++i) {
        delay = -1;
        const PictureAnimation::Step step = animation.Next(screen.data(), &delay);
        fuzz::Require(step == PictureAnimation::Step::Frame
                          ? delay > 0
                          : delay == PictureAnimation::kNoFrameWaitMs,
                      "a frame stays a positive time; no frame, the short wait");
    }
    // Frames are blended onto an opaque background: nothing may stay translucent.
    for (size_t i = 0; i < screen.size(); i += 4) {
        if (screen[i + 3] != 255) {
            fuzz::Broken("the animation screen stays opaque");
        }
    }
}

}  // namespace

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    ImageInfo info;
    const bool still = DecodeWebp(data, size, sink, &info);
    if (still) {
        fuzz::CheckDecoded(sink, info);
        fuzz::CheckAlphaFlag(sink, info);
    }
    WebpAnimation animation;
    Play(animation, data, size);
    Play(animation, data, size / 2);
    return still;
}
