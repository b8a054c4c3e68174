// BMP: uncompressed device-independent bitmaps with 1, 4, 8, 24 or 32 bits per pixel, read
// by the box itself and converted once to top-down BGRA.
//
//   file header (14 bytes)          info header (at 14, size field >= 40)
//   +0  "BM"                        +0  header size      +16 compression (must be 0)
//   +2  file size (ignored)         +4  width  (int32)   +20 image size (ignored)
//   +6  reserved                    +8  height (int32)   +32 colours used
//   +10 offset of the pixel rows    +12 planes (ignored) +14 bit count
//
// The colour table (blue, green, red, reserved per entry) follows the info header; the rows
// start at the file header's offset, each padded to a multiple of 4 bytes.
#include "Picture.h"
#include "PictureBytes.h"

using picture_bytes::kOpaqueAlpha;
using picture_bytes::LoadWord;
using picture_bytes::OpaqueWord;
using picture_bytes::PaddedRowBytes;
using picture_bytes::RangeInside;
using picture_bytes::ReadLE16;
using picture_bytes::ReadLE32;
using picture_bytes::ReadLE32Signed;
using picture_bytes::StoreWord;

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr size_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;

// 256 opaque pixel words. Entries past the file's table stay opaque black, which is what an
// index beyond the table shows.
struct Palette {
    uint32_t words[256];
};

void ConvertIndexedRow(const uint8_t* src, uint8_t* out, uint32_t width, uint32_t bits,
                       const Palette& palette) {
    if (bits == 8) {
        for (uint32_t x = 0; x < width; ++x) {
            StoreWord(out + 4 * x, palette.words[src[x]]);
        }
    } else if (bits == 4) {
        // High nibble is the left pixel. Whole bytes first, two pixels each.
        uint32_t x = 0;
        for (; x + 2 <= width; x += 2) {
            const uint8_t pair = src[x >> 1];
            StoreWord(out + 4 * x, palette.words[pair >> 4]);
            StoreWord(out + 4 * x + 4, palette.words[pair & 0x0Fu]);
        }
        if (x < width) {
            StoreWord(out + 4 * x, palette.words[src[x >> 1] >> 4]);
        }
    } else {
        // Most significant bit is the left pixel. Whole bytes first, eight pixels each.
        uint32_t x = 0;
        for (; x + 8 <= width; x += 8) {
            const unsigned byte = src[x >> 3];
            for (unsigned k = 0; k < 8; ++k) {
                StoreWord(out + 4 * (x + k), palette.words[(byte >> (7 - k)) & 1u]);
            }
        }
        for (; x < width; ++x) {
            const unsigned index = (static_cast<unsigned>(src[x >> 3]) >> (7 - (x & 7))) & 1u;
            StoreWord(out + 4 * x, palette.words[index]);
        }
    }
}

// The fourth byte of a 32-bit pixel is not alpha here: it is replaced by 255.
void Convert32Row(const uint8_t* src, uint8_t* out, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x) {
        StoreWord(out + 4 * x, LoadWord(src + 4 * x) | kOpaqueAlpha);
    }
}

// Each pixel but the last is loaded as a word that includes the next pixel's first byte; the
// last one is read byte by byte, as its word could reach past the row and the data.
void Convert24Row(const uint8_t* src, uint8_t* out, uint32_t width) {
    uint32_t x = 0;
    for (; x + 1 < width; ++x) {
        StoreWord(out + 4 * x, LoadWord(src + 3 * x) | kOpaqueAlpha);
    }
    const uint8_t* last = src + 3 * x;
    StoreWord(out + 4 * x, OpaqueWord(last[0], last[1], last[2]));
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    if (!data || size < kHeadersBytes || data[0] != 'B' || data[1] != 'M') {
        return false;
    }
    const uint32_t rowsOffset = ReadLE32(data + 10);
    const uint8_t* header = data + kFileHeaderBytes;
    const uint32_t headerSize = ReadLE32(header);
    const int32_t rawWidth = ReadLE32Signed(header + 4);
    const int32_t rawHeight = ReadLE32Signed(header + 8);
    const uint16_t bits = ReadLE16(header + 14);
    const uint32_t compression = ReadLE32(header + 16);
    const uint32_t coloursUsed = ReadLE32(header + 32);

    // Older 12-byte headers have another layout; compressed and bit-field variants are refused.
    if (headerSize < kInfoHeaderBytes || compression != 0) {
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        return false;
    }
    // The natural size is the magnitude of both fields. A negative height is the format's
    // top-down layout: rows are then stored top row first. A negative width has no meaning in
    // the format and is taken by magnitude like the natural size.
    const int64_t width = rawWidth < 0 ? -int64_t{rawWidth} : int64_t{rawWidth};
    const int64_t height = rawHeight < 0 ? -int64_t{rawHeight} : int64_t{rawHeight};
    const bool topDown = rawHeight < 0;
    uint64_t pixelCount = 0;
    if (!picture_bytes::PicturePixels(width, height, &pixelCount)) {
        return false;
    }

    Palette palette;
    if (bits <= 8) {
        for (uint32_t& word : palette.words) {
            word = OpaqueWord(0, 0, 0);
        }
        // The table's length is the colours-used field, or 2^bits when that is 0; all of it
        // must be inside the data, so a huge count is refused. Only the first 2^bits entries
        // can be addressed by a pixel.
        const uint64_t tableEntries = coloursUsed != 0 ? coloursUsed : (uint64_t{1} << bits);
        const uint64_t tableOffset = uint64_t{kFileHeaderBytes} + headerSize;
        if (!RangeInside(tableOffset, tableEntries * 4, size)) {
            return false;
        }
        const uint64_t addressable = uint64_t{1} << bits;
        const uint64_t usable = tableEntries < addressable ? tableEntries : addressable;
        const uint8_t* table = data + static_cast<size_t>(tableOffset);
        for (size_t i = 0; i < usable; ++i) {
            palette.words[i] = OpaqueWord(table[4 * i], table[4 * i + 1], table[4 * i + 2]);
        }
    }

    const uint64_t rowBytes = PaddedRowBytes(static_cast<uint64_t>(width), bits);
    if (!RangeInside(rowsOffset, rowBytes * static_cast<uint64_t>(height), size)) {
        return false;
    }

    uint8_t* out = picture_bytes::AllocatePicture(sink, width, height);
    if (!out) {
        return false;
    }
    const uint32_t w = static_cast<uint32_t>(width);
    const size_t h = static_cast<size_t>(height);
    const size_t stride = size_t{w} * 4;
    const size_t srcStride = static_cast<size_t>(rowBytes);
    const uint8_t* rows = data + rowsOffset;
    for (size_t y = 0; y < h; ++y) {
        const size_t sourceRow = topDown ? y : h - 1 - y;
        const uint8_t* src = rows + sourceRow * srcStride;
        uint8_t* dst = out + y * stride;
        if (bits <= 8) {
            ConvertIndexedRow(src, dst, w, bits, palette);
        } else if (bits == 24) {
            Convert24Row(src, dst, w);
        } else {
            Convert32Row(src, dst, w);
        }
    }
    picture_bytes::SetInfo(info, width, height, false);
    return true;
}
