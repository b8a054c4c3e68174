// The conformance check's decoding half: decodes each file named on the command line with the
// portable decoders, chosen by the first bytes as the picture box chooses, and writes what came
// out to standard output for tests/conformance/conformance.py to compare with a reference.
//
//   picture_dump FILE...
//
// Per file, one text line and then the pixels:
//   ok <width> <height> <frames>\n   then <frames> pictures of width * height * 4 bytes (R, G,
//                                    B, A, top row first): a GIF or an animated WebP gives the
//                                    still first frame and then each frame of one pass of its
//                                    animation (a GIF's composed onto a transparent screen, a
//                                    WebP's and an AVIF sequence's onto black); a PNG its
//                                    default image, then an animated PNG's frames as a WebP's;
//                                    every other kind one picture
//   refused REASON\n                 the decoder gave no picture, and why (RefusalName)
//   skipped <kind>\n                 a kind that has no portable decoder (icons, cursors), or
//                                    data that is not a picture
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "Apng.h"
#include "Avif.h"
#include "Gif.h"
#include "Picture.h"
#include "Webp.h"

namespace {

// Animations are compared frame by frame up to this many frames: enough for every suite file,
// and a bound on the output for a file that loops without end.
constexpr int kMostFrames = 256;

void WritePicture(const uint8_t* bgra, size_t pixels) {
    std::vector<uint8_t> rgba(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
        rgba[4 * i] = bgra[4 * i + 2];
        rgba[4 * i + 1] = bgra[4 * i + 1];
        rgba[4 * i + 2] = bgra[4 * i];
        rgba[4 * i + 3] = bgra[4 * i + 3];
    }
    std::fwrite(rgba.data(), 1, rgba.size(), stdout);
}

// The still picture, then every frame of the first pass of the animation, composed onto
// `background` (a GIF onto a transparent screen; a WebP or PNG onto opaque black, as its
// frames are blended as they are composed).
template <class Animation>
void DumpAnimated(const std::vector<uint8_t>& bytes,
                  Refusal (*decodeStill)(const uint8_t*, size_t, PixelSink&, ImageInfo*),
                  uint32_t background) {
    HeapPixelSink still;
    ImageInfo info;
    if (const Refusal refusal = decodeStill(bytes.data(), bytes.size(), still, &info);
        refusal != Refusal::None) {
        std::printf("refused %s\n", RefusalName(refusal));
        return;
    }
    const size_t pixels = size_t(still.Width()) * size_t(still.Height());
    std::vector<std::vector<uint8_t>> frames;
    Animation animation;
    std::vector<uint8_t> screen(pixels * 4);
    int32_t delay = 0;
    if (animation.Open(bytes.data(), bytes.size()) == Refusal::None &&
        animation.Width() == still.Width() && animation.Height() == still.Height() &&
        animation.Start(screen.data(), background, &delay)) {
        frames.push_back(screen);
        while (int(frames.size()) < kMostFrames) {
            const PictureAnimation::Step step = animation.Next(screen.data(), &delay);
            if (animation.Passes() != 0) {
                break;
            }
            if (step == PictureAnimation::Step::Frame) {
                frames.push_back(screen);
            }
        }
    }
    std::printf("ok %d %d %d\n", still.Width(), still.Height(), int(frames.size()) + 1);
    WritePicture(still.Pixels(), pixels);
    for (const std::vector<uint8_t>& frame : frames) {
        WritePicture(frame.data(), pixels);
    }
}

void Dump(const std::vector<uint8_t>& bytes) {
    const uint8_t* p = bytes.data();
    const size_t n = bytes.size();
    HeapPixelSink sink;
    Refusal refusal = Refusal::None;
    switch (RecognizePicture(p, n)) {
    case PictureKind::Bmp: refusal = DecodeBmp(p, n, sink, nullptr); break;
    case PictureKind::Jpeg: refusal = DecodeJpeg(p, n, sink, nullptr); break;
    case PictureKind::Png: DumpAnimated<ApngAnimation>(bytes, DecodePng, 0xFF000000u); return;
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: refusal = DecodePcx(p, n, sink, nullptr); break;
    case PictureKind::Gif: DumpAnimated<GifAnimation>(bytes, DecodeGifFirstFrame, 0); return;
    case PictureKind::Webp: DumpAnimated<WebpAnimation>(bytes, DecodeWebp, 0xFF000000u); return;
    case PictureKind::Avif: DumpAnimated<AvifAnimation>(bytes, DecodeAvif, 0xFF000000u); return;
    case PictureKind::Ico: std::printf("skipped icon\n"); return;
    case PictureKind::Cur: std::printf("skipped cursor\n"); return;
    case PictureKind::None: std::printf("skipped none\n"); return;
    }
    if (refusal != Refusal::None) {
        std::printf("refused %s\n", RefusalName(refusal));
        return;
    }
    std::printf("ok %d %d 1\n", sink.Width(), sink.Height());
    WritePicture(sink.Pixels(), size_t(sink.Width()) * size_t(sink.Height()));
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "picture_dump: cannot read %s\n", argv[i]);
            return 2;
        }
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
        Dump(bytes);
        std::fflush(stdout);
    }
    return 0;
}
