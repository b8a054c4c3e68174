// Writes the seed corpora for the fuzz targets: small well-formed files of every variant each
// decoder reads, made with the shared test picture writers, one folder per target; and two
// file lists of a drop.
//
//   make_fuzz_seeds OUTPUT_FOLDER
#include <png.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "TestPictures.h"

namespace {

using namespace testpictures;

namespace fs = std::filesystem;

fs::path gOut;

void Save(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path folder = gOut / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A few bytes of every value, so every palette index and bit pattern occurs.
Bytes Ramp(size_t n, unsigned step = 37) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        b[i] = static_cast<uint8_t>(i * step + i / 7);
    }
    return b;
}

void BmpSeeds() {
    std::vector<Rgba> table;
    for (int i = 0; i < 256; ++i) {
        table.push_back({static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i),
                         static_cast<uint8_t>(i), 0});
    }
    // 5 x 3 pictures: rows padded to 4 bytes.
    Save("bmp", "1bit.bmp", MakeBmp(5, 3, 1, Ramp(12), {kBlack, kWhite}));
    Save("bmp", "4bit.bmp",
         MakeBmp(5, 3, 4, Ramp(12), std::vector<Rgba>(table.begin(), table.begin() + 16)));
    Save("bmp", "8bit.bmp", MakeBmp(5, 3, 8, Ramp(24), table));
    Save("bmp", "8bit-short-table.bmp", MakeBmp(5, 3, 8, Ramp(24), {kRed, kGreen, kBlue}, 3));
    Save("bmp", "24bit.bmp", MakeBmp(5, 3, 24, Ramp(48)));
    Save("bmp", "24bit-top-down.bmp", MakeBmp(5, -3, 24, Ramp(48)));
    Save("bmp", "32bit.bmp", MakeBmp(5, 3, 32, Ramp(60)));

    // Other headers, 16 bits, bit fields and run-length compression.
    auto layout = [](int32_t width, int32_t height, uint16_t bits, uint32_t headerSize,
                     uint32_t compression, std::vector<uint32_t> masks, Bytes pixels) {
        BmpLayout l;
        l.width = width, l.height = height, l.bits = bits;
        l.headerSize = headerSize, l.compression = compression;
        l.masks = std::move(masks);
        l.pixels = std::move(pixels);
        return l;
    };
    const std::vector<Rgba> sixteen(table.begin(), table.begin() + 16);
    BmpLayout core = layout(5, 3, 8, 12, 0, {}, Ramp(24));
    core.table = {kRed, kGreen, kBlue, kWhite};
    Save("bmp", "core-8bit.bmp", MakeBmp(core));
    BmpLayout v4 = layout(5, 3, 4, 108, 0, {}, Ramp(12));
    v4.table = sixteen;
    Save("bmp", "v4-4bit.bmp", MakeBmp(v4));
    Save("bmp", "16bit-555.bmp", MakeBmp(layout(5, 3, 16, 40, 0, {}, Ramp(36))));
    Save("bmp", "16bit-565.bmp",
         MakeBmp(layout(5, 3, 16, 40, 3, {0xF800, 0x07E0, 0x001F}, Ramp(36))));
    Save("bmp", "16bit-4444-alpha.bmp",
         MakeBmp(layout(5, 3, 16, 40, 6, {0x0F00, 0x00F0, 0x000F, 0xF000}, Ramp(36))));
    Save("bmp", "32bit-v5-alpha.bmp",
         MakeBmp(layout(5, 3, 32, 124, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, Ramp(60))));
    Save("bmp", "32bit-10-bit-fields.bmp",
         MakeBmp(layout(5, 3, 32, 56, 3, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, Ramp(60))));
    // Runs, an absolute run, end of line, a delta, end of picture.
    BmpLayout rle8 =
        layout(5, 3, 8, 40, 1, {}, {3, 7, 0, 0, 0, 4, 1, 2, 3, 4, 0, 2, 1, 1, 2, 9, 0, 1});
    rle8.table = table;
    Save("bmp", "rle8.bmp", MakeBmp(rle8));
    BmpLayout rle4 =
        layout(5, 3, 4, 40, 2, {}, {5, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 2, 1, 1, 3, 0x78, 0, 1});
    rle4.table = sixteen;
    Save("bmp", "rle4.bmp", MakeBmp(rle4));
    BmpLayout square = layout(11585, 11585, 8, 40, 1, {}, {2, 0, 0, 0, 2, 1, 0, 0, 0, 1});
    square.table = {kRed, kGreen};
    Save("bmp", "rle8-11585-square.bmp", MakeBmp(square));
}

