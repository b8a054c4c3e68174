// Writes the seed corpora for the fuzz targets: small well-formed files of every variant each
// decoder reads, made with the shared test picture writers, one folder per target.
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
    Save("gif", "no-trailer.gif",
         GifWriter(2, 2, table4).Image({0, 0, 2, 2, {1, 2, 3, 0}}).NoTrailer());
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
}

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
    return 0;
}
