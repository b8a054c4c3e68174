// Animated PNG: the chunk walk that judges an animation, the PNG stream each frame is decoded
// from, and composition onto the canvas.
//
//   signature (8 bytes), then chunks: +0 data length (big-endian)  +4 type  +8 data  then CRC
//   IHDR  +0 width  +4 height  +8 bit depth, colour type, compression, filter, interlace
//   acTL  +0 num_frames  +4 num_plays                                   (before the first IDAT)
//   fcTL  +0 sequence  +4 width  +8 height  +12 x  +16 y  +20 delay_num (2 bytes)
//         +22 delay_den (2 bytes)  +24 dispose_op  +25 blend_op
//   fdAT  +0 sequence  +4 the frame's image data, as IDAT's
// fcTL and fdAT share one sequence, counting up from 0. A fcTL before the IDAT chunks makes the
// default image the first frame; its data is the IDAT chunks.
#include "Apng.h"

#include <zlib.h>

#include <cstring>
#include <new>

#include "PictureBytes.h"
#include "Png.h"

using picture_bytes::RangeInside;
using picture_bytes::ReadBE32;

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
constexpr size_t kChunkOverhead = 12;  // length, type and CRC
constexpr uint32_t kMostChunkBytes = 0x7FFFFFFFu;
constexpr uint32_t kHeaderBytes = 13;
constexpr uint32_t kAnimationControlBytes = 8;
constexpr uint32_t kFrameControlBytes = 26;
constexpr uint32_t kSequenceBytes = 4;
constexpr uint16_t kDefaultDelayDenominator = 100;
constexpr uint8_t kDisposeNone = 0;
constexpr uint8_t kDisposeBackground = 1;
constexpr uint8_t kDisposePrevious = 2;
constexpr uint8_t kBlendSource = 0;
constexpr uint8_t kBlendOver = 1;

struct Chunk {
    size_t at = 0;  // its length field
    uint32_t length = 0;
    const uint8_t* type = nullptr;
    const uint8_t* body = nullptr;
    size_t next = 0;
    bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

bool ReadChunk(const uint8_t* data, size_t size, size_t at, Chunk* chunk) {
    if (!RangeInside(at, kChunkOverhead, size)) return false;
    const uint32_t length = ReadBE32(data + at);
    if (length > kMostChunkBytes || !RangeInside(at, uint64_t{length} + kChunkOverhead, size)) {
        return false;
    }
    chunk->at = at;
    chunk->length = length;
    chunk->type = data + at + 4;
    chunk->body = data + at + 8;
    chunk->next = at + kChunkOverhead + length;
    return true;
}

uint32_t Crc(const uint8_t* bytes, size_t count, uint32_t crc = 0) {
    return static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(count)));
}

// libpng checks the CRCs of the chunks it reads. The animation chunks, which it never sees, and
// the IHDR, which each frame's stream rebuilds, are checked here.
bool CrcRight(const Chunk& chunk) {
    return Crc(chunk.type, size_t{chunk.length} + 4) == ReadBE32(chunk.body + chunk.length);
}

bool SharedWithFrames(const Chunk& chunk) {
    for (const char* name : {"PLTE", "tRNS", "gAMA", "cHRM", "sRGB", "iCCP", "sBIT"}) {
        if (chunk.Is(name)) return true;
    }
    return false;
}

void PutBE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// The CRC of an IDAT holding an fdAT's data, from the fdAT's stored CRC. A CRC is linear: for
// data D after a prefix, crc(prefix D) = shift(crc(prefix), |D|) ^ crc(D), where crc32_combine
// with a zero second CRC is the shift. So the two chunks' CRCs differ by the shift of their
// prefixes' CRCs' difference, and a wrong stored CRC gives a wrong IDAT CRC that libpng refuses.
uint32_t IdatCrc(const Chunk& fdat) {
    const uint32_t idat = Crc(reinterpret_cast<const uint8_t*>("IDAT"), 4);
    const uint32_t stored = ReadBE32(fdat.body + fdat.length);
    const uint32_t prefix = Crc(fdat.type, 4 + kSequenceBytes);
    const z_off_t dataBytes = static_cast<z_off_t>(fdat.length - kSequenceBytes);
    return stored ^ static_cast<uint32_t>(crc32_combine(prefix ^ idat, 0, dataBytes));
}

