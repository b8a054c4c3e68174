// The service allocator on the process's default heap.
#include <windows.h>

#include "Memory.h"
#include "MemoryLimits.h"

void* TryAllocServiceBuffer(int64_t bytes) noexcept {
    if (!IsServiceBufferSizeAllowed(bytes)) {
        return nullptr;
    }
    // A zero-byte request still gets a distinct buffer, so success is never nullptr.
    return HeapAlloc(GetProcessHeap(), 0, bytes == 0 ? 1u : static_cast<SIZE_T>(bytes));
}

void FreeServiceBuffer(void* buffer) noexcept {
    if (buffer) {
        HeapFree(GetProcessHeap(), 0, buffer);
    }
}
