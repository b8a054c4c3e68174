// BMP: device-independent bitmaps, read by the box itself and converted once to top-down BGRA.
//
//   file header (14 bytes)          info header (at 14; its size field says which version)
//   +0  "BM"                        +0  header size      +16 compression
//   +2  file size (ignored)         +4  width  (int32)   +20 image size (ignored)
//   +6  reserved                    +8  height (int32)   +32 colours used
//   +10 offset of the pixel rows    +12 planes (ignored) +14 bit count
//                                   +40 red, green, blue masks, +52 alpha mask (headers of 52,
//                                       56, 108 (V4) and 124 (V5) bytes)
//
//   the 12-byte core header:        +0 size  +4 width (uint16)  +6 height (uint16)
//                                   +8 planes  +10 bit count; colour entries of 3 bytes
//
// Variants read, as viewers show them:
// - 1, 4 and 8 bits with a colour table (blue, green, red[, reserved] per entry); an index
//   beyond the table is opaque black.
// - 24 bits; 32 bits (the fourth byte is not alpha); 16 bits as 5-5-5.
// - Bit fields (compression 3, and 6 with an alpha mask) at 16 and 32 bits. The masks follow a
//   40-byte header, or sit in a larger one. A channel of n bits becomes 8 bits as
//   round(v * 255 / (2^n - 1)). A non-zero alpha mask makes the picture's alpha that channel,
//   blended like a PNG's, unless every pixel's alpha is 0: writers that never filled the
//   channel leave it so, and viewers show such files opaque.
// - RLE8 and RLE4 (compression 1 and 2), bottom-up only, as the format allows. Pixels the
//   stream skips (delta and end-of-line escapes, and whatever follows the end-of-picture
//   marker) are transparent, so the box background shows there; pixels past the end of a row
//   are dropped. A stream must end with its end-of-picture marker or reach past the last
//   pixel: data that ends before either is truncated and refused, as the other formats'
//   truncated data is. A picture larger than its stream could pay for (16,384 pixels a byte,
//   see kRunLengthPixelsPerByte) and above the free canvas size is refused before anything is
//   allocated.
// Refused: other compressions (embedded JPEG and PNG), other bit counts, masks that are not one
// run of bits, a top-down RLE picture, uncompressed rows that do not fit in the data.
#include <cstring>

#include "Picture.h"
#include "PictureBytes.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ORVESSA_BMP_SSE2 1
#endif

using namespace picture_bytes;  // the library's byte reads and size checks

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr size_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;
// Headers from this size on carry the red, green and blue masks, from kAlphaMaskHeaderBytes on
// the alpha mask too.
constexpr uint32_t kMaskHeaderBytes = 52;
constexpr uint32_t kAlphaMaskHeaderBytes = 56;

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

// 256 opaque pixel words. Entries past the file's table stay opaque black, which is what an
// index beyond the table shows.
struct Palette {
    uint32_t words[256];
};

struct Header {
    uint32_t rowsOffset = 0;
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    uint32_t bits = 0;
    uint32_t compression = kRgb;
    uint64_t tableOffset = 0;
    uint32_t entryBytes = 4;
    uint64_t tableEntries = 0;
    uint32_t masks[4] = {};  // red, green, blue, alpha
};

// One bit-field channel: where it sits in the pixel and its 8-bit values, from a table for
// fields of up to 8 bits and by arithmetic for wider ones.
struct Channel {
    uint32_t mask = 0;
    unsigned shift = 0;
    uint32_t top = 0;  // the field's largest value
    uint8_t levels[256] = {};
};

// False for a mask that is not one run of bits.
bool MakeChannel(uint32_t mask, Channel* channel) {
    channel->mask = mask;
    if (mask == 0) {
        return true;
    }
    unsigned shift = 0;
    while (((mask >> shift) & 1u) == 0) {
        ++shift;
    }
    const uint32_t field = mask >> shift;
    if ((field & (field + 1)) != 0) {
        return false;
    }
    unsigned bits = 0;
    while (bits < 32 && ((field >> bits) & 1u) != 0) {
        ++bits;
    }
    channel->shift = shift;
    channel->top = field;
    for (uint32_t v = 0; v <= field && v < 256; ++v) {
        channel->levels[v] = static_cast<uint8_t>((v * 255 + field / 2) / field);
    }
    return true;
}