void PcxSeeds() {
    Bytes palette = Ramp(768, 11);
    Save("pcx", "8bit-palette.pcx", MakePcx(5, 3, 8, Ramp(18), &palette));
    Save("pcx", "8bit-runs.pcx", MakePcx(7, 4, 8, Bytes(32, 0xC7), &palette));
    Save("pcx", "8bit-grey.pcx", MakePcx(4, 4, 8, Ramp(16)));
    Save("pcx", "1bit.pcx", MakePcx(13, 3, 1, Ramp(6)));
    // Pictures of more than 2048 bytes, so the block-at-a-time path runs: literals and runs
    // mixed, straight into pixels (even width), through rows with padding (odd width), and
    // monochrome.
    auto mixed = [](size_t bytes) {
        Bytes b = Ramp(bytes, 193);
        for (size_t i = 0; i < b.size(); i += 23) {
            std::fill(b.begin() + static_cast<long>(i),
                      b.begin() + static_cast<long>(std::min(i + 9, b.size())), 0xC7);
        }
        return b;
    };
    Save("pcx", "8bit-wide.pcx", MakePcx(200, 12, 8, mixed(200 * 12), &palette));
    Save("pcx", "8bit-wide-odd.pcx", MakePcx(201, 12, 8, mixed(202 * 12), &palette));
    Save("pcx", "1bit-wide.pcx", MakePcx(1000, 20, 1, mixed(126 * 20)));

    // Lines of the header's length, planes, and 1-bit files of other header versions.
    PcxLayout oddLines = PcxLines(5, 3, 8, 1, 5, Ramp(15));
    oddLines.palette = palette;
    Save("pcx", "8bit-odd-lines.pcx", MakePcx(oddLines));
    Save("pcx", "24bit.pcx", MakePcx(PcxLines(5, 3, 8, 3, 6, Ramp(54))));
    Save("pcx", "24bit-wide.pcx", MakePcx(PcxLines(300, 8, 8, 3, 300, mixed(900 * 8))));
    PcxLayout ega = PcxLines(13, 3, 1, 4, 2, Ramp(24));
    ega.version = 2;
    ega.headerPalette = Ramp(48, 13);
    Save("pcx", "ega-4-planes.pcx", MakePcx(ega));
    PcxLayout mono = PcxLines(13, 3, 1, 1, 2, Ramp(6));
    mono.version = 0;
    Save("pcx", "1bit-version0.pcx", MakePcx(mono));
}

