#include <cstring>
#include <new>
#include <vector>

#include "FuzzTarget.h"
#include "PictureBytes.h"

namespace fuzz {

int64_t gSinkMaxPixels = int64_t{1} * 1024 * 1024;

uint8_t* Sink::Allocate(int32_t width, int32_t height) {
    ++requests_;
    pixels_.reset();
    width_ = height_ = 0;
    Require(width >= 1 && height >= 1 && int64_t{width} * height <= kMaxPicturePixels,
            "the sink is asked only for sizes within the cap");
    const int64_t pixels = int64_t{width} * height;
    if (pixels > gSinkMaxPixels) {
        return nullptr;
    }
    const size_t bytes = static_cast<size_t>(pixels) * 4;
    pixels_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!pixels_) {
        return nullptr;
    }
    std::memset(pixels_.get(), 0, bytes);
    width_ = width;
    height_ = height;
    return pixels_.get();
}

void CheckDecoded(const Sink& sink, const ImageInfo& info) {
    Require(sink.Requests() == 1, "one request for the pixels");
    Require(sink.Pixels() != nullptr, "a decoded picture has pixels");
    Require(info.width == sink.Width() && info.height == sink.Height(),
            "the info gives the size the sink was asked for");
}

void CheckOpaque(const Sink& sink) {
    Require(!picture_bytes::AnyTranslucent(sink.Pixels(), sink.PixelCount()),
            "an opaque picture has alpha 255 in every pixel (one was never written?)");
}

void CheckAlphaFlag(const Sink& sink, const ImageInfo& info) {
    Require(picture_bytes::AnyTranslucent(sink.Pixels(), sink.PixelCount()) == info.hasAlpha,
            "hasAlpha is set exactly when a pixel is not opaque");
}

bool Decoded(Decoder decode, const uint8_t* data, size_t size, Alpha alpha, Sink& sink,
             const std::function<void(const ImageInfo&)>& more) {
    ImageInfo info;
    if (decode(data, size, sink, &info) != Refusal::None) {
        return false;
    }
    CheckDecoded(sink, info);
    if (alpha == Alpha::Opaque) {
        CheckOpaque(sink);
    } else if (alpha == Alpha::Flagged) {
        CheckAlphaFlag(sink, info);
    }
    if (more) {
        more(info);
    }
    return true;
}

bool Play(PictureAnimation& animation, bool opened, const char* withinCap, int64_t maxPixels) {
    if (!opened) {
        return false;
    }
    const int64_t pixels = int64_t{animation.Width()} * animation.Height();
    Require(animation.Width() >= 1 && animation.Height() >= 1 && pixels <= kMaxPicturePixels,
            withinCap);
    if (pixels > (maxPixels != 0 ? maxPixels : gSinkMaxPixels)) {
        return false;
    }
    std::vector<uint8_t> screen(static_cast<size_t>(pixels) * 4);
    int32_t delay = -1;
    if (!animation.Start(screen.data(), 0xFF336699u, &delay)) {
        return false;
    }
    Require(delay > 0, "a frame stays a positive time");
    // Enough steps to go round a small animation a few times, disposal and restart included.
    for (int i = 0; i < 24; ++i) {
        delay = -1;
        const PictureAnimation::Step step = animation.Next(screen.data(), &delay);
        Require(step == PictureAnimation::Step::Frame ? delay > 0
                                                      : delay == PictureAnimation::kNoFrameWaitMs,
                "a frame stays a positive time; no frame, the short wait");
    }
    for (size_t i = 0; i < screen.size(); i += 4) {
        if (screen[i + 3] != 255) {
            Broken("the animation screen stays opaque");
        }
    }
    return true;
}

}  // namespace fuzz
