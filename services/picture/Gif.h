// GIF pictures: the still first frame, and the animation that the picture box plays.
//
// GifAnimation reads the blocks of the frame stream and composes frames onto a caller-owned
// screen of the logical screen size (B, G, R, A bytes, top row first, stride width * 4). It
// decides which frame comes next and how long it stays; the caller owns the thread, the
// waiting, the lock and the drawing. The LZW layer is in GifLzw.h.
//
// Rules for frames that bend the format (each exercised by a test in GifTests.cpp):
// - A frame reaching outside the logical screen is clipped; so are the areas saved and
//   restored for disposal.
// - A colour index beyond the frame's colour table is drawn opaque black.
// - A frame with neither a local nor a global colour table uses a default table of 256 greys,
//   index i as (i, i, i).
// - Transparency is by index: with the transparency flag set, only pixels of the transparent
//   index are holes; other entries of the same colour are drawn.
// - Minimum code sizes 2 to 11 are read. Codes of literals above 255 (possible only from 9
//   on) name indices beyond any colour table; they are drawn as index 255.
// - An LZW code above the next free table slot, an early end code, or sub-blocks that end
//   before the frame is full: the rows and pixels decoded so far are drawn, the rest of the
//   frame is left as it was (like transparent pixels). The frame still counts.
// - A frame that cannot be drawn at all (zero width or height, more than kMaxPicturePixels,
//   minimum code size outside 2..11) and a block cut off by the end of the data yield no frame
//   at that step.
// - The end of the data without a trailer counts as the trailer.
// - A logical screen larger than 1024 x 1024 pixels (kFreeCanvasPixels) that the file could
//   not fill is refused: every pixel drawn comes out of the LZW data, at most 2,731 pixels a
//   byte, so a screen of more than 2,731 pixels per byte of the file is mostly area that no
//   frame covers, and would cost its whole size for nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Animation.h"
#include "Picture.h"

class GifLzwDecoder;

// A frame whose graphic control delay is 0 (or which has none) stays kZeroDelayMs.
class GifAnimation final : public FileAnimation {
public:
    GifAnimation();
    ~GifAnimation() override;

    // Reads the signature (GIF87a or GIF89a, at least 14 bytes), the logical screen, the global
    // colour table and the structure of the first frame; the rest is the frame stream.
    Refusal Open(const uint8_t* data, size_t size) override;

    // At most one byte (the trailer) follows the first frame: nothing to animate.
    bool IsStill() const override { return still_; }

    // Fills the screen (Width() * Height() * 4 bytes) with the background, whose value is
    // 0xAARRGGBB (stored as bytes B, G, R, A), and composes the first frame. *delayMs receives
    // how long it stays. False when the first frame cannot be drawn.
    bool Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) override;

    // Composes the next frame in stream order onto the screen. Graphic control extensions set
    // up the frame that follows them; other extensions are skipped (so a loop count is
    // ignored). Before a frame is drawn, the area of the previous frame is put back as it was
    // if that frame's disposal was 2 or 3; a frame with disposal 2 or 3 has its area saved
    // before it is drawn. At the trailer (0x3B), a 0 byte or the end of the data the stream
    // starts again from the first frame, and the screen is kept. Any other byte yields
    // NoFrame and reading goes on after it at the next call.
    // Frame: *delayMs is the frame's delay (graphic control delay * 10 ms, or kZeroDelayMs).
    // NoFrame: *delayMs is kNoFrameWaitMs. Each call reads the stream at most once around, so
    // a stream without frames costs a bounded amount of work per call.
    Step Next(uint8_t* screenBgra, int32_t* delayMs) override;

    // Gives every pixel of alpha 0 (the background, where no frame has drawn or a disposal put
    // it back), on the screen and in the area a disposal will put back, the new background's
    // colour, alpha 0 kept.
    void Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) override;

private:
    // Started on a transparent background.
    Refusal DrawFirstFrame(uint8_t* out) override;

    struct Control {
        int32_t delayMs = kZeroDelayMs;
        uint8_t disposal = 0;
        bool transparent = false;
        uint8_t transparentIndex = 0;
    };
    struct Frame;
    struct Rect {
        int32_t x = 0;
        int32_t y = 0;
        int32_t width = 0;
        int32_t height = 0;
    };

    Step Advance(uint8_t* screen, int32_t* delayMs, bool firstFrame);
    bool ParseImage(size_t pos, Frame* frame) const;
    bool ParseExtension(size_t pos, Control* control, size_t* end) const;
    bool SkipSubBlocks(size_t pos, size_t* end) const;
    bool DrawFrame(uint8_t* screen, const Frame& frame, const Control& control);
    Rect ClipToScreen(const Frame& frame) const;
    void CopyArea(const uint8_t* from, size_t fromStride, uint8_t* to, size_t toStride,
                  const Rect& area) const;

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool still_ = false;
    const uint8_t* globalTable_ = nullptr;
    unsigned globalEntries_ = 0;
    size_t streamStart_ = 0;

    // Playback state.
    bool started_ = false;
    size_t pos_ = 0;
    Control control_;
    bool restorePending_ = false;
    Rect restoreArea_;
    std::unique_ptr<uint8_t[]> saved_;  // screen-sized once needed; holds restoreArea_
    std::unique_ptr<uint8_t[]> row_;    // one frame row of colour indices
    size_t rowCapacity_ = 0;
    std::unique_ptr<GifLzwDecoder> lzw_;
};

// The first frame as a still picture of the logical screen size, composed at its position.
// Pixels the frame does not cover, and its transparent pixels, are transparent black
// (alpha 0), so hasAlpha tells the caller to blend the picture onto its background as it does
// a PNG.
Refusal DecodeGifFirstFrame(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info);
