#include "Webp.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

#include "PictureBytes.h"

namespace {

Refusal StatusRefusal(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OK: return Refusal::None;
    case VP8_STATUS_NOT_ENOUGH_DATA: return Refusal::Truncated;
    case VP8_STATUS_UNSUPPORTED_FEATURE: return Refusal::Unsupported;
    case VP8_STATUS_OUT_OF_MEMORY: return Refusal::NoMemory;
    default: return Refusal::Malformed;
    }
}

// The picture's size from its header, within the cap; an animation's is its canvas.
Refusal ReadFeatures(const uint8_t* data, size_t size, WebPBitstreamFeatures* features) {
    const Refusal header =
        StatusRefusal(data ? WebPGetFeatures(data, size, features) : VP8_STATUS_NOT_ENOUGH_DATA);
    return header != Refusal::None
               ? header
               : picture_bytes::PictureSizeRefusal(features->width, features->height);
}

// A canvas beyond the free size must be covered by its frames (kCanvasPerFramePixels). Every
// step of a pass costs the whole canvas (libwebp copies and blends it, the box blends it
// again), three times over for area no frame ever draws. Read from the frame headers alone,
// before the decoder allocates anything.
bool CanvasJustified(const uint8_t* data, size_t size, uint64_t canvasPixels) {
    if (canvasPixels <= picture_bytes::kFreeCanvasPixels) {
        return true;
    }
    WebPData webp = {data, size};
    WebPDemuxer* demux = WebPDemux(&webp);
    if (!demux) {
        return false;
    }
    const uint64_t needed = canvasPixels / picture_bytes::kCanvasPerFramePixels;
    uint64_t covered = 0;
    WebPIterator frame;
    if (WebPDemuxGetFrame(demux, 1, &frame)) {
        do {
            covered += static_cast<uint64_t>(frame.width) * static_cast<uint64_t>(frame.height);
        } while (covered < needed && WebPDemuxNextFrame(&frame));
        WebPDemuxReleaseIterator(&frame);
    }
    WebPDemuxDelete(demux);
    return covered >= needed;
}

}  // namespace

WebpAnimation::~WebpAnimation() {
    Close();
}

void WebpAnimation::Close() {
    if (decoder_) {
        WebPAnimDecoderDelete(decoder_);
        decoder_ = nullptr;
    }
    width_ = height_ = 0;
    frames_ = passes_ = 0;
    lastTimestamp_ = 0;
    canvas_ = nullptr;
}

Refusal WebpAnimation::Open(const uint8_t* data, size_t size) {
    Close();
    WebPBitstreamFeatures features;
    if (const Refusal header = ReadFeatures(data, size, &features); header != Refusal::None) {
        return header;
    }
    if (!features.has_animation) {
        return Refusal::Unsupported;  // a still picture: DecodeWebp's
    }
    if (!CanvasJustified(
            data, size,
            static_cast<uint64_t>(features.width) * static_cast<uint64_t>(features.height))) {
        return Refusal::TooLarge;
    }
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        return Refusal::Unsupported;  // a library of another interface version
    }
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    WebPData webp = {data, size};
    decoder_ = WebPAnimDecoderNew(&webp, &options);
    WebPAnimInfo info;
    if (!decoder_ || !WebPAnimDecoderGetInfo(decoder_, &info) || info.frame_count < 1 ||
        static_cast<int64_t>(info.canvas_width) != features.width ||
        static_cast<int64_t>(info.canvas_height) != features.height) {
        Close();
        return Refusal::Malformed;
    }
    width_ = features.width;
    height_ = features.height;
    frames_ = info.frame_count;
    return Refusal::None;
}

bool WebpAnimation::NextCanvas(int32_t* delayMs) {
    canvas_ = nullptr;
    if (!WebPAnimDecoderHasMoreFrames(decoder_)) {
        WebPAnimDecoderReset(decoder_);
        lastTimestamp_ = 0;
        ++passes_;
    }
    uint8_t* buffer = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder_, &buffer, &timestamp)) {
        // Start again at the next step rather than stall on the broken frame.
        WebPAnimDecoderReset(decoder_);
        lastTimestamp_ = 0;
        ++passes_;
        return false;
    }
    const int duration = timestamp - lastTimestamp_;
    lastTimestamp_ = timestamp;
    canvas_ = buffer;
    *delayMs = duration > 0 ? duration : kZeroDelayMs;
    return true;
}

