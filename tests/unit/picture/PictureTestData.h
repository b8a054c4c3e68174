// Small picture files written by the tests themselves: BMP, PCX and GIF byte by byte, PNG and
// JPEG through libpng and libjpeg. Each writer produces a well-formed file; tests that need a
// broken one patch the bytes afterwards at the offsets the format defines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <utility>
#include <vector>

#include "Picture.h"

using Bytes = std::vector<uint8_t>;

struct Bgra {
    uint8_t b = 0, g = 0, r = 0, a = 0;
    bool operator==(const Bgra& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
};
void PrintTo(const Bgra& c, std::ostream* os);

constexpr Bgra kRed{0, 0, 255, 255}, kGreen{0, 255, 0, 255}, kBlue{255, 0, 0, 255},
    kWhite{255, 255, 255, 255}, kBlack{0, 0, 0, 255}, kClear{0, 0, 0, 0}, kGrey1{1, 2, 3, 255};

// Fills its buffer with a marker first, so a pixel the decoder never wrote shows up as a wrong
// colour; it can also refuse to allocate.
class TestSink final : public PixelSink {
public:
    explicit TestSink(bool refuse = false) : refuse_(refuse) {}
    uint8_t* Allocate(int32_t width, int32_t height) override;
    std::vector<Bgra> All() const;
    int32_t width = 0, height = 0;
    Bytes pixels;

private:
    bool refuse_;
};

std::vector<Bgra> ToPixels(const Bytes& bgra);
// A copy of `b` with `values` written from byte `at` on.
Bytes Patched(Bytes b, size_t at, std::initializer_list<uint8_t> values);
Bytes Cut(const Bytes& b, size_t size);

// BMP with a 40-byte info header; rows in file order, each padded to 4 bytes.
Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const Bytes& rows,
              const std::vector<Bgra>& table = {}, uint32_t coloursUsed = 0);
// PCX from the decoded row bytes (rows already padded to their even length), run-length
// encoded as one stream; a 768-byte palette is appended after a 12 when given.
Bytes MakePcx(int width, int height, int bits, const Bytes& rows, const Bytes* palette = nullptr);
// A bitmap icon image exactly as large as its header says (header, table, colour, mask rows).
Bytes IconBitmap(int width, int height, uint16_t bits);
struct IconEntry {
    uint8_t widthByte, colourByte;
    Bytes image;
};
Bytes MakeIconFile(uint16_t type, const std::vector<IconEntry>& entries);

// GIF LZW with the format's code-size growth. A full table is either cleared (the usual
// encoder) or kept without new entries until the end (a deferred clear).
Bytes LzwEncode(const Bytes& indices, int minCodeSize, bool deferredClear = false);

struct GifFrame {
    GifFrame(int l, int t, int w, int h, Bytes indices, Bytes local = {}, bool interlace = false,
             int codeSize = 2)
        : left(l),
          top(t),
          width(w),
          height(h),
          pixels(std::move(indices)),
          localTable(std::move(local)),
          interlaced(interlace),
          minCodeSize(codeSize) {}
    int left, top, width, height;
    Bytes pixels;      // colour indices, top row first
    Bytes localTable;  // R, G, B triples; empty for the global table
    bool interlaced;
    int minCodeSize;
};

class GifWriter {
public:
    GifWriter(int width, int height, const Bytes& globalTable);
    GifWriter& Control(int disposal, int delayCs, int transparentIndex = -1);
    GifWriter& Image(const GifFrame& frame);
    GifWriter& Image(const GifFrame& frame, const Bytes& lzwBytes);
    GifWriter& Raw(const Bytes& bytes);
    Bytes Trailer() { return Raw({0x3B}).out_; }
    Bytes NoTrailer() const { return out_; }

private:
    Bytes out_;
};

// PNG from R, G, B, A samples (or R, G, B without `alpha`); JPEG from grey, R, G, B or
// C, M, Y, K samples, at quality 100 without chroma subsampling unless asked otherwise
// (`subsampled`: libjpeg's default 4:2:0).
Bytes WritePng(int width, int height, const Bytes& samples, bool alpha = true);
enum class JpegScans { Baseline, Progressive, TooMany };
Bytes WriteJpeg(int width, int height, int components, const Bytes& samples,
                JpegScans scans = JpegScans::Baseline, int quality = 100, bool subsampled = false);
// 16 x 16 in four 8 x 8 blocks, so no JPEG block mixes two colours: red, green / blue, white,
// or greys 40, 90 / 160, 230 with one component.
Bytes QuadrantJpeg(int components, JpegScans scans = JpegScans::Baseline);