inline uint32_t Level(const Channel& c, uint32_t pixel) {
    const uint32_t v = (pixel & c.mask) >> c.shift;
    if (c.top < 256) {
        return c.levels[v];
    }
    return static_cast<uint32_t>((uint64_t{v} * 255 + c.top / 2) / c.top);
}

struct BitFields {
    Channel red, green, blue, alpha;
};

void ConvertBitFieldsRow(const uint8_t* src, uint8_t* out, uint32_t width, uint32_t bits,
                         const BitFields& f) {
    const uint32_t opaque = f.alpha.mask == 0 ? kOpaqueAlpha : 0;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t pixel = bits == 16 ? ReadLE16(src + 2 * x) : LoadWord(src + 4 * x);
        StoreWord(out + 4 * x, opaque | (Level(f.alpha, pixel) << 24) |
                                   (Level(f.red, pixel) << 16) | (Level(f.green, pixel) << 8) |
                                   Level(f.blue, pixel));
    }
}

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

// Pictures of at least this many bytes are written with streaming stores where the processor
// has them: a picture larger than the caches would only push everything else out of them,
// and streaming saves reading each line of the output before it is overwritten, which is a
// third of the memory traffic of a 24- or 32-bit picture.
constexpr size_t kStreamingBytes = size_t{4} << 20;

// The fourth byte of a 32-bit pixel is not alpha here: it is replaced by 255.
void Convert32Row(const uint8_t* src, uint8_t* out, uint32_t width, bool streaming) {
    uint32_t x = 0;
#if defined(ORVESSA_BMP_SSE2)
    if (streaming) {
        for (; x < width && (reinterpret_cast<uintptr_t>(out + 4 * x) & 15) != 0; ++x) {
            StoreWord(out + 4 * x, LoadWord(src + 4 * x) | kOpaqueAlpha);
        }
        const __m128i alpha = _mm_set1_epi32(static_cast<int>(kOpaqueAlpha));
        for (; x + 4 <= width; x += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + 4 * x), _mm_or_si128(v, alpha));
        }
    }
#else
    (void)streaming;
#endif
    for (; x < width; ++x) {
        StoreWord(out + 4 * x, LoadWord(src + 4 * x) | kOpaqueAlpha);
    }
}

// Each pixel but the last is loaded as a word that includes the next pixel's first byte; the
// last one is read byte by byte, as its word could reach past the row and the data. With
// SSE2, four pixels come from one 16-byte load, which stays inside the row while six or more
// pixels are left.
void Convert24Row(const uint8_t* src, uint8_t* out, uint32_t width, bool streaming) {
    uint32_t x = 0;
#if defined(ORVESSA_BMP_SSE2)
    if (streaming) {
        for (; x + 1 < width && (reinterpret_cast<uintptr_t>(out + 4 * x) & 15) != 0; ++x) {
            StoreWord(out + 4 * x, LoadWord(src + 3 * x) | kOpaqueAlpha);
        }
        const __m128i alpha = _mm_set1_epi32(static_cast<int>(kOpaqueAlpha));
        for (; x + 6 <= width; x += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
            // Pixel k starts at byte 3k: shift it to the bottom, keep each low word.
            const __m128i p01 = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
            const __m128i p23 = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + 4 * x),
                             _mm_or_si128(_mm_unpacklo_epi64(p01, p23), alpha));
        }
    }
#else
    (void)streaming;
#endif
    for (; x + 1 < width; ++x) {
        StoreWord(out + 4 * x, LoadWord(src + 3 * x) | kOpaqueAlpha);
    }
    const uint8_t* last = src + 3 * x;
    StoreWord(out + 4 * x, OpaqueWord(last[0], last[1], last[2]));
}

// Makes the streaming stores visible before the picture is handed over.
void FinishStreaming(bool streaming) {
#if defined(ORVESSA_BMP_SSE2)
    if (streaming) {
        _mm_sfence();
    }
#else
    (void)streaming;
#endif
}

