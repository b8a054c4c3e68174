// The file list of a drop (the memory behind CF_HDROP and WM_DROPFILES's handle), read as the
// hostile bytes of another program. Portable: the platform converts the paths it finds.
//
//   +0 DWORD offset of the first path   +4 POINT   +12 BOOL   +16 BOOL wide paths
//   then paths, each ending in a 0 character, and one more 0 after the last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Where one path lies in the list: its first byte and its length in characters (2 bytes each
// in a wide list, 1 in a narrow one), the terminator left out.
struct DroppedPath {
    size_t offset = 0;
    size_t length = 0;
};

struct DroppedPaths {
    bool wide = false;
    std::vector<DroppedPath> paths;  // in the order of the drop
};

// The header's offset and every path must lie inside the `size` bytes; the list ends at its
// empty path, or before a path without its terminator. A header that does not fit, or an
// offset before its end or past the data, gives no path.
DroppedPaths ReadDroppedPaths(const uint8_t* list, size_t size);
