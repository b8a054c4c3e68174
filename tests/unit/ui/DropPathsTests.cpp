// The dropped file list read as hostile bytes: what each layout gives, row by row.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "DropPaths.h"

namespace {

// A header pointing `offset` bytes in, with the wide flag, then `body`.
std::vector<uint8_t> List(uint32_t offset, bool wide, const std::string& body) {
    std::vector<uint8_t> b(20, 0);
    for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(offset >> (8 * i));
    b[16] = wide ? 1 : 0;
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

using Spans = std::vector<std::pair<size_t, size_t>>;  // offset, length in characters

TEST(DropPaths, EachLayout) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::vector<uint8_t> list;
        bool wide;
        Spans paths;
    } rows[] = {
        {"two narrow paths and the closing empty one",
         List(20, false, "a\0bc\0\0"s),
         false,
         {{20, 1}, {22, 2}}},
        {"two wide paths", List(20, true, "a\0\0\0b\0c\0\0\0\0\0"s), true, {{20, 1}, {24, 2}}},
        {"a wide 0 must be two 0 bytes: 'a' then U+0100",
         List(20, true, "a\0\0\1\0\0\0\0"s),
         true,
         {{20, 2}}},
        {"paths after a gap the offset skips", List(24, false, "xxxxab\0\0"s), false, {{24, 2}}},
        {"a last path without its terminator ends the list",
         List(20, false, "a\0bc"s),
         false,
         {{20, 1}}},
        {"an odd byte after a wide path is no character",
         List(20, true, "a\0\0\0\0"s),
         true,
         {{20, 1}}},
        {"no closing empty path: the terminated ones count",
         List(20, false, "a\0b\0"s),
         false,
         {{20, 1}, {22, 1}}},
        {"the offset at the very end: no path", List(22, false, "ab"s), false, {}},
        {"an offset inside the header", List(19, false, "a\0\0"s), false, {}},
        {"an offset past the data", List(4000, false, "a\0\0"s), false, {}},
        {"a header cut short", std::vector<uint8_t>(19, 0), false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const DroppedPaths got = ReadDroppedPaths(row.list.data(), row.list.size());
        Spans spans;
        for (const DroppedPath& p : got.paths) spans.emplace_back(p.offset, p.length);
        EXPECT_EQ(spans, row.paths);
        if (!row.paths.empty()) {
            EXPECT_EQ(got.wide, row.wide);
        }
    }
    EXPECT_TRUE(ReadDroppedPaths(nullptr, 100).paths.empty());
}

}  // namespace
