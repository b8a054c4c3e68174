// The service layer's allocator: every Text and Bytes buffer comes from here.
// On Windows it is the process's default heap; elsewhere the C heap.
#pragma once

#include <cstdint>

// Returns a buffer of at least `bytes` bytes. A size below 0 or a failed allocation ends the
// program with the fatal report "分配 %d 字节内存失败!" (never returns nullptr).
void* AllocServiceBuffer(int64_t bytes);
// Like AllocServiceBuffer but returns nullptr on failure instead of reporting.
void* TryAllocServiceBuffer(int64_t bytes) noexcept;
void FreeServiceBuffer(void* buffer) noexcept;
