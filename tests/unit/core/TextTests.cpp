// Text and Bytes ownership, the service allocator's failure report, and the text primitives.
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "FatalHook.h"
#include "Memory.h"
#include "Primitives.h"
#include "Text.h"

namespace {

TEST(Text, EmptyAndNoBufferReadTheSameButCopiesKeepWhichTheyWere) {
    const Text none;
    const Text fromEmpty("");
    const Text fromNull(nullptr);
    const Text zeroLength("abc", 0);
    EXPECT_FALSE(none.HasBuffer());
    EXPECT_FALSE(fromEmpty.HasBuffer());
    EXPECT_FALSE(fromNull.HasBuffer());
    EXPECT_TRUE(zeroLength.HasBuffer());
    EXPECT_STREQ(none.c_str(), "");
    EXPECT_EQ(none, zeroLength);
    EXPECT_EQ(none.size(), 0);

    const Text copyOfBuffer(zeroLength);
    EXPECT_TRUE(copyOfBuffer.HasBuffer());
    Text assigned("x");
    assigned = none;
    EXPECT_FALSE(assigned.HasBuffer());
}

TEST(Text, CountedCopyStopsAtLengthAndMoveEmptiesTheSource) {
    Text part("abcdef", 3);
    EXPECT_STREQ(part.c_str(), "abc");
    EXPECT_FALSE(Text("abc", -1).HasBuffer());

    Text moved(std::move(part));
    EXPECT_STREQ(moved.c_str(), "abc");
    EXPECT_FALSE(part.HasBuffer());  // NOLINT: moved-from state is part of the contract
    moved = Text("z");
    moved = moved;  // self-assignment keeps the content
    EXPECT_STREQ(moved.c_str(), "z");
}

TEST(Bytes, CopyTryAllocateAndTruncate) {
    const uint8_t raw[] = {1, 2, 3, 0, 5};
    Bytes bytes(raw, 5);
    const Bytes copy(bytes);
    ASSERT_EQ(copy.size(), 5);
    EXPECT_EQ(std::memcmp(copy.data(), raw, 5), 0);

    bytes.Truncate(7);
    EXPECT_EQ(bytes.size(), 5) << "Truncate must never grow";
    bytes.Truncate(2);
    EXPECT_EQ(bytes.size(), 2);
    bytes.Truncate(-3);
    EXPECT_TRUE(bytes.empty());

    const Bytes zeroed = Bytes::TryAllocate(64);
    ASSERT_EQ(zeroed.size(), 64);
    for (int32_t i = 0; i < zeroed.size(); ++i) {
        EXPECT_EQ(zeroed.data()[i], 0) << "byte " << i;
    }
    EXPECT_TRUE(Bytes::TryAllocate(0).empty());
    EXPECT_TRUE(Bytes::TryAllocate(-1).empty());
    EXPECT_TRUE(Bytes(nullptr, 4).empty());
}

TEST(ServiceAllocator, RefusedSizesReportTheRequestedCount) {
    struct Row {
        const char* name;
        int64_t bytes;
        const char* printed;
    };
    const Row rows[] = {
        {"negative", -1, "-1"},
        {"one past the 32-bit limit", int64_t{INT32_MAX} + 1, "2147483648"},
        {"largest 64-bit request", INT64_MAX, "9223372036854775807"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TryAllocServiceBuffer(row.bytes), nullptr);
        const FatalReportRaised report = CatchFatalReport([&] { AllocServiceBuffer(row.bytes); });
        EXPECT_EQ(report.message, AllocationFailureMessage(row.printed));
        EXPECT_EQ(report.code, 0);
        EXPECT_EQ(report.where.first, 0);
        EXPECT_EQ(report.where.second, 0);
    }
    void* zero = AllocServiceBuffer(0);
    EXPECT_NE(zero, nullptr);
    FreeServiceBuffer(zero);
    FreeServiceBuffer(nullptr);
}

// nullptr: no buffer.
TEST(TextPrimitives, LeftAndRepeatText) {
    const struct {
        const char* name;
        Text (*call)();
        const char* expected;
    } rows[] = {
        {"left, count 0", [] { return LeftText("abc", 0); }, nullptr},
        {"left, negative count", [] { return LeftText("abc", -1); }, nullptr},
        {"left, count beyond length", [] { return LeftText("abc", 10); }, "abc"},
        {"left, cut", [] { return LeftText("abc", 2); }, "ab"},
        {"left of an empty text", [] { return LeftText("", 5); }, nullptr},
        {"left of no buffer", [] { return LeftText(Text(), 5); }, nullptr},
        // "年a" in CP936
        {"left splits a double-byte character", [] { return LeftText("\xC4\xEA\x61", 1); }, "\xC4"},
        {"repeat, negative count", [] { return RepeatText(-5, "0"); }, nullptr},
        {"repeat, zero count", [] { return RepeatText(0, "0"); }, nullptr},
        {"repeat one byte", [] { return RepeatText(2, "0"); }, "00"},
        {"repeat several bytes", [] { return RepeatText(3, "ab"); }, "ababab"},
        {"repeat an empty text", [] { return RepeatText(3, ""); }, nullptr},
        {"repeat no buffer", [] { return RepeatText(3, Text()); }, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Text result = row.call();
        if (row.expected) {
            EXPECT_STREQ(result.c_str(), row.expected);
        } else {
            EXPECT_FALSE(result.HasBuffer());
        }
    }
    EXPECT_EQ(TextLength("\xC4\xEA"), 2) << "lengths are in bytes";  // "年" in CP936
}

// count × length must not wrap into a small buffer: in 32 bits INT32_MAX × 2 + 1 is -1 and
// 0x40000000 × 4 + 1 is 1.
TEST(TextPrimitives, RepeatTextBeyondThe32BitRangeIsAnAllocationFailure) {
    struct Row {
        const char* name;
        int32_t count;
        const char* text;
        const char* printed;
    };
    const Row rows[] = {
        {"product wraps to -1", INT32_MAX, "ab", "4294967295"},
        {"product wraps to 1", 0x40000000, "abcd", "4294967297"},
        {"one byte, count at the limit", INT32_MAX, "a", "2147483648"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const FatalReportRaised report =
            CatchFatalReport([&] { RepeatText(row.count, Text(row.text)); });
        EXPECT_EQ(report.message, AllocationFailureMessage(row.printed));
    }
}

TEST(TextPrimitives, ConcatText) {
    const Text both = ConcatText(Text(), Text(""));
    EXPECT_TRUE(both.HasBuffer()) << "an empty join is still a buffer";
    EXPECT_STREQ(both.c_str(), "");

    const Text self("ab");
    EXPECT_STREQ(ConcatText(self, self).c_str(), "abab");
    const char* missing = nullptr;
    EXPECT_STREQ(ConcatText("x", Text("yz"), missing, "", "\xC4\xEA").c_str(),
                 "xyz\xC4\xEA");  // "xyz年" in CP936
    EXPECT_STREQ(ConcatText("only").c_str(), "only");
}

}  // namespace
