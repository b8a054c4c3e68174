// PCX: 8-bit palette images and 1-bit monochrome images, run-length decoded to top-down BGRA.
//
//   header (128 bytes)
//   +0 0x0A   +1 version   +2 encoding (1 = run length)   +3 bits per pixel
//   +4 xmin   +6 ymin      +8 xmax   +10 ymax (16-bit each, inclusive window)
//   +65 planes (must be 1)
//
// The run-length stream starts at byte 128. A byte above 0xC0 gives (byte - 0xC0) copies of
// the next byte; any other byte, 0xC0 included, stands for itself. Runs may carry on into the
// next row. Each encoded row holds an even number of bytes, as the format's scan lines do:
// (width + 7) / 8 rounded up to even for 1 bit, width rounded up to even for 8 bits. The
// header's bytes-per-line field is not used.
//
// After the 8-bit pixel data, a byte 12 followed by 768 bytes gives the palette (R, G, B).
// Without it (no 12, or fewer than 768 bytes after it) the image is shown as greyscale,
// index i as (i, i, i). A 1-bit image is monochrome: bit 1 white, bit 0 black.
// Data that ends before the last row is refused.
#include <cstring>

#include "Picture.h"
#include "PictureBytes.h"

using picture_bytes::OpaqueWord;
using picture_bytes::ReadLE16;
using picture_bytes::StoreWord;

namespace {

constexpr size_t kHeaderBytes = 128;
constexpr uint8_t kPaletteMarker = 12;
constexpr size_t kPaletteBytes = 768;
constexpr uint8_t kRunFlag = 0xC0;
constexpr size_t kMaxMonoRowBytes = (65536 + 7) / 8;  // widest window, already even

// The fast path of RunLengthReader::Read moves machine words.
using Word = size_t;
constexpr Word kEveryByte = ~Word{0} / 0xFF;  // 0x0101...01
// A word of literals, then a run of up to 63 bytes written in 16-byte pieces.
constexpr size_t kFastOutputRoom = sizeof(Word) + 64;

// Bit 7 of each byte of the result is set where that byte of `bytes` starts a run (> 0xC0).
// The low seven bits of a byte plus 0x3F reach 0x80 exactly when they are 0x41 or more, and
// cannot carry into the next byte.
inline Word RunFlags(Word bytes) {
    const Word high = bytes & (kEveryByte * 0x80);
    const Word low = bytes & (kEveryByte * 0x7F);
    return (low + kEveryByte * 0x3F) & high;
}

inline unsigned LowestSetBit(Word w) {
    if constexpr (sizeof(Word) == sizeof(unsigned long long)) {
        return static_cast<unsigned>(__builtin_ctzll(w));
    } else {
        return static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(w)));
    }
}

class RunLengthReader {
public:
    RunLengthReader(const uint8_t* begin, const uint8_t* end) : p_(begin), end_(end) {}

    // Writes the next `count` decoded bytes; false when the data ends first. The cursor and the
    // run in progress are kept in locals: the output is bytes, which may alias any member, so
    // members would be reloaded after every byte written.
    bool Read(uint8_t* out, size_t count) {
        const uint8_t* p = p_;
        const uint8_t* const end = end_;
        size_t runLeft = runLeft_;
        const uint8_t runValue = runValue_;
        size_t done = runLeft < count ? runLeft : count;
        for (size_t i = 0; i < done; ++i) {
            out[i] = runValue;
        }
        runLeft -= done;
        // Away from both ends, a word of the stream at a time: its leading literal bytes are
        // copied as they are, then the run that follows them (if any) is written in 16-byte
        // pieces. Bytes written past a token are rewritten by the next one. In photographs
        // literals and runs alternate at random, so deciding byte by byte would cost a
        // mispredicted branch every few bytes; this way the only branches are on long runs and
        // all-literal words.
        while (count - done >= kFastOutputRoom && static_cast<size_t>(end - p) > sizeof(Word)) {
            Word bytes;
            std::memcpy(&bytes, p, sizeof bytes);
            std::memcpy(out + done, &bytes, sizeof bytes);
            const Word runFlags = RunFlags(bytes);
            if (runFlags == 0) {
                p += sizeof(Word);
                done += sizeof(Word);
                continue;
            }
            // The run's count byte is in the word already; its value byte may be just past it.
            const unsigned flagBit = LowestSetBit(runFlags);
            const size_t literals = flagBit / 8;
            const size_t run = static_cast<size_t>((bytes >> (flagBit - 7)) & 0xFF) - kRunFlag;
            const Word fill = Word{p[literals + 1]} * kEveryByte;
            p += literals + 2;
            done += literals;
            // Nearly all runs are short: 16 bytes without a test, then the rest of a long one.
            Word fills[16 / sizeof(Word)];
            for (Word& f : fills) {
                f = fill;
            }
            std::memcpy(out + done, fills, 16);
            for (size_t i = 16; i < run; i += 16) {
                std::memcpy(out + done + i, fills, 16);
            }
            done += run;
        }
        bool ok = true;
        while (done < count) {
            if (p == end) {
                ok = false;
                break;
            }
            const uint8_t b = *p++;
            if (b <= kRunFlag) {
                out[done++] = b;
                continue;
            }
            if (p == end) {
                ok = false;
                break;
            }
            const uint8_t value = *p++;
            const size_t run = size_t{b} - kRunFlag;
            const size_t n = run < count - done ? run : count - done;
            for (size_t i = 0; i < n; ++i) {
                out[done + i] = value;
            }
            done += n;
            if (n < run) {
                runLeft = run - n;  // carries on into the next row
                runValue_ = value;
            }
        }
        p_ = p;
        runLeft_ = runLeft;
        return ok;
    }

