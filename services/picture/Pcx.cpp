// PCX: run-length encoded palette, monochrome, planar 16-colour and 24-bit images, decoded to
// top-down BGRA.
//
//   header (128 bytes)
//   +0 0x0A   +1 version (0 to 5)   +2 encoding (1 = run length)   +3 bits per pixel
//   +4 xmin   +6 ymin      +8 xmax   +10 ymax (16-bit each, inclusive window)
//   +16 16-colour palette (R, G, B)   +65 planes   +66 bytes per line (of one plane)
//
// The run-length stream starts at byte 128. A byte above 0xC0 gives (byte - 0xC0) copies of
// the next byte; any other byte, 0xC0 included, stands for itself. Runs may carry on into the
// next row. Each row holds, plane after plane, the header's bytes per line for every plane, as
// every widely used reader takes it: writers pad a line as they see fit (to an even count, or
// not at all), and the bytes past the width are padding. A line shorter than the width needs
// is refused.
//
// Kinds read:
// - 8 bits, 1 plane: palette indices. After the pixel data, a byte 12 followed by 768 bytes
//   gives the palette (R, G, B). Without it (no 12, or fewer than 768 bytes after it) the image
//   is shown as greyscale, index i as (i, i, i).
// - 8 bits, 3 planes: 24-bit colour, a line of red, then green, then blue.
// - 1 bit, 1 plane: monochrome, bit 1 white, bit 0 black, whatever the header version.
// - 1 bit, 2 to 4 planes: EGA colour, plane k giving bit k of the index into the header's
//   16-colour palette.
// Data that ends before the last row is refused.
#include <cstdint>
#include <cstring>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

#include "Picture.h"
#include "PictureBytes.h"

using namespace picture_bytes;  // the library's byte reads and size checks

namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kEgaPaletteOffset = 16;
constexpr uint8_t kPaletteMarker = 12;
constexpr size_t kPaletteBytes = 768;
constexpr uint8_t kRunFlag = 0xC0;

// The fast path of RunLengthReader::Read looks at a block of the stream at a time, one bit of
// a machine word per byte.
using Word = size_t;
constexpr size_t kBlockBytes = 8 * sizeof(Word);
constexpr Word kEveryByte = ~Word{0} / 0xFF;  // 0x0101...01
constexpr Word kOddBits = ~Word{0} / 3 * 2;   // 0xAAAA...AA
// Bytes moved per copy or fill step: one register where the processor has 16-byte ones.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2) || \
    defined(__aarch64__) || defined(_M_ARM64)
constexpr size_t kPiece = 16;
#else
constexpr size_t kPiece = 2 * sizeof(Word);
#endif

// Bit 7 of each byte of the result is set where that byte of `bytes` is above 0xC0. The low
// seven bits of a byte plus 0x3F reach 0x80 exactly when they are 0x41 or more, and cannot
// carry into the next byte.
inline Word AboveRunFlag(Word bytes) {
    const Word high = bytes & (kEveryByte * 0x80);
    const Word low = bytes & (kEveryByte * 0x7F);
    return (low + kEveryByte * 0x3F) & high;
}

// Bit i of the result is bit 8i of `lowBits`, whose other bits are clear: the multiplication
// moves each byte's bit into the top byte (or nibble) without carries.
inline Word GatherByteBits(Word lowBits) {
#if SIZE_MAX > 0xFFFFFFFFu
    return (lowBits * Word{0x0102040810204080u}) >> 56;
#else
    return (lowBits * Word{0x10204080u}) >> 28;
#endif
}

// Bit i is set where byte i of the block at `p` is above 0xC0.
inline Word BlockFlags(const uint8_t* p) {
    Word mask = 0;
    for (size_t k = 0; k < kBlockBytes / sizeof(Word); ++k) {
        Word bytes;
        std::memcpy(&bytes, p + k * sizeof(Word), sizeof bytes);
        mask |= GatherByteBits(AboveRunFlag(bytes) >> 7) << (k * sizeof(Word));
    }
    return mask;
}

