// Animated PNG (acTL, fcTL, fdAT), played through the same player as GIF and WebP.
//
// Debian's libpng reads none of the animation chunks, so each frame goes through libpng's
// simplified reader as a PNG stream of its own: the signature, an IHDR with the frame's size,
// the chunks before the image data that decoding depends on (PLTE, tRNS, gAMA, cHRM, sRGB,
// iCCP, sBIT) as the file has them, the frame's data as IDAT chunks, and IEND. libpng checks
// that stream as it checks any file, CRCs included: an fdAT's CRC carries over to the IDAT made
// from it, so a damaged fdAT fails libpng's check as a damaged IDAT does.
//
// Playback, as the format defines it: each pass starts from a transparent black canvas; a frame
// replaces its area (blend source) or is laid over it (blend over, straight alpha); after its
// delay its area stays (dispose none), is cleared to transparent black (background) or is put
// back as it was before the frame (previous; the first frame's previous counts as background).
// The canvas is blended onto the box's background for the screen, as WebP's is. A delay is
// delay_num / delay_den seconds, a denominator of 0 meaning 100, rounded to milliseconds; 0 ms
// stays kZeroDelayMs. num_plays is ignored: the animation repeats for ever, as GIF's and WebP's
// do. A default image that is not part of the animation (IDAT before the first fcTL) is not
// played.
//
// Damage: Open refuses an animation whose chunks break the format's rules (a second acTL, a
// frame count unlike acTL's, sequence numbers out of order, a frame of no area or reaching
// outside the canvas, a default image's frame unlike the image, a frame without data, an
// unknown dispose or blend operation, an animation chunk whose CRC is wrong, a chunk cut off by
// the end of the data). The picture box then shows the default image as a still PNG, as
// browsers do. A frame whose data libpng rejects ends the pass there: the next step starts again
// from the first frame.
//
// Cost: Open reads the chunks' headers and no pixel. Frames are found in the data, so their
// count is bounded by it (each needs an fcTL and a data chunk, 55 bytes at least). The canvas is
// within the pixel cap, and a canvas above the free size must be covered by its frames as an
// animated WebP's is (picture_bytes::kCanvasPerFramePixels). A step decodes one frame and blends
// onto the screen only the rows that changed; a pass's first step blends the whole canvas.
// Memory: the canvas, the largest frame blended over, the largest area put back, and one
// frame's PNG stream (at most the file's size).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Animation.h"
#include "Picture.h"

class ApngAnimation final : public FileAnimation {
public:
    // Refused for a plain PNG (Unsupported), and for an animation that is damaged or costs more
    // than its data justifies.
    Refusal Open(const uint8_t* data, size_t size) override;

    bool Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) override;
    Step Next(uint8_t* screenBgra, int32_t* delayMs) override;
    // Blends the whole canvas onto the background.
    void Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) override;

private:
    // On a transparent canvas.
    Refusal DrawFirstFrame(uint8_t* out) override;

    struct Frame;
    struct Area {
        int32_t x = 0, y = 0, width = 0, height = 0;
        uint64_t Pixels() const { return uint64_t(width) * uint64_t(height); }
    };
    // Chunks before the image data that every frame's stream carries.
    static constexpr int kMostSharedChunks = 16;

    // The walk over every chunk that judges the animation, for Open.
    Refusal Judge();
    // The fcTL at `control`, checked.
    bool ReadFrame(size_t control, Frame* frame) const;
    bool Allocate(bool forPlaying);
    // The frame's PNG stream into stream_; *next is where the chunks after its data begin.
    bool BuildStream(const Frame& frame, size_t* length, size_t* next);
    // Decodes the frame onto the canvas by its blend operation (on a clear canvas, in place).
    bool DrawFrame(const Frame& frame, uint8_t* canvas, bool clearCanvas, size_t* next);
    Step Advance(uint8_t* screen, int32_t* delayMs);
    // Blends the canvas's rows that the area covers onto the screen.
    void Show(uint8_t* screen, const Area& area) const;

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    uint8_t headerTail_[5] = {};  // bit depth, colour type, compression, filter, interlace
    size_t sharedAt_[kMostSharedChunks] = {};
    size_t sharedBytes_[kMostSharedChunks] = {};
    int sharedCount_ = 0;
    size_t firstControl_ = 0;      // the first fcTL
    size_t imageDataAt_ = 0;       // the first IDAT
    size_t streamBytes_ = 0;       // the largest frame's stream
    uint64_t overPixels_ = 0;      // the largest frame blended over another
    uint64_t previousPixels_ = 0;  // the largest area put back

    // Playback.
    std::unique_ptr<uint8_t[]> canvas_;
    std::unique_ptr<uint8_t[]> stream_;
    std::unique_ptr<uint8_t[]> frame_;  // a frame decoded before it is laid over the canvas
    std::unique_ptr<uint8_t[]> saved_;  // the area a dispose-previous frame puts back
    bool started_ = false;
    uint32_t index_ = 0;  // the frame the next step draws
    size_t pos_ = 0;      // its fcTL
    uint32_t background_ = 0;
    uint8_t disposal_ = 0;  // of the frame on the canvas
    Area disposalArea_;
};

// The first frame of an animated PNG; refused for a plain or damaged one, which DecodePng shows
// as its default image.
Refusal DecodeApngFirstFrame(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);
