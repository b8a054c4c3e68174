#include <new>

#include "Animation.h"
#include "Picture.h"
#include "PictureBytes.h"

PixelSink::~PixelSink() = default;
PictureAnimation::~PictureAnimation() = default;

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
