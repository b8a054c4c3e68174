#include "DropPaths.h"

namespace {

constexpr size_t kHeaderBytes = 20;
constexpr size_t kWideFlagAt = 16;

uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

DroppedPaths ReadDroppedPaths(const uint8_t* list, size_t size) {
    DroppedPaths result;
    if (!list || size < kHeaderBytes) return result;
    const uint32_t start = ReadLE32(list);
    if (start < kHeaderBytes || start > size) return result;
    result.wide = ReadLE32(list + kWideFlagAt) != 0;
    const size_t unit = result.wide ? 2 : 1;
    // Whole characters only: an odd byte at the end of a wide list is not one.
    const size_t end = start + (size - start) / unit * unit;
    size_t first = start;
    for (size_t at = start; at < end; at += unit) {
        if (list[at] != 0 || (unit == 2 && list[at + 1] != 0)) continue;
        if (at == first) break;  // the empty path closes the list
        result.paths.push_back(DroppedPath{first, (at - first) / unit});
        first = at + unit;
    }
    return result;
}
