// The file list of a drop: every path the reader gives lies inside the data, is not empty and
// ends in its terminator.
#include "DropPaths.h"
#include "FuzzTarget.h"

const char kFuzzTargetName[] = "drop";

bool FuzzTargetRun(const uint8_t* data, size_t size) {
    const DroppedPaths found = ReadDroppedPaths(data, size);
    const size_t unit = found.wide ? 2 : 1;
    for (const DroppedPath& p : found.paths) {
        fuzz::Require(p.length != 0, "no path is empty");
        fuzz::Require(p.offset >= 20 && p.offset <= size && p.length < (size - p.offset) / unit,
                      "a path and its terminator lie inside the data");
        const uint8_t* end = data + p.offset + p.length * unit;
        fuzz::Require(end[0] == 0 && (unit == 1 || end[1] == 0), "a path ends in its terminator");
    }
    return !found.paths.empty();
}
