// Text and Bytes: the two buffer types every service hands across to the application.
//
// Text is a NUL-terminated byte string in code page 936; an empty Text may hold no buffer at
// all, and every operation treats that as "". Bytes is a counted byte buffer. Both own their
// buffer, which comes from the service allocator (Memory.h): a failed allocation is a fatal
// report, except where a caller asks for the non-fatal TryAllocate.
//
// Portable: no platform headers here.
#pragma once

#include <cstddef>
#include <cstdint>

// The code page of every Text, as the platform numbers it.
constexpr unsigned kTextCodePage = 936;

class Text {
public:
    Text() noexcept = default;
    Text(const char* s);                  // copies; nullptr and "" give no buffer
    Text(const char* s, int32_t length);  // copies exactly length bytes and adds the NUL
                                          // (length 0: a buffer holding only the NUL;
                                          // nullptr or a negative length: no buffer)
    Text(const Text& other);
    Text(Text&& other) noexcept;
    Text& operator=(Text other) noexcept;  // a copy or a move, taken by swapping
    ~Text();

    // Takes over a NUL-terminated buffer that came from AllocServiceBuffer.
    static Text Adopt(char* buffer) noexcept;

    const char* c_str() const noexcept { return buffer_ ? buffer_ : ""; }
    const char* data() const noexcept { return buffer_; }  // may be nullptr
    bool HasBuffer() const noexcept { return buffer_ != nullptr; }
    bool empty() const noexcept { return !buffer_ || buffer_[0] == '\0'; }
    int32_t size() const noexcept;

private:
    char* buffer_ = nullptr;
};

bool operator==(const Text& a, const Text& b) noexcept;
inline bool operator!=(const Text& a, const Text& b) noexcept {
    return !(a == b);
}

class Bytes {
public:
    Bytes() noexcept = default;
    Bytes(const void* data, int32_t size);  // copies; fatal report when it cannot allocate
    Bytes(const Bytes& other);
    Bytes(Bytes&& other) noexcept;
    Bytes& operator=(Bytes other) noexcept;
    ~Bytes();

    // A zero-filled buffer of size bytes; empty Bytes when it cannot be had (no report).
    static Bytes TryAllocate(int32_t size) noexcept;

    const uint8_t* data() const noexcept { return data_; }
    uint8_t* data() noexcept { return data_; }
    int32_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    // Shortens the content (a read that stopped early); never grows it.
    void Truncate(int32_t size) noexcept;

private:
    uint8_t* data_ = nullptr;
    int32_t size_ = 0;
};
