// Pictures for the picture box: recognising a format from its first bytes, decoding BMP, PCX,
// JPEG, PNG and WebP into 32-bit pixels, choosing the image of an icon or cursor file, blending
// a picture with alpha onto a background, and placing a picture in a client area. GIF lives in
// Gif.h, WebP's animation in Webp.h, AVIF's in Avif.h, what the animations share in
// Animation.h.
//
// Portable on purpose: nothing here draws or holds a platform handle. Decoders hand their
// pixels to a PixelSink, so the window layer can supply the bits of a top-down 32-bit DIB
// section and the decoder writes straight into it; the window layer does all drawing.
//
// Every decoder treats its input as hostile. A bad file gives no picture and the reason
// (Refusal), never a crash, a hang or an allocation larger than kMaxPicturePixels * 4 bytes. One
// exception, bounded too: a progressive JPEG keeps all its coefficients (2 bytes a sample) beside
// the picture, and libjpeg may use up to 800 MiB for them, what a 4:4:4 colour picture at the pixel
// cap needs; a progressive CMYK picture needs more above about 100 Mi pixels and is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class PictureKind { None, Bmp, Jpeg, Png, Ico, Cur, Gif, Pcx8, Pcx1, Webp, Avif };

// Why a decoder gave no picture; None when it gave one. DecodePicture's callers learn only
// whether there is a picture: the reason is for the tests and tools that ask why.
enum class Refusal : uint8_t {
    None,
    Truncated,    // the data ends before what it declares
    Malformed,    // a signature, field, table or coded stream breaks the format's rules
    Unsupported,  // a variant of the format the box does not show
    TooLarge,     // past the pixel cap, or a canvas or scan count its data cannot justify
    NoMemory,     // the sink, or the library's working memory, could not be had
};
// The reason's name, as "Truncated".
const char* RefusalName(Refusal refusal);

// The kind from the first 8 bytes, tested in this order: BMP "BM"; JPEG FF D8; PNG 89 50 4E 47;
// ICO words 0, 1, count >= 1; CUR words 0, 2, count >= 1; GIF "GIF87a"/"GIF89a";
// 8-bit PCX (0x0A, version <= 5, encoding 1, 8 bits); 1-bit PCX (0x0A, version <= 5,
// encoding 1, 1 bit). The planes of either are the decoder's affair; WebP "RIFF", then "WEBP"
// at byte 8 (so 12 bytes are needed); AVIF: an "ftyp" box first whose brands include "avif" or
// "avis" (the whole box is read). Fewer than 8 bytes, or no match: None. The file name never
// matters.
PictureKind RecognizePicture(const uint8_t* data, size_t size);

// The largest picture any decoder produces: 128 Mi pixels (512 MiB of BGRA), far above a
// 50-megapixel photo. Larger dimensions are refused before anything is allocated.
constexpr int64_t kMaxPicturePixels = int64_t{128} * 1024 * 1024;

struct ImageInfo {
    int32_t width = 0;
    int32_t height = 0;
    // Some pixel has alpha below 255: the picture is blended onto the background. False: it is
    // drawn opaque, and every fourth byte is 255, except a WebP's (see DecodeWebp).
    bool hasAlpha = false;
};

// Where decoded pixels go: width * height * 4 bytes, B, G, R, A per pixel, top row first,
// stride width * 4. A decoder calls Allocate once, after its size checks, with
// 1 <= width, 1 <= height, width * height <= kMaxPicturePixels, and writes every byte.
// Allocate returns nullptr when it cannot serve the request and must not throw.
// When the decoder then fails, whatever it wrote is meaningless.
class PixelSink {
public:
    virtual ~PixelSink();
    virtual uint8_t* Allocate(int32_t width, int32_t height) = 0;
};

