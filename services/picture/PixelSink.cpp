#include <new>

#include "Animation.h"
#include "Picture.h"
#include "PictureBytes.h"

PixelSink::~PixelSink() = default;
PictureAnimation::~PictureAnimation() = default;

Refusal FileAnimation::FirstFrame(const uint8_t* data, size_t size, PixelSink& sink,
                                  ImageInfo* info) {
    if (const Refusal open = Open(data, size); open != Refusal::None) return open;
    uint8_t* out = picture_bytes::AllocatePicture(sink, width_, height_);
    if (!out) return Refusal::NoMemory;
    if (const Refusal drawn = DrawFirstFrame(out); drawn != Refusal::None) return drawn;
    const uint64_t pixels = uint64_t(width_) * uint64_t(height_);
    picture_bytes::SetInfo(info, width_, height_, picture_bytes::AnyTranslucent(out, pixels));
    return Refusal::None;
}

uint8_t* HeapPixelSink::Allocate(int32_t width, int32_t height) {
    pixels_.reset();
    width_ = 0;
    height_ = 0;
    uint64_t pixels = 0;
    // The sink guards itself too: it may be called by code other than our decoders.
    if (!picture_bytes::PicturePixels(width, height, &pixels)) {
        return nullptr;
    }
    pixels_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(pixels * 4)]);
    if (pixels_) {
        width_ = width;
        height_ = height;
    }
    return pixels_.get();
}
