// The program's operator new is the service allocator: the C++ heap objects of the Windows
// layer (window text being edited as a string, the live-control tables, the animation's kept
// frames) come from the process heap like every Text and Bytes, and running out of memory
// there ends in the fatal report with the size asked for, not in an exception that nothing
// catches. The nothrow forms, which the decoders use for sizes taken from a file, still
// answer null.
#include <cstddef>
#include <new>

#include "Memory.h"

void* operator new(std::size_t bytes) {
    return AllocServiceBuffer(static_cast<int64_t>(bytes));
}
void* operator new[](std::size_t bytes) {
    return AllocServiceBuffer(static_cast<int64_t>(bytes));
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return TryAllocServiceBuffer(static_cast<int64_t>(bytes));
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return TryAllocServiceBuffer(static_cast<int64_t>(bytes));
}

void operator delete(void* p) noexcept {
    FreeServiceBuffer(p);
}
void operator delete[](void* p) noexcept {
    FreeServiceBuffer(p);
}
void operator delete(void* p, std::size_t) noexcept {
    FreeServiceBuffer(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    FreeServiceBuffer(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    FreeServiceBuffer(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    FreeServiceBuffer(p);
}
