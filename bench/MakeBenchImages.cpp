// Writes the decoder benchmark's input files: a 3000 x 2000 photo-like picture (smooth
// gradients with noise) and a flat one, each in every format and variant the decoders read,
// and a 500 x 500 ten-frame GIF and animated PNG, all through the shared test picture writers; JPEG
// and PNG with the settings of ordinary files (JPEG quality 90 with 4:2:0 chroma, PNG at libpng's
// default compression, WebP lossy at quality 90 and lossless).
//
//   make_bench_images OUTPUT_FOLDER
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#ifdef ORVESSA_AVIF_ENCODER
#include <avif/avif.h>
#endif

#include "TestPictures.h"

namespace {

using namespace testpictures;

namespace fs = std::filesystem;

constexpr int kWidth = 3000;
constexpr int kHeight = 2000;
constexpr int kAnimSide = 500;
constexpr int kAnimFrames = 10;

fs::path gOut;

void Save(const std::string& name, const Bytes& bytes) {
    std::ofstream(gOut / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::cout << name << ": " << bytes.size() << " bytes\n";
}

struct Image {
    int width = 0, height = 0;
    Bytes px;  // R, G, B, A
    const uint8_t* At(int x, int y) const {
        return px.data() +
               (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
    }
};

uint8_t Clamp(double v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Smooth colour fields plus a little noise, like a photograph; alpha a soft diagonal ramp.
Image Photo(int width, int height, int shift) {
    Image img{width, height, Bytes(static_cast<size_t>(width) * static_cast<size_t>(height) * 4)};
    uint32_t seed = 12345;
    uint8_t* p = img.px.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, p += 4) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 24) / 255.0 * 16.0 - 8.0;
            const double fx = (x + shift) / 350.0, fy = y / 420.0;
            p[0] = Clamp(128 + 100 * std::sin(fx) * std::cos(fy * 0.7) + noise);
            p[1] = Clamp(110 + 90 * std::cos(fx * 0.6 + fy) + noise);
            p[2] = Clamp(120 + 80 * std::sin(fy * 1.3 - fx * 0.4) + noise);
            p[3] = Clamp(40 + 215.0 * (x + y) / (width + height));
        }
    }
    return img;
}

Image Flat(int width, int height) {
    Image img{width, height, Bytes(static_cast<size_t>(width) * static_cast<size_t>(height) * 4)};
    for (size_t i = 0; i < img.px.size(); i += 4) {
        img.px[i] = 200;
        img.px[i + 1] = 120;
        img.px[i + 2] = 40;
        img.px[i + 3] = 160;
    }
    return img;
}

// 3-3-2 palette: 8 reds, 8 greens, 4 blues.
uint8_t Index332(const uint8_t* rgb) {
    return static_cast<uint8_t>((rgb[0] & 0xE0) | ((rgb[1] >> 3) & 0x1C) | (rgb[2] >> 6));
}
Bytes Palette332Rgb() {
    Bytes rgb;
    for (int i = 0; i < 256; ++i) {
        rgb.push_back(static_cast<uint8_t>((i >> 5) * 255 / 7));
        rgb.push_back(static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7));
        rgb.push_back(static_cast<uint8_t>((i & 3) * 255 / 3));
    }
    return rgb;
}
bool Ink(const uint8_t* rgb) {
    return rgb[0] * 3 + rgb[1] * 6 + rgb[2] > 128 * 10;
}

size_t Padded(size_t bytes, size_t multiple) {
    return (bytes + multiple - 1) / multiple * multiple;
}

