// Icon and cursor files: choosing the directory entry the picture box shows, and checking its
// image before the window layer hands it to the platform's icon functions, which trust the
// image's own header and read past the entry when that header claims more than the entry holds.
//
//   header (6 bytes): +0 reserved 0, +2 type (1 icon, 2 cursor), +4 entry count
//   entry (16 bytes each, from byte 6):
//     +0 width byte   +1 height byte   +2 colour count   +3 reserved
//     +4 planes or hot-spot x          +6 bit count or hot-spot y
//     +8 image size (32-bit)           +12 image offset (32-bit)
//
// An image is either a bitmap (40-byte header, colour table, colour rows, 1-bit mask rows,
// both with rows padded to 4 bytes and half the header's height each) or a PNG stream.
#include "Picture.h"
#include "PictureBytes.h"

using namespace picture_bytes;  // the library's byte reads and size checks

namespace {

constexpr size_t kHeaderBytes = 6;
constexpr uint64_t kEntryBytes = 16;
constexpr uint8_t kPreferredWidth = 32;
constexpr uint8_t kPreferredMinColours = 16;
constexpr uint32_t kBitmapHeaderBytes = 40;
// The directory stores sizes in one byte (0 meaning 256); nothing larger is an icon.
constexpr int32_t kMaxIconSide = 256;
constexpr uint32_t kMaxTableColours = 256;
// Signature, then the IHDR chunk's length, type, width and height.
constexpr size_t kPngHeadBytes = 24;

bool IsPngImage(const uint8_t* image, uint32_t size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size < sizeof kSignature) {
        return false;
    }
    for (size_t i = 0; i < sizeof kSignature; ++i) {
        if (image[i] != kSignature[i]) {
            return false;
        }
    }
    return true;
}

Refusal CheckPngImage(const uint8_t* image, uint32_t size, IconEntryChoice* choice) {
    if (size < kPngHeadBytes) {
        return Refusal::Truncated;
    }
    const uint32_t width = ReadBE32(image + 16);
    const uint32_t height = ReadBE32(image + 20);
    if (image[12] != 'I' || image[13] != 'H' || image[14] != 'D' || image[15] != 'R' || width < 1 ||
        height < 1 || width > kMaxIconSide || height > kMaxIconSide) {
        return Refusal::Malformed;
    }
    choice->width = static_cast<int32_t>(width);
    choice->height = static_cast<int32_t>(height);
    choice->bitCount = 0;
    choice->isPng = true;
    return Refusal::None;
}

// The bitmap header must describe exactly what fits in the entry: 40 bytes, no compression,
// a known bit count, width 1..256, an even height of 2..512 (colour rows plus mask rows), at
// most 256 table colours, and header + table + colour rows + mask rows <= the entry's size.
Refusal CheckBitmapImage(const uint8_t* image, uint32_t size, IconEntryChoice* choice) {
    if (size < kBitmapHeaderBytes) {
        return Refusal::Truncated;
    }
    if (ReadLE32(image) != kBitmapHeaderBytes) {
        return Refusal::Unsupported;
    }
    const int32_t width = ReadLE32Signed(image + 4);
    const int32_t doubleHeight = ReadLE32Signed(image + 8);
    const uint16_t bits = ReadLE16(image + 14);
    const uint32_t compression = ReadLE32(image + 16);
    const uint32_t coloursUsed = ReadLE32(image + 32);
    if (width < 1 || width > kMaxIconSide || doubleHeight < 2 || doubleHeight > 2 * kMaxIconSide ||
        doubleHeight % 2 != 0 || coloursUsed > kMaxTableColours) {
        return Refusal::Malformed;
    }
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        compression != 0) {
        return Refusal::Unsupported;
    }
    const uint64_t colours = coloursUsed != 0 ? coloursUsed : bits <= 8 ? (uint64_t{1} << bits) : 0;
    const uint64_t rows = static_cast<uint64_t>(doubleHeight) / 2;
    const uint64_t w = static_cast<uint64_t>(width);
    const uint64_t needed = kBitmapHeaderBytes + colours * 4 + PaddedRowBytes(w, bits) * rows +
                            PaddedRowBytes(w, 1) * rows;
    if (needed > size) {
        return Refusal::Truncated;
    }
    choice->width = width;
    choice->height = doubleHeight / 2;
    choice->bitCount = bits;
    choice->isPng = false;
    return Refusal::None;
}

}  // namespace

Refusal ChooseIconEntry(const uint8_t* data, size_t size, IconEntryChoice* choice) {
    if (!data || !choice || size < kHeaderBytes) {
        return Refusal::Truncated;
    }
    const uint16_t type = ReadLE16(data + 2);
    const uint16_t count = ReadLE16(data + 4);
    if (ReadLE16(data) != 0 || (type != 1 && type != 2) || count < 1) {
        return Refusal::Malformed;
    }
    // The whole directory must be present: a cut directory is a truncated file.
    if (!RangeInside(kHeaderBytes, count * kEntryBytes, size)) {
        return Refusal::Truncated;
    }
    // A true-colour 32-pixel entry has colour count 0 and is never preferred.
    size_t chosen = size_t{count} - 1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + kHeaderBytes + i * kEntryBytes;
        if (entry[0] == kPreferredWidth && entry[2] >= kPreferredMinColours) {
            chosen = i;
            break;
        }
    }
    const uint8_t* entry = data + kHeaderBytes + chosen * kEntryBytes;
    const uint32_t imageSize = ReadLE32(entry + 8);
    const uint32_t imageOffset = ReadLE32(entry + 12);
    if (imageSize == 0 || !RangeInside(imageOffset, imageSize, size)) {
        return Refusal::Truncated;
    }
    const uint8_t* image = data + imageOffset;
    IconEntryChoice result;
    result.offset = imageOffset;
    result.size = imageSize;
    const Refusal refusal = IsPngImage(image, imageSize)
                                ? CheckPngImage(image, imageSize, &result)
                                : CheckBitmapImage(image, imageSize, &result);
    if (refusal == Refusal::None) {
        *choice = result;
    }
    return refusal;
}