// Of the flagged bytes of a block that starts on a token, the ones that start a run: in each
// stretch of consecutive flagged bytes the first is a count, the second its value, and so on.
// Subtracting the flags from their own shadow makes the borrow walk each stretch, leaving
// the parity of every position within its stretch.
inline Word RunStarts(Word flags) {
    return ((((flags << 1) | kOddBits) - flags) ^ kOddBits) & flags;
}

// `w` is not zero.
inline unsigned LowestSetBit(Word w) {
#if defined(_MSC_VER) && SIZE_MAX > 0xFFFFFFFFu
    unsigned long at;
    _BitScanForward64(&at, w);
    return static_cast<unsigned>(at);
#elif defined(_MSC_VER)
    unsigned long at;
    _BitScanForward(&at, w);
    return static_cast<unsigned>(at);
#elif SIZE_MAX > 0xFFFFFFFFu
    return static_cast<unsigned>(__builtin_ctzll(w));
#else
    return static_cast<unsigned>(__builtin_ctz(w));
#endif
}

// What the decoder writes for each decoded byte. Both kinds write in whole pieces: the fast
// path writes up to kOvershoot - 1 units past the end of a literal stretch or a run, and reads
// up to kPiece - 1 stream bytes past a literal stretch.
//
// The byte itself, for a stream that is cut into rows afterwards.
struct ByteOut {
    static constexpr size_t kUnitBytes = 1;
    static constexpr size_t kOvershoot = kPiece;

    void Literals(uint8_t* dst, const uint8_t* src, size_t n) const {
        size_t i = 0;
        do {
            std::memcpy(dst + i, src + i, kPiece);
            i += kPiece;
        } while (i < n);
    }
    void Run(uint8_t* dst, uint8_t value, size_t n) const {
        Word fill[kPiece / sizeof(Word)];
        for (Word& f : fill) {
            f = Word{value} * kEveryByte;
        }
        size_t i = 0;
        do {
            std::memcpy(dst + i, fill, kPiece);
            i += kPiece;
        } while (i < n);
    }
    void Literal(uint8_t* dst, uint8_t value) const { *dst = value; }
    void ExactRun(uint8_t* dst, uint8_t value, size_t n) const { std::memset(dst, value, n); }
};

// The pixel word of the byte's palette entry, for a picture whose stored rows are its rows.
struct PixelOut {
    static constexpr size_t kUnitBytes = 4;
    static constexpr size_t kOvershoot = 16;
    const uint32_t* palette;

    void Literals(uint8_t* dst, const uint8_t* src, size_t n) const {
        size_t i = 0;
        do {
            for (size_t k = 0; k < 4; ++k) {
                StoreWord(dst + 4 * (i + k), palette[src[i + k]]);
            }
            i += 4;
        } while (i < n);
    }
    void Run(uint8_t* dst, uint8_t value, size_t n) const {
        uint32_t fill[16];
        for (uint32_t& f : fill) {
            f = palette[value];
        }
        size_t i = 0;
        do {
            std::memcpy(dst + 4 * i, fill, sizeof fill);
            i += 16;
        } while (i < n);
    }
    void Literal(uint8_t* dst, uint8_t value) const { StoreWord(dst, palette[value]); }
    void ExactRun(uint8_t* dst, uint8_t value, size_t n) const {
        for (size_t i = 0; i < n; ++i) {
            StoreWord(dst + 4 * i, palette[value]);
        }
    }
};

// The most units one block can write: at most one run of 63 per two stream bytes (one
// literal, then runs to the end of the block and past it by the last value byte), and the
// pieces written past the last of them.
constexpr size_t kMostPerBlock = 32 * kBlockBytes;
static_assert(kBlockBytes / 2 * 63 + 1 + ByteOut::kOvershoot - 1 <= kMostPerBlock &&
                  kBlockBytes / 2 * 63 + 1 + PixelOut::kOvershoot - 1 <= kMostPerBlock,
              "a block's writes must stay within kMostPerBlock units");

// The run-length decoder. The stream is one sequence of bytes: runs carry on from one row
// into the next.
class RunLengthReader {
public:
    RunLengthReader(const uint8_t* begin, const uint8_t* end) : p_(begin), end_(end) {}