void GifSeeds() {
    const Bytes table4 = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    Save("gif", "still.gif", GifWriter(4, 3, table4).Image({0, 0, 4, 3, Ramp(12, 1)}).Trailer());
    Bytes indices(12);
    for (size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<uint8_t>(i % 4);
    }
    Save("gif", "interlaced.gif",
         GifWriter(4, 3, table4).Image({0, 0, 4, 3, indices, {}, true}).Trailer());
    Save("gif", "animated.gif",
         GifWriter(4, 3, table4)
             .Image({0, 0, 4, 3, indices})
             .Control(3, 7, 3)
             .Image({1, 1, 2, 2, {1, 2, 3, 0}})
             .Control(2, 0, 1)
             .Image({2, 0, 3, 3, Bytes(9, 1)})
             .Raw({0x21, 0xFE, 3, 'a', 'b', 'c', 0})  // a comment
             .Control(1, 2)
             .Image({0, 0, 2, 1, {2, 3}, Ramp(48, 5), false, 4})
             .Trailer());
    Bytes big(64 * 64);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>((i * 7 + i / 64) & 0xFF);
    }
    Bytes table256 = Ramp(768, 3);
    Save("gif", "8bit-codes.gif",
         GifWriter(64, 64, table256).Image({0, 0, 64, 64, big, {}, false, 8}).Trailer());
    Save("gif", "11-bit-minimum-code-size.gif",
         GifWriter(64, 64, table256).Image({0, 0, 64, 64, big, {}, false, 11}).Trailer());
    Save("gif", "no-colour-table.gif",
         GifWriter(4, 3, {}).Image({0, 0, 4, 3, Ramp(12, 1)}).Trailer());
    Save("gif", "no-trailer.gif",
         GifWriter(2, 2, table4).Image({0, 0, 2, 2, {1, 2, 3, 0}}).NoTrailer());
    Save("gif", "screen-65535x2048.gif",
         GifWriter(65535, 2048, table4).Image({0, 0, 2, 2, {1, 2, 3, 0}}).Trailer());
}

void IconSeeds() {
    Save("icon", "4bit-32.ico",
         MakeIconFile(1, {{16, 0, IconBitmap(16, 16, 4)}, {32, 16, IconBitmap(32, 32, 4)}}));
    Save("icon", "all-bit-counts.ico",
         MakeIconFile(1, {{16, 0, IconBitmap(16, 16, 1)},
                          {16, 0, IconBitmap(16, 16, 8)},
                          {16, 0, IconBitmap(16, 16, 16)},
                          {16, 0, IconBitmap(16, 16, 24)},
                          {32, 0, IconBitmap(32, 32, 32)}}));
    Save("icon", "png.ico", MakeIconFile(1, {{0, 0, WritePng(4, 4, Ramp(64))}}));
    Save("icon", "cursor.cur", MakeIconFile(2, {{32, 16, IconBitmap(32, 32, 8)}}));
}

void JpegSeeds() {
    Save("jpeg", "colour.jpg", QuadrantJpeg(3));
    Save("jpeg", "grey.jpg", QuadrantJpeg(1));
    Save("jpeg", "colour-progressive.jpg", QuadrantJpeg(3, JpegScans::Progressive));
    Save("jpeg", "grey-progressive.jpg", QuadrantJpeg(1, JpegScans::Progressive));
    Save("jpeg", "cmyk.jpg", WriteJpeg(8, 8, 4, Ramp(256)));
    Save("jpeg", "cmyk-progressive.jpg", WriteJpeg(8, 8, 4, Ramp(256), JpegScans::Progressive));
    Save("jpeg", "ycck.jpg", WriteJpeg(8, 8, 4, Ramp(256), JpegScans::Baseline, 90, true, true));
    Save("jpeg", "exif-turned.jpg",
         WithExif(WriteJpeg(13, 9, 3, Ramp(13 * 9 * 3)), OrientationTiff(6, false)));
    Save("jpeg", "exif-transversed.jpg",
         WithExif(QuadrantJpeg(1, JpegScans::Progressive), OrientationTiff(7, true)));
    Save("jpeg", "odd-size.jpg", WriteJpeg(13, 9, 3, Ramp(13 * 9 * 3)));
}