// Lays a straight-alpha pixel over another: the format's "over" with alpha in 255ths. Colours
// are weighted by their share of the result's alpha and rounded.
inline void Over(const uint8_t* src, uint8_t* dst) {
    const uint32_t sa = src[3];
    if (sa == 0) return;
    const uint32_t da = dst[3];
    if (sa == 255 || da == 0) {
        std::memcpy(dst, src, 4);
        return;
    }
    const uint32_t srcWeight = sa * 255;
    const uint32_t dstWeight = da * (255 - sa);
    const uint32_t total = srcWeight + dstWeight;  // the result's alpha times 255
    for (int c = 0; c < 3; ++c) {
        dst[c] =
            static_cast<uint8_t>((src[c] * srcWeight + dst[c] * dstWeight + total / 2) / total);
    }
    dst[3] = static_cast<uint8_t>((total + 127) / 255);
}

}  // namespace

struct ApngAnimation::Frame {
    Area area;
    int32_t delayMs = 0;
    uint8_t dispose = kDisposeNone;
    uint8_t blend = kBlendSource;
    bool isDefaultImage = false;  // its data is the IDAT chunks
    size_t data = 0;              // the first chunk after its fcTL
};

Refusal ApngAnimation::Open(const uint8_t* data, size_t size) {
    width_ = height_ = 0;
    sharedCount_ = 0;
    frames_ = 0;
    streamBytes_ = 0;
    overPixels_ = previousPixels_ = 0;
    started_ = false;
    // Buffers sized for an earlier picture must not serve this one.
    canvas_.reset();
    stream_.reset();
    frame_.reset();
    saved_.reset();
    imageDataAt_ = 0;
    data_ = data;
    size_ = size;
    const Refusal refusal = Judge();
    if (refusal == Refusal::None) return refusal;
    data_ = nullptr;
    size_ = 0;
    width_ = height_ = 0;
    frames_ = 0;
    return refusal;
}