    // Decodes at least `goal` bytes into `dst` as `out` writes them, and no more than `most`;
    // nothing is written past `most` units. Returns the count decoded, less than `goal` only
    // when the data ends first (Failed()).
    template <class Out>
    size_t Read(const Out& out, uint8_t* dst, size_t goal, size_t most) {
        constexpr size_t unit = Out::kUnitBytes;
        const uint8_t* p = p_;
        const uint8_t* const end = end_;
        size_t done = runLeft_ < goal ? runLeft_ : goal;
        if (done != 0) {
            out.ExactRun(dst, runValue_, done);
            runLeft_ -= done;
        }
        // Whole blocks of the stream while a block, whatever it holds, fits below `most`.
        // Where the block's runs start is found for the whole block at once, so stepping from
        // one token to the next is a bit clear rather than a chain of loads and tests through
        // every byte: in photographs, literals and runs alternate every few bytes. The units
        // written past a token are rewritten by the next one or lie beyond the goal.
        if (runLeft_ == 0 && most >= kMostPerBlock) {
            uint8_t* o = dst + done * unit;  // pointers: the 32-bit build has few registers
            const size_t fastGoal = goal < most - kMostPerBlock ? goal : most - kMostPerBlock;
            uint8_t* const fastEnd = dst + fastGoal * unit;
            while (o < fastEnd && static_cast<size_t>(end - p) >= kBlockBytes + kPiece) {
                Word starts = RunStarts(BlockFlags(p));
                const uint8_t* token = p;  // where the next token of the block begins
                while (starts != 0) {
                    const uint8_t* const run = p + LowestSetBit(starts);
                    const size_t literals = static_cast<size_t>(run - token);
                    out.Literals(o, token, literals);
                    o += literals * unit;
                    const size_t length = size_t{*run} - kRunFlag;
                    out.Run(o, run[1], length);
                    o += length * unit;
                    token = run + 2;
                    starts &= starts - 1;
                }
                const uint8_t* const blockEnd = p + kBlockBytes;
                if (token < blockEnd) {
                    const size_t literals = static_cast<size_t>(blockEnd - token);
                    out.Literals(o, token, literals);
                    o += literals * unit;
                    token = blockEnd;
                }
                p = token;
            }
            done = static_cast<size_t>(o - dst) / unit;
        }
        // Token by token up to the goal, near the ends of the data and of `most`.
        while (done < goal) {
            if (end - p < 1 || (*p > kRunFlag && end - p < 2)) {
                failed_ = true;
                break;
            }
            const uint8_t b = *p++;
            if (b <= kRunFlag) {
                out.Literal(dst + done * unit, b);
                ++done;
                continue;
            }
            const uint8_t value = *p++;
            const size_t run = size_t{b} - kRunFlag;
            const size_t n = run < goal - done ? run : goal - done;
            out.ExactRun(dst + done * unit, value, n);
            done += n;
            runLeft_ = run - n;  // the rest of a run that reaches past the goal
            runValue_ = value;
        }
        p_ = p;
        return done;
    }

    // True when the data ended before a goal.
    bool Failed() const { return failed_; }

    // The first byte after what has been decoded.
    const uint8_t* Position() const { return p_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    size_t runLeft_ = 0;
    uint8_t runValue_ = 0;
    bool failed_ = false;
};

// The decoded stream of a picture, a chunk at a time, to be cut into rows.
class RunLengthStream {
public:
    // About this many bytes per chunk, so that a chunk is still in the cache when it is used.
    static constexpr size_t kChunk = 8192;

    // `total`: the bytes the picture needs. No more are decoded, so Position() is where the
    // picture's data ends.
    RunLengthStream(const uint8_t* begin, const uint8_t* end, size_t total)
        : reader_(begin, end), left_(total) {}