void WriteBmps(const std::string& name, const Image& img) {
    const size_t w = static_cast<size_t>(img.width);
    std::vector<Rgba> table;
    const Bytes pal = Palette332Rgb();
    for (int i = 0; i < 256; ++i) {
        table.push_back({pal[3 * i], pal[3 * i + 1], pal[3 * i + 2], 0});
    }
    for (uint16_t bits : {24, 32, 8, 1}) {
        const size_t rowBytes = Padded((w * bits + 7) / 8, 4);
        Bytes rows(rowBytes * static_cast<size_t>(img.height), 0);
        for (int y = 0; y < img.height; ++y) {  // bottom row first
            uint8_t* row = rows.data() + static_cast<size_t>(img.height - 1 - y) * rowBytes;
            for (int x = 0; x < img.width; ++x) {
                const uint8_t* c = img.At(x, y);
                const size_t ux = static_cast<size_t>(x);
                if (bits == 24 || bits == 32) {
                    uint8_t* d = row + ux * (bits / 8);
                    d[0] = c[2];
                    d[1] = c[1];
                    d[2] = c[0];
                } else if (bits == 8) {
                    row[ux] = Index332(c);
                } else if (Ink(c)) {
                    row[ux / 8] = static_cast<uint8_t>(row[ux / 8] | (0x80 >> (ux % 8)));
                }
            }
        }
        const std::vector<Rgba> used = bits == 8   ? table
                                       : bits == 1 ? std::vector<Rgba>{kBlack, kWhite}
                                                   : std::vector<Rgba>{};
        Save(name + "-bmp" + std::to_string(bits) + ".bmp",
             MakeBmp(img.width, img.height, bits, rows, used));
    }
}

void WritePcxs(const std::string& name, const Image& img) {
    const size_t w = static_cast<size_t>(img.width);
    const Bytes pal = Palette332Rgb();
    for (int bits : {8, 1}) {
        const size_t rowBytes = Padded(bits == 8 ? w : (w + 7) / 8, 2);
        Bytes rows(rowBytes * static_cast<size_t>(img.height), 0);
        for (int y = 0; y < img.height; ++y) {
            uint8_t* row = rows.data() + static_cast<size_t>(y) * rowBytes;
            for (int x = 0; x < img.width; ++x) {
                const uint8_t* c = img.At(x, y);
                const size_t ux = static_cast<size_t>(x);
                if (bits == 8) {
                    row[ux] = Index332(c);
                } else if (Ink(c)) {
                    row[ux / 8] = static_cast<uint8_t>(row[ux / 8] | (0x80 >> (ux % 8)));
                }
            }
        }
        Save(name + "-pcx" + std::to_string(bits) + ".pcx",
             MakePcx(img.width, img.height, bits, rows, bits == 8 ? &pal : nullptr));
    }
}

Bytes Indices(const Image& img) {
    Bytes out(static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = Index332(img.px.data() + 4 * i);
    }
    return out;
}

void WriteGif(const std::string& name, const Image& img) {
    GifWriter gif(img.width, img.height, Palette332Rgb());
    gif.Control(0, 0).Image({0, 0, img.width, img.height, Indices(img), {}, false, 8});
    Save(name + ".gif", gif.Trailer());
}

void WriteAnimation() {
    GifWriter gif(kAnimSide, kAnimSide, Palette332Rgb());
    for (int f = 0; f < kAnimFrames; ++f) {
        gif.Control(1, 10).Image({0,
                                  0,
                                  kAnimSide,
                                  kAnimSide,
                                  Indices(Photo(kAnimSide, kAnimSide, 40 * f)),
                                  {},
                                  false,
                                  8});
    }
    Save("anim-500x500x10.gif", gif.Trailer());
}

// The same number of opaque photo frames as an animated PNG, and as plain PNGs one after
// another, each after its size (4 bytes, big-endian), for libpng to decode as the reference.
void WriteApngAnimation() {
    std::vector<ApngFrame> frames;
    Bytes plain;
    for (int f = 0; f < kAnimFrames; ++f) {
        Bytes px = Photo(kAnimSide, kAnimSide, 40 * f).px;
        for (size_t i = 3; i < px.size(); i += 4) px[i] = 255;
        const Bytes png = WritePng(kAnimSide, kAnimSide, px);
        for (int shift = 24; shift >= 0; shift -= 8) {
            plain.push_back(static_cast<uint8_t>(png.size() >> shift));
        }
        plain.insert(plain.end(), png.begin(), png.end());
        frames.push_back({0, 0, kAnimSide, kAnimSide, px});
    }
    Save("apng-500x500x10.png", WriteApng(kAnimSide, kAnimSide, frames));
    Save("apng-500x500x10.frames", plain);
}

Bytes WithoutAlpha(const Image& img) {
    Bytes rgb(img.px.size() / 4 * 3);
    for (size_t i = 0, n = rgb.size() / 3; i < n; ++i) {
        std::memcpy(&rgb[3 * i], &img.px[4 * i], 3);
    }
    return rgb;
}