Refusal ApngAnimation::Judge() {
    Chunk chunk;
    if (!data_ || size_ < sizeof kSignature ||
        !ReadChunk(data_, size_, sizeof kSignature, &chunk)) {
        return Refusal::Truncated;
    }
    if (std::memcmp(data_, kSignature, 8) != 0 || !chunk.Is("IHDR") ||
        chunk.length != kHeaderBytes || !CrcRight(chunk)) {
        return Refusal::Malformed;
    }
    const uint32_t width = ReadBE32(chunk.body);
    const uint32_t height = ReadBE32(chunk.body + 4);
    if (const Refusal canvas = picture_bytes::PictureSizeRefusal(width, height);
        canvas != Refusal::None) {
        return canvas;
    }
    const uint64_t canvasPixels = uint64_t{width} * height;
    width_ = static_cast<int32_t>(width);
    height_ = static_cast<int32_t>(height);
    std::memcpy(headerTail_, chunk.body + 8, sizeof headerTail_);

    uint64_t sharedBytes = 0;
    uint32_t declaredFrames = 0;
    uint32_t sequence = 0;
    uint64_t covered = 0;
    bool animated = false, imageData = false, inImageData = false;
    bool frameHasData = true, frameIsDefault = false;
    uint64_t frameStream = 0;
    for (size_t at = chunk.next; at < size_; at = chunk.next) {
        if (!ReadChunk(data_, size_, at, &chunk)) return Refusal::Truncated;
        const bool idat = chunk.Is("IDAT");
        if (chunk.Is("IEND")) break;
        if (idat) {
            // Without an acTL before it, a plain PNG: the still decoder's affair.
            if (!animated) return Refusal::Unsupported;
            if (imageData && !inImageData)
                return Refusal::Malformed;  // IDAT chunks must be consecutive
            if (!imageData) imageDataAt_ = chunk.at;
            imageData = true;
            if (frameIsDefault) {
                frameStream += uint64_t{chunk.length} + kChunkOverhead;
                frameHasData = frameHasData || chunk.length > 0;
            }
        } else if (chunk.Is("acTL")) {
            if (animated || imageData || chunk.length != kAnimationControlBytes ||
                !CrcRight(chunk)) {
                return Refusal::Malformed;
            }
            declaredFrames = ReadBE32(chunk.body);
            animated = true;
        } else if (chunk.Is("fcTL")) {
            Frame frame;
            if (!ReadFrame(chunk.at, &frame) || ReadBE32(chunk.body) != sequence++ ||
                !frameHasData) {
                return Refusal::Malformed;
            }
            // The default image's frame is the whole image.
            if (!imageData && (frame.area.x != 0 || frame.area.y != 0 ||
                               frame.area.width != width_ || frame.area.height != height_)) {
                return Refusal::Malformed;
            }
            if (frames_ == 0) firstControl_ = chunk.at;
            ++frames_;
            const uint64_t pixels = frame.area.Pixels();
            covered += pixels;
            if (frame.blend == kBlendOver && pixels > overPixels_) overPixels_ = pixels;
            if (frame.dispose == kDisposePrevious && pixels > previousPixels_) {
                previousPixels_ = pixels;
            }
            if (frameStream > streamBytes_) streamBytes_ = static_cast<size_t>(frameStream);
            frameStream = 0;
            frameHasData = false;
            frameIsDefault = !imageData;
        } else if (chunk.Is("fdAT")) {
            if (chunk.length < kSequenceBytes || !imageData || frames_ == 0 || frameIsDefault ||
                ReadBE32(chunk.body) != sequence++) {
                return Refusal::Malformed;
            }
            frameStream += uint64_t{chunk.length} - kSequenceBytes + kChunkOverhead;
            frameHasData = frameHasData || chunk.length > kSequenceBytes;
        } else if (!imageData && SharedWithFrames(chunk)) {
            if (sharedCount_ == kMostSharedChunks) return Refusal::Malformed;
            sharedAt_[sharedCount_] = chunk.at;
            sharedBytes_[sharedCount_] = size_t{chunk.length} + kChunkOverhead;
            sharedBytes += sharedBytes_[sharedCount_++];
        }
        inImageData = idat;
    }
    if (!imageData || frames_ == 0 || frames_ != declaredFrames || !frameHasData) {
        return Refusal::Malformed;
    }
    if (canvasPixels > picture_bytes::kFreeCanvasPixels &&
        covered < canvasPixels / picture_bytes::kCanvasPerFramePixels) {
        return Refusal::TooLarge;
    }
    if (frameStream > streamBytes_) streamBytes_ = static_cast<size_t>(frameStream);
    // Every part lies inside the data, so the sum stays within a few dozen bytes of its size.
    streamBytes_ += sizeof kSignature + kChunkOverhead + kHeaderBytes +
                    static_cast<size_t>(sharedBytes) + sizeof kEnd;
    return Refusal::None;
}

bool ApngAnimation::ReadFrame(size_t control, Frame* frame) const {
    Chunk chunk;
    if (!ReadChunk(data_, size_, control, &chunk) || !chunk.Is("fcTL") ||
        chunk.length != kFrameControlBytes || !CrcRight(chunk)) {
        return false;
    }
    const uint8_t* f = chunk.body;
    const uint32_t width = ReadBE32(f + 4), height = ReadBE32(f + 8);
    const uint32_t x = ReadBE32(f + 12), y = ReadBE32(f + 16);
    // Inside the canvas, checked in 64 bits; the canvas is within the cap, so is the frame.
    if (width == 0 || height == 0 || uint64_t{x} + width > uint64_t(width_) ||
        uint64_t{y} + height > uint64_t(height_) || f[24] > kDisposePrevious ||
        f[25] > kBlendOver) {
        return false;
    }
    frame->area = {static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(width),
                   static_cast<int32_t>(height)};
    const uint32_t numerator = static_cast<uint32_t>(f[20] << 8 | f[21]);
    uint32_t denominator = static_cast<uint32_t>(f[22] << 8 | f[23]);
    if (denominator == 0) denominator = kDefaultDelayDenominator;
    const uint32_t ms = (numerator * 1000 + denominator / 2) / denominator;
    frame->delayMs = ms == 0 ? kZeroDelayMs : static_cast<int32_t>(ms);
    frame->dispose = f[24];
    frame->blend = f[25];
    frame->data = chunk.next;
    frame->isDefaultImage = control == firstControl_ && control < imageDataAt_;
    return true;
}

