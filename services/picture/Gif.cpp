// GIF block parsing and frame composition. The LZW layer (GifLzw.cpp) knows nothing of blocks
// or screens; this file knows nothing of codes.
//
//   header:            +0 "GIF87a" or "GIF89a"
//   logical screen:    +6 width  +8 height  +10 flags (bit 7 global table, bits 0-2 its size)
//                      +11 background index  +12 aspect (both ignored)
//   global table:      3 * 2^(size + 1) bytes when flagged
//   then the frame stream, a sequence of blocks:
//     0x21 label sub-blocks...       extension (0xF9: graphic control)
//     0x2C descriptor [table] code-size sub-blocks...   image
//     0x3B                           trailer
//   image descriptor:  +1 left +3 top +5 width +7 height +9 flags (bit 7 local table,
//                      bit 6 interlaced, bits 0-2 table size)
//   graphic control:   sub-block of 4: +0 flags (bits 2-4 disposal, bit 0 transparency)
//                      +1 delay in 1/100 s  +3 transparent index
#include "Gif.h"

#include <cstring>
#include <new>

#include "GifLzw.h"
#include "PictureBytes.h"

using namespace picture_bytes;  // the library's byte reads and size checks

namespace {

constexpr size_t kMinGifBytes = 14;
constexpr size_t kScreenDescriptorEnd = 13;
constexpr size_t kImageDescriptorBytes = 10;
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr size_t kGraphicControlBytes = 4;
constexpr uint8_t kTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint8_t kTransparencyFlag = 0x01;
constexpr int32_t kDelayUnitMs = 10;
// Disposal methods that put the frame's area back as it was before the frame.
constexpr uint8_t kDisposeToBackground = 2;
constexpr uint8_t kDisposeToPrevious = 3;
// The most pixels a byte of LZW data can give: a code of b bits (at most 12) names one of at
// most 2^b table entries, whose strings are at most 2^b pixels long, so a code gives at most
// 4096 pixels for 12 bits, 2,731 a byte (rounded up). Shorter codes give less.
constexpr uint64_t kMostPixelsPerByte = 2731;

// Interlaced rows come in four passes: every 8th row from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1.
constexpr int32_t kPassStart[4] = {0, 4, 2, 1};
constexpr int32_t kPassStep[4] = {8, 8, 4, 2};

unsigned TableEntries(uint8_t flags) {
    return 2u << (flags & 7u);
}

// The opaque pixel word of each index; entries past the table are black.
struct FramePalette {
    uint32_t words[256];
};

// The table a frame uses when neither it nor the screen has one: greyscale, index i as
// (i, i, i), as the reference decoder of the conformance check has it. Built at compile time.
struct GreyTable {
    uint8_t rgb[3 * 256];
};
constexpr GreyTable MakeGreyTable() {
    GreyTable t{};
    for (unsigned i = 0; i < 256; ++i) {
        t.rgb[3 * i] = t.rgb[3 * i + 1] = t.rgb[3 * i + 2] = static_cast<uint8_t>(i);
    }
    return t;
}
constexpr GreyTable kGreyTable = MakeGreyTable();

void BuildPalette(const uint8_t* table, unsigned entries, FramePalette* palette) {
    for (unsigned i = 0; i < 256; ++i) {
        palette->words[i] = i < entries ? picture_bytes::OpaqueWord(table[3 * i + 2],
                                                                    table[3 * i + 1], table[3 * i])
                                        : picture_bytes::OpaqueWord(0, 0, 0);
    }
}

}  // namespace

struct GifAnimation::Frame {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool interlaced = false;
    const uint8_t* table = nullptr;
    unsigned entries = 0;
    int minCodeSize = 0;
    size_t dataStart = 0;  // the first sub-block's length byte
    size_t end = 0;        // just after the terminating 0 length
};

GifAnimation::GifAnimation() = default;
GifAnimation::~GifAnimation() = default;

bool GifAnimation::SkipSubBlocks(size_t pos, size_t* end) const {
    for (;;) {
        if (pos >= size_) {
            return false;
        }
        const size_t length = data_[pos];
        if (length == 0) {
            *end = pos + 1;
            return true;
        }
        if (!RangeInside(uint64_t{pos} + 1, length, size_)) {
            return false;
        }
        pos += 1 + length;
    }
}

