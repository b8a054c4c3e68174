// The crasher corpus: one row per fault, each a well-formed file with one thing broken, and
// each must end with no picture, for the reason the row names. Under AddressSanitizer a read past
// the data fails the row too, and so does any single allocation above the decoders' cap, the
// library's own included.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "Apng.h"
#include "Gif.h"
#include "Picture.h"
#include "PictureTestData.h"

// Present when a sanitizer runtime is linked in (the native build always has one).
using MallocHook = void (*)(const volatile void*, size_t);
using FreeHook = void (*)(const volatile void*);
extern "C" int __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook)
    __attribute__((weak));

namespace {

std::atomic<size_t> gLargestAllocation{0};

void NoteAllocation(const volatile void*, size_t size) {
    size_t seen = gLargestAllocation.load();
    while (size > seen && !gLargestAllocation.compare_exchange_weak(seen, size)) {
    }
}

void NoteFree(const volatile void*) {}

// Starts watching allocations; false when no sanitizer runtime can tell us about them.
bool WatchAllocations() {
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks &&
        __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree);
    gLargestAllocation = 0;
    return installed;
}

Refusal ChooseIcon(const uint8_t* data, size_t size, PixelSink&, ImageInfo*) {
    IconEntryChoice choice;
    return ChooseIconEntry(data, size, &choice);
}

Bytes WithIhdrSize(const Bytes& png, uint32_t width, uint32_t height) {
    const auto byte = [](uint32_t v, int shift) { return static_cast<uint8_t>(v >> shift); };
    return Rechecked(
        Patched(png, 16,
                {byte(width, 24), byte(width, 16), byte(width, 8), byte(width, 0), byte(height, 24),
                 byte(height, 16), byte(height, 8), byte(height, 0)}),
        8);
}

// A copy of `png` with a chunk inserted after IHDR (at 33) whose length field claims `length`
// bytes while only `present` follow.
Bytes WithChunkAfterHeader(const Bytes& png, const char* type, uint32_t length,
                           const Bytes& present) {
    Bytes chunk = {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                   static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), present.begin(), present.end());
    Bytes out(png.begin(), png.begin() + 33);
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), png.begin() + 33, png.end());
    return out;
}

// A grey progressive JPEG, written by hand so that a large picture stays a small file: a DC
// scan with every difference 0, then `acScans` identical AC scans (bands 1 to 63) in which one
// end-of-band run covers 32767 blocks. Each Huffman table holds one symbol with the 1-bit code 0.
Bytes EmptyScansJpeg(uint16_t width, uint16_t height, int acScans) {
    const uint8_t wHi = static_cast<uint8_t>(width >> 8), wLo = static_cast<uint8_t>(width);
    const uint8_t hHi = static_cast<uint8_t>(height >> 8), hLo = static_cast<uint8_t>(height);
    // Start of image; quantisation table 0, all ones.
    Bytes b = {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0};
    b.insert(b.end(), 64, 1);
    // Progressive frame of 8-bit samples: height, width, one component (id 1, 1 x 1, table 0).
    b.insert(b.end(), {0xFF, 0xC2, 0, 11, 8, hHi, hLo, wHi, wLo, 1, 1, 0x11, 0});
    const auto oneSymbolTable = [&b](uint8_t classAndId, uint8_t symbol) {
        b.insert(b.end(), {classAndId, 1});  // one code of length 1 ...
        b.insert(b.end(), 15, 0);            // ... and none longer
        b.push_back(symbol);
    };
    b.insert(b.end(), {0xFF, 0xC4, 0, 38});
    oneSymbolTable(0x00, 0x00);  // DC table 0: a difference of 0
    oneSymbolTable(0x10, 0xE0);  // AC table 0: an end-of-band run of 2^14 plus 14 extra bits
    const size_t blocks = size_t{(width + 7u) / 8u} * ((height + 7u) / 8u);
    const Bytes dcScan = {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 0, 0x00};  // component 1, Ss = Se = 0
    b.insert(b.end(), dcScan.begin(), dcScan.end());
    b.insert(b.end(), (blocks + 7) / 8, 0);  // one 0 bit per block
    // Code 0 then 14 extra bits of 1: a run of 2^14 + 2^14 - 1 blocks.
    Bytes acData;
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](int bit) {
        bits = (bits << 1) | static_cast<uint32_t>(bit);
        if (++count == 8) {
            acData.push_back(static_cast<uint8_t>(bits));
            if (acData.back() == 0xFF) {
                acData.push_back(0);  // byte stuffing
            }
            bits = 0;
            count = 0;
        }
    };
    for (size_t run = 0; run < blocks; run += 32767) {
        put(0);
        for (int i = 0; i < 14; ++i) {
            put(1);
        }
    }
    while (count != 0) {
        put(1);
    }
    const Bytes acScan = {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 1, 63, 0x00};  // Ss 1, Se 63, Ah = Al = 0
    for (int i = 0; i < acScans; ++i) {
        b.insert(b.end(), acScan.begin(), acScan.end());
        b.insert(b.end(), acData.begin(), acData.end());
    }
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// The picture box's own call: stretched over its 98 x 98 client area.
Refusal FitInto98(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    return DecodeJpegToFit(data, size, DrawTarget{1, 98, 98}, sink, info);
}