// Quality 90 with 4:2:0 chroma, as cameras and editors save photographs.
void WriteJpegs(const std::string& name, const Image& img) {
    const Bytes rgb = WithoutAlpha(img);
    Save(name + "-baseline.jpg",
         WriteJpeg(img.width, img.height, 3, rgb, JpegScans::Baseline, 90, true));
    Save(name + "-progressive.jpg",
         WriteJpeg(img.width, img.height, 3, rgb, JpegScans::Progressive, 90, true));
}

void WritePngs(const std::string& name, const Image& img) {
    Save(name + "-rgb.png", WritePng(img.width, img.height, WithoutAlpha(img), false));
    Save(name + "-rgba.png", WritePng(img.width, img.height, img.px));
}

// Lossy at quality 90 as cwebp writes by default, opaque and with alpha; lossless, opaque.
void WriteWebps(const std::string& name, const Image& img) {
    Bytes opaque = img.px;
    for (size_t i = 3; i < opaque.size(); i += 4) {
        opaque[i] = 255;
    }
    Save(name + "-webp-lossy.webp", WriteWebp(img.width, img.height, opaque, false, 90));
    Save(name + "-webp-alpha.webp", WriteWebp(img.width, img.height, img.px, false, 90));
    Save(name + "-webp-lossless.webp", WriteWebp(img.width, img.height, opaque, true));
}

#ifdef ORVESSA_AVIF_ENCODER
// Lossy as avifenc writes by default (quality about 90): 8-bit 4:2:0 opaque, as phones and
// image tools export photographs, and 10-bit 4:4:4 with alpha.
Bytes LossyAvif(const Image& img, uint32_t depth, avifPixelFormat format, bool alpha) {
    avifImage* image = avifImageCreate(static_cast<uint32_t>(img.width),
                                       static_cast<uint32_t>(img.height), depth, format);
    Bytes px = img.px;
    if (!alpha) {
        for (size_t i = 3; i < px.size(); i += 4) px[i] = 255;
    }
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.depth = 8;
    rgb.pixels = px.data();
    rgb.rowBytes = static_cast<uint32_t>(img.width) * 4;
    avifEncoder* encoder = avifEncoderCreate();
    encoder->speed = 8;
    encoder->minQuantizer = encoder->minQuantizerAlpha = 10;
    encoder->maxQuantizer = encoder->maxQuantizerAlpha = 20;
    avifRWData out = AVIF_DATA_EMPTY;
    const bool ok =
        avifImageRGBToYUV(image, &rgb) == AVIF_RESULT_OK &&
        avifEncoderAddImage(encoder, image, 1, AVIF_ADD_IMAGE_FLAG_SINGLE) == AVIF_RESULT_OK &&
        avifEncoderFinish(encoder, &out) == AVIF_RESULT_OK;
    Bytes file = ok ? Bytes(out.data, out.data + out.size) : Bytes();
    avifRWDataFree(&out);
    avifEncoderDestroy(encoder);
    avifImageDestroy(image);
    return file;
}

void WriteAvifs(const std::string& name, const Image& img) {
    Save(name + "-avif-420-8.avif", LossyAvif(img, 8, AVIF_PIXEL_FORMAT_YUV420, false));
    Save(name + "-avif-444-10-alpha.avif", LossyAvif(img, 10, AVIF_PIXEL_FORMAT_YUV444, true));
}
#endif

void WriteAll(const std::string& name, const Image& img) {
    WriteBmps(name, img);
    WritePcxs(name, img);
    WriteGif(name, img);
    WriteJpegs(name, img);
    WritePngs(name, img);
    WriteWebps(name, img);
#ifdef ORVESSA_AVIF_ENCODER
    WriteAvifs(name, img);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_bench_images OUTPUT_FOLDER\n";
        return 2;
    }
    gOut = argv[1];
    fs::create_directories(gOut);
    WriteAll("photo", Photo(kWidth, kHeight, 0));
    WriteAll("flat", Flat(kWidth, kHeight));
    WriteAnimation();
    WriteApngAnimation();
    return 0;
}
