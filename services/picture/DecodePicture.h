// One entry for the picture box: recognise the format, pick its decoder, and give either a
// still picture (pixels in the caller's sink), an animation to play, or an icon's image for the
// platform's icon functions. The window layer only makes bitmaps and draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Animation.h"
#include "Picture.h"

struct DecodedPicture {
    PictureKind kind = PictureKind::None;
    // The natural size; `hasAlpha` only for a still picture.
    ImageInfo info;
    // Set when the picture plays: an animated GIF, PNG, WebP or AVIF with animation on. Its
    // first frame is not composed yet (PictureAnimation::Start), and it reads the data, which
    // must outlive it.
    std::unique_ptr<PictureAnimation> animation;
    // ICO and CUR: the image to hand to the platform's icon functions; nothing is in the sink.
    IconEntryChoice icon;
};

// True and the picture in `out`: a still picture's pixels are in `sink`. False for data that
// is no picture the box shows (nothing of `out` is meaningful then). `animate` off gives an
// animation's first frame as a still picture, as its logical screen size. With a `target`, a
// JPEG or still WebP drawn far below its size comes smaller (DecodeJpegToFit): the sink then
// holds fewer pixels than `out->info`'s natural size. A sink may be asked twice: for an
// animated PNG's first frame that libpng rejects, then for its default image.
bool DecodePicture(const uint8_t* data, size_t size, bool animate, PixelSink& sink,
                   DecodedPicture* out, const DrawTarget* target = nullptr);
