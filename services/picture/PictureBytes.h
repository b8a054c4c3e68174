// Byte reads and size arithmetic shared by the picture decoders. Internal to the library.
//
// Every size that comes from a file is checked here in 64 bits before it turns into an offset,
// a length or an allocation: on 32-bit Windows size_t is 32 bits, so `off + len > n` can wrap
// and pass. The one bounds test is RangeInside (`len <= n && off <= n - len`).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Picture.h"

// The pixel loops move whole 32-bit words. Every target is little-endian (x86, and Windows on
// any processor), so a word's top byte is the pixel's fourth byte (alpha).
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The pixel loops assume a little-endian processor."
#endif

namespace picture_bytes {

constexpr uint32_t kOpaqueAlpha = 0xFF000000u;

inline uint32_t LoadWord(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void StoreWord(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// The word of an opaque pixel from its blue, green and red bytes.
inline uint32_t OpaqueWord(uint8_t b, uint8_t g, uint8_t r) {
    return kOpaqueAlpha | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

inline uint16_t ReadLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Two's complement without relying on an implementation-defined narrowing.
inline int32_t ReadLE32Signed(const uint8_t* p) {
    const uint32_t u = ReadLE32(p);
    return u <= 0x7FFFFFFFu ? static_cast<int32_t>(u) : -static_cast<int32_t>(~u) - 1;
}

inline uint32_t ReadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// True when [off, off + len) lies inside data of n bytes. Both operands are 64-bit so that file
// values are compared before any narrowing.
inline bool RangeInside(uint64_t off, uint64_t len, size_t n) {
    const uint64_t size = n;
    return len <= size && off <= size - len;
}

// Pixels of a width x height picture when both are at least 1 and the count is within
// kMaxPicturePixels. Each factor is checked against the cap first, so the product cannot wrap.
inline bool PicturePixels(int64_t width, int64_t height, uint64_t* pixels) {
    if (width < 1 || height < 1 || width > kMaxPicturePixels || height > kMaxPicturePixels) {
        return false;
    }
    const int64_t count = width * height;
    if (count > kMaxPicturePixels) {
        return false;
    }
    *pixels = static_cast<uint64_t>(count);
    return true;
}

// Refusal::None when a width x height picture is within the cap: a side below 1 is Malformed,
// a picture past the cap TooLarge.
inline Refusal PictureSizeRefusal(int64_t width, int64_t height) {
    uint64_t pixels = 0;
    if (width < 1 || height < 1) {
        return Refusal::Malformed;
    }
    return PicturePixels(width, height, &pixels) ? Refusal::None : Refusal::TooLarge;
}

// A canvas that the data never fills (an animation's canvas around small frames, a GIF's
// logical screen, a run-length BMP that ends early) still costs its whole size to hold, fill,
// draw and play. Up to this size (1024 x 1024, 4 MiB of BGRA) that is cheap whatever the data
// holds; a larger canvas must be justified by its data, as each format's decoder says.
constexpr uint64_t kFreeCanvasPixels = uint64_t{1} << 20;

// An animation's canvas beyond the free size must be covered by its frames, all of them
// together at least a quarter of it (WebP, APNG): a canvas around a few small frames would
// cost its whole size at every pass for area no frame ever draws, while the frames of a real
// animation cover its canvas, most of them many times.
constexpr uint64_t kCanvasPerFramePixels = 4;

// Bytes of one stored row of `bits`-per-pixel samples padded to a multiple of 4 bytes, as in a
// device-independent bitmap. width < 2^32 and bits <= 32 keep the product below 2^37.
inline uint64_t PaddedRowBytes(uint64_t width, uint32_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// Asks the sink for the picture after the cap check, so a lying header never reaches an
// allocation. The sink receives sizes it can multiply in 32 bits (cap * 4 < 2^31).
inline uint8_t* AllocatePicture(PixelSink& sink, int64_t width, int64_t height) {
    uint64_t pixels = 0;
    if (!PicturePixels(width, height, &pixels)) {
        return nullptr;
    }
    return sink.Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height));
}

// Why AllocatePicture gave no pixels: the size, or else the sink.
inline Refusal AllocationRefusal(int64_t width, int64_t height) {
    const Refusal size = PictureSizeRefusal(width, height);
    return size == Refusal::None ? Refusal::NoMemory : size;
}

// Whether any of `count` B, G, R, A pixels has alpha below 255.
inline bool AnyTranslucent(const uint8_t* pixels, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
        if (pixels[4 * i + 3] != 255) {
            return true;
        }
    }
    return false;
}

inline void SetInfo(ImageInfo* info, int64_t width, int64_t height, bool hasAlpha) {
    if (info) {
        info->width = static_cast<int32_t>(width);
        info->height = static_cast<int32_t>(height);
        info->hasAlpha = hasAlpha;
    }
}

}  // namespace picture_bytes