bool WebpAnimation::Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) {
    if (!decoder_) {
        return false;
    }
    WebPAnimDecoderReset(decoder_);
    lastTimestamp_ = 0;
    passes_ = 0;
    if (!NextCanvas(delayMs)) {
        return false;
    }
    Recompose(screenBgra, backgroundBgra);
    return true;
}

PictureAnimation::Step WebpAnimation::Next(uint8_t* screenBgra, int32_t* delayMs) {
    if (!decoder_ || !NextCanvas(delayMs)) {
        *delayMs = kNoFrameWaitMs;
        return Step::NoFrame;
    }
    Recompose(screenBgra, background_);
    return Step::Frame;
}

void WebpAnimation::Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) {
    background_ = backgroundBgra;
    // A step that could not be decoded left the screen as it was and no canvas to blend.
    if (!canvas_ || !screenBgra) {
        return;
    }
    BlendOntoBackground(canvas_, screenBgra,
                        static_cast<size_t>(width_) * static_cast<size_t>(height_),
                        static_cast<uint8_t>(background_), static_cast<uint8_t>(background_ >> 8),
                        static_cast<uint8_t>(background_ >> 16));
}

Refusal WebpAnimation::DrawFirstFrame(uint8_t* out) {
    WebPAnimDecoderReset(decoder_);
    lastTimestamp_ = 0;
    int32_t delay = 0;
    if (!NextCanvas(&delay)) {
        return Refusal::Malformed;
    }
    std::memcpy(out, canvas_, static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    return Refusal::None;
}

Refusal DecodeWebpToFit(const uint8_t* data, size_t size, const DrawTarget& target, PixelSink& sink,
                        ImageInfo* info) {
    WebPBitstreamFeatures features;
    int64_t drawnW = 0;
    int64_t drawnH = 0;
    if (ReadFeatures(data, size, &features) != Refusal::None || features.has_animation ||
        !DrawnBelowHalf(target, features.width, features.height, &drawnW, &drawnH)) {
        return DecodeWebp(data, size, sink, info);
    }
    // libwebp resamples to any size, so the smallest size twice the drawn one is exactly that.
    const int64_t width = 2 * drawnW;
    const int64_t height = 2 * drawnH;
    uint8_t* out = picture_bytes::AllocatePicture(sink, width, height);
    WebPDecoderConfig config;
    if (!out) {
        return Refusal::NoMemory;
    }
    if (!WebPInitDecoderConfig(&config)) {
        return Refusal::Unsupported;  // a library of another interface version
    }
    config.options.use_scaling = 1;
    config.options.scaled_width = static_cast<int>(width);
    config.options.scaled_height = static_cast<int>(height);
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out;
    config.output.u.RGBA.stride = static_cast<int>(width * 4);
    config.output.u.RGBA.size = static_cast<size_t>(width * height * 4);
    const Refusal refusal = StatusRefusal(WebPDecode(data, size, &config));
    WebPFreeDecBuffer(&config.output);
    // The header's answer on alpha, as for the whole picture.
    picture_bytes::SetInfo(info, features.width, features.height, features.has_alpha);
    return refusal;
}

Refusal DecodeWebp(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    WebPBitstreamFeatures features;
    if (const Refusal header = ReadFeatures(data, size, &features); header != Refusal::None) {
        return header;
    }
    if (features.has_animation) {
        return WebpAnimation().FirstFrame(data, size, sink, info);
    }
    const int64_t width = features.width;
    const int64_t height = features.height;
    uint8_t* out = picture_bytes::AllocatePicture(sink, width, height);
    if (!out) {
        return Refusal::NoMemory;
    }
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (!WebPDecodeBGRAInto(data, size, out, static_cast<size_t>(pixels * 4),
                            static_cast<int>(width * 4))) {
        return Refusal::Malformed;
    }
    // Whether to blend is the header's answer (an ALPH chunk, or a lossless stream's alpha
    // hint), which encoders set exactly when some pixel is translucent: no pass over the
    // picture after libwebp's. A lossless stream codes alpha whatever its hint says; when the
    // hint says none, the picture is drawn opaque, as viewers show it, whatever its fourth bytes
    // hold.
    picture_bytes::SetInfo(info, width, height, features.has_alpha);
    return Refusal::None;
}