    // Decodes the next chunk into Chunk(): between one byte and kChunk + kMostPerBlock, and
    // none once the total is reached or the data has ended (Failed() tells which).
    size_t Next() {
        const size_t goal = left_ < kChunk ? left_ : kChunk;
        const size_t most = left_ < kChunk + kMostPerBlock ? left_ : kChunk + kMostPerBlock;
        const size_t done = reader_.Read(ByteOut{}, chunk_, goal, most);
        left_ -= done;
        return done;
    }

    const uint8_t* Chunk() const { return chunk_; }
    bool Failed() const { return reader_.Failed(); }
    const uint8_t* Position() const { return reader_.Position(); }

private:
    RunLengthReader reader_;
    size_t left_;
    uint8_t chunk_[kChunk + kMostPerBlock];
};

// The most bytes `streamBytes` of run-length data can decode to: every pair a run of 63.
// Checked before allocating, so a tiny file cannot ask for a picture it could never fill.
uint64_t MostDecodedBytes(uint64_t streamBytes) {
    return streamBytes / 2 * 63 + (streamBytes & 1);
}

// Cuts the decoded stream into rows of `rowBytes` (the stored width, padding included) and
// hands each piece of a row to `take(row, first, bytes, count)`: `count` bytes that begin at
// byte `first` of row `row`. False when the data ends before the last row.
template <typename Take>
bool ReadRows(RunLengthStream& stream, size_t rowBytes, Take take) {
    size_t row = 0;
    size_t first = 0;
    for (size_t n; (n = stream.Next()) != 0;) {
        const uint8_t* bytes = stream.Chunk();
        while (n != 0) {
            const size_t piece = rowBytes - first < n ? rowBytes - first : n;
            take(row, first, bytes, piece);
            bytes += piece;
            n -= piece;
            first += piece;
            if (first == rowBytes) {
                first = 0;
                ++row;
            }
        }
    }
    return !stream.Failed();
}

void ReadPalette(const uint8_t* rgb, uint32_t* palette) {
    for (size_t i = 0; i < 256; ++i) {
        palette[i] = OpaqueWord(rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i]);
    }
}

// The pixel words of the indices of a row piece; the padding byte has no pixel.
void ExpandPiece(uint8_t* rowOut, size_t width, size_t first, const uint8_t* indices, size_t count,
                 const uint32_t* palette) {
    if (first >= width) {
        return;
    }
    const size_t n = count < width - first ? count : width - first;
    uint8_t* dst = rowOut + 4 * first;
    for (size_t i = 0; i < n; ++i) {
        StoreWord(dst + 4 * i, palette[indices[i]]);
    }
}

// Pixel words from `count` indices that sit in the last quarter of the same buffer, expanded
// in place from the front: pixel i's four bytes end at or before index i, so every index is
// read before it is overwritten.
void ExpandInPlace(uint8_t* out, size_t count, const uint32_t* palette) {
    const uint8_t* indices = out + 3 * count;
    for (size_t i = 0; i < count; ++i) {
        StoreWord(out + 4 * i, palette[indices[i]]);
    }
}

