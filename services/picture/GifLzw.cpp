#include "GifLzw.h"

namespace {

constexpr int kMinCodeSize = 2;
// The largest minimum code size that leaves room in the 12-bit table for the clear and end
// codes and at least one string.
constexpr int kMaxMinCodeSize = 11;

}  // namespace

bool GifLzwDecoder::Begin(int minCodeSize, GifSubBlockReader* input) {
    input_ = input;
    stackTop_ = 0;
    bits_ = 0;
    bitCount_ = 0;
    if (minCodeSize < kMinCodeSize || minCodeSize > kMaxMinCodeSize || !input) {
        status_ = Status::BadCode;
        return false;
    }
    minCodeSize_ = static_cast<unsigned>(minCodeSize);
    clearCode_ = 1u << minCodeSize_;
    endCode_ = clearCode_ + 1;
    for (unsigned i = 0; i < clearCode_; ++i) {
        prefix_[i] = static_cast<uint16_t>(kNoCode);
        suffix_[i] = static_cast<uint8_t>(i < 255 ? i : 255);
        length_[i] = 1;
    }
    ResetTable();
    status_ = Status::Running;
    return true;
}

void GifLzwDecoder::ResetTable() {
    codeSize_ = minCodeSize_ + 1;
    nextCode_ = clearCode_ + 2;
    previous_ = kNoCode;
}

int GifLzwDecoder::NextCode() {
    while (bitCount_ < codeSize_) {
        const int byte = input_->Next();
        if (byte < 0) {
            return -1;
        }
        bits_ |= static_cast<uint32_t>(byte) << bitCount_;
        bitCount_ += 8;
    }
    const uint32_t code = bits_ & ((1u << codeSize_) - 1);
    bits_ >>= codeSize_;
    bitCount_ -= codeSize_;
    return static_cast<int>(code);
}

size_t GifLzwDecoder::Read(uint8_t* out, size_t count) {
    size_t n = 0;
    while (n < count) {
        if (stackTop_ != 0) {
            while (stackTop_ != 0 && n < count) {
                out[n++] = stack_[--stackTop_];
            }
            continue;
        }
        if (status_ != Status::Running) {
            break;
        }
        const int next = NextCode();
        if (next < 0) {
            status_ = Status::DataEnd;
            break;
        }
        unsigned code = static_cast<unsigned>(next);
        if (code == clearCode_) {
            ResetTable();
            continue;
        }
        if (code == endCode_) {
            status_ = Status::EndCode;
            break;
        }
        if (previous_ == kNoCode) {
            // The first code after a clear has no string before it: only a literal makes sense.
            if (code > clearCode_) {
                status_ = Status::BadCode;
                break;
            }
            out[n++] = suffix_[code];
            previous_ = code;
            firstOfPrevious_ = suffix_[code];
            continue;
        }
        // Codes up to nextCode_ are known; nextCode_ itself is the string about to be added
        // (the previous string plus its own first byte). Anything above is not in the table.
        if (code > nextCode_) {
            status_ = Status::BadCode;
            break;
        }
        const unsigned incoming = code;
        // The string's length: a code not yet in the table is the previous string plus one.
        const size_t length = code == nextCode_ ? size_t{length_[previous_]} + 1 : length_[code];
        uint8_t first = 0;
        if (length <= count - n) {
            uint8_t* p = out + n + length - 1;
            if (code == nextCode_) {
                *p-- = firstOfPrevious_;
                code = previous_;
            }
            while (code > endCode_) {
                *p-- = suffix_[code];
                code = prefix_[code];
            }
            first = suffix_[code];
            *p = first;
            n += length;
        } else {
            if (code == nextCode_) {
                stack_[stackTop_++] = firstOfPrevious_;
                code = previous_;
            }
            while (code > endCode_) {
                stack_[stackTop_++] = suffix_[code];
                code = prefix_[code];
            }
            first = suffix_[code];
            stack_[stackTop_++] = first;
        }
        // A full table takes no more entries until the next clear code (a "deferred clear").
        if (nextCode_ < kTableSize) {
            prefix_[nextCode_] = static_cast<uint16_t>(previous_);
            suffix_[nextCode_] = first;
            length_[nextCode_] = static_cast<uint16_t>(length_[previous_] + 1);
            ++nextCode_;
            if (nextCode_ >= (1u << codeSize_) && codeSize_ < kMaxCodeBits) {
                ++codeSize_;
            }
        }
        previous_ = incoming;
        firstOfPrevious_ = first;
    }
    return n;
}
