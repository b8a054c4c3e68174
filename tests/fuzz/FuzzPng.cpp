// PNG: our glue around libpng's simplified reader, then the drawing-time blend the picture box
// applies to a picture with alpha; then an animated PNG's first frame and its animation as the
// picture box plays it (Open, Start and a run of Next steps composing onto one screen), and the
// same object opened again on a shorter piece of the data, which must not reuse anything sized
// for the first picture.
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "Apng.h"
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "png";

namespace {

// Mutations seldom keep a chunk's CRC right, and a wrong one ends the decode before anything
// behind it is read. An input with wrong CRCs is therefore also run with them put right, so
// the fuzzer reaches an animation's frames and libpng's chunk readers.
std::vector<uint8_t> WithCrcsRight(const uint8_t* data, size_t size) {
    std::vector<uint8_t> fixed(data, data + size);
    for (size_t at = 8; size >= 12 && at <= size - 12;) {
        const uint32_t length = uint32_t{fixed[at]} << 24 | uint32_t{fixed[at + 1]} << 16 |
                                uint32_t{fixed[at + 2]} << 8 | fixed[at + 3];
        if (length > size - 12 - at) break;
        const uLong crc = crc32(0, &fixed[at + 4], length + 4);
        for (int i = 0; i < 4; ++i) fixed[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return fixed;
}

bool Still(const uint8_t* data, size_t size) {
    fuzz::Sink sink;
    return fuzz::Decoded(DecodePng, data, size, fuzz::Alpha::Flagged, sink,
                         [&](const ImageInfo& info) {
                             if (info.hasAlpha) {
                                 BlendOntoBackground(sink.Pixels(), sink.Pixels(),
                                                     sink.PixelCount(), 0xF0, 0xF0, 0xF0);
                                 ImageInfo blended = info;
                                 blended.hasAlpha = false;
                                 fuzz::CheckAlphaFlag(sink, blended);
                             }
                         });
}

bool Run(const uint8_t* data, size_t size) {
    fuzz::Sink first;
    fuzz::Decoded(DecodeApngFirstFrame, data, size, fuzz::Alpha::Flagged, first);
    // Each step decodes a frame of up to the canvas: fuzzing plays up to 64 Ki pixels, as WebP's.
    const int64_t most = fuzz::gSinkMaxPixels < kMaxPicturePixels ? 64 * 1024 : kMaxPicturePixels;
    ApngAnimation animation;
    const char* withinCap = "an opened animated PNG has a canvas within the cap";
    fuzz::Play(animation, data, size, withinCap, most);
    fuzz::Play(animation, data, size / 2, withinCap, most);
    return Still(data, size);
}

}  // namespace

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    const bool shown = Run(data, size);
    const std::vector<uint8_t> fixed = WithCrcsRight(data, size);
    if (!std::equal(fixed.begin(), fixed.end(), data)) Run(fixed.data(), fixed.size());
    return shown;
}
