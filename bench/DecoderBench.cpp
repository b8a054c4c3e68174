// Decoder benchmark: each input file decoded by our decode step and by the reference for its
// format, into the same kind of output (top-down BGRA, 4 bytes per pixel):
//   JPEG  libjpeg-turbo's plain loop: jpeg_read_scanlines into a buffer, JCS_EXT_BGRA
//   PNG   libpng's simplified reader into PNG_FORMAT_BGRA
//   WebP  libwebp's WebPDecodeBGRAInto, WebPDecodeBGRA without its allocation of the output
//   AVIF  libavif (Debian's, dav1d on one thread) decoding and converting into BGRA
//   GIF   giflib's DGifSlurp, then a palette lookup of the frame(s) into BGRA
//   APNG  libpng's simplified reader over the same frames as plain PNGs
//   BMP, PCX  memcpy of the output's size: the floor no decoder can beat
// Output buffers are allocated and touched once, so no run pays for fresh pages.
//
//   decoder_bench IMAGE_FOLDER [Google Benchmark flags]
// The folder is written by make_bench_images; scripts/bench.sh runs both and prints ratios.
#include <algorithm>
#include <cstdio>  // jpeglib.h uses FILE and size_t without including their headers
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>
#ifdef ORVESSA_AVIF_ENCODER
#include <avif/avif.h>
#endif

#include "Apng.h"
#include "Gif.h"
#include "Picture.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Room for the largest output: 3000 x 2000 BGRA.
constexpr size_t kOutputBytes = size_t{3000} * 2000 * 4;

uint8_t* Output() {
    static const std::unique_ptr<uint8_t[]> buffer = [] {
        std::unique_ptr<uint8_t[]> b(new uint8_t[kOutputBytes]);
        std::memset(b.get(), 1, kOutputBytes);
        return b;
    }();
    return buffer.get();
}

class BenchSink final : public PixelSink {
public:
    uint8_t* Allocate(int32_t width, int32_t height) override {
        const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
        return bytes <= kOutputBytes ? Output() : nullptr;
    }
};

using OurDecoder = Refusal (*)(const uint8_t*, size_t, PixelSink&, ImageInfo*);

void Fail(benchmark::State& state, const std::string& why) {
    state.SkipWithError(why.c_str());
}

