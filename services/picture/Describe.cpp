// The picture box's value for a screen reader. Format names stay as the files call
// themselves; the words around them are Chinese like the rest of the window.
#include "Picture.h"

namespace {

const char kNoPicture[] = "\xCE\xDE\xCD\xBC\xC6\xAC";  // 无图片
const char kAnimated[] = "\xB6\xAF\xBB\xAD";           // 动画
const char kTimes[] = "\xA1\xC1";                      // ×

const char* FormatName(PictureKind kind) {
    switch (kind) {
    case PictureKind::Bmp: return "BMP";
    case PictureKind::Jpeg: return "JPEG";
    case PictureKind::Png: return "PNG";
    case PictureKind::Ico: return "ICO \xCD\xBC\xB1\xEA";  // ICO 图标
    case PictureKind::Cur: return "CUR \xB9\xE2\xB1\xEA";  // CUR 光标
    case PictureKind::Gif: return "GIF";
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: return "PCX";
    case PictureKind::Webp: return "WebP";
    case PictureKind::Avif: return "AVIF";
    case PictureKind::None: return nullptr;
    }
    return nullptr;
}

}  // namespace

std::string DescribePicture(PictureKind kind, int32_t width, int32_t height, bool animated) {
    const char* format = FormatName(kind);
    if (!format) return kNoPicture;
    std::string text = format;
    if (animated) text += std::string(" ") + kAnimated;
    text += " " + std::to_string(width) + " " + kTimes + " " + std::to_string(height);
    return text;
}
