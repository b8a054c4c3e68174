// Picture files written by the tests, benchmarks and fuzz seeds themselves, small enough to
// reason about pixel by pixel or large enough to measure with. Two levels:
// - from bytes: BMP, PCX, icons and GIF byte by byte from the rows, tables and colour indices
//   the caller gives; PNG and JPEG through libpng and libjpeg;
// - from a raster of colours: each format at a given depth, colour tables made from the
//   raster's own colours.
// Every writer gives a well-formed file; a test that wants a broken one patches the bytes
// afterwards at the offsets the format defines. Portable: the unit tests, the Wine driver,
// the benchmarks and the fuzz seed writer all link this one library. In a namespace of its
// own, as the service layer has a Bytes of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <vector>

namespace testpictures {

using Bytes = std::vector<uint8_t>;

// One colour, in the order of PNG and JPEG samples; opaque unless told otherwise.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Rgba& o) const { return !(*this == o); }
};
void PrintTo(const Rgba& c, std::ostream* os);

inline constexpr Rgba kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kBlack{0, 0, 0}, kYellow{255, 255, 0}, kMagenta{255, 0, 255}, kClear{0, 0, 0, 0};

// Decoded pixels, stored B, G, R, A as the decoders and Windows' 32-bit DIBs have them.
std::vector<Rgba> ToPixels(const Bytes& bgra);
// A copy of `b` with `values` written from byte `at` on.
Bytes Patched(Bytes b, size_t at, std::initializer_list<uint8_t> values);
Bytes Cut(const Bytes& b, size_t size);
// R, G, B triples: a GIF or PCX colour table.
Bytes RgbTable(const std::vector<Rgba>& colours);

// --- From bytes ---------------------------------------------------------------------------

// BMP with a 40-byte info header; rows in file order, each padded to 4 bytes.
Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const Bytes& rows,
              const std::vector<Rgba>& table = {}, uint32_t coloursUsed = 0);
// BMP of any header version: 12 (the core header: 16-bit sizes, 3-byte table entries), 40,
// 108 (V4) or 124 (V5); colours-used is the table's length. `masks` (red, green, blue[,
// alpha]) follow a 40-byte header, as compressions 3 and 6 store them, or fill the mask fields
// of a larger one. `pixels` are the stored rows or the run-length stream.
struct BmpLayout {
    int32_t width = 1, height = 1;
    uint16_t bits = 24;
    uint32_t headerSize = 40;
    uint32_t compression = 0;
    std::vector<uint32_t> masks;
    std::vector<Rgba> table;
    Bytes pixels;
};
Bytes MakeBmp(const BmpLayout& layout);
// PCX from the decoded row bytes (rows already padded to their even length), run-length
// encoded as one stream; a 768-byte palette is appended after a 12 when given. A byte above
// 0xC0 always goes as a run; 0xC0 itself is written as it is (a run of none), as the tests of
// that case need.
Bytes MakePcx(int width, int height, int bits, const Bytes& rows, const Bytes* palette = nullptr);
// PCX of any kind: `rows` hold each row's lines of `lineBytes` (0: the packed width rounded up
// to even, which the header's bytes-per-line field then says) plane after plane;
// `headerPalette` fills the 16-colour palette at byte 16.
struct PcxLayout {
    int width = 1, height = 1, bits = 8, planes = 1, version = 5, lineBytes = 0;
    Bytes rows;
    Bytes headerPalette;  // up to 48 bytes, R, G, B
    Bytes palette;        // 768 bytes after a 12 at the end, or none
};
Bytes MakePcx(const PcxLayout& layout);
// A layout of `planes` lines of `lineBytes` a row.
PcxLayout PcxLines(int width, int height, int bits, int planes, int lineBytes, Bytes rows);
// A bitmap icon image exactly as large as its header says (header, table, colour, mask rows),
// all zero.
Bytes IconBitmap(int width, int height, uint16_t bits);
struct IconEntry {
    uint8_t widthByte, colourByte;
    Bytes image;
    uint16_t planes = 0, bitCount = 0;  // a cursor's hot spot
};
// Type 1 for an icon, 2 for a cursor; each entry's height byte is its width byte.
Bytes MakeIconFile(uint16_t type, const std::vector<IconEntry>& entries);

// GIF LZW with the format's code-size growth. A full table is either cleared (the usual
// encoder) or kept without new entries until the end (a deferred clear).
Bytes LzwEncode(const Bytes& indices, int minCodeSize, bool deferredClear = false);

struct GifFrame {
    GifFrame(int l, int t, int w, int h, Bytes indices, Bytes local = {}, bool interlace = false,
             int codeSize = 2);
    int left, top, width, height;
    Bytes pixels;      // colour indices, top row first
    Bytes localTable;  // R, G, B triples; empty for the global table
    bool interlaced;
    int minCodeSize;
    // The graphic control that Frame writes before the image.
    int delayCs = 10;
    int disposal = 0;
    int transparentIndex = -1;  // none
};
// A frame that covers a screen in one colour index.
GifFrame SolidFrame(int width, int height, uint8_t index, int delayCs);

class GifWriter {
public:
    GifWriter(int width, int height, const Bytes& globalTable);
    GifWriter& Control(int disposal, int delayCs, int transparentIndex = -1);
    // The application extension that carries a loop count.
    GifWriter& LoopCount(int count);
    GifWriter& Image(const GifFrame& frame);
    GifWriter& Image(const GifFrame& frame, const Bytes& lzwBytes);
    // The frame's graphic control, then its image.
    GifWriter& Frame(const GifFrame& frame);
    GifWriter& Raw(const Bytes& bytes);
    Bytes Trailer() const;
    Bytes NoTrailer() const { return out_; }

private:
    Bytes out_;
};

