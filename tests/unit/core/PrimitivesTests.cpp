// Number formatting, truncation, date building, parsing and intervals.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "FloatingPoint.h"
#include "Primitives.h"

namespace {

TEST(NumberToText, SixteenBitIntegers) {
    struct Row {
        int16_t value;
        const char* expected;
    };
    const Row rows[] = {{7, "7"},     {-1, "-1"},         {0, "0"},
                        {999, "999"}, {-32768, "-32768"}, {32767, "32767"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_STREQ(NumberToText(row.value).c_str(), row.expected);
    }
}

TEST(NumberToText, DoublesAsThirteenSignificantDigitsWithThreeDigitExponents) {
    struct Row {
        const char* name;
        double value;
        const char* expected;
    };
    const Row rows[] = {
        {"seconds count", 1631355306.0, "1631355306"},
        {"zero", 0.0, "0"},
        {"negative zero", -0.0, "-0"},
        {"negative whole", -28799.0, "-28799"},
        {"wrapped count", -2147483648.0, "-2147483648"},
        {"fraction", 0.5, "0.5"},
        {"thirteen nines stay fixed", 9999999999999.0, "9999999999999"},
        {"exponent 13 switches", 1e13, "1e+013"},
        {"rounded to 13 digits", 123456789012345.0, "1.234567890123e+014"},
        {"rounding carries", 99999999999999.0, "1e+014"},
        {"smallest fixed", 0.0001, "0.0001"},
        {"exponent -5", 1e-5, "1e-005"},
        {"negative, negative exponent", -1.5e-7, "-1.5e-007"},
        {"three exponent digits already", 1e100, "1e+100"},
        {"tiny", 2.5e-300, "2.5e-300"},
        {"repeating fraction", 1.0 / 3.0, "0.3333333333333"},
        {"fraction with trailing zeros dropped", 2.250, "2.25"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(NumberToText(row.value).c_str(), row.expected);
    }
}

TEST(TruncateToInteger, TowardZeroInEveryRoundingModeAndModeLeftAlone) {
    struct Value {
        double in;
        int64_t out;
    };
    constexpr double kTwoTo63 = 9223372036854775808.0;
    const Value values[] = {
        {2.9, 2},
        {-2.9, -2},
        {2.5, 2},
        {-2.5, -2},
        {0.5, 0},
        {-0.5, 0},
        {4503599627370495.5, 4503599627370495},
        {-4503599627370495.5, -4503599627370495},
        {kTwoTo63, INT64_MAX},
        {-kTwoTo63, INT64_MIN},
        {1e300, INT64_MAX},
        {-1e300, INT64_MIN},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    for (const int mode : modes) {
        SCOPED_TRACE(testing::Message() << "rounding mode " << mode);
        ASSERT_EQ(std::fesetround(mode), 0);
        for (const Value& value : values) {
            volatile double in = value.in;  // keeps the compiler from converting at build time
            EXPECT_EQ(TruncateToInteger(in), value.out) << "of " << value.in;
        }
        EXPECT_EQ(std::fegetround(), mode);
    }
    std::fesetround(FE_TONEAREST);
}

TEST(FloatingPoint, ResetRestoresRoundToNearest) {
    std::fesetround(FE_DOWNWARD);
    ResetFloatingPointUnit();
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

struct Fields {
    int32_t year, month, day, hour, minute, second;
};

DateTime At(const Fields& f) {
    return DateTimeFromFields(f.year, f.month, f.day, f.hour, f.minute, f.second);
}

TEST(DateTimeFromFields, KnownDayNumbersAndInvalidFields) {
    struct Row {
        const char* name;
        Fields fields;
        double expected;
    };
    const Row rows[] = {
        {"day zero", {1899, 12, 30, 0, 0, 0}, 0.0},
        {"time subtracted before day zero", {1899, 12, 29, 6, 0, 0}, -1.25},
        {"first valid", {100, 1, 1, 0, 0, 0}, kDateTimeMin},
        {"last valid", {9999, 12, 31, 0, 0, 0}, kDateTimeMax},
        {"leap day 2000", {2000, 2, 29, 0, 0, 0}, 36585.0},
        {"after leap day", {2000, 3, 1, 0, 0, 0}, 36586.0},
        {"order example date", {2021, 9, 11, 0, 0, 0}, 44450.0},
        {"noon", {2021, 9, 11, 12, 0, 0}, 44450.5},
        {"February 29 of a common century", {1900, 2, 29, 0, 0, 0}, kDateTimeMin},
        {"month 0", {2021, 0, 1, 0, 0, 0}, kDateTimeMin},
        {"year 10000", {10000, 1, 1, 0, 0, 0}, kDateTimeMin},
        {"hour 24", {2021, 9, 11, 24, 0, 0}, kDateTimeMin},
        {"second 60", {2021, 9, 11, 0, 0, 60}, kDateTimeMin},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(At(row.fields), row.expected);
    }
}

TEST(ParseDateTime, EpochIsExactToTheBit) {
    EXPECT_EQ(ParseDateTime(Text("1970-01-01 08:00:00")), 25569.333333333332);
}

TEST(ParseDateTime, AcceptedForms) {
    struct Row {
        const char* name;
        const char* text;
        Fields fields;
    };
    const Row rows[] = {
        {"slashes, date alone", "2021/9/11", {2021, 9, 11, 0, 0, 0}},
        {"digits only", "20210911181506", {2021, 9, 11, 18, 15, 6}},
        {"dots", "2021.09.11", {2021, 9, 11, 0, 0, 0}},
        {"date and hours:minutes", "2021-09-11 18:15", {2021, 9, 11, 18, 15, 0}},
        // "2021年9月11日18时15分6秒" in CP936
        // clang-format off
        {"Chinese marks",
         "2021\xC4\xEA" "9\xD4\xC2" "11\xC8\xD5" "18\xCA\xB1" "15\xB7\xD6" "6\xC3\xEB",
         {2021, 9, 11, 18, 15, 6}},
        // clang-format on
        // "２０２１－０９－１１" in CP936
        {"full-width digits and dashes",
         "\xA3\xB2\xA3\xB0\xA3\xB2\xA3\xB1\xA3\xAD\xA3\xB0\xA3\xB9\xA3\xAD\xA3\xB1\xA3\xB1",
         {2021, 9, 11, 0, 0, 0}},
        // "2021-09-11　18：15" in CP936: ideographic space and full-width colon
        // clang-format off
        {"ideographic space", "2021-09-11\xA1\xA1" "18\xA3\xBA" "15", {2021, 9, 11, 18, 15, 0}},
        // clang-format on
        {"anything after the seconds mark",
         "2021-9-11 18:15:06\xC3\xEBxyz",
         {2021, 9, 11, 18, 15, 6}},
        {"lead byte at the end ends the text", "2021-09-11\xC4", {2021, 9, 11, 0, 0, 0}},
        {"leap day", "2000-02-29", {2000, 2, 29, 0, 0, 0}},
        {"first valid year", "0100-01-01 00:00:01", {100, 1, 1, 0, 0, 1}},
        {"last valid", "9999-12-31 23:59:59", {9999, 12, 31, 23, 59, 59}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DateTime expected = At(row.fields);
        ASSERT_NE(expected, kDateTimeMin);
        EXPECT_EQ(ParseDateTime(Text(row.text)), expected);
    }
}

TEST(ParseDateTime, FailuresGiveTheFirstValidDate) {
    struct Row {
        const char* name;
        const char* text;
    };
    const Row rows[] = {
        {"no such day", "2021-02-29"},
        {"month 13", "2021-13-01"},
        {"year below 100", "99-01-01"},
        {"year alone: month 0", "2021"},
        {"space before the year", " 2021-09-11"},
        {"empty", ""},
        {"only a lead byte", "\xC4"},
        {"hour 24", "2021-09-11 24:00"},
        {"minute 60", "2021-09-11 18:60"},
        {"second 60", "2021-09-11 18:15:60"},
        {"trailing letter", "2021-09-11x"},
        {"two separators", "2021--09-11"},
        {"unfolded double-byte character", "2021-09-11\xC4\xEA"},  // "年" after the day
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseDateTime(Text(row.text)), kDateTimeMin);
    }
    EXPECT_EQ(ParseDateTime(Text()), kDateTimeMin);
    EXPECT_EQ(ParseDateTime(DateTime{-1.25}), -1.25) << "a date-time passes unchanged";
}

TEST(TimeInterval, Units) {
    const DateTime epoch = At({1970, 1, 1, 8, 0, 0});
    const DateTime example = At({2021, 9, 11, 18, 15, 6});
    struct Row {
        const char* name;
        DateTime first;
        DateTime second;
        int32_t unit;
        double expected;
    };
    const Row rows[] = {
        {"seconds since the epoch", example, epoch, kIntervalSeconds, 1631355306.0},
        {"swapped: one nearer zero", epoch, example, kIntervalSeconds, -1631355305.0},
        {"last positive count", At({2038, 1, 19, 11, 14, 7}), epoch, kIntervalSeconds,
         2147483647.0},
        {"wraps to 32 bits", At({2038, 1, 19, 11, 14, 8}), epoch, kIntervalSeconds, -2147483648.0},
        {"whole range wraps", kDateTimeMax, kDateTimeMin, kIntervalSeconds, -1118939008.0},
        {"one second before the epoch", At({1970, 1, 1, 7, 59, 59}), epoch, kIntervalSeconds, 0.0},
        {"midnight before the epoch", At({1970, 1, 1, 0, 0, 0}), epoch, kIntervalSeconds, -28799.0},
        {"days keep the fraction", At({2021, 9, 11, 6, 0, 0}), At({2021, 9, 10, 18, 0, 0}),
         kIntervalDays, 0.5},
        {"days across day zero", At({1899, 12, 29, 6, 0, 0}), 0.0, kIntervalDays, -0.75},
        {"seconds across day zero", At({1899, 12, 29, 6, 0, 0}), 0.0, kIntervalSeconds, -64799.0},
        {"hours", At({2021, 9, 11, 18, 0, 0}), At({2021, 9, 11, 6, 0, 0}), kIntervalHours, 12.0},
        {"hours backwards", At({2021, 9, 11, 6, 0, 0}), At({2021, 9, 11, 18, 0, 0}), kIntervalHours,
         -11.0},
        {"minutes", At({2021, 9, 11, 18, 15, 0}), At({2021, 9, 11, 18, 0, 0}), kIntervalMinutes,
         15.0},
        {"weeks Monday after Saturday", At({2021, 9, 13, 0, 0, 0}), At({2021, 9, 11, 0, 0, 0}),
         kIntervalWeeks, 1.0},
        {"weeks swapped", At({2021, 9, 11, 0, 0, 0}), At({2021, 9, 13, 0, 0, 0}), kIntervalWeeks,
         -1.0},
        {"weeks Sunday to Saturday: no boundary", At({2021, 9, 18, 0, 0, 0}),
         At({2021, 9, 12, 0, 0, 0}), kIntervalWeeks, 0.0},
        {"weeks fifteen days", At({2021, 9, 26, 0, 0, 0}), At({2021, 9, 11, 0, 0, 0}),
         kIntervalWeeks, 3.0},
        {"months", At({2021, 9, 1, 0, 0, 0}), At({2021, 8, 31, 0, 0, 0}), kIntervalMonths, 1.0},
        {"months across years", At({2021, 1, 1, 0, 0, 0}), At({2020, 12, 31, 0, 0, 0}),
         kIntervalMonths, 1.0},
        {"quarters", At({2022, 1, 1, 0, 0, 0}), At({2021, 12, 31, 0, 0, 0}), kIntervalQuarters,
         1.0},
        {"quarters inside one", At({2021, 3, 31, 0, 0, 0}), At({2021, 1, 1, 0, 0, 0}),
         kIntervalQuarters, 0.0},
        {"years", At({2021, 1, 1, 0, 0, 0}), At({2020, 12, 31, 0, 0, 0}), kIntervalYears, 1.0},
        {"years before day zero", At({1800, 6, 1, 12, 0, 0}), At({1900, 1, 1, 0, 0, 0}),
         kIntervalYears, -100.0},
        {"unit below 1 is years", At({2021, 1, 1, 0, 0, 0}), At({2020, 12, 31, 0, 0, 0}), -5, 1.0},
        {"unit above 8 is seconds", example, epoch, 99, 1631355306.0},
        {"dates clamped above", 1e9, kDateTimeMax, kIntervalSeconds, 0.0},
        {"dates clamped below", -1e9, kDateTimeMin, kIntervalDays, 0.0},
        {"NaN counts as the first valid date", std::nan(""), kDateTimeMin, kIntervalSeconds, 0.0},
        {"equal dates", example, example, kIntervalHours, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TimeInterval(row.first, row.second, row.unit), row.expected);
    }
}

TEST(CurrentDateTime, WholeSecondsInTheValidRange) {
    const DateTime now = CurrentDateTime();
    EXPECT_GT(now, At({2020, 1, 1, 0, 0, 0}));
    EXPECT_LT(now, kDateTimeMax);
    const double seconds = (now - std::floor(now)) * 86400.0;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-4);
}

}  // namespace