// The palette normally closes the file. When the byte 769 bytes from the end is its marker,
// pixels are written as their indices are decoded, and at the end the pixel data must have
// stopped right at that marker: straight into the picture when its stored rows are its rows
// (an even width), otherwise through the chunks cut into rows, while they are in the cache.
// Otherwise (or if it did not stop there) the whole picture's indices are decoded first into
// the last quarter of its buffer and expanded once the palette, or its absence, is known.
// Either way the stream is read once per attempt and no second picture-sized buffer is needed.
bool Decode8(const uint8_t* stream, const uint8_t* dataEnd, uint8_t* out, size_t width,
             size_t height, size_t rowBytes) {
    uint32_t palette[256];
    const uint8_t* const closingMarker = dataEnd - kPaletteBytes - 1;
    if (static_cast<size_t>(dataEnd - stream) > kPaletteBytes && *closingMarker == kPaletteMarker) {
        ReadPalette(closingMarker + 1, palette);
        const uint8_t* position = nullptr;
        if (rowBytes == width) {
            RunLengthReader reader(stream, dataEnd);
            const size_t pixels = width * height;
            // A failure here would recur the same way below: the stream is the same.
            if (reader.Read(PixelOut{palette}, out, pixels, pixels) != pixels) {
                return false;
            }
            position = reader.Position();
        } else {
            RunLengthStream decoded(stream, dataEnd, rowBytes * height);
            const bool ok = ReadRows(
                decoded, rowBytes, [&](size_t row, size_t first, const uint8_t* bytes, size_t n) {
                    ExpandPiece(out + row * width * 4, width, first, bytes, n, palette);
                });
            if (!ok) {
                return false;
            }
            position = decoded.Position();
        }
        if (position == closingMarker) {
            return true;
        }
    }

    const size_t pixels = width * height;
    uint8_t* indices = out + 3 * pixels;
    RunLengthStream decoded(stream, dataEnd, rowBytes * height);
    const bool ok =
        ReadRows(decoded, rowBytes, [&](size_t row, size_t first, const uint8_t* bytes, size_t n) {
            if (first < width) {
                std::memcpy(indices + row * width + first, bytes,
                            n < width - first ? n : width - first);
            }
        });
    if (!ok) {
        return false;
    }
    const uint8_t* tail = decoded.Position();
    const size_t after = static_cast<size_t>(dataEnd - tail);
    if (after > kPaletteBytes && tail[0] == kPaletteMarker) {
        ReadPalette(tail + 1, palette);
    } else {
        for (size_t i = 0; i < 256; ++i) {
            const uint8_t grey = static_cast<uint8_t>(i);
            palette[i] = OpaqueWord(grey, grey, grey);
        }
    }
    ExpandInPlace(out, pixels, palette);
    return true;
}

// Monochrome: bit 1 white, bit 0 black, the first pixel in the top bit of each byte.
bool Decode1(const uint8_t* stream, const uint8_t* dataEnd, uint8_t* out, size_t width,
             size_t height, size_t rowBytes) {
    const uint32_t black = OpaqueWord(0, 0, 0);
    const uint32_t white = OpaqueWord(255, 255, 255);
    RunLengthStream decoded(stream, dataEnd, rowBytes * height);
    return ReadRows(
        decoded, rowBytes, [&](size_t row, size_t first, const uint8_t* bytes, size_t n) {
            const size_t x0 = 8 * first;
            if (x0 >= width) {
                return;  // padding
            }
            uint8_t* dst = out + (row * width + x0) * 4;
            const size_t left = width - x0;
            const size_t whole = n < left / 8 ? n : left / 8;
            for (size_t i = 0; i < whole; ++i, dst += 32) {
                const unsigned byte = bytes[i];
                for (unsigned k = 0; k < 8; ++k) {
                    StoreWord(dst + 4 * k, ((byte >> (7 - k)) & 1u) != 0 ? white : black);
                }
            }
            if (whole < n && whole == left / 8) {  // the row's last byte, partly used
                const unsigned byte = bytes[whole];
                for (size_t k = 0; k < left % 8; ++k) {
                    StoreWord(dst + 4 * k, ((byte >> (7 - k)) & 1u) != 0 ? white : black);
                }
            }
        });
}

