// One fuzz target per picture decoder. Each target file defines the three functions below; the
// same file links either with FuzzEntry.cpp (a libFuzzer program) or with ReplayMain.cpp (a
// plain program that feeds the files and folders named on its command line, for corpora and
// for reproducing a finding).
//
// A target checks what the decoders promise beyond "no crash": a picture reported as decoded
// has the size the sink was given, opaque formats are opaque everywhere, and hasAlpha tells the
// truth. A broken promise aborts, so libFuzzer and the replay program both count it as a
// finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "Animation.h"
#include "Picture.h"

// Short name for messages and file names: "bmp", "gif", ...
extern const char kFuzzTargetName[];
// Runs the decoder over the data; true when it produced a picture.
bool FuzzTargetRun(const uint8_t* data, size_t size);

namespace fuzz {

// Fuzzing refuses pictures above 1 Mi pixels (4 MiB) so that a tiny file claiming a huge size
// costs one refused request rather than a large allocation and fill per run; the decoders' own
// cap is far higher and is what the replay program uses (it sets this to kMaxPicturePixels).
extern int64_t gSinkMaxPixels;

[[noreturn]] inline void Broken(const char* promise) {
    std::fprintf(stderr, "%s: broken promise: %s\n", kFuzzTargetName, promise);
    std::abort();
}

inline void Require(bool condition, const char* promise) {
    if (!condition) {
        Broken(promise);
    }
}

// Counts its requests and clears what it hands out, so pixels a decoder never wrote read back
// as transparent black.
class Sink final : public PixelSink {
public:
    uint8_t* Allocate(int32_t width, int32_t height) override;
    uint8_t* Pixels() const { return pixels_.get(); }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    size_t PixelCount() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
    int Requests() const { return requests_; }

private:
    std::unique_ptr<uint8_t[]> pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int requests_ = 0;
};

// The checks every decoder that reports success must pass: one request, and info matching it.
void CheckDecoded(const Sink& sink, const ImageInfo& info);
// Every pixel has alpha 255 (BMP, PCX and JPEG pictures are opaque).
void CheckOpaque(const Sink& sink);
// hasAlpha is set exactly when some pixel has alpha below 255.
void CheckAlphaFlag(const Sink& sink, const ImageInfo& info);

// Header: hasAlpha is the header's answer, no promise about each pixel (a still WebP).
enum class Alpha { Opaque, Flagged, Header };
using Decoder = Refusal (*)(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);

// Decodes into the sink; a picture that comes must pass CheckDecoded and its alpha promise
// (opaque everywhere, or hasAlpha telling the truth), then `more` looks at it. Returns whether
// a picture came.
bool Decoded(Decoder decode, const uint8_t* data, size_t size, Alpha alpha, Sink& sink,
             const std::function<void(const ImageInfo&)>& more = {});

// Plays an animation as the picture box does: Open, Start and a run of Next steps composing
// onto a screen of exactly its size (so a write past it is caught) over an opaque background,
// which must stay opaque. `opened` is the promise about an opened animation's size. Returns
// whether the first frame was composed. A screen above `maxPixels` (0: the sink's cap) is not
// played.
bool Play(PictureAnimation& animation, bool opened, const char* withinCap, int64_t maxPixels = 0);
template <typename Animation>
bool Play(Animation& animation, const uint8_t* data, size_t size, const char* withinCap,
          int64_t maxPixels = 0) {
    return Play(animation, animation.Open(data, size) == Refusal::None, withinCap, maxPixels);
}

}  // namespace fuzz
