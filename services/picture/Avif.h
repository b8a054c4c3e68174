// AVIF through dav1d: still pictures (the primary item, with its alpha item) and image
// sequences. The boxes are read by AvifContainer.h; dav1d decodes the AV1 data, and the
// colour conversion is ours: 8-, 10- and 12-bit samples, 4:2:0, 4:2:2, 4:4:4 and monochrome,
// full or limited range, with the matrix the file declares (its `nclx` property, else the AV1
// sequence header; BT.601 where neither says). Chroma is upsampled bilinearly. Pixels are
// B, G, R, A with alpha kept, not premultiplied, as PNG's are: premultiplied colour is divided
// back. A still picture is cropped (`clap`), rotated (`irot`) and mirrored (`imir`), in that
// order, as browsers show it; a clean aperture that does not describe whole pixels inside the
// picture is ignored, as browsers do.
//
// AvifAnimation plays an image sequence (brand `avis`): every frame is a whole picture, shown
// for its sample's duration (0 ms stays kZeroDelayMs, as a GIF frame does); the repetition
// count is ignored, as WebP's loop count is. A frame that cannot be decoded ends the pass
// there: the next step starts again from the first frame. A sequence with alpha keeps its last
// frame unblended (the canvas, allocated when it is opened), so it can be recomposed on
// another background; an opaque one has nothing to recompose.
//
// Hostile data: the declared size (`ispe`, or the sample entry's) is checked against the pixel
// cap before dav1d is opened, dav1d refuses any frame larger than it (its frame-size limit),
// and a decoded picture of another size is refused. dav1d runs on the calling thread (one
// thread, one frame in flight). A sequence's samples each have bytes of their own in the file,
// so its frame count is bounded by the data, and each step decodes one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Animation.h"
#include "Picture.h"

class AvifAnimation final : public FileAnimation {
public:
    AvifAnimation();
    ~AvifAnimation() override;

    Refusal Open(const uint8_t* data, size_t size) override;
    bool Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) override;
    Step Next(uint8_t* screenBgra, int32_t* delayMs) override;
    void Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) override;

private:
    struct State;
    Refusal DrawFirstFrame(uint8_t* out) override;
    // Decodes the next frame into the screen, unblended; false when it cannot be decoded.
    bool NextFrame(uint8_t* bgra, int32_t* delayMs);

    std::unique_ptr<State> state_;
};
