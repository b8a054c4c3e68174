// Shared by the platform allocators: the largest single buffer the service layer hands out.
// Every size a Text or Bytes carries is a signed 32-bit count, so nothing larger can be used,
// and refusing it up front keeps a 64-bit request from being narrowed into a small one.
#pragma once

#include <cstdint>

constexpr int64_t kMaxServiceBufferBytes = INT32_MAX;

inline bool IsServiceBufferSizeAllowed(int64_t bytes) noexcept {
    return bytes >= 0 && bytes <= kMaxServiceBufferBytes;
}
