// The fatal half of the service allocator, shared by both platforms; the platform files
// (Memory_win.cpp, Memory_posix.cpp) only obtain and release raw memory.
#include "Memory.h"

#include <charconv>
#include <cstring>

#include "Fatal.h"

namespace {

// "分配 %d 字节内存失败!" split around the number.
constexpr char kAllocFailedHead[] = "\xB7\xD6\xC5\xE4 ";  // "分配 " in CP936
constexpr char kAllocFailedTail[] =
    " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";  // " 字节内存失败!" in CP936

// Formats into a stack buffer: the heap is exactly what just failed. The count is printed in
// full even beyond the 32-bit range, so the report names the size that was really asked for.
[[noreturn]] void ReportAllocationFailure(int64_t bytes) {
    char message[sizeof kAllocFailedHead + 24 + sizeof kAllocFailedTail] = {};
    char* out = message;
    std::memcpy(out, kAllocFailedHead, sizeof kAllocFailedHead - 1);
    out += sizeof kAllocFailedHead - 1;
    out = std::to_chars(out, out + 24, bytes).ptr;
    std::memcpy(out, kAllocFailedTail, sizeof kAllocFailedTail);  // with its NUL
    ReportFatalError(message, 0, ErrorLocation{});
}

}  // namespace

void* AllocServiceBuffer(int64_t bytes) {
    void* buffer = TryAllocServiceBuffer(bytes);
    if (!buffer) {
        ReportAllocationFailure(bytes);
    }
    return buffer;
}
