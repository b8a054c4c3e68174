// The service allocator on the C heap, for the native build and its tests.
#include <cstdlib>

#include "Memory.h"
#include "MemoryLimits.h"

void* TryAllocServiceBuffer(int64_t bytes) noexcept {
    if (!IsServiceBufferSizeAllowed(bytes)) {
        return nullptr;
    }
    // A zero-byte request still gets a distinct buffer, so success is never nullptr.
    return std::malloc(bytes == 0 ? 1u : static_cast<size_t>(bytes));
}

void FreeServiceBuffer(void* buffer) noexcept {
    std::free(buffer);
}