bool GifAnimation::ParseExtension(size_t pos, Control* control, size_t* end) const {
    if (!RangeInside(pos, 2, size_)) {
        return false;
    }
    const uint8_t label = data_[pos + 1];
    const size_t blocks = pos + 2;
    if (label == kGraphicControlLabel && blocks < size_ && data_[blocks] >= kGraphicControlBytes &&
        RangeInside(uint64_t{blocks} + 1, kGraphicControlBytes, size_)) {
        const uint8_t* g = data_ + blocks + 1;
        const int32_t delay = ReadLE16(g + 1);
        control->delayMs = delay == 0 ? kZeroDelayMs : delay * kDelayUnitMs;
        control->disposal = static_cast<uint8_t>((g[0] >> 2) & 7u);
        control->transparent = (g[0] & kTransparencyFlag) != 0;
        control->transparentIndex = g[3];
    }
    return SkipSubBlocks(blocks, end);
}

bool GifAnimation::ParseImage(size_t pos, Frame* frame) const {
    if (!RangeInside(pos, kImageDescriptorBytes, size_)) {
        return false;
    }
    const uint8_t* d = data_ + pos;
    frame->left = ReadLE16(d + 1);
    frame->top = ReadLE16(d + 3);
    frame->width = ReadLE16(d + 5);
    frame->height = ReadLE16(d + 7);
    const uint8_t flags = d[9];
    frame->interlaced = (flags & kInterlaceFlag) != 0;
    size_t at = pos + kImageDescriptorBytes;
    if (flags & kTableFlag) {
        frame->entries = TableEntries(flags);
        if (!RangeInside(at, uint64_t{frame->entries} * 3, size_)) {
            return false;
        }
        frame->table = data_ + at;
        at += size_t{frame->entries} * 3;
    } else if (globalTable_) {
        frame->table = globalTable_;
        frame->entries = globalEntries_;
    } else {
        frame->table = kGreyTable.rgb;
        frame->entries = 256;
    }
    if (at >= size_) {
        return false;
    }
    frame->minCodeSize = data_[at];
    frame->dataStart = at + 1;
    return SkipSubBlocks(frame->dataStart, &frame->end);
}

Refusal GifAnimation::Open(const uint8_t* data, size_t size) {
    data_ = nullptr;
    size_ = 0;
    width_ = height_ = 0;
    still_ = false;
    globalTable_ = nullptr;
    globalEntries_ = 0;
    streamStart_ = 0;
    started_ = false;
    restorePending_ = false;
    // Buffers sized for an earlier picture must not serve this one.
    saved_.reset();
    row_.reset();
    rowCapacity_ = 0;
    if (!data || size < 6 || std::memcmp(data, "GIF8", 4) != 0 ||
        (data[4] != '7' && data[4] != '9') || data[5] != 'a') {
        return Refusal::Malformed;
    }
    if (size < kMinGifBytes) {
        return Refusal::Truncated;
    }
    const int32_t width = ReadLE16(data + 6);
    const int32_t height = ReadLE16(data + 8);
    if (const Refusal screen = picture_bytes::PictureSizeRefusal(width, height);
        screen != Refusal::None) {
        return screen;
    }
    // A screen beyond the free size must be one the file's bytes could fill; else it costs
    // its whole size for frames that never cover it.
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixels > picture_bytes::kFreeCanvasPixels && pixels / kMostPixelsPerByte > size) {
        return Refusal::TooLarge;
    }
    data_ = data;
    size_ = size;
    size_t pos = kScreenDescriptorEnd;
    const uint8_t flags = data[10];
    if (flags & kTableFlag) {
        globalEntries_ = TableEntries(flags);
        if (!RangeInside(pos, uint64_t{globalEntries_} * 3, size)) {
            return Refusal::Truncated;
        }
        globalTable_ = data + pos;
        pos += size_t{globalEntries_} * 3;
    }
    streamStart_ = pos;

    // The first frame: only extensions may come before it.
    Control ignored;
    for (;;) {
        if (pos >= size) {
            return Refusal::Truncated;
        }
        if (data[pos] == kExtensionIntroducer) {
            size_t end = 0;
            if (!ParseExtension(pos, &ignored, &end)) {
                return Refusal::Truncated;
            }
            pos = end;
            continue;
        }
        if (data[pos] != kImageSeparator) {
            return Refusal::Malformed;
        }
        Frame first;
        if (!ParseImage(pos, &first)) {
            return Refusal::Truncated;
        }
        still_ = size - first.end <= 1;
        break;
    }
    lzw_.reset(new (std::nothrow) GifLzwDecoder);
    if (!lzw_) {
        return Refusal::NoMemory;
    }
    width_ = width;
    height_ = height;
    return Refusal::None;
}