bool ApngAnimation::Allocate(bool forPlaying) {
    const auto buffer = [](std::unique_ptr<uint8_t[]>& b, uint64_t bytes) {
        if (!b && bytes > 0) b.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
        return b != nullptr || bytes == 0;
    };
    const uint64_t canvasPixels = uint64_t(width_) * uint64_t(height_);
    return buffer(stream_, streamBytes_) &&
           (!forPlaying || (buffer(canvas_, canvasPixels * 4) && buffer(frame_, overPixels_ * 4) &&
                            buffer(saved_, previousPixels_ * 4)));
}

bool ApngAnimation::BuildStream(const Frame& frame, size_t* length, size_t* next) {
    uint8_t* stream = stream_.get();
    size_t n = 0;
    const auto put = [&](const uint8_t* bytes, size_t count) {
        if (count > streamBytes_ - n) return false;
        std::memcpy(stream + n, bytes, count);
        n += count;
        return true;
    };
    uint8_t header[kChunkOverhead + kHeaderBytes];
    PutBE32(header, kHeaderBytes);
    std::memcpy(header + 4, "IHDR", 4);
    PutBE32(header + 8, static_cast<uint32_t>(frame.area.width));
    PutBE32(header + 12, static_cast<uint32_t>(frame.area.height));
    std::memcpy(header + 16, headerTail_, sizeof headerTail_);
    PutBE32(header + 8 + kHeaderBytes, Crc(header + 4, 4 + kHeaderBytes));
    bool ok = put(kSignature, sizeof kSignature) && put(header, sizeof header);
    for (int i = 0; ok && i < sharedCount_; ++i) ok = put(data_ + sharedAt_[i], sharedBytes_[i]);
    Chunk chunk;
    size_t at = frame.data;
    for (; ok && at < size_ && ReadChunk(data_, size_, at, &chunk); at = chunk.next) {
        if (chunk.Is("fcTL") || chunk.Is("IEND")) break;
        if (chunk.Is("IDAT") && frame.isDefaultImage) {
            ok = put(data_ + at, size_t{chunk.length} + kChunkOverhead);
        } else if (chunk.Is("fdAT") && chunk.length > kSequenceBytes) {
            uint8_t head[8], crc[4];
            PutBE32(head, chunk.length - kSequenceBytes);
            std::memcpy(head + 4, "IDAT", 4);
            PutBE32(crc, IdatCrc(chunk));
            ok = put(head, sizeof head) &&
                 put(chunk.body + kSequenceBytes, chunk.length - kSequenceBytes) &&
                 put(crc, sizeof crc);
        }
    }
    *next = at;
    ok = ok && put(kEnd, sizeof kEnd);
    *length = n;
    return ok;
}

bool ApngAnimation::DrawFrame(const Frame& frame, uint8_t* canvas, bool clearCanvas, size_t* next) {
    size_t length = 0;
    if (!BuildStream(frame, &length, next)) return false;
    const size_t stride = size_t(width_) * 4;
    uint8_t* origin = canvas + size_t(frame.area.y) * stride + size_t(frame.area.x) * 4;
    const uint32_t width = static_cast<uint32_t>(frame.area.width);
    const uint32_t height = static_cast<uint32_t>(frame.area.height);
    // Replacing its area, or on a clear canvas, the frame is decoded in place.
    if (frame.blend == kBlendSource || clearCanvas) {
        return DecodePngInto(stream_.get(), length, width, height, origin, stride);
    }
    const size_t rowBytes = size_t{width} * 4;
    if (!DecodePngInto(stream_.get(), length, width, height, frame_.get(), rowBytes)) {
        return false;
    }
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* src = frame_.get() + y * rowBytes;
        uint8_t* dst = origin + y * stride;
        for (size_t x = 0; x < rowBytes; x += 4) Over(src + x, dst + x);
    }
    return true;
}

// The area's rows are blended whole, in one call: a call's set-up costs as much as about a
// thousand pixels, so row by row a tall, narrow frame would cost far more than its pixels.
void ApngAnimation::Show(uint8_t* screen, const Area& area) const {
    const size_t offset = size_t(area.y) * size_t(width_) * 4;
    BlendOntoBackground(canvas_.get() + offset, screen + offset,
                        size_t(area.height) * size_t(width_), static_cast<uint8_t>(background_),
                        static_cast<uint8_t>(background_ >> 8),
                        static_cast<uint8_t>(background_ >> 16));
}