// Run-length streams: pairs of bytes, a count above 0 and the value(s) of a run, or 0 and an
// escape: 0 end of line, 1 end of picture, 2 a move right and down by the next two bytes, 3 or
// more that many pixels stored as they are, padded to a 16-bit boundary. Rows go from the
// bottom up. Every step reads at least two bytes, so the work is bounded by the data.
//
// What a stream may cost. A run draws at most 255 pixels for 2 bytes (128 a byte). An end of
// line skips the rest of a row for 2 bytes: 16,384 a byte in rows of 32,768 pixels. A delta
// moves up to 255 columns and 255 rows for 4 bytes: over a square of 255, 16,256 a byte. A
// picture larger than 16,384 pixels per byte of its stream is refused before anything is
// allocated: only long moves down in wide rows and the end-of-picture marker reach further,
// and writers close a picture with the marker after its last row, not leave most of it empty.
// Writers that encode every pixel stay below 128 pixels a byte, so no real file comes near.
constexpr uint64_t kRunLengthPixelsPerByte = 16384;

enum class RunEnd {
    Marker,     // the end-of-picture escape
    Filled,     // the stream reached past the last pixel
    Truncated,  // the data ended first, or in the middle of an escape
};

// The stream's steps in order, handed to `visit`: Run(x, y, count, value) for `count` pixels of
// a run (one index, or two alternating nibbles), Stored(x, y, count, bytes) for stored
// indices, Skip(x, y, toX, toY) for the pixels an escape passes over. Positions count rows from
// the bottom, and only ever move forward: every pixel is visited at most once. Pixels past the
// end of a row are dropped. *stopX and *stopY receive where the stream stopped.
template <typename Visit>
RunEnd WalkRunLength(const uint8_t* p, const uint8_t* end, uint32_t width, uint32_t height,
                     bool fourBits, Visit& visit, uint32_t* stopX, uint32_t* stopY) {
    uint32_t x = 0;
    uint32_t y = 0;
    RunEnd result = RunEnd::Truncated;
    for (;;) {
        if (y >= height || (y == height - 1 && x == width)) {
            result = RunEnd::Filled;
            break;
        }
        if (end - p < 2) {
            break;
        }
        const uint8_t count = p[0];
        const uint8_t value = p[1];
        p += 2;
        if (count != 0) {
            const uint32_t n = count < width - x ? count : width - x;
            visit.Run(x, y, n, value);
            x += n;
            continue;
        }
        if (value == 0) {
            visit.Skip(x, y, 0, y + 1);
            x = 0;
            ++y;
        } else if (value == 1) {
            result = RunEnd::Marker;
            break;
        } else if (value == 2) {
            if (end - p < 2) {
                break;
            }
            uint32_t toX = p[0] < width - x ? x + p[0] : width;
            uint32_t toY = y + p[1];
            if (toY >= height) {
                toX = 0;
                toY = height;
            }
            visit.Skip(x, y, toX, toY);
            x = toX;
            y = toY;
            p += 2;
        } else {
            const size_t bytes = fourBits ? (size_t{value} + 1) / 2 : value;
            const size_t stored = bytes + (bytes & 1);
            if (static_cast<size_t>(end - p) < bytes) {
                break;
            }
            const uint32_t n = value < width - x ? value : width - x;
            visit.Stored(x, y, n, p);
            x += n;
            p += static_cast<size_t>(end - p) < stored ? bytes : stored;
        }
    }
    *stopX = x;
    *stopY = y;
    return result;
}

// Walks a stream without drawing, to judge it before the picture is allocated.
struct NoVisit {
    void Run(uint32_t, uint32_t, uint32_t, uint8_t) {}
    void Stored(uint32_t, uint32_t, uint32_t, const uint8_t*) {}
    void Skip(uint32_t, uint32_t, uint32_t, uint32_t) {}
};

// Draws a stream into the picture, writing each byte once: stepped-over pixels are cleared to
// transparent as the stream passes them, the rest after it ends.
struct RunLengthPainter {
    uint8_t* out;
    uint32_t width;
    uint32_t height;
    bool fourBits;
    const Palette& palette;
    uint64_t drawn = 0;

