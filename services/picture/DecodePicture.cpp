#include "DecodePicture.h"

#include <utility>

#include "Apng.h"
#include "Gif.h"
#include "Webp.h"

bool DecodePicture(const uint8_t* data, size_t size, bool animate, PixelSink& sink,
                   DecodedPicture* out, const DrawTarget* target) {
    *out = DecodedPicture{};
    const PictureKind kind = RecognizePicture(data, size);
    ImageInfo& info = out->info;
    bool ok = false;
    switch (kind) {
    case PictureKind::Bmp: ok = DecodeBmp(data, size, sink, &info); break;
    case PictureKind::Jpeg:
        ok = target ? DecodeJpegToFit(data, size, *target, sink, &info)
                    : DecodeJpeg(data, size, sink, &info);
        break;
    case PictureKind::Png:
        // An animated PNG plays; its first frame is its still picture. A plain PNG, or one whose
        // animation is damaged, shows its default image, as browsers show it.
        if (animate) {
            auto apng = std::make_unique<ApngAnimation>();
            if (apng->Open(data, size) && !apng->IsStill()) out->animation = std::move(apng);
        }
        ok = out->animation != nullptr || DecodeApngFirstFrame(data, size, sink, &info) ||
             DecodePng(data, size, sink, &info);
        break;
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: ok = DecodePcx(data, size, sink, &info); break;
    case PictureKind::Ico:
    case PictureKind::Cur:
        ok = ChooseIconEntry(data, size, &out->icon);
        info.width = out->icon.width;
        info.height = out->icon.height;
        break;
    case PictureKind::Gif:
        if (animate) {
            // A GIF whose first frame cannot be had is no picture, still or not.
            auto gif = std::make_unique<GifAnimation>();
            if (!gif->Open(data, size)) return false;
            if (!gif->IsStill()) out->animation = std::move(gif);
        }
        ok = out->animation != nullptr || DecodeGifFirstFrame(data, size, sink, &info);
        break;
    case PictureKind::Webp:
        // The animation refuses a still WebP, which is decoded as a picture.
        if (animate) {
            auto webp = std::make_unique<WebpAnimation>();
            if (webp->Open(data, size) && !webp->IsStill()) out->animation = std::move(webp);
        }
        ok =
            out->animation != nullptr || (target ? DecodeWebpToFit(data, size, *target, sink, &info)
                                                 : DecodeWebp(data, size, sink, &info));
        break;
    case PictureKind::None: break;
    }
    if (!ok) return false;
    if (out->animation) {
        info.width = out->animation->Width();
        info.height = out->animation->Height();
        info.hasAlpha = false;
    }
    out->kind = kind;
    return true;
}
