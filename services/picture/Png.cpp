// PNG through libpng's simplified reading interface, decoded straight into the sink as 8-bit
// BGRA with its alpha kept (blending happens at drawing time, see BlendOntoBackground). The
// simplified interface keeps libpng's setjmp inside libpng, so there is none here.
//
// The picture's size is computed here in 64 bits and checked against the pixel cap before the
// sink is asked for memory: libpng's own PNG_IMAGE_SIZE arithmetic is 32-bit and can wrap.
//
//   signature (8 bytes), then chunks: +0 data length (big-endian)  +4 type  +8 data  then CRC
#include <png.h>

#include <cstring>

#include "Picture.h"
#include "PictureBytes.h"
#include "Png.h"

namespace {

// The simplified interface needs at least the signature.
constexpr size_t kMinPngBytes = 8;
constexpr uint64_t kChunkOverheadBytes = 12;  // length, type and CRC

// libpng allocates a text, profile or other ancillary chunk's claimed length before it finds
// that the data is shorter (its own length check is only a warning when reading), so a
// 100-byte file could ask for 2 GiB. Every chunk before the first IDAT must therefore lie
// inside the data. libpng could not read such a chunk anyway, so no file it would decode is
// refused. Image data is read through a fixed-size buffer, so IDAT and what follows need no
// such check.
bool ChunksBeforeImageDataInside(const uint8_t* data, size_t size) {
    uint64_t pos = kMinPngBytes;
    for (;;) {
        if (!picture_bytes::RangeInside(pos, kChunkOverheadBytes, size)) {
            return false;
        }
        const uint8_t* chunk = data + pos;
        const uint64_t length = picture_bytes::ReadBE32(chunk);
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0) {
            return true;
        }
        if (!picture_bytes::RangeInside(pos, length + kChunkOverheadBytes, size)) {
            return false;
        }
        pos += length + kChunkOverheadBytes;
    }
}

// 8-bit BGRA, alpha kept. 16-bit samples of a file that names no encoding (no gAMA, sRGB or
// iCCP) are sRGB, as libpng's manual advises and every viewer shows them; libpng would take them
// as linear light and draw the picture far too light. A file that names its encoding keeps it.
void AskForBgra(png_image* image) {
    image->format = PNG_FORMAT_BGRA;
    image->flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
}

// libpng tells running out of data from other faults only in its message.
Refusal LibraryRefusal(const png_image& image) {
    return std::strstr(image.message, "end of data") ||
                   std::strstr(image.message, "Not enough image data")
               ? Refusal::Truncated
               : Refusal::Malformed;
}

}  // namespace

Refusal DecodePng(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    if (!data || size < kMinPngBytes || !ChunksBeforeImageDataInside(data, size)) {
        return Refusal::Truncated;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        png_image_free(&image);
        return LibraryRefusal(image);
    }
    // Whether the file can carry transparency at all (an alpha channel or a tRNS chunk).
    const bool sourceHasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    const int64_t width = image.width;
    const int64_t height = image.height;
    uint8_t* out = picture_bytes::AllocatePicture(sink, width, height);
    if (!out) {
        png_image_free(&image);
        return picture_bytes::AllocationRefusal(width, height);
    }
    AskForBgra(&image);
    // No background, default stride (width * 4), no colour map.
    const int finished = png_image_finish_read(&image, nullptr, out, 0, nullptr);
    png_image_free(&image);
    if (!finished) {
        return LibraryRefusal(image);
    }
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    picture_bytes::SetInfo(info, width, height,
                           sourceHasAlpha && picture_bytes::AnyTranslucent(out, pixels));
    return Refusal::None;
}

bool DecodePngInto(const uint8_t* data, size_t size, uint32_t width, uint32_t height, uint8_t* out,
                   size_t stride) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    // libpng's row stride counts samples (here bytes) in a signed 32-bit value.
    bool ok = stride / 4 >= width && stride <= INT32_MAX &&
              png_image_begin_read_from_memory(&image, data, size) && image.width == width &&
              image.height == height;
    if (ok) {
        AskForBgra(&image);
        ok = png_image_finish_read(&image, nullptr, out, static_cast<png_int_32>(stride),
                                   nullptr) != 0;
    }
    png_image_free(&image);
    return ok;
}