    uint8_t* At(uint32_t x, uint32_t y) const {
        return out + (size_t{height} - 1 - y) * width * 4 + size_t{x} * 4;
    }
    void Run(uint32_t x, uint32_t y, uint32_t n, uint8_t value) {
        uint8_t* dst = At(x, y);
        if (!fourBits) {
            const uint32_t word = palette.words[value];
            for (uint32_t i = 0; i < n; ++i) {
                StoreWord(dst + 4 * i, word);
            }
        } else {
            const uint32_t words[2] = {palette.words[value >> 4], palette.words[value & 0x0Fu]};
            for (uint32_t i = 0; i < n; ++i) {
                StoreWord(dst + 4 * i, words[i & 1u]);
            }
        }
        drawn += n;
    }
    void Stored(uint32_t x, uint32_t y, uint32_t n, const uint8_t* indices) {
        uint8_t* dst = At(x, y);
        for (uint32_t i = 0; i < n; ++i) {
            const unsigned index = !fourBits  ? indices[i]
                                   : (i & 1u) ? (indices[i / 2] & 0x0Fu)
                                              : (indices[i / 2] >> 4);
            StoreWord(dst + 4 * i, palette.words[index]);
        }
        drawn += n;
    }
    // From (x, y) up to (toX, toY) in stream order; rows between the two are one block, as
    // rows lie top row first in the picture.
    void Skip(uint32_t x, uint32_t y, uint32_t toX, uint32_t toY) {
        if (y == toY) {
            std::memset(At(x, y), 0, size_t{toX - x} * 4);
            return;
        }
        std::memset(At(x, y), 0, size_t{width - x} * 4);
        if (toY - y > 1) {
            std::memset(At(0, toY - 1), 0, size_t{toY - y - 1} * width * 4);
        }
        if (toX != 0) {
            std::memset(At(0, toY), 0, size_t{toX} * 4);
        }
    }
};

// Reads the headers and checks what they promise against the data.
Refusal ReadHeader(const uint8_t* data, size_t size, Header* h) {
    if (!data || size < 2 || data[0] != 'B' || data[1] != 'M') {
        return Refusal::Malformed;
    }
    if (size < kFileHeaderBytes + kCoreHeaderBytes) {
        return Refusal::Truncated;
    }
    h->rowsOffset = ReadLE32(data + 10);
    const uint8_t* info = data + kFileHeaderBytes;
    h->headerSize = ReadLE32(info);
    uint32_t coloursUsed = 0;
    if (h->headerSize == kCoreHeaderBytes) {
        h->width = ReadLE16(info + 4);
        h->height = ReadLE16(info + 6);
        h->bits = ReadLE16(info + 10);
        h->entryBytes = 3;
    } else {
        if (h->headerSize < kInfoHeaderBytes) {
            return Refusal::Malformed;
        }
        if (size < kHeadersBytes) {
            return Refusal::Truncated;
        }
        // The natural size is the magnitude of both fields. A negative height is the format's
        // top-down layout: rows are then stored top row first. A negative width has no
        // meaning in the format and is taken by magnitude like the natural size.
        const int32_t rawWidth = ReadLE32Signed(info + 4);
        const int32_t rawHeight = ReadLE32Signed(info + 8);
        h->width = rawWidth < 0 ? -int64_t{rawWidth} : int64_t{rawWidth};
        h->height = rawHeight < 0 ? -int64_t{rawHeight} : int64_t{rawHeight};
        h->topDown = rawHeight < 0;
        h->bits = ReadLE16(info + 14);
        h->compression = ReadLE32(info + 16);
        coloursUsed = ReadLE32(info + 32);
    }
    h->tableOffset = uint64_t{kFileHeaderBytes} + h->headerSize;

    switch (h->compression) {
    case kRgb:
        if (h->bits != 1 && h->bits != 4 && h->bits != 8 && h->bits != 16 && h->bits != 24 &&
            h->bits != 32) {
            return Refusal::Unsupported;
        }
        if (h->bits == 16) {
            h->masks[0] = 0x7C00;
            h->masks[1] = 0x03E0;
            h->masks[2] = 0x001F;
        }
        break;
    case kRle8:
    case kRle4:
        if (h->bits != (h->compression == kRle8 ? 8u : 4u) || h->topDown) {
            return Refusal::Malformed;
        }
        break;
    case kBitFields:
    case kAlphaBitFields: {
        if (h->bits != 16 && h->bits != 32) {
            return Refusal::Malformed;
        }
        const unsigned count = h->compression == kAlphaBitFields ? 4 : 3;
        uint64_t at = h->tableOffset;  // after a 40-byte header the masks follow it
        if (h->headerSize >= kMaskHeaderBytes) {
            at = kFileHeaderBytes + kInfoHeaderBytes;
        } else {
            h->tableOffset += 4 * count;
        }
        const unsigned inHeader = h->headerSize >= kAlphaMaskHeaderBytes ? 4 : count;
        if (!RangeInside(at, 4 * inHeader, size)) {
            return Refusal::Truncated;
        }
        for (unsigned i = 0; i < inHeader; ++i) {
            h->masks[i] = ReadLE32(data + at + 4 * i);
        }
        if (h->bits == 16) {
            for (uint32_t mask : h->masks) {
                if (mask > 0xFFFFu) {
                    return Refusal::Malformed;
                }
            }
        }
        break;
    }
    default: return Refusal::Unsupported;
    }

    if (h->bits <= 8) {
        // The table's length is the colours-used field, or 2^bits when that is 0; all of it
        // must be inside the data, so a huge count is refused. The core header has no such
        // field: its table is 2^bits entries, or as many as fit before the rows.
        h->tableEntries = coloursUsed != 0 ? coloursUsed : (uint64_t{1} << h->bits);
        if (h->headerSize == kCoreHeaderBytes && h->rowsOffset > h->tableOffset &&
            (h->rowsOffset - h->tableOffset) / 3 < h->tableEntries) {
            h->tableEntries = (h->rowsOffset - h->tableOffset) / 3;
        }
        if (!RangeInside(h->tableOffset, h->tableEntries * h->entryBytes, size)) {
            return Refusal::Truncated;
        }
    }
    return picture_bytes::PictureSizeRefusal(h->width, h->height);
}