    // Decodes and drops `count` bytes (row padding).
    bool Skip(size_t count) {
        while (count != 0) {
            if (runLeft_ != 0) {
                const size_t n = runLeft_ < count ? runLeft_ : count;
                runLeft_ -= n;
                count -= n;
                continue;
            }
            if (p_ == end_) {
                return false;
            }
            const uint8_t b = *p_++;
            if (b <= kRunFlag) {
                --count;
                continue;
            }
            if (p_ == end_) {
                return false;
            }
            runValue_ = *p_++;
            runLeft_ = size_t{b} - kRunFlag;
        }
        return true;
    }

    // The first byte after what has been decoded.
    const uint8_t* Position() const { return p_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    size_t runLeft_ = 0;
    uint8_t runValue_ = 0;
};

size_t EvenUp(size_t n) { return n + (n & 1); }

// The most bytes `streamBytes` of run-length data can decode to: every pair a run of 63.
// Checked before allocating, so a tiny file cannot ask for a picture it could never fill.
uint64_t MostDecodedBytes(uint64_t streamBytes) { return streamBytes / 2 * 63 + (streamBytes & 1); }

void ReadPalette(const uint8_t* rgb, uint32_t* palette) {
    for (size_t i = 0; i < 256; ++i) {
        palette[i] = OpaqueWord(rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i]);
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
// each row is expanded as soon as it is decoded, while its indices are still in the cache, and
// at the end the pixel data must have stopped right at that marker. Otherwise (or if it did
// not stop there) the whole picture's indices are decoded first into the last quarter of its
// buffer and expanded once the palette, or its absence, is known. Either way the stream is
// read once per attempt and no second buffer is needed.
bool Decode8(const uint8_t* stream, const uint8_t* dataEnd, uint8_t* out, size_t width,
             size_t height) {
    const size_t padding = EvenUp(width) - width;
    const size_t rowBytes = width * 4;
    uint32_t palette[256];
    const uint8_t* const closingMarker = dataEnd - kPaletteBytes - 1;
    if (static_cast<size_t>(dataEnd - stream) > kPaletteBytes && *closingMarker == kPaletteMarker) {
        ReadPalette(closingMarker + 1, palette);
        RunLengthReader reader(stream, dataEnd);
        for (size_t y = 0; y < height; ++y) {
            uint8_t* row = out + y * rowBytes;
            // A failure here would recur the same way below: the stream is the same.
            if (!reader.Read(row + 3 * width, width) || !reader.Skip(padding)) {
                return false;
            }
            ExpandInPlace(row, width, palette);
        }
        if (reader.Position() == closingMarker) {
            return true;
        }
    }

    RunLengthReader reader(stream, dataEnd);
    const size_t pixels = width * height;
    uint8_t* indices = out + 3 * pixels;
    for (size_t y = 0; y < height; ++y) {
        if (!reader.Read(indices + y * width, width) || !reader.Skip(padding)) {
            return false;
        }
    }
    const uint8_t* tail = reader.Position();
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

bool Decode1(RunLengthReader& reader, uint8_t* out, size_t width, size_t height) {
    uint8_t row[kMaxMonoRowBytes];
    const size_t rowBytes = EvenUp((width + 7) / 8);
    const uint32_t black = OpaqueWord(0, 0, 0);
    const uint32_t white = OpaqueWord(255, 255, 255);
    for (size_t y = 0; y < height; ++y) {
        if (!reader.Read(row, rowBytes)) {
            return false;
        }
        uint8_t* dst = out + y * width * 4;
        // Whole bytes first, eight pixels each.
        size_t x = 0;
        for (; x + 8 <= width; x += 8) {
            const unsigned byte = row[x >> 3];
            for (unsigned k = 0; k < 8; ++k) {
                StoreWord(dst + 4 * (x + k), ((byte >> (7 - k)) & 1u) != 0 ? white : black);
            }
        }
        for (; x < width; ++x) {
            const bool set = ((static_cast<unsigned>(row[x >> 3]) >> (7 - (x & 7))) & 1u) != 0;
            StoreWord(dst + 4 * x, set ? white : black);
        }
    }
    return true;
}

}  // namespace

bool DecodePcx(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    if (!data || size <= kHeaderBytes) {
        return false;
    }
    const PictureKind kind = RecognizePicture(data, size);
    if (kind != PictureKind::Pcx8 && kind != PictureKind::Pcx1) {
        return false;
    }
    const uint16_t xmin = ReadLE16(data + 4);
    const uint16_t ymin = ReadLE16(data + 6);
    const uint16_t xmax = ReadLE16(data + 8);
    const uint16_t ymax = ReadLE16(data + 10);
    const uint8_t planes = data[65];
    // Several planes (24-bit colour, 16-colour EGA) are other bit counts: refused.
    if (xmin > xmax || ymin > ymax || planes != 1) {
        return false;
    }
    const int64_t width = int64_t{xmax} - xmin + 1;
    const int64_t height = int64_t{ymax} - ymin + 1;
    const uint64_t rowBytes = kind == PictureKind::Pcx8
                                  ? EvenUp(static_cast<size_t>(width))
                                  : EvenUp(static_cast<size_t>((width + 7) / 8));
    if (rowBytes * static_cast<uint64_t>(height) > MostDecodedBytes(size - kHeaderBytes)) {
        return false;
    }
    uint8_t* out = picture_bytes::AllocatePicture(sink, width, height);
    if (!out) {
        return false;
    }
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    bool ok = false;
    if (kind == PictureKind::Pcx8) {
        ok = Decode8(data + kHeaderBytes, data + size, out, w, h);
    } else {
        RunLengthReader reader(data + kHeaderBytes, data + size);
        ok = Decode1(reader, out, w, h);
    }
    if (ok) {
        picture_bytes::SetInfo(info, width, height, false);
    }
    return ok;
}
