// The text, number and time primitives the application's logic is written in. All are pure
// functions of their arguments except CurrentDateTime, which reads the clock. Every Text
// returned is a fresh buffer owned by the caller; lengths and counts are in bytes.
//
// Portable: no platform headers here.
#pragma once

#include <cstdint>

#include "Text.h"

// ---- Text ----

int32_t TextLength(const Text& text) noexcept;

// The first min(count, length) bytes; no buffer when that is nothing (count <= 0, empty text).
// Cuts by bytes, so an odd count may split a double-byte character.
Text LeftText(const Text& text, int32_t count);

// count copies of text (a negative count is 0); no buffer when the result is empty. A result
// beyond the allocator's 32-bit limit is an allocation failure report, never a wrapped size.
Text RepeatText(int32_t count, const Text& text);

namespace primitives_detail {
inline const char* ConcatPart(const Text& text) noexcept {
    return text.c_str();
}
inline const char* ConcatPart(const char* text) noexcept {
    return text ? text : "";
}
Text ConcatParts(const char* const* parts, int32_t count);
}  // namespace primitives_detail

// The arguments (each a Text or a NUL-terminated string) joined in order. Always a buffer,
// holding only the NUL when every argument is empty.
template <typename... Parts>
Text ConcatText(const Parts&... parts) {
    static_assert(sizeof...(Parts) > 0, "ConcatText needs at least one argument");
    const char* const list[] = {primitives_detail::ConcatPart(parts)...};
    return primitives_detail::ConcatParts(list, static_cast<int32_t>(sizeof...(Parts)));
}

// ---- Numbers ----

// Plain decimal, "-" when negative, no leading zeros.
Text NumberToText(int16_t value);
// At most 13 significant digits; fixed notation for decimal exponents -4..12, otherwise an
// exponent with a sign and at least three digits (1e+013); trailing fraction zeros dropped.
Text NumberToText(double value);

// Truncates toward zero whatever the rounding mode, and leaves the mode alone. Values beyond
// the 64-bit range saturate and NaN gives 0, where a bare conversion would be undefined.
int64_t TruncateToInteger(double value) noexcept;

// ---- Date and time ----

// Days since 1899-12-30 00:00:00, local time; the fraction's magnitude is the time of day
// (subtracted for negative day numbers: 1899-12-29 06:00 is -1.25).
using DateTime = double;

constexpr DateTime kDateTimeMin = -657434.0;  // 0100-01-01 00:00:00, also "could not parse"
constexpr DateTime kDateTimeMax = 2958465.0;  // 9999-12-31 00:00:00

// Fields outside year 100..9999, month 1..12, a day of that month, hour 0..23, minute and
// second 0..59 give kDateTimeMin.
DateTime DateTimeFromFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                            int32_t second) noexcept;

// Reads a date and optional time ("1970-01-01 08:00:00", "2021/9/11", "20210911181506",
// "2021年9月11日18时15分6秒", full-width digits and signs too); kDateTimeMin when it cannot.
DateTime ParseDateTime(const Text& text) noexcept;
inline DateTime ParseDateTime(DateTime value) noexcept {
    return value;
}

// The local wall-clock time in whole seconds.
DateTime CurrentDateTime();

enum TimeIntervalUnit : int32_t {
    kIntervalYears = 1,
    kIntervalQuarters = 2,
    kIntervalMonths = 3,
    kIntervalWeeks = 4,
    kIntervalDays = 5,
    kIntervalHours = 6,
    kIntervalMinutes = 7,
    kIntervalSeconds = 8,
};

// The signed size of first - second in the unit (clamped to 1..8). Dates are clamped into
// the valid range (NaN counts as kDateTimeMin). Hours, minutes and seconds are whole counts
// that wrap to signed 32 bits; days keep their fraction.
double TimeInterval(DateTime first, DateTime second, int32_t unit) noexcept;