// PNG through libpng's simplified writer from samples of a `PNG_FORMAT_*` format (R, G, B, A
// unless `format` says otherwise), with a colour map for the colour-mapped formats.
Bytes WritePng(int width, int height, const Bytes& samples, bool alpha = true);
Bytes WritePngFormat(int width, int height, uint32_t format, const Bytes& samples,
                     const Bytes& colourMap = {}, uint32_t colourMapEntries = 0);
// Animated PNG of R, G, B, A frames, each at its place with its delay (num / den s) and its
// dispose and blend operations. The first frame is the default image, unless `defaultImage`
// (R, G, B, A of the whole canvas) is given: that comes first and is not part of the animation.
struct ApngFrame {
    int x, y, width, height;
    Bytes rgba;
    uint16_t delayNum = 1, delayDen = 10;
    uint8_t dispose = 0, blend = 0;
};
Bytes WriteApng(int width, int height, const std::vector<ApngFrame>& frames,
                const Bytes& defaultImage = {});
// A copy of a PNG whose chunk at `at` has its CRC made right again, after a patch.
Bytes Rechecked(Bytes png, size_t at);
// JPEG from grey, R, G, B or C, M, Y, K samples, at quality 100 without chroma subsampling
// unless asked otherwise (`subsampled`: libjpeg's default 4:2:0). Four components are stored
// as CMYK, or as YCCK with `ycck`, both with libjpeg's Adobe marker. WriteJpegRows asks for one
// row at a time, so a large picture never exists whole beside its file.
enum class JpegScans { Baseline, Progressive, TooMany };
Bytes WriteJpeg(int width, int height, int components, const Bytes& samples,
                JpegScans scans = JpegScans::Baseline, int quality = 100, bool subsampled = false,
                bool ycck = false);
using JpegRowFill = std::function<void(int y, uint8_t* row)>;
Bytes WriteJpegRows(int width, int height, int components, const JpegRowFill& fill,
                    JpegScans scans = JpegScans::Baseline, int quality = 100,
                    bool subsampled = false, bool ycck = false);
// 16 x 16 in four 8 x 8 blocks, so no JPEG block mixes two colours: red, green / blue, white,
// or greys 40, 90 / 160, 230 with one component.
Bytes QuadrantJpeg(int components, JpegScans scans = JpegScans::Baseline);
// WebP from R, G, B, A samples: lossless (the pixels exactly; the colour of fully transparent
// pixels may change) or lossy at `quality`. An animation from whole-canvas frames of R, G, B, A
// samples, each with how long it stays, lossless.
Bytes WriteWebp(int width, int height, const Bytes& rgba, bool lossless = true, int quality = 90);
struct WebpFrame {
    Bytes rgba;
    int durationMs;
};
Bytes WriteAnimatedWebp(int width, int height, const std::vector<WebpFrame>& frames);
// A JPEG with an APP1 EXIF segment holding `tiff` right after SOI; a TIFF block whose first IFD
// has two entries, the orientation (of `type`: 3 SHORT, 1 BYTE, 4 LONG...) second, in either
// byte order.
Bytes WithExif(const Bytes& jpeg, const Bytes& tiff);
Bytes OrientationTiff(uint16_t value, bool bigEndian, uint16_t type = 3);

// --- From a raster ------------------------------------------------------------------------

// Pixels top row first.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
    const Rgba& At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Raster Filled(int width, int height, Rgba colour);
// Top half one colour, bottom half another: tells a picture shown upside down.
Raster Halves(int width, int height, Rgba top, Rgba bottom);
// Four quarters, row by row: top left, top right, bottom left, bottom right.
Raster Quarters(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft,
                Rgba bottomRight);

// Indexed depths (1, 4, 8) build their colour table from the raster's colours in order of
// first appearance; 24 and 32 store them directly. Empty when the colours do not fit.
Bytes BmpFile(const Raster& raster, int bits);
// 8 bits with a palette after the pixels, or 1 bit, where only white is ink.
Bytes PcxFile(const Raster& raster, int bits);
// R, G, B, A when `alpha`, else R, G, B.
Bytes PngFile(const Raster& raster, bool alpha);
// Baseline, quality 100, no chroma subsampling; one grey component (the red) when `grey`.
Bytes JpegFile(const Raster& raster, bool grey);
// R, G, B, A, lossless or lossy at quality 100; an animation of whole frames, each staying
// `durationMs`.
Bytes WebpFile(const Raster& raster, bool lossless);
Bytes AnimatedWebpFile(const std::vector<Raster>& frames, int durationMs);
// R, G, B, A samples of a raster, as the writers from bytes take them.
Bytes RgbaSamples(const Raster& raster);
#ifdef ORVESSA_AVIF_ENCODER
// AVIF through libavif's encoder, where the build has it (natively): lossless (4:4:4, identity
// matrix, alpha kept exactly); a sequence of whole frames, each staying `durationMs`.
Bytes AvifFile(const Raster& raster);
Bytes AnimatedAvifFile(const std::vector<Raster>& frames, int durationMs);
#endif

// One image of an icon or cursor file: a bitmap of 4 or 32 bits with an all-opaque mask, and
// the directory's colour-count byte as given.
struct IconImage {
    Raster raster;
    int bits;
    uint8_t colourCountByte;
};
// Type 1 for an icon (planes and bit count in the directory), 2 for a cursor (hot spot 0, 0).
Bytes IconFile(uint16_t type, const std::vector<IconImage>& images);

}  // namespace testpictures