bool GifAnimation::Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) {
    int32_t delay = 0;
    if (!lzw_ || !screenBgra) {
        return false;
    }
    const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    for (size_t i = 0; i < pixels; ++i)
        picture_bytes::StoreWord(screenBgra + 4 * i, backgroundBgra);
    pos_ = streamStart_;
    passes_ = 0;
    control_ = Control{};
    restorePending_ = false;
    started_ = Advance(screenBgra, &delay, true) == Step::Frame;
    if (delayMs) {
        *delayMs = delay;
    }
    return started_;
}

void GifAnimation::Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) {
    const uint32_t background = backgroundBgra & 0x00FFFFFFu;
    const auto recolour = [background](uint8_t* pixels, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (pixels[4 * i + 3] == 0) {
                picture_bytes::StoreWord(pixels + 4 * i, background);
            }
        }
    };
    if (screenBgra) {
        recolour(screenBgra, static_cast<size_t>(width_) * static_cast<size_t>(height_));
    }
    // What a disposal will put back was saved on the old background.
    if (restorePending_ && saved_) {
        recolour(saved_.get(), static_cast<size_t>(restoreArea_.width) *
                                   static_cast<size_t>(restoreArea_.height));
    }
}

GifAnimation::Step GifAnimation::Next(uint8_t* screenBgra, int32_t* delayMs) {
    int32_t delay = kNoFrameWaitMs;
    const Step step = started_ && screenBgra ? Advance(screenBgra, &delay, false) : Step::NoFrame;
    if (delayMs) {
        *delayMs = delay;
    }
    return step;
}

GifAnimation::Step GifAnimation::Advance(uint8_t* screen, int32_t* delayMs, bool firstFrame) {
    *delayMs = kNoFrameWaitMs;
    bool restarted = false;
    for (;;) {
        if (pos_ >= size_ || data_[pos_] == kTrailer || data_[pos_] == 0) {
            // Once around the stream per call at most.
            if (firstFrame || restarted) {
                return Step::NoFrame;
            }
            restarted = true;
            ++passes_;
            pos_ = streamStart_;
            control_ = Control{};
            continue;
        }
        const uint8_t introducer = data_[pos_];
        if (introducer == kExtensionIntroducer) {
            size_t end = 0;
            if (!ParseExtension(pos_, &control_, &end)) {
                pos_ = size_;  // cut off by the end of the data
                return Step::NoFrame;
            }
            pos_ = end;
            continue;
        }
        if (introducer != kImageSeparator) {
            ++pos_;
            return Step::NoFrame;
        }
        Frame frame;
        if (!ParseImage(pos_, &frame)) {
            pos_ = size_;
            return Step::NoFrame;
        }
        pos_ = frame.end;
        const Control control = control_;
        control_ = Control{};
        if (!DrawFrame(screen, frame, control)) {
            return Step::NoFrame;
        }
        *delayMs = control.delayMs;
        return Step::Frame;
    }
}

GifAnimation::Rect GifAnimation::ClipToScreen(const Frame& frame) const {
    Rect r;
    if (frame.left >= width_ || frame.top >= height_) {
        return r;
    }
    r.x = frame.left;
    r.y = frame.top;
    r.width = frame.width < width_ - frame.left ? frame.width : width_ - frame.left;
    r.height = frame.height < height_ - frame.top ? frame.height : height_ - frame.top;
    return r;
}

void GifAnimation::CopyArea(const uint8_t* from, size_t fromStride, uint8_t* to, size_t toStride,
                            const Rect& area) const {
    const size_t rowBytes = static_cast<size_t>(area.width) * 4;
    for (int32_t y = 0; y < area.height; ++y) {
        std::memcpy(to + static_cast<size_t>(y) * toStride,
                    from + static_cast<size_t>(y) * fromStride, rowBytes);
    }
}

