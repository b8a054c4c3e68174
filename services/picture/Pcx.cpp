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

class RunLengthReader {
public:
    RunLengthReader(const uint8_t* begin, const uint8_t* end) : p_(begin), end_(end) {}

    // Writes the next `count` decoded bytes; false when the data ends first.
    bool Read(uint8_t* out, size_t count) {
        size_t done = 0;
        while (done < count) {
            if (runLeft_ != 0) {
                const size_t n = runLeft_ < count - done ? runLeft_ : count - done;
                std::memset(out + done, runValue_, n);
                done += n;
                runLeft_ -= n;
                continue;
            }
            if (p_ == end_) {
                return false;
            }
            const uint8_t b = *p_++;
            if (b > kRunFlag) {
                if (p_ == end_) {
                    return false;
                }
                runValue_ = *p_++;
                runLeft_ = size_t{b} - kRunFlag;
            } else {
                out[done++] = b;
            }
        }
        return true;
    }

    // Decodes and drops `count` bytes (row padding).
    bool Skip(size_t count) {
        uint8_t scratch[2];
        while (count != 0) {
            const size_t n = count < sizeof scratch ? count : sizeof scratch;
            if (!Read(scratch, n)) {
                return false;
            }
            count -= n;
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

// The indices are decoded into the last quarter of the picture's own buffer and then expanded
// in place from the front: pixel i's four bytes end at or before index i, so every index is
// read before it is overwritten. One pass over the stream and no second buffer, even though the
// palette only comes after the pixels.
bool Decode8(RunLengthReader& reader, const uint8_t* dataEnd, uint8_t* out, size_t width,
             size_t height) {
    const size_t pixels = width * height;
    uint8_t* indices = out + 3 * pixels;
    const size_t padding = EvenUp(width) - width;
    for (size_t y = 0; y < height; ++y) {
        if (!reader.Read(indices + y * width, width) || !reader.Skip(padding)) {
            return false;
        }
    }

    uint32_t palette[256];
    const uint8_t* tail = reader.Position();
    const size_t after = static_cast<size_t>(dataEnd - tail);
    if (after > kPaletteBytes && tail[0] == kPaletteMarker) {
        const uint8_t* rgb = tail + 1;
        for (size_t i = 0; i < 256; ++i) {
            palette[i] = OpaqueWord(rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i]);
        }
    } else {
        for (size_t i = 0; i < 256; ++i) {
            const uint8_t grey = static_cast<uint8_t>(i);
            palette[i] = OpaqueWord(grey, grey, grey);
        }
    }
    for (size_t i = 0; i < pixels; ++i) {
        StoreWord(out + 4 * i, palette[indices[i]]);
    }
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
        for (size_t x = 0; x < width; ++x) {
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
    RunLengthReader reader(data + kHeaderBytes, data + size);
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const bool ok = kind == PictureKind::Pcx8 ? Decode8(reader, data + size, out, w, h)
                                              : Decode1(reader, out, w, h);
    if (ok) {
        picture_bytes::SetInfo(info, width, height, false);
    }
    return ok;
}
