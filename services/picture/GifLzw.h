// The two lowest layers of GIF decoding, apart from block parsing and frame composition:
// reading the data sub-blocks of one image as a byte stream, and the variable-width LZW
// decoder (codes of at most 12 bits) that turns that stream into colour indices.
// Internal to the picture library.
#pragma once

#include <cstddef>
#include <cstdint>

// Data sub-blocks: a length byte, that many bytes, repeated until a length of 0.
// The caller has already checked that the whole chain lies inside the data.
class GifSubBlockReader {
public:
    GifSubBlockReader(const uint8_t* p, const uint8_t* end) : p_(p), end_(end) {}

    // The next byte of the stream, or -1 at the terminating 0 length (or the data's end).
    int Next() {
        if (left_ == 0) {
            if (p_ == end_ || *p_ == 0) {
                return -1;
            }
            left_ = *p_++;
            if (static_cast<size_t>(end_ - p_) < left_) {
                return -1;
            }
        }
        --left_;
        return *p_++;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    size_t left_ = 0;
};

class GifLzwDecoder {
public:
    enum class Status {
        Running,
        EndCode,  // the end-of-information code
        DataEnd,  // the sub-blocks ended first
        BadCode,  // a code above the next free table slot
    };

    // Resets the decoder for one image. minCodeSize is the byte before the sub-blocks; values
    // outside 2..11 are refused: the format's minimum is 2, and from 12 on the clear and end
    // codes would not fit the 12-bit table. Literals above 255 come out as 255: no colour
    // table reaches them.
    bool Begin(int minCodeSize, GifSubBlockReader* input);

    // Writes up to `count` colour indices and returns how many it wrote. Fewer than asked
    // means the stream stopped; status() says why. A string may straddle two calls.
    size_t Read(uint8_t* out, size_t count);

    Status status() const { return status_; }

private:
    static constexpr int kMaxCodeBits = 12;
    static constexpr unsigned kTableSize = 1u << kMaxCodeBits;
    static constexpr unsigned kNoCode = 0xFFFF;

    void ResetTable();
    // The next code from the input, or -1 when the input has ended.
    int NextCode();

    GifSubBlockReader* input_ = nullptr;
    Status status_ = Status::DataEnd;
    unsigned minCodeSize_ = 0;
    unsigned clearCode_ = 0;
    unsigned endCode_ = 0;
    unsigned nextCode_ = 0;
    unsigned codeSize_ = 0;
    unsigned previous_ = kNoCode;
    uint8_t firstOfPrevious_ = 0;
    uint32_t bits_ = 0;
    unsigned bitCount_ = 0;
    // Each table entry is its prefix code, last byte and length. A string that fits in the
    // output is unwound straight into it, from its end; one that does not is unwound onto the
    // stack backwards and popped in order across calls.
    uint16_t prefix_[kTableSize] = {};
    uint8_t suffix_[kTableSize] = {};
    uint16_t length_[kTableSize] = {};
    uint8_t stack_[kTableSize + 1] = {};
    size_t stackTop_ = 0;
};
