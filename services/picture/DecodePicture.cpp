#include "DecodePicture.h"

#include <utility>

#include "Apng.h"
#include "Avif.h"
#include "Gif.h"
#include "Webp.h"

const char* RefusalName(Refusal refusal) {
    switch (refusal) {
    case Refusal::None: return "None";
    case Refusal::Truncated: return "Truncated";
    case Refusal::Malformed: return "Malformed";
    case Refusal::Unsupported: return "Unsupported";
    case Refusal::TooLarge: return "TooLarge";
    case Refusal::NoMemory: return "NoMemory";
    }
    return "?";
}

namespace {

// The data's animation when it opens with more than one frame, else none; *open says why not.
template <typename Animation>
std::unique_ptr<PictureAnimation> Played(const uint8_t* data, size_t size, Refusal* open) {
    auto animation = std::make_unique<Animation>();
    *open = animation->Open(data, size);
    if (*open != Refusal::None || animation->IsStill()) return nullptr;
    return animation;
}

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, bool animate, PixelSink& sink,
                   DecodedPicture* out, const DrawTarget* target) {
    *out = DecodedPicture{};
    const PictureKind kind = RecognizePicture(data, size);
    ImageInfo& info = out->info;
    Refusal refusal = Refusal::Malformed;
    Refusal open = Refusal::None;
    switch (kind) {
    case PictureKind::Bmp: refusal = DecodeBmp(data, size, sink, &info); break;
    case PictureKind::Jpeg:
        refusal = target ? DecodeJpegToFit(data, size, *target, sink, &info)
                         : DecodeJpeg(data, size, sink, &info);
        break;
    case PictureKind::Png:
        // An animated PNG plays; its first frame is its still picture. A plain PNG, or one whose
        // animation is damaged, shows its default image, as browsers show it.
        if (animate) out->animation = Played<ApngAnimation>(data, size, &open);
        refusal = out->animation || DecodeApngFirstFrame(data, size, sink, &info) == Refusal::None
                      ? Refusal::None
                      : DecodePng(data, size, sink, &info);
        break;
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: refusal = DecodePcx(data, size, sink, &info); break;
    case PictureKind::Ico:
    case PictureKind::Cur:
        refusal = ChooseIconEntry(data, size, &out->icon);
        info.width = out->icon.width;
        info.height = out->icon.height;
        break;
    case PictureKind::Gif:
        if (animate) out->animation = Played<GifAnimation>(data, size, &open);
        // A GIF whose first frame cannot be had is no picture, still or not.
        if (open != Refusal::None) return false;
        refusal = out->animation ? Refusal::None : DecodeGifFirstFrame(data, size, sink, &info);
        break;
    case PictureKind::Webp:
        // The animation refuses a still WebP, which is decoded as a picture.
        if (animate) out->animation = Played<WebpAnimation>(data, size, &open);
        refusal = out->animation ? Refusal::None
                  : target       ? DecodeWebpToFit(data, size, *target, sink, &info)
                                 : DecodeWebp(data, size, sink, &info);
        break;
    case PictureKind::Avif:
        // A sequence of one frame is shown as a picture.
        if (animate) out->animation = Played<AvifAnimation>(data, size, &open);
        refusal = out->animation ? Refusal::None : DecodeAvif(data, size, sink, &info);
        break;
    case PictureKind::None: break;
    }
    if (refusal != Refusal::None) return false;
    if (out->animation) {
        info.width = out->animation->Width();
        info.height = out->animation->Height();
        info.hasAlpha = false;
    }
    out->kind = kind;
    return true;
}