void Ours(benchmark::State& state, const Bytes* file, OurDecoder decode) {
    BenchSink sink;
    ImageInfo info;
    for (auto _ : state) {
        if (const Refusal refusal = decode(file->data(), file->size(), sink, &info);
            refusal != Refusal::None) {
            return Fail(state, std::string("not decoded: ") + RefusalName(refusal));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * info.width * info.height);
}

void Floor(benchmark::State& state, const Bytes* file, OurDecoder decode) {
    BenchSink sink;
    ImageInfo info;
    if (decode(file->data(), file->size(), sink, &info) != Refusal::None) {
        return Fail(state, "not decoded");
    }
    const size_t bytes = static_cast<size_t>(info.width) * static_cast<size_t>(info.height) * 4;
    static const std::unique_ptr<uint8_t[]> source = [] {
        std::unique_ptr<uint8_t[]> b(new uint8_t[kOutputBytes]);
        std::memset(b.get(), 2, kOutputBytes);
        return b;
    }();
    for (auto _ : state) {
        std::memcpy(Output(), source.get(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * info.width * info.height);
}

void Libjpeg(benchmark::State& state, const Bytes* file) {
    int64_t pixels = 0;
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file->data(), static_cast<unsigned long>(file->size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        const size_t stride = size_t{cinfo.output_width} * 4;
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = Output() + size_t{cinfo.output_scanline} * stride;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        pixels = int64_t{cinfo.output_width} * cinfo.output_height;
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

// libpng's simplified read of one PNG into the output; false when it refuses the file.
bool ReadPng(const uint8_t* data, size_t size, int64_t* pixels) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) return false;
    image.format = PNG_FORMAT_BGRA;
    const bool read = png_image_finish_read(&image, nullptr, Output(), 0, nullptr) != 0;
    *pixels += int64_t{image.width} * image.height;
    png_image_free(&image);
    return read;
}

void Libpng(benchmark::State& state, const Bytes* file) {
    int64_t pixels = 0;
    for (auto _ : state) {
        pixels = 0;
        if (!ReadPng(file->data(), file->size(), &pixels)) return Fail(state, "libpng failed");
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

void Libwebp(benchmark::State& state, const Bytes* file) {
    int64_t pixels = 0;
    for (auto _ : state) {
        int width = 0, height = 0;
        if (!WebPGetInfo(file->data(), file->size(), &width, &height)) {
            return Fail(state, "libwebp refused the file");
        }
        const size_t stride = size_t(width) * 4;
        if (!WebPDecodeBGRAInto(file->data(), file->size(), Output(), stride * size_t(height),
                                static_cast<int>(stride))) {
            return Fail(state, "libwebp failed");
        }
        pixels = int64_t{width} * height;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

struct MemoryReader {
    const Bytes* file;
    size_t pos;
};

int ReadGif(GifFileType* gif, GifByteType* out, int length) {
    auto* m = static_cast<MemoryReader*>(gif->UserData);
    const size_t left = m->file->size() - m->pos;
    const size_t n = static_cast<size_t>(length) < left ? static_cast<size_t>(length) : left;
    std::memcpy(out, m->file->data() + m->pos, n);
    m->pos += n;
    return static_cast<int>(n);
}

// giflib: the whole file slurped, then `frames` frames looked up into a BGRA screen, honouring
// each frame's transparent index.
void Giflib(benchmark::State& state, const Bytes* file, int frames) {
    int64_t pixels = 0;
    for (auto _ : state) {
        MemoryReader reader{file, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, ReadGif, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < frames) {
            return Fail(state, "giflib failed");
        }
        const size_t stride = static_cast<size_t>(gif->SWidth) * 4;
        for (int f = 0; f < frames; ++f) {
            const SavedImage& image = gif->SavedImages[f];
            const ColorMapObject* map =
                image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
            GraphicsControlBlock control;
            control.TransparentColor = NO_TRANSPARENT_COLOR;
            DGifSavedExtensionToGCB(gif, f, &control);
            uint32_t lookup[256] = {};
            for (int i = 0; i < map->ColorCount && i < 256; ++i) {
                const GifColorType& c = map->Colors[i];
                lookup[i] =
                    0xFF000000u | (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
            }
            const GifImageDesc& d = image.ImageDesc;
            for (int y = 0; y < d.Height; ++y) {
                const GifByteType* src =
                    image.RasterBits + static_cast<size_t>(y) * static_cast<size_t>(d.Width);
                uint8_t* dst = Output() + static_cast<size_t>(d.Top + y) * stride +
                               static_cast<size_t>(d.Left) * 4;
                for (int x = 0; x < d.Width; ++x) {
                    if (src[x] != control.TransparentColor) {
                        std::memcpy(dst + 4 * x, &lookup[src[x]], 4);
                    }
                }
            }
        }
        pixels = int64_t{gif->SWidth} * gif->SHeight;
        DGifCloseFile(gif, &error);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels * frames);
}

// libpng: plain PNGs one after another, each after its size (4 bytes, big-endian).
void LibpngFrames(benchmark::State& state, const Bytes* file) {
    int64_t pixels = 0;
    for (auto _ : state) {
        pixels = 0;
        for (size_t at = 0; at + 4 <= file->size();) {
            const uint8_t* p = file->data() + at;
            const size_t size = size_t{p[0]} << 24 | size_t{p[1]} << 16 | size_t{p[2]} << 8 | p[3];
            if (!ReadPng(p + 4, size, &pixels)) return Fail(state, "libpng failed on a frame");
            at += 4 + size;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

// Our animation: Open, Start (the first frame) and Next for each further frame.
template <class Animation>
void OurAnimation(benchmark::State& state, const Bytes* file, int frames) {
    Animation animation;
    int64_t pixels = 0;
    for (auto _ : state) {
        int32_t delay = 0;
        if (animation.Open(file->data(), file->size()) != Refusal::None ||
            !animation.Start(Output(), 0xFFF0F0F0u, &delay)) {
            return Fail(state, "not decoded");
        }
        for (int f = 1; f < frames; ++f) {
            if (animation.Next(Output(), &delay) != PictureAnimation::Step::Frame) {
                return Fail(state, "a frame missing");
            }
        }
        pixels = int64_t{animation.Width()} * animation.Height();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels * frames);
}

#ifdef ORVESSA_AVIF_ENCODER
void Libavif(benchmark::State& state, const Bytes* file) {
    int64_t pixels = 0;
    for (auto _ : state) {
        avifDecoder* decoder = avifDecoderCreate();
        decoder->codecChoice = AVIF_CODEC_CHOICE_DAV1D;
        decoder->maxThreads = 1;
        bool ok = avifDecoderSetIOMemory(decoder, file->data(), file->size()) == AVIF_RESULT_OK &&
                  avifDecoderParse(decoder) == AVIF_RESULT_OK &&
                  avifDecoderNextImage(decoder) == AVIF_RESULT_OK;
        if (ok) {
            avifRGBImage rgb;
            avifRGBImageSetDefaults(&rgb, decoder->image);
            rgb.format = AVIF_RGB_FORMAT_BGRA;
            rgb.depth = 8;
            rgb.rowBytes = rgb.width * 4;
            rgb.pixels = Output();
            pixels = int64_t{rgb.width} * rgb.height;
            ok = size_t(pixels) * 4 <= kOutputBytes &&
                 avifImageYUVToRGB(decoder->image, &rgb) == AVIF_RESULT_OK;
        }
        avifDecoderDestroy(decoder);
        if (!ok) return Fail(state, "libavif failed");
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::cerr << "usage: decoder_bench IMAGE_FOLDER [benchmark flags]\n";
        return 2;
    }
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(argv[1])) {
        paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    // Kept alive for the whole run: the benchmarks hold pointers to them.
    static std::vector<std::unique_ptr<Bytes>> files;
    for (const fs::path& path : paths) {
        std::ifstream in(path, std::ios::binary);
        files.push_back(std::make_unique<Bytes>(std::istreambuf_iterator<char>(in),
                                                std::istreambuf_iterator<char>()));
        const Bytes* file = files.back().get();
        const std::string name = path.stem().string();
        const std::string ext = path.extension().string();
        if (ext == ".bmp" || ext == ".pcx") {
            const OurDecoder decode = ext == ".bmp" ? DecodeBmp : DecodePcx;
            benchmark::RegisterBenchmark((name + "/ours").c_str(), Ours, file, decode);
            benchmark::RegisterBenchmark((name + "/memcpy").c_str(), Floor, file, decode);
        } else if (ext == ".jpg") {
            benchmark::RegisterBenchmark((name + "/ours").c_str(), Ours, file, DecodeJpeg);
            benchmark::RegisterBenchmark((name + "/libjpeg").c_str(), Libjpeg, file);
        } else if (ext == ".png" && name.rfind("apng", 0) == 0) {
            std::ifstream frames(fs::path(path).replace_extension(".frames"), std::ios::binary);
            files.push_back(std::make_unique<Bytes>(std::istreambuf_iterator<char>(frames),
                                                    std::istreambuf_iterator<char>()));
            benchmark::RegisterBenchmark((name + "/ours").c_str(), OurAnimation<ApngAnimation>,
                                         file, 10);
            benchmark::RegisterBenchmark((name + "/libpng").c_str(), LibpngFrames,
                                         files.back().get());
        } else if (ext == ".png") {
            benchmark::RegisterBenchmark((name + "/ours").c_str(), Ours, file, DecodePng);
            benchmark::RegisterBenchmark((name + "/libpng").c_str(), Libpng, file);
        } else if (ext == ".webp") {
            benchmark::RegisterBenchmark((name + "/ours").c_str(), Ours, file, DecodeWebp);
            benchmark::RegisterBenchmark((name + "/libwebp").c_str(), Libwebp, file);
#ifdef ORVESSA_AVIF_ENCODER
        } else if (ext == ".avif") {
            benchmark::RegisterBenchmark((name + "/ours").c_str(), Ours, file, DecodeAvif);
            benchmark::RegisterBenchmark((name + "/libavif").c_str(), Libavif, file);
#endif
        } else if (ext == ".gif" && name.rfind("anim", 0) == 0) {
            benchmark::RegisterBenchmark((name + "/ours").c_str(), OurAnimation<GifAnimation>, file,
                                         10);
            benchmark::RegisterBenchmark((name + "/giflib").c_str(), Giflib, file, 10);
        } else if (ext == ".gif") {
            benchmark::RegisterBenchmark((name + "/ours").c_str(), Ours, file, DecodeGifFirstFrame);
            benchmark::RegisterBenchmark((name + "/giflib").c_str(), Giflib, file, 1);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