void PngSeeds() {
    Save("png", "rgba.png", WritePng(5, 3, Ramp(60)));
    Save("png", "grey.png", WritePngFormat(5, 3, PNG_FORMAT_GRAY, Ramp(15)));
    Save("png", "grey-alpha.png", WritePngFormat(5, 3, PNG_FORMAT_GA, Ramp(30)));
    Save("png", "rgb.png", WritePngFormat(5, 3, PNG_FORMAT_RGB, Ramp(45)));
    Save("png", "rgba-16bit.png", WritePngFormat(5, 3, PNG_FORMAT_LINEAR_RGB_ALPHA, Ramp(120)));
    Save("png", "palette.png",
         WritePngFormat(5, 3, PNG_FORMAT_RGB_COLORMAP, Ramp(15, 1), Ramp(48, 5), 16));
    Save("png", "palette-alpha.png",
         WritePngFormat(5, 3, PNG_FORMAT_RGBA_COLORMAP, Ramp(15, 1), Ramp(64, 5), 16));
    // Every dispose and blend operation; a default image that is not played.
    Save("png", "animation.png",
         WriteApng(4, 3,
                   {{0, 0, 4, 3, Ramp(48)},
                    {1, 1, 2, 2, Ramp(16, 3), 0, 0, 2, 1},
                    {0, 0, 3, 2, Ramp(24, 7), 5, 0, 1, 0}}));
    Save("png", "animation-beside-default.png",
         WriteApng(4, 3, {{1, 0, 3, 3, Ramp(36, 5), 1, 0, 0, 1}}, Ramp(48, 2)));
}

void WebpSeeds() {
    Save("webp", "lossless.webp", WriteWebp(5, 3, Ramp(60)));
    Save("webp", "lossy.webp", WriteWebp(13, 9, Ramp(13 * 9 * 4), false, 80));
    const Bytes animation =
        WriteAnimatedWebp(4, 3, {{Ramp(48), 40}, {Ramp(48, 3), 0}, {Ramp(48, 7), 90}});
    Save("webp", "animation.webp", animation);
    // Canvases far larger than their frames (the VP8X canvas size is at 24).
    Save("webp", "canvas-16449540x3.webp", Patched(animation, 24, {3, 0, 0xFB, 2, 0, 0}));
    Save("webp", "canvas-93x982787.webp", Patched(animation, 24, {92, 0, 0, 2, 0xFF, 0x0E}));
}

#ifdef ORVESSA_AVIF_ENCODER
// Lossless 4:4:4 stills and a sequence of three frames, with and without alpha; where the
// build has no AVIF encoder, the corpus and the conformance pictures seed the target.
void AvifSeeds() {
    auto raster = [](int width, int height, unsigned step) {
        Raster r{width, height, {}};
        const Bytes ramp = Ramp(static_cast<size_t>(width * height * 4), step);
        for (size_t i = 0; i + 3 < ramp.size(); i += 4) {
            r.pixels.push_back({ramp[i], ramp[i + 1], ramp[i + 2], ramp[i + 3]});
        }
        return r;
    };
    Save("avif", "alpha.avif", AvifFile(raster(5, 3, 37)));
    Save("avif", "opaque.avif", AvifFile(Filled(13, 9, kMagenta)));
    Save("avif", "sequence.avif",
         AnimatedAvifFile({raster(4, 3, 37), raster(4, 3, 3), raster(4, 3, 7)}, 40));
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_seeds OUTPUT_FOLDER\n";
        return 2;
    }
    gOut = argv[1];
    BmpSeeds();
    PcxSeeds();
    GifSeeds();
    IconSeeds();
    JpegSeeds();
    PngSeeds();
    WebpSeeds();
    // Drops: a narrow list of two paths and a wide one of one path, each closed by its empty path.
    Bytes narrow = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes wide = narrow;
    wide[16] = 1;
    for (const char c : std::string("C:\\a.png")) {
        narrow.push_back(static_cast<uint8_t>(c));
        wide.insert(wide.end(), {static_cast<uint8_t>(c), 0});
    }
    narrow.insert(narrow.end(), {0, 'b', 0, 0});
    wide.insert(wide.end(), {0, 0, 0, 0});
    Save("drop", "narrow.bin", narrow);
    Save("drop", "wide.bin", wide);
#ifdef ORVESSA_AVIF_ENCODER
    AvifSeeds();
#endif
    return 0;
}
