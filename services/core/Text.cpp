// Text and Bytes: owning buffers from the service allocator. A Text with no buffer and a Text
// holding only the NUL read the same everywhere; copies keep whichever of the two they were
// given, because ConcatText promises a buffer even for an empty result.
#include "Text.h"

#include <cstring>
#include <utility>

#include "Memory.h"

namespace {

char* CopyToServiceBuffer(const char* s, size_t length) {
    char* buffer = static_cast<char*>(AllocServiceBuffer(static_cast<int64_t>(length) + 1));
    std::memcpy(buffer, s, length);
    buffer[length] = '\0';
    return buffer;
}

}  // namespace

Text::Text(const char* s) {
    if (s && s[0] != '\0') {
        buffer_ = CopyToServiceBuffer(s, std::strlen(s));
    }
}

// Length 0 still yields a buffer holding the NUL: the caller asked for a copy, not for "".
// A negative length or no source gives no buffer.
Text::Text(const char* s, int32_t length) {
    if (s && length >= 0) {
        buffer_ = CopyToServiceBuffer(s, static_cast<size_t>(length));
    }
}

Text::Text(const Text& other) {
    if (other.buffer_) {
        buffer_ = CopyToServiceBuffer(other.buffer_, std::strlen(other.buffer_));
    }
}

Text::Text(Text&& other) noexcept : buffer_(std::exchange(other.buffer_, nullptr)) {}

Text& Text::operator=(Text other) noexcept {
    std::swap(buffer_, other.buffer_);
    return *this;
}

Text::~Text() {
    FreeServiceBuffer(buffer_);
}

Text Text::Adopt(char* buffer) noexcept {
    Text text;
    text.buffer_ = buffer;
    return text;
}

// Buffers never exceed the 32-bit limit of the allocator, so the length always fits.
int32_t Text::size() const noexcept {
    return buffer_ ? static_cast<int32_t>(std::strlen(buffer_)) : 0;
}

bool operator==(const Text& a, const Text& b) noexcept {
    return std::strcmp(a.c_str(), b.c_str()) == 0;
}

Bytes::Bytes(const void* data, int32_t size) {
    if (data && size > 0) {
        data_ = static_cast<uint8_t*>(AllocServiceBuffer(size));
        std::memcpy(data_, data, static_cast<size_t>(size));
        size_ = size;
    }
}

Bytes::Bytes(const Bytes& other) : Bytes(other.data_, other.size_) {}

Bytes::Bytes(Bytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

Bytes& Bytes::operator=(Bytes other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
}

Bytes::~Bytes() {
    FreeServiceBuffer(data_);
}

Bytes Bytes::TryAllocate(int32_t size) noexcept {
    Bytes bytes;
    if (size > 0) {
        void* buffer = TryAllocServiceBuffer(size);
        if (buffer) {
            std::memset(buffer, 0, static_cast<size_t>(size));
            bytes.data_ = static_cast<uint8_t*>(buffer);
            bytes.size_ = size;
        }
    }
    return bytes;
}

void Bytes::Truncate(int32_t size) noexcept {
    if (size < 0) {
        size = 0;
    }
    if (size < size_) {
        size_ = size;
    }
}