void ReadPalette(const uint8_t* data, const Header& h, Palette* palette) {
    for (uint32_t& word : palette->words) {
        word = OpaqueWord(0, 0, 0);
    }
    // Only the first 2^bits entries can be addressed by a pixel.
    const uint64_t addressable = uint64_t{1} << h.bits;
    const uint64_t usable = h.tableEntries < addressable ? h.tableEntries : addressable;
    const uint8_t* table = data + static_cast<size_t>(h.tableOffset);
    for (size_t i = 0; i < usable; ++i) {
        const uint8_t* e = table + h.entryBytes * i;
        palette->words[i] = OpaqueWord(e[0], e[1], e[2]);
    }
}

// Whether any pixel is not opaque. A picture whose alpha is 0 everywhere is made opaque first
// (see the file's opening comment) when `zeroMeansOpaque` is set.
bool ResolveAlpha(uint8_t* out, size_t pixels, bool zeroMeansOpaque) {
    uint8_t any = 0;
    uint8_t all = 0xFF;
    for (size_t i = 0; i < pixels; ++i) {
        any |= out[4 * i + 3];
        all &= out[4 * i + 3];
    }
    if (any == 0 && zeroMeansOpaque) {
        for (size_t i = 0; i < pixels; ++i) {
            out[4 * i + 3] = 0xFF;
        }
        return false;
    }
    return all != 0xFF;
}

}  // namespace