#ifdef ORVESSA_AVIF_ENCODER
// Where the first box of `type` starts (its size field); the file's end when there is none.
size_t BoxAt(const Bytes& file, const char* type) {
    for (size_t i = 4; i + 4 <= file.size(); ++i) {
        if (std::memcmp(file.data() + i, type, 4) == 0) return i - 4;
    }
    return file.size();
}
#endif

const Bytes kTable4 = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};

TEST(HostileInput, EveryFaultGivesNoPicture) {
    const Bytes bmp = MakeBmp(1, 1, 8, {0, 0, 0, 0}, {kRed}, 1);   // table at 54, rows at 58
    const Bytes pcx = MakePcx(3, 2, 8, {1, 2, 3, 0, 4, 5, 6, 0});  // 8 literal bytes from 128
    const Bytes jpeg = QuadrantJpeg(3);
    // Made baseline (SOF0 at 72): 144 M pixels, beyond the cap, a bit a block; shown at 1/8.
    const Bytes huge = Patched(EmptyScansJpeg(12000, 12000, 0), 72, {0xC0});
    size_t sof = 0;
    while (sof + 1 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) {
        ++sof;
    }
    const Bytes cmyk = WriteJpeg(16, 16, 4, Bytes(1024, 128));
    const Bytes png = WritePng(2, 2, Bytes(16, 200));
    const GifFrame frame(0, 0, 2, 2, {1, 1, 1, 1});
    const Bytes gif = GifWriter(2, 2, kTable4).Image(frame).Trailer();  // image at 25
    // Three 4 x 3 frames; the canvas size is at 24 (24-bit width - 1, then height - 1).
    const Bytes webp =
        WriteAnimatedWebp(4, 3, {{Bytes(48, 200), 40}, {Bytes(48, 90), 40}, {Bytes(48, 30), 40}});
    // One 16 x 16 4-bit image of 296 bytes at 22: entry size at 14, offset at 18.
    const Bytes ico = MakeIconFile(1, {{16, 0, IconBitmap(16, 16, 4)}});
    const Bytes pngIcon = MakeIconFile(1, {{0, 0, WritePng(4, 4, Bytes(64, 1))}});
#ifdef ORVESSA_AVIF_ENCODER
    const Raster quarters = Quarters(4, 4, kRed, kGreen, kBlue, kClear);
    const Bytes avif = AvifFile(quarters);
    const size_t ispe = BoxAt(avif, "ispe") + 12;  // width, then height
    const Bytes avis = AnimatedAvifFile({quarters, Filled(4, 4, kBlue)}, 40);
    const size_t stsz = BoxAt(avis, "stsz") + 12;  // size of every sample, then their count
#endif
    // Two 4 x 2 frames, the first the default image; its fcTL is at 53, the second's found.
    const ApngFrame frameOf4x2{0, 0, 4, 2, Bytes(32, 200)};
    const Bytes apng = WriteApng(4, 2, {frameOf4x2, frameOf4x2});
    size_t fctl = 60;
    while (std::string(apng.begin() + long(fctl) + 4, apng.begin() + long(fctl) + 8) != "fcTL")
        ++fctl;
    // One frame besides a default image: its fdAT's CRC is the last before IEND.
    const Bytes apngBeside = WriteApng(4, 2, {frameOf4x2}, Bytes(32, 9));
    const size_t fdatCrc = apngBeside.size() - 16;
    for (auto [decode, file] : {std::pair<Decoder, const Bytes&>{DecodeBmp, bmp},
                                {DecodeApngFirstFrame, apng},
                                {DecodeApngFirstFrame, apngBeside},
                                {DecodePcx, pcx},
                                {DecodeJpeg, jpeg},
                                {FitInto98, huge},
                                {DecodePng, png},
                                {DecodeGifFirstFrame, gif},
#ifdef ORVESSA_AVIF_ENCODER
                                {DecodeAvif, avif},
                                {DecodeAvif, avis},
#endif
                                {ChooseIcon, ico}}) {
        TestSink sink;
        ASSERT_EQ(Refusal::None, decode(file.data(), file.size(), sink, nullptr))
            << "an undamaged file";
        TestSink refusing(true);
        EXPECT_EQ(decode == ChooseIcon ? Refusal::None : Refusal::NoMemory,
                  decode(file.data(), file.size(), refusing, nullptr))
            << "no memory for the pixels";
    }

    const struct {
        const char* fault;
        Decoder decode;
        Bytes file;
        Refusal reason;
        bool refusedBeforeAllocating;
    } rows[] = {
        {"BMP shorter than its two headers", DecodeBmp, Cut(bmp, 53), Refusal::Truncated, true},
        {"BMP rows cut short", DecodeBmp, Cut(bmp, bmp.size() - 1), Refusal::Truncated, true},
        {"BMP embedded PNG (compression 5)", DecodeBmp, Patched(bmp, 30, {5}), Refusal::Unsupported,
         true},
        {"BMP 2 bits per pixel", DecodeBmp, Patched(bmp, 28, {2}), Refusal::Unsupported, true},
        {"BMP zero width", DecodeBmp, Patched(bmp, 18, {0}), Refusal::Malformed, true},
        {"BMP width and height 2^31 - 1", DecodeBmp,
         Patched(bmp, 18, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}), Refusal::TooLarge,
         true},
        {"BMP height -2^31", DecodeBmp, Patched(bmp, 22, {0, 0, 0, 0x80}), Refusal::TooLarge, true},
        {"BMP 100000 wide, rows not in the file", DecodeBmp, Patched(bmp, 18, {0xA0, 0x86, 1}),
         Refusal::Truncated, true},
        {"BMP 100000 x 100000", DecodeBmp, Patched(bmp, 18, {0xA0, 0x86, 1, 0, 0xA0, 0x86, 1, 0}),
         Refusal::TooLarge, true},
        {"BMP rows offset wrapping 32 bits", DecodeBmp, Patched(bmp, 10, {0xF0, 0xFF, 0xFF, 0xFF}),
         Refusal::Truncated, true},
        {"BMP colours-used 2^30", DecodeBmp, Patched(bmp, 46, {0, 0, 0, 0x40}), Refusal::Truncated,
         true},
        {"BMP 12-byte core header over a 40-byte one: bit count 0", DecodeBmp,
         Patched(bmp, 14, {12}), Refusal::Unsupported, true},
        {"BMP RLE8 of 72 bytes declaring 11585 x 11585", DecodeBmp,
         Patched(MakeBmp(11585, 11585, 8, {2, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0}, {kRed}, 1),
                 30, {1}),
         Refusal::TooLarge, true},
        {"BMP RLE8 stream that ends before its end-of-picture marker", DecodeBmp,
         Patched(MakeBmp(4, 2, 8, {2, 0, 0, 0, 1, 0}, {kRed}, 1), 30, {1}), Refusal::Truncated,
         true},
        {"PCX header only", DecodePcx, Cut(pcx, 128), Refusal::Truncated, true},
        {"PCX xmin above xmax", DecodePcx, Patched(pcx, 4, {3}), Refusal::Malformed, true},
        {"PCX data ends before the last row", DecodePcx, Cut(pcx, pcx.size() - 2),
         Refusal::Truncated, false},
        {"PCX run byte without its value", DecodePcx, Patched(Cut(pcx, 135), 134, {0xC5}),
         Refusal::Truncated, false},
        {"PCX two planes of 8 bits", DecodePcx, Patched(pcx, 65, {2}), Refusal::Unsupported, true},
        {"PCX bytes per line below the width", DecodePcx, Patched(pcx, 66, {1, 0}),
         Refusal::Malformed, true},
        {"PCX 4 bits per pixel", DecodePcx, Patched(pcx, 3, {4}), Refusal::Unsupported, true},
        {"PCX 65536 x 65536 window, wider than any line", DecodePcx,
         Patched(pcx, 8, {0xFF, 0xFF, 0xFF, 0xFF}), Refusal::Malformed, true},
        {"PCX 8000 x 8000 window from 8 bytes", DecodePcx,
         Patched(Patched(pcx, 8, {0x3F, 0x1F, 0x3F, 0x1F}), 66, {0x40, 0x1F}), Refusal::TooLarge,
         true},
        {"JPEG cut inside the tables", DecodeJpeg, Cut(jpeg, 100), Refusal::Truncated, true},
        {"JPEG cut inside the scan data", DecodeJpeg, Cut(jpeg, jpeg.size() - 40),
         Refusal::Truncated, false},
        {"JPEG 65535 x 65535 frame", DecodeJpeg, Patched(jpeg, sof + 5, {0xFF, 0xFF, 0xFF, 0xFF}),
         Refusal::TooLarge, true},
        {"JPEG zero height", DecodeJpeg, Patched(jpeg, sof + 5, {0, 0}), Refusal::Malformed, true},
        {"JPEG 12000 x 12000 whole, beyond the cap", DecodeJpeg, huge, Refusal::TooLarge, true},
        {"JPEG 12000 x 12000 at 1/8 with under a bit a block", FitInto98, Cut(huge, 200000),
         Refusal::TooLarge, true},
        {"JPEG CMYK cut inside the scan data", DecodeJpeg, Cut(cmyk, cmyk.size() - 40),
         Refusal::Truncated, false},
        {"JPEG 631 progressive scans", DecodeJpeg, QuadrantJpeg(1, JpegScans::TooMany),
         Refusal::TooLarge, false},
        {"JPEG 300 empty scans over 4096 x 4096, past the scan budget", DecodeJpeg,
         EmptyScansJpeg(4096, 4096, 300), Refusal::TooLarge, true},
        {"PNG cut in half", DecodePng, Cut(png, png.size() / 2), Refusal::Truncated, false},
        {"PNG signature only", DecodePng, Cut(png, 8), Refusal::Truncated, true},
        {"PNG 100000 x 100000, within libpng's limits", DecodePng,
         WithIhdrSize(png, 100000, 100000), Refusal::TooLarge, true},
        {"PNG 65535 x 65535", DecodePng, WithIhdrSize(png, 65535, 65535), Refusal::TooLarge, true},
        {"PNG zero width", DecodePng, WithIhdrSize(png, 0, 2), Refusal::Malformed, true},
        {"PNG text chunk claiming 1.5 GiB in a tiny file", DecodePng,
         WithChunkAfterHeader(png, "tEXt", 0x60000000, {'k', 0, 'v'}), Refusal::Truncated, true},
        {"PNG header checksum wrong", DecodePng, Patched(png, 17, {1}), Refusal::Malformed, true},
        {"PNG larger than its pixel data", DecodePng, WithIhdrSize(png, 200, 200),
         Refusal::Truncated, false},
        {"APNG sequence starting at 5", DecodeApngFirstFrame,
         Rechecked(Patched(apng, 61, {0, 0, 0, 5}), 53), Refusal::Malformed, true},
        {"APNG second frame a pixel past the canvas", DecodeApngFirstFrame,
         Rechecked(Patched(apng, fctl + 20, {0, 0, 0, 1}), fctl), Refusal::Malformed, true},
        {"APNG dispose operation 3", DecodeApngFirstFrame,
         Rechecked(Patched(apng, fctl + 32, {3}), fctl), Refusal::Malformed, true},
        {"APNG frame control checksum wrong", DecodeApngFirstFrame,
         Patched(apng, fctl + 34, {uint8_t(apng[fctl + 34] ^ 1)}), Refusal::Malformed, true},
        {"APNG acTL counting 2^32 - 1 frames", DecodeApngFirstFrame,
         Rechecked(Patched(apng, 41, {0xFF, 0xFF, 0xFF, 0xFF}), 33), Refusal::Malformed, true},
        {"APNG cut inside the last frame's data", DecodeApngFirstFrame, Cut(apng, apng.size() - 20),
         Refusal::Truncated, true},
        {"APNG fdAT checksum wrong", DecodeApngFirstFrame,
         Patched(apngBeside, fdatCrc, {uint8_t(apngBeside[fdatCrc] ^ 1)}), Refusal::Malformed,
         false},
        {"APNG canvas 8192 x 8192 around a 4 x 2 frame", DecodeApngFirstFrame,
         WithIhdrSize(apngBeside, 8192, 8192), Refusal::TooLarge, true},
        {"GIF 13 bytes", DecodeGifFirstFrame, Cut(gif, 13), Refusal::Truncated, true},
        {"GIF signature GIF88a", DecodeGifFirstFrame, Patched(gif, 4, {'8'}), Refusal::Malformed,
         true},
        {"GIF zero screen width", DecodeGifFirstFrame, Patched(gif, 6, {0, 0}), Refusal::Malformed,
         true},
        {"GIF global table cut off", DecodeGifFirstFrame, Cut(gif, 20), Refusal::Truncated, true},
        {"GIF trailer before any image", DecodeGifFirstFrame, Patched(gif, 25, {0x3B}),
         Refusal::Malformed, true},
        {"GIF stray byte before the first image", DecodeGifFirstFrame,
         GifWriter(2, 2, kTable4).Raw({0x99}).Image(frame).Trailer(), Refusal::Malformed, true},
        {"GIF image descriptor cut off", DecodeGifFirstFrame, Cut(gif, 30), Refusal::Truncated,
         true},
        {"GIF image data without terminator", DecodeGifFirstFrame, Cut(gif, gif.size() - 2),
         Refusal::Truncated, true},
        {"GIF sub-block longer than the data", DecodeGifFirstFrame, Patched(gif, 36, {200}),
         Refusal::Truncated, true},
        {"GIF minimum code size 12", DecodeGifFirstFrame, Patched(gif, 35, {12}),
         Refusal::Malformed, false},
        {"GIF 65535 x 65535 frame", DecodeGifFirstFrame, Patched(gif, 30, {0xFF, 0xFF, 0xFF, 0xFF}),
         Refusal::Malformed, false},
        {"GIF 65535 x 2048 screen around one 2 x 2 frame", DecodeGifFirstFrame,
         Patched(gif, 6, {0xFF, 0xFF, 0, 8}), Refusal::TooLarge, true},
        {"WebP animation canvas 16449540 x 3 around three 4 x 3 frames", DecodeWebp,
         Patched(webp, 24, {0x03, 0x00, 0xFB, 0x02, 0, 0}), Refusal::TooLarge, true},
        {"WebP animation canvas 93 x 982787 around three 4 x 3 frames", DecodeWebp,
         Patched(webp, 24, {92, 0, 0, 0x02, 0xFF, 0x0E}), Refusal::TooLarge, true},
#ifdef ORVESSA_AVIF_ENCODER
        {"AVIF ispe 65536 x 65536", DecodeAvif, Patched(avif, ispe, {0, 1, 0, 0, 0, 1, 0, 0}),
         Refusal::TooLarge, true},
        {"AVIF ispe 0 x 4", DecodeAvif, Patched(avif, ispe, {0, 0, 0, 0}), Refusal::Malformed,
         true},
        {"AVIF ispe 8 x 4 over a 4 x 4 frame", DecodeAvif, Patched(avif, ispe + 3, {8}),
         Refusal::Malformed, false},
        {"AVIF coded data cut short", DecodeAvif, Cut(avif, avif.size() - 1), Refusal::Truncated,
         true},
        {"AVIF ftyp box only", DecodeAvif, Cut(avif, BoxAt(avif, "meta")), Refusal::Malformed,
         true},
        {"AVIF meta larger than the file", DecodeAvif,
         Patched(avif, BoxAt(avif, "meta"), {0x7F, 0xFF, 0xFF, 0xFF}), Refusal::Truncated, true},
        {"AVIF primary item a grid (its type in infe)", DecodeAvif,
         Patched(avif, BoxAt(avif, "av01") + 4, {'g', 'r', 'i', 'd'}), Refusal::Unsupported, true},
        {"AVIF coded data garbled", DecodeAvif,
         Patched(avif, BoxAt(avif, "mdat") + 8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
         Refusal::Malformed, false},
        {"AVIF sequence claiming 2^30 samples of 4 bytes, no primary item", DecodeAvif,
         Patched(Patched(avis, BoxAt(avis, "meta") + 4, {'f', 'r', 'e', 'e'}), stsz,
                 {0, 0, 0, 4, 0x40, 0, 0, 0}),
         Refusal::TooLarge, true},
#endif
        {"ICO directory cut off", ChooseIcon, Patched(ico, 4, {40}), Refusal::Truncated, true},
        {"ICO image offset past the end", ChooseIcon, Patched(ico, 18, {0, 0, 1, 0}),
         Refusal::Truncated, true},
        {"ICO image size past the end", ChooseIcon, Patched(ico, 14, {0x29, 1}), Refusal::Truncated,
         true},
        {"ICO offset plus size wrapping 32 bits", ChooseIcon,
         Patched(ico, 14, {0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF}), Refusal::Truncated, true},
        {"ICO mask one byte beyond the entry", ChooseIcon, Patched(ico, 14, {0x27, 1}),
         Refusal::Truncated, true},
        {"ICO header size 108", ChooseIcon, Patched(ico, 22, {108}), Refusal::Unsupported, true},
        {"ICO zero width", ChooseIcon, Patched(ico, 26, {0}), Refusal::Malformed, true},
        {"ICO width 1000", ChooseIcon, Patched(ico, 26, {0xE8, 3}), Refusal::Malformed, true},
        {"ICO odd height", ChooseIcon, Patched(ico, 30, {31}), Refusal::Malformed, true},
        {"ICO 2 bits per pixel", ChooseIcon, Patched(ico, 36, {2}), Refusal::Unsupported, true},
        {"ICO bit-field compression", ChooseIcon, Patched(ico, 38, {3}), Refusal::Unsupported,
         true},
        {"ICO colours-used 100000", ChooseIcon, Patched(ico, 54, {0xA0, 0x86, 1}),
         Refusal::Malformed, true},
        {"ICO PNG image of 0 x 0", ChooseIcon, Patched(pngIcon, 38, {0, 0, 0, 0, 0, 0, 0, 0}),
         Refusal::Malformed, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        TestSink sink;
        const bool watching = WatchAllocations();
        EXPECT_EQ(row.reason, row.decode(row.file.data(), row.file.size(), sink, nullptr));
        if (row.refusedBeforeAllocating) {
            EXPECT_TRUE(sink.pixels.empty())
                << "the sink was asked for " << sink.width << " x " << sink.height;
        }
        if (watching) {
            EXPECT_LE(gLargestAllocation.load(), static_cast<size_t>(kMaxPicturePixels) * 4)
                << "an allocation above the cap";
        }
    }
}

}  // namespace