// Planar colour: a row is `planes` lines of `lineBytes` each. 24-bit (8 bits, 3 planes) writes
// each line's bytes into their channel; EGA (1 bit, 2 to 4 planes) gathers the index bits of
// each pixel in its first byte and looks the indices up once the picture is complete.
bool DecodePlanes(const uint8_t* stream, const uint8_t* dataEnd, uint8_t* out, size_t width,
                  size_t height, size_t lineBytes, unsigned bits, unsigned planes,
                  const uint32_t* palette) {
    std::memset(out, 0, width * height * 4);
    RunLengthStream decoded(stream, dataEnd, lineBytes * planes * height);
    const bool ok = ReadRows(
        decoded, lineBytes * planes, [&](size_t row, size_t first, const uint8_t* bytes, size_t n) {
            uint8_t* rowOut = out + row * width * 4;
            while (n != 0) {
                const size_t plane = first / lineBytes;
                const size_t at = first - plane * lineBytes;
                const size_t piece = lineBytes - at < n ? lineBytes - at : n;
                if (bits == 8) {
                    // Red, green, blue: bytes 2, 1 and 0 of the pixel.
                    uint8_t* dst = rowOut + 2 - plane;
                    for (size_t i = 0, x = at; i < piece && x < width; ++i, ++x) {
                        dst[4 * x] = bytes[i];
                    }
                } else {
                    const unsigned bit = 1u << plane;
                    for (size_t i = 0; i < piece && 8 * (at + i) < width; ++i) {
                        const unsigned byte = bytes[i];
                        const size_t x0 = 8 * (at + i);
                        const size_t count = width - x0 < 8 ? width - x0 : 8;
                        for (size_t k = 0; k < count; ++k) {
                            if ((byte >> (7 - k)) & 1u) {
                                rowOut[4 * (x0 + k)] |= static_cast<uint8_t>(bit);
                            }
                        }
                    }
                }
                bytes += piece;
                first += piece;
                n -= piece;
            }
        });
    if (!ok) {
        return false;
    }
    const size_t pixels = width * height;
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t* px = out + 4 * i;
        if (bits == 8) {
            px[3] = 0xFF;
        } else {
            StoreWord(px, palette[px[0]]);
        }
    }
    return true;
}

}  // namespace

Refusal DecodePcx(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    if (!data || size <= kHeaderBytes) {
        return Refusal::Truncated;
    }
    // Other versions, encodings and bit counts are PCX files too, but not ones the box shows.
    const PictureKind kind = RecognizePicture(data, size);
    if (kind != PictureKind::Pcx8 && kind != PictureKind::Pcx1) {
        return data[0] == 0x0A ? Refusal::Unsupported : Refusal::Malformed;
    }
    const uint16_t xmin = ReadLE16(data + 4);
    const uint16_t ymin = ReadLE16(data + 6);
    const uint16_t xmax = ReadLE16(data + 8);
    const uint16_t ymax = ReadLE16(data + 10);
    const unsigned planes = data[65];
    const size_t lineBytes = ReadLE16(data + 66);
    const unsigned bits = kind == PictureKind::Pcx8 ? 8 : 1;
    const bool planesRead = bits == 8 ? (planes == 1 || planes == 3) : (planes >= 1 && planes <= 4);
    if (xmin > xmax || ymin > ymax) {
        return Refusal::Malformed;
    }
    if (!planesRead) {
        return Refusal::Unsupported;
    }
    const int64_t width = int64_t{xmax} - xmin + 1;
    const int64_t height = int64_t{ymax} - ymin + 1;
    // A line must hold the width; the rest of it is padding. Bounded by 16 bits, so the
    // products below stay far from overflow.
    if (lineBytes < static_cast<uint64_t>(bits == 8 ? width : (width + 7) / 8)) {
        return Refusal::Malformed;
    }
    const uint64_t rowBytes = uint64_t{lineBytes} * planes;
    if (rowBytes * static_cast<uint64_t>(height) > MostDecodedBytes(size - kHeaderBytes)) {
        return Refusal::TooLarge;
    }
    uint8_t* out = picture_bytes::AllocatePicture(sink, width, height);
    if (!out) {
        return picture_bytes::AllocationRefusal(width, height);
    }
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const uint8_t* const stream = data + kHeaderBytes;
    bool ok = false;
    if (planes == 1) {
        ok = bits == 8 ? Decode8(stream, data + size, out, w, h, lineBytes)
                       : Decode1(stream, data + size, out, w, h, lineBytes);
    } else {
        uint32_t palette[16];
        for (size_t i = 0; i < 16; ++i) {
            const uint8_t* rgb = data + kEgaPaletteOffset + 3 * i;
            palette[i] = OpaqueWord(rgb[2], rgb[1], rgb[0]);
        }
        ok = DecodePlanes(stream, data + size, out, w, h, lineBytes, bits, planes, palette);
    }
    if (!ok) {
        return Refusal::Truncated;  // the stream ends before the last row
    }
    picture_bytes::SetInfo(info, width, height, false);
    return Refusal::None;
}