Refusal DecodeBmp(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    Header h;
    if (const Refusal header = ReadHeader(data, size, &h); header != Refusal::None) {
        return header;
    }
    Palette palette;
    if (h.bits <= 8) {
        ReadPalette(data, h, &palette);
    }
    const uint32_t w = static_cast<uint32_t>(h.width);
    const size_t rowsCount = static_cast<size_t>(h.height);
    const size_t pixels = size_t{w} * rowsCount;
    const bool runLength = h.compression == kRle8 || h.compression == kRle4;
    if (runLength) {
        // Judged before anything is allocated: the stream must be able to pay for a picture
        // above the free canvas size and must not be cut off (see WalkRunLength).
        if (h.rowsOffset >= size) {
            return Refusal::Truncated;
        }
        if (pixels > picture_bytes::kFreeCanvasPixels &&
            uint64_t{pixels} / kRunLengthPixelsPerByte > size - h.rowsOffset) {
            return Refusal::TooLarge;
        }
        const uint8_t* stream = data + h.rowsOffset;
        const uint32_t rows = static_cast<uint32_t>(rowsCount);
        const bool fourBits = h.compression == kRle4;
        uint32_t x = 0;
        uint32_t y = 0;
        NoVisit judge;
        if (WalkRunLength(stream, data + size, w, rows, fourBits, judge, &x, &y) ==
            RunEnd::Truncated) {
            return Refusal::Truncated;
        }
        uint8_t* out = picture_bytes::AllocatePicture(sink, h.width, h.height);
        if (!out) {
            return Refusal::NoMemory;
        }
        RunLengthPainter painter{out, w, rows, fourBits, palette};
        WalkRunLength(stream, data + size, w, rows, fourBits, painter, &x, &y);
        if (y < rows) {
            painter.Skip(x, y, 0, rows);
        }
        picture_bytes::SetInfo(info, h.width, h.height, painter.drawn < pixels);
        return Refusal::None;
    }

    const uint64_t rowBytes = PaddedRowBytes(w, h.bits);
    if (!RangeInside(h.rowsOffset, rowBytes * rowsCount, size)) {
        return Refusal::Truncated;
    }
    BitFields fields;
    const bool hasFields = h.masks[0] != 0 || h.masks[1] != 0 || h.masks[2] != 0 || h.masks[3] != 0;
    if (hasFields &&
        (!MakeChannel(h.masks[0], &fields.red) || !MakeChannel(h.masks[1], &fields.green) ||
         !MakeChannel(h.masks[2], &fields.blue) || !MakeChannel(h.masks[3], &fields.alpha))) {
        return Refusal::Malformed;
    }
    // The usual layouts of 32-bit bit fields are plain words: B, G, R and X or A.
    const bool plain32 =
        h.bits == 32 &&
        (!hasFields || (h.masks[0] == 0xFF0000u && h.masks[1] == 0xFF00u && h.masks[2] == 0xFFu));
    const bool alpha = hasFields && h.masks[3] != 0;
    const bool copyAlpha = plain32 && alpha && h.masks[3] == 0xFF000000u;

    uint8_t* out = picture_bytes::AllocatePicture(sink, h.width, h.height);
    if (!out) {
        return Refusal::NoMemory;
    }
    const size_t stride = size_t{w} * 4;
    const size_t srcStride = static_cast<size_t>(rowBytes);
    const bool streaming = pixels * 4 >= kStreamingBytes;
    const uint8_t* rows = data + h.rowsOffset;
    // The larger of the two streams goes forward through memory, which the prefetcher
    // follows: the input in file order for streamed 24- and 32-bit pictures (their output
    // needs no reading), else the output top row first.
    const bool fileOrder = streaming && h.bits >= 24 && !h.topDown;
    for (size_t i = 0; i < rowsCount; ++i) {
        const size_t y = fileOrder ? rowsCount - 1 - i : i;
        const size_t sourceRow = h.topDown ? y : rowsCount - 1 - y;
        const uint8_t* src = rows + sourceRow * srcStride;
        uint8_t* dst = out + y * stride;
        if (h.bits <= 8) {
            ConvertIndexedRow(src, dst, w, h.bits, palette);
        } else if (h.bits == 24) {
            Convert24Row(src, dst, w, streaming);
        } else if (copyAlpha) {
            std::memcpy(dst, src, stride);
        } else if (plain32 && !alpha) {
            Convert32Row(src, dst, w, streaming);
        } else {
            ConvertBitFieldsRow(src, dst, w, h.bits, fields);
        }
    }
    FinishStreaming(streaming);
    picture_bytes::SetInfo(info, h.width, h.height, alpha && ResolveAlpha(out, pixels, true));
    return Refusal::None;
}