bool GifAnimation::DrawFrame(uint8_t* screen, const Frame& frame, const Control& control) {
    uint64_t framePixels = 0;
    if (!picture_bytes::PicturePixels(frame.width, frame.height, &framePixels)) {
        return false;
    }
    const size_t frameWidth = static_cast<size_t>(frame.width);
    if (rowCapacity_ < frameWidth) {
        row_.reset(new (std::nothrow) uint8_t[frameWidth]);
        rowCapacity_ = row_ ? frameWidth : 0;
        if (!row_) {
            return false;
        }
    }
    GifSubBlockReader input(data_ + frame.dataStart, data_ + frame.end);
    if (!lzw_->Begin(frame.minCodeSize, &input)) {
        return false;
    }

    // From here on the frame counts: disposal of the previous frame, then this one's save.
    const size_t screenStride = static_cast<size_t>(width_) * 4;
    if (restorePending_) {
        uint8_t* origin = screen + static_cast<size_t>(restoreArea_.y) * screenStride +
                          static_cast<size_t>(restoreArea_.x) * 4;
        CopyArea(saved_.get(), static_cast<size_t>(restoreArea_.width) * 4, origin, screenStride,
                 restoreArea_);
        restorePending_ = false;
    }
    const Rect area = ClipToScreen(frame);
    if ((control.disposal == kDisposeToBackground || control.disposal == kDisposeToPrevious) &&
        area.width > 0 && area.height > 0) {
        if (!saved_) {
            saved_.reset(new (std::nothrow) uint8_t[screenStride * static_cast<size_t>(height_)]);
        }
        // Without memory for the copy the frame is simply not undone.
        if (saved_) {
            const uint8_t* origin = screen + static_cast<size_t>(area.y) * screenStride +
                                    static_cast<size_t>(area.x) * 4;
            CopyArea(origin, screenStride, saved_.get(), static_cast<size_t>(area.width) * 4, area);
            restoreArea_ = area;
            restorePending_ = true;
        }
    }

    FramePalette palette;
    BuildPalette(frame.table, frame.entries, &palette);
    uint8_t* row = row_.get();
    const bool visibleColumns = frame.left < width_;
    const size_t visibleWidth = static_cast<size_t>(area.width);
    int pass = 0;
    int32_t frameRow = 0;
    for (int32_t i = 0; i < frame.height; ++i) {
        const size_t got = lzw_->Read(row, frameWidth);
        const int32_t screenRow = frame.top + frameRow;
        if (visibleColumns && screenRow < height_) {
            uint8_t* dst = screen + static_cast<size_t>(screenRow) * screenStride +
                           static_cast<size_t>(frame.left) * 4;
            const size_t count = got < visibleWidth ? got : visibleWidth;
            if (!control.transparent) {
                for (size_t x = 0; x < count; ++x) {
                    picture_bytes::StoreWord(dst + 4 * x, palette.words[row[x]]);
                }
            } else {
                // Transparency is by index: other entries of the same colour are drawn.
                const uint8_t hole = control.transparentIndex;
                for (size_t x = 0; x < count; ++x) {
                    if (row[x] != hole) {
                        picture_bytes::StoreWord(dst + 4 * x, palette.words[row[x]]);
                    }
                }
            }
        }
        if (got < frameWidth) {
            break;  // the frame's data stopped early: the rest stays as it was
        }
        // Rows below the screen are only worth decoding while a later pass comes back up.
        if (screenRow >= height_ && (!frame.interlaced || pass == 3)) {
            break;
        }
        if (frame.interlaced) {
            frameRow += kPassStep[pass];
            while (frameRow >= frame.height && pass < 3) {
                ++pass;
                frameRow = kPassStart[pass];
            }
        } else {
            ++frameRow;
        }
    }
    return true;
}

Refusal GifAnimation::DrawFirstFrame(uint8_t* out) {
    int32_t delay = 0;
    return Start(out, 0x00000000u, &delay) ? Refusal::None : Refusal::Malformed;
}

Refusal DecodeGifFirstFrame(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    return GifAnimation().FirstFrame(data, size, sink, info);
}