// A sink that owns its pixels on the C++ heap (used by tests and anywhere no DIB is wanted).
class HeapPixelSink final : public PixelSink {
public:
    uint8_t* Allocate(int32_t width, int32_t height) override;
    const uint8_t* Pixels() const { return pixels_.get(); }
    uint8_t* Pixels() { return pixels_.get(); }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

private:
    std::unique_ptr<uint8_t[]> pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// Decoders: Refusal::None and the picture in the sink, or why there is none. `info` may be
// nullptr.
// PCX and JPEG are opaque (alpha 255 everywhere); PNG keeps its alpha; BMP has alpha where its
// bit fields carry an alpha channel and where a run-length stream skips pixels (see Bmp.cpp).
Refusal DecodeBmp(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);
Refusal DecodePcx(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);
Refusal DecodeJpeg(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);
Refusal DecodePng(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);
// WebP keeps its alpha, as PNG does; of an animation this is the first frame (see Webp.h). A
// still WebP's hasAlpha is its header's answer, which encoders give exactly, so no pass over
// the picture looks for translucent pixels: a lossless stream whose header says it has no
// alpha is drawn opaque whatever alpha it codes, and a picture with an alpha channel that is
// opaque everywhere is blended all the same, to the same pixels.
Refusal DecodeWebp(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);
// AVIF keeps its alpha, straight, as PNG does; cropped, turned and mirrored as the file says;
// of a sequence without a primary image this is the first frame (see Avif.h).
Refusal DecodeAvif(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);

// Where a picture will be drawn, known before it is decoded: the display mode and the client
// area, PlacePicture's arguments besides the picture's own size. A client area without area
// says nothing, and the picture is decoded whole.
struct DrawTarget {
    int32_t mode = 0;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
};

// A picture drawn at less than half its natural size in both directions is decoded smaller:
// true, and the drawn size, when a naturalW x naturalH picture is so drawn in `target`.
bool DrawnBelowHalf(const DrawTarget& target, int64_t naturalW, int64_t naturalH, int64_t* drawnW,
                    int64_t* drawnH);
// Whether a picture decoded at decodedW x decodedH still serves when the naturalW x naturalH
// picture is drawn in `target`: it is whole, or at least twice the drawn size both ways.
bool DecodedSizeServes(const DrawTarget& target, int64_t naturalW, int64_t naturalH,
                       int64_t decodedW, int64_t decodedH);

// JPEG and still WebP decoded for the place they are drawn in, through the libraries' own
// scaling: a picture drawn below half its size (DrawnBelowHalf) comes at the smallest size the
// library offers that is still at least twice the drawn size, any other whole, as the decoders
// above give it. `info` keeps the natural size; the sink is asked for the decoded one.
//
// JPEG scales by m/8 (m = 1 to 8). The pixel cap applies to what is decoded, so a picture
// beyond the cap may show reduced; it must then hold at least one bit of Huffman-coded data
// for each of its blocks, which every complete baseline or progressive file does, so its cost
// stays bounded by its data. A progressive picture's coefficients stay within libjpeg's memory
// limit. WebP is scaled by libwebp's resampler after its decoder has read every pixel, and
// libwebp's lossless decoder holds the whole picture, so for WebP the cap stays on the natural
// size.
Refusal DecodeJpegToFit(const uint8_t* data, size_t size, const DrawTarget& target, PixelSink& sink,
                        ImageInfo* info);
Refusal DecodeWebpToFit(const uint8_t* data, size_t size, const DrawTarget& target, PixelSink& sink,
                        ImageInfo* info);

// Drawing-time transparency for a picture with alpha. For each pixel with alpha below 255,
// each of B, G, R becomes trunc(c * a + b * (1 - a)) clamped to 0..255, with
// a = alpha * 0.003921569 in single precision and b the background's channel; its fourth byte
// becomes 255. Pixels with alpha 255 are copied unchanged. bgrOut32 has 4 bytes per pixel and
// may be the same buffer as bgraIn.
void BlendOntoBackground(const uint8_t* bgraIn, uint8_t* bgrOut32, size_t pixelCount, uint8_t bgB,
                         uint8_t bgG, uint8_t bgR);

// The image of an icon (ICO) or cursor (CUR) file that the picture box shows.
struct IconEntryChoice {
    uint32_t offset = 0;  // the image's bytes inside the file
    uint32_t size = 0;
    int32_t width = 0;      // from the image's bitmap header: its width ...
    int32_t height = 0;     // ... and half its height (the header counts colour and mask rows)
    uint16_t bitCount = 0;  // 0 for a PNG image
    bool isPng = false;     // the image is a PNG stream; width and height come from its header
};

// Picks the first directory entry whose width byte is 32 and colour-count byte is 16 or more,
// else the last entry, and checks that its image lies inside the data and that its header is
// one the platform's icon functions can take without reading past the image.
Refusal ChooseIconEntry(const uint8_t* data, size_t size, IconEntryChoice* choice);

struct PlacedRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Where a picW x picH picture goes in a clientW x clientH client area:
// mode 0 natural size at (0, 0); mode 1 the whole client area; mode 2 centred, scaled down
// keeping the aspect ratio only when it does not fit. Any other mode is treated as 0.
// A picture without area gives an empty rectangle; a negative client size counts as 0.
PlacedRect PlacePicture(int32_t mode, int32_t clientW, int32_t clientH, int32_t picW, int32_t picH);

// What the picture box shows, in words for a screen reader, code page 936: the format, "动画"
// for a picture that plays, and the natural size, as "PNG 256 × 256" or "GIF 动画 500 × 500";
// "无图片" when nothing is shown (no data, or data that did not decode).
std::string DescribePicture(PictureKind kind, int32_t width, int32_t height, bool animated);
