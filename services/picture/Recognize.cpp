// Format recognition from the first bytes of the data. Only content counts: a JPEG saved as
// "picture.txt" is still a JPEG.
#include <cstring>

#include "AvifContainer.h"
#include "Picture.h"
#include "PictureBytes.h"

using picture_bytes::ReadLE16;

namespace {

// Recognition looks at exactly this many bytes; shorter data is not a picture.
constexpr size_t kRecognizeBytes = 8;

constexpr uint8_t kPcxManufacturer = 0x0A;
constexpr uint8_t kPcxRunLengthEncoding = 1;

}  // namespace

PictureKind RecognizePicture(const uint8_t* data, size_t size) {
    if (!data || size < kRecognizeBytes) {
        return PictureKind::None;
    }
    const uint8_t* p = data;
    if (p[0] == 'B' && p[1] == 'M') {
        return PictureKind::Bmp;
    }
    if (p[0] == 0xFF && p[1] == 0xD8) {
        return PictureKind::Jpeg;
    }
    if (p[0] == 0x89 && p[1] == 0x50 && p[2] == 0x4E && p[3] == 0x47) {
        return PictureKind::Png;
    }
    // A RIFF container whose form type is WEBP; the chunks are the decoder's affair.
    if (size >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WEBP", 4) == 0) {
        return PictureKind::Webp;
    }
    if (avif::IsAvif(data, size)) {
        return PictureKind::Avif;
    }
    // Icon and cursor directories: reserved word 0, type word 1 or 2, entry count >= 1.
    const uint16_t reserved = ReadLE16(p);
    const uint16_t type = ReadLE16(p + 2);
    const uint16_t count = ReadLE16(p + 4);
    if (reserved == 0 && type == 1 && count >= 1) {
        return PictureKind::Ico;
    }
    if (reserved == 0 && type == 2 && count >= 1) {
        return PictureKind::Cur;
    }
    if (p[0] == 'G' && p[1] == 'I' && p[2] == 'F' && p[3] == '8' && (p[4] == '7' || p[4] == '9') &&
        p[5] == 'a') {
        return PictureKind::Gif;
    }
    // PCX: manufacturer, version, encoding, bits per pixel.
    if (p[0] == kPcxManufacturer && p[2] == kPcxRunLengthEncoding) {
        if (p[1] <= 5 && p[3] == 8) {
            return PictureKind::Pcx8;
        }
        if (p[1] <= 5 && p[3] == 1) {
            return PictureKind::Pcx1;
        }
    }
    return PictureKind::None;
}
