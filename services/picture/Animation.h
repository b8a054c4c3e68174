// What the picture box's animation thread plays: an animated picture that composes its frames
// onto a caller-owned screen of its size (B, G, R, A bytes, top row first, stride width * 4),
// opaque on the box's background. The animation decides which frame comes next and how long it
// stays; the caller owns the thread, the waiting, the lock and the drawing. The GIF (Gif.h),
// APNG (Apng.h), WebP (Webp.h) and AVIF (Avif.h) animations play through it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Picture.h"

class PictureAnimation {
public:
    enum class Step { Frame, NoFrame };

    // The wait the caller makes after a step that yielded no frame before trying again.
    static constexpr int32_t kNoFrameWaitMs = 10;
    // A frame whose delay is 0 (or which has none) stays this long.
    static constexpr int32_t kZeroDelayMs = 50;

    PictureAnimation() = default;
    virtual ~PictureAnimation();
    PictureAnimation(const PictureAnimation&) = delete;
    PictureAnimation& operator=(const PictureAnimation&) = delete;

    // The screen's size; 0 until the animation has opened.
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // How many times the frames have started again from the first. A player can tell from it
    // where one pass through the frames ends and the next begins.
    uint32_t Passes() const { return passes_; }
    // A single frame: nothing to animate.
    virtual bool IsStill() const { return frames_ <= 1; }
    // Fills the screen with the background (0xAARRGGBB, stored as bytes B, G, R, A) and
    // composes the first frame; *delayMs receives how long it stays. False when the first frame
    // cannot be drawn.
    virtual bool Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) = 0;
    // Composes the next frame, going round to the first after the last. Frame: *delayMs is the
    // frame's delay. NoFrame: *delayMs is kNoFrameWaitMs. Each call does a bounded amount of
    // work.
    virtual Step Next(uint8_t* screenBgra, int32_t* delayMs) = 0;
    // Puts the frame on the screen on another background: what showed the old one shows this
    // one, and the next steps compose on it. A GIF tells its background from drawn pixels of the
    // same colour by alpha, so only a screen started on a background whose alpha is 0 can be
    // recomposed (the player starts its screens so); drawn pixels are opaque.
    virtual void Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) = 0;

protected:
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t passes_ = 0;
    uint32_t frames_ = 0;  // as many as are known
};

// An animation read from a file's bytes. Its first frame, unblended, is the still picture the
// box shows when animations are off.
class FileAnimation : public PictureAnimation {
public:
    // Why the data is not such an animation within the pixel cap, if it is not. The data is not
    // copied: it must stay alive and unchanged while this object is used.
    virtual Refusal Open(const uint8_t* data, size_t size) = 0;
    // Opens the data and puts its first frame into the sink.
    Refusal FirstFrame(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);

protected:
    // The opened animation's first frame, unblended, into `out` (Width() x Height()).
    virtual Refusal DrawFirstFrame(uint8_t* out) = 0;
};
