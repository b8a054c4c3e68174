// WebP through libwebp: still pictures (lossy, lossless, with or without alpha) and
// animations. Pixels are B, G, R, A with alpha kept, not premultiplied, as PNG's are: a still
// picture is blended onto the box's background when drawn, and an animation's frames are
// blended as they are composed.
//
// WebpAnimation plays an animated WebP through libwebp's animation decoder, which applies the
// format's own blending and disposal and gives whole canvases. A frame that stays 0 ms stays
// kZeroDelayMs, as a GIF frame does; the loop count is ignored, as GIF's is. A frame that cannot
// be decoded ends the pass there: the next step starts again from the first frame.
//
// Hostile data: the canvas is checked against the pixel cap before anything is allocated, and
// a canvas larger than 1024 x 1024 pixels (kFreeCanvasPixels) must be covered by its frames,
// all of them together at least a quarter of it, or the animation is refused: a header can
// declare a canvas of millions of pixels around a few tiny frames. libwebp then holds the
// canvas and the previous one (twice the picture).
#pragma once

#include <cstddef>
#include <cstdint>

#include "Animation.h"
#include "Picture.h"

struct WebPAnimDecoder;

class WebpAnimation final : public FileAnimation {
public:
    WebpAnimation() = default;
    ~WebpAnimation() override;

    Refusal Open(const uint8_t* data, size_t size) override;
    bool Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) override;
    Step Next(uint8_t* screenBgra, int32_t* delayMs) override;
    // Blends the frame's canvas, which libwebp keeps until the next step, onto the background.
    void Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) override;

private:
    // The first frame's canvas.
    Refusal DrawFirstFrame(uint8_t* out) override;
    void Close();
    // The next canvas (canvas_) and how long it stays; false when it cannot be decoded.
    bool NextCanvas(int32_t* delayMs);

    WebPAnimDecoder* decoder_ = nullptr;
    int lastTimestamp_ = 0;
    uint32_t background_ = 0;
    const uint8_t* canvas_ = nullptr;  // the last canvas given, libwebp's until the next step
};