PictureAnimation::Step ApngAnimation::Advance(uint8_t* screen, int32_t* delayMs) {
    *delayMs = kNoFrameWaitMs;
    if (index_ == frames_) {
        index_ = 0;
        ++passes_;
    }
    const bool first = index_ == 0;
    uint8_t* canvas = canvas_.get();
    const size_t stride = size_t(width_) * 4;
    const Area& last = disposalArea_;
    const size_t lastOffset = size_t(last.y) * stride + size_t(last.x) * 4;
    const size_t lastRow = size_t(last.width) * 4;
    Area undone;
    if (first) {
        pos_ = firstControl_;
        std::memset(canvas, 0, stride * size_t(height_));
    } else if (disposal_ == kDisposeBackground) {
        for (int32_t y = 0; y < last.height; ++y) {
            std::memset(canvas + lastOffset + size_t(y) * stride, 0, lastRow);
        }
        undone = last;
    } else if (disposal_ == kDisposePrevious) {
        for (int32_t y = 0; y < last.height; ++y) {
            std::memcpy(canvas + lastOffset + size_t(y) * stride,
                        saved_.get() + size_t(y) * lastRow, lastRow);
        }
        undone = last;
    }
    Frame frame;
    size_t next = 0;
    if (!ReadFrame(pos_, &frame)) {
        index_ = frames_;
        return Step::NoFrame;
    }
    const uint8_t dispose =
        first && frame.dispose == kDisposePrevious ? kDisposeBackground : frame.dispose;
    if (dispose == kDisposePrevious) {
        const Area& a = frame.area;
        const size_t offset = size_t(a.y) * stride + size_t(a.x) * 4;
        const size_t row = size_t(a.width) * 4;
        for (int32_t y = 0; y < a.height; ++y) {
            std::memcpy(saved_.get() + size_t(y) * row, canvas + offset + size_t(y) * stride, row);
        }
    }
    if (!DrawFrame(frame, canvas, first, &next)) {
        // The next step starts the pass again on a clear canvas.
        index_ = frames_;
        return Step::NoFrame;
    }
    disposal_ = dispose;
    disposalArea_ = frame.area;
    pos_ = next;
    ++index_;
    if (first) {
        Show(screen, Area{0, 0, width_, height_});
    } else {
        Show(screen, undone);
        Show(screen, frame.area);
    }
    *delayMs = frame.delayMs;
    return Step::Frame;
}

bool ApngAnimation::Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) {
    started_ = false;
    if (frames_ == 0 || !screenBgra || !Allocate(true)) return false;
    background_ = backgroundBgra;
    index_ = 0;
    passes_ = 0;
    int32_t delay = 0;
    started_ = Advance(screenBgra, &delay) == Step::Frame;
    if (delayMs) *delayMs = delay;
    return started_;
}

PictureAnimation::Step ApngAnimation::Next(uint8_t* screenBgra, int32_t* delayMs) {
    int32_t delay = kNoFrameWaitMs;
    const Step step = started_ && screenBgra ? Advance(screenBgra, &delay) : Step::NoFrame;
    if (delayMs) *delayMs = delay;
    return step;
}

void ApngAnimation::Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) {
    background_ = backgroundBgra;
    if (started_ && screenBgra) Show(screenBgra, Area{0, 0, width_, height_});
}

Refusal ApngAnimation::DrawFirstFrame(uint8_t* out) {
    Frame frame;
    size_t next = 0;
    if (frames_ == 0 || !ReadFrame(firstControl_, &frame)) return Refusal::Malformed;
    if (!Allocate(false)) return Refusal::NoMemory;
    const uint64_t pixels = uint64_t(width_) * uint64_t(height_);
    if (frame.area.Pixels() != pixels) std::memset(out, 0, static_cast<size_t>(pixels * 4));
    return DrawFrame(frame, out, true, &next) ? Refusal::None : Refusal::Malformed;
}

Refusal DecodeApngFirstFrame(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    return ApngAnimation().FirstFrame(data, size, sink, info);
}
