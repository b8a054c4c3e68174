// The portable primitives. CurrentDateTime lives in Primitives_win.cpp and Primitives_posix.cpp,
// the only part that reads the platform's clock.
#include "Primitives.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "Memory.h"

// ---- Text ----

int32_t TextLength(const Text& text) noexcept {
    return text.size();
}

Text LeftText(const Text& text, int32_t count) {
    const int32_t length = std::min(count, TextLength(text));
    if (length <= 0) {
        return Text();
    }
    return Text(text.data(), length);
}

Text RepeatText(int32_t count, const Text& text) {
    const int64_t unit = TextLength(text);
    // 64-bit, so a huge count asks the allocator for its true size and is refused there
    // instead of wrapping into a small buffer that the copies would overrun.
    const int64_t total = std::max<int64_t>(count, 0) * unit;
    if (total == 0) {
        return Text();
    }
    const char* source = text.data();  // a buffer, since the text is not empty
    char* buffer = static_cast<char*>(AllocServiceBuffer(total + 1));
    if (unit == 1) {
        std::memset(buffer, source[0], static_cast<size_t>(total));
    } else {
        for (int64_t offset = 0; offset < total; offset += unit) {
            std::memcpy(buffer + offset, source, static_cast<size_t>(unit));
        }
    }
    buffer[total] = '\0';
    return Text::Adopt(buffer);
}

namespace primitives_detail {

Text ConcatParts(const char* const* parts, int32_t count) {
    int64_t total = 0;
    for (int32_t i = 0; i < count; ++i) {
        total += static_cast<int64_t>(std::strlen(parts[i]));
    }
    char* buffer = static_cast<char*>(AllocServiceBuffer(total + 1));
    char* out = buffer;
    for (int32_t i = 0; i < count; ++i) {
        const size_t length = std::strlen(parts[i]);
        std::memcpy(out, parts[i], length);
        out += length;
    }
    *out = '\0';
    return Text::Adopt(buffer);
}

}  // namespace primitives_detail

// ---- Numbers ----

Text NumberToText(int16_t value) {
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, int{value}).ptr;
    return Text(digits, static_cast<int32_t>(end - digits));
}

Text NumberToText(double value) {
    // to_chars is specified as printf's "%.13g" in the C locale, without printf's dependence
    // on the C runtime. Only the exponent differs: it is widened to three digits here.
    char digits[48];
    const auto result = std::to_chars(digits, digits + 40, value, std::chars_format::general, 13);
    char* end = result.ptr;
    char* exponent = std::find(digits, end, 'e');
    if (exponent != end) {
        char* firstDigit = exponent + 2;  // past 'e' and its sign
        const auto width = end - firstDigit;
        if (width < 3) {
            const auto pad = 3 - width;
            std::memmove(firstDigit + pad, firstDigit, static_cast<size_t>(width));
            std::memset(firstDigit, '0', static_cast<size_t>(pad));
            end += pad;
        }
    }
    return Text(digits, static_cast<int32_t>(end - digits));
}

// The language defines a floating-to-integer conversion as truncation toward zero, so the
// current rounding mode plays no part and is never touched. Only the range needs guarding.
int64_t TruncateToInteger(double value) noexcept {
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= kTwoTo63) {
        return INT64_MAX;
    }
    if (value < -kTwoTo63) {
        return INT64_MIN;
    }
    return static_cast<int64_t>(value);
}

// ---- Date and time ----

namespace {

constexpr int32_t kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int32_t kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr double kDayPerSecond = 0.000011574074074074073;
// Nudges a count of hours, minutes or seconds that came out a hair below a whole number.
constexpr double kIntervalRoundingTerm = 0.000005787037037037037;

// On 32-bit x86 the x87 keeps intermediates (and returned doubles) at extended precision
// until they reach memory, and this compiler's casts do not force the rounding in C++.
// Storing through a volatile does, so each step is rounded to double exactly as on other
// targets and a DateTime compares equal to the same value computed anywhere else.
double RoundToDouble(double value) noexcept {
    volatile double stored = value;
    return stored;
}

bool IsLeapYear(int32_t year) noexcept {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t DaysInMonth(int32_t year, int32_t month) noexcept {
    return kDaysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// Order and differences use this: for negative values the time of day counts forward again.
double LinearValue(DateTime value) noexcept {
    if (value >= 0.0) {
        return value;
    }
    const double ceiling = std::ceil(value);
    return RoundToDouble(ceiling - RoundToDouble(value - ceiling));
}

struct CalendarDate {
    int32_t year;
    int32_t month;
    int32_t day;
    int32_t dayOfWeek;  // 1 Sunday .. 7 Saturday
};

// value must lie in the valid range. The day number is the integer part, toward zero.
CalendarDate CalendarDateOf(DateTime value) noexcept {
    const int32_t dayNumber = static_cast<int32_t>(value);
    // Days since 0000-03-01 of the proleptic Gregorian calendar (1899-12-30 is day 693899),
    // so that each 400-year cycle of 146097 days starts with March and a leap day ends a year.
    const int32_t sinceMarch0 = dayNumber + 693899;
    const int32_t era = sinceMarch0 / 146097;  // never negative from year 100 on
    const int32_t dayOfEra = sinceMarch0 - era * 146097;
    const int32_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int32_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 = March
    CalendarDate date{};
    date.day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    date.month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    date.year = era * 400 + yearOfEra + (date.month <= 2 ? 1 : 0);
    // Day 0, 1899-12-30, was a Saturday.
    date.dayOfWeek = ((dayNumber % 7) + 7 + 6) % 7 + 1;
    return date;
}

DateTime ClampDateTime(DateTime value) noexcept {
    if (std::isnan(value)) {
        return kDateTimeMin;
    }
    return std::clamp(value, kDateTimeMin, kDateTimeMax);
}

int32_t LowInt32(int64_t value) noexcept {
    const int64_t low = value & 0xFFFFFFFF;
    return static_cast<int32_t>(low >= 0x80000000 ? low - 0x100000000 : low);
}

}  // namespace

DateTime DateTimeFromFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                            int32_t second) noexcept {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        return kDateTimeMin;
    }
    int32_t dayNumber = year * 365 + year / 4 - year / 100 + year / 400 +
                        kDaysBeforeMonth[month - 1] + day - 693959;
    if (IsLeapYear(year) && month <= 2) {
        dayNumber -= 1;
    }
    const double timeOfDay = RoundToDouble((hour * 3600 + minute * 60 + second) * kDayPerSecond);
    const double days = dayNumber;
    return RoundToDouble(dayNumber >= 0 ? days + timeOfDay : days - timeOfDay);
}

double TimeInterval(DateTime first, DateTime second, int32_t unit) noexcept {
    unit = std::clamp(unit, int32_t{kIntervalYears}, int32_t{kIntervalSeconds});
    first = ClampDateTime(first);
    second = ClampDateTime(second);
    if (first == second) {
        return 0.0;
    }
    if (unit <= kIntervalMonths) {
        const CalendarDate a = CalendarDateOf(first);
        const CalendarDate b = CalendarDateOf(second);
        const int32_t years = a.year - b.year;
        if (unit == kIntervalYears) {
            return years;
        }
        if (unit == kIntervalQuarters) {
            return years * 4 + (a.month - 1) / 3 - (b.month - 1) / 3;
        }
        return years * 12 + a.month - b.month;
    }
    const double linearFirst = LinearValue(first);
    const double linearSecond = LinearValue(second);
    const double span = RoundToDouble(linearFirst - linearSecond);
    switch (unit) {
    case kIntervalWeeks: {
        // Counts Sunday-started week boundaries crossed, not spans of seven days.
        int32_t weeks = LowInt32(TruncateToInteger(span)) / 7;
        const int32_t firstDay = CalendarDateOf(first).dayOfWeek;
        const int32_t secondDay = CalendarDateOf(second).dayOfWeek;
        if (linearFirst > linearSecond && firstDay < secondDay) {
            weeks += 1;
        } else if (linearFirst < linearSecond && secondDay < firstDay) {
            weeks -= 1;
        }
        return weeks;
    }
    case kIntervalDays: return span;
    default: {
        const double factor = unit == kIntervalHours     ? 24.0
                              : unit == kIntervalMinutes ? 1440.0
                                                         : 86400.0;
        // The same positive term whatever the sign, so an exact span of -n seconds gives
        // -(n - 1): the count's established behaviour that order numbers depend on.
        const double count = RoundToDouble(RoundToDouble(span * factor) + kIntervalRoundingTerm);
        return LowInt32(TruncateToInteger(count));
    }
    }
}

// ---- Parsing ----

namespace {

// Walks a text one character at a time with full-width ASCII folded to single bytes, so
// "２０２１" reads as "2021". A character is a single byte or a double-byte pair (lead byte
// 0x81..0xFE); a lead byte with nothing after it ends the text.
class FoldingCursor {
public:
    explicit FoldingCursor(const char* text) noexcept
        : at_(reinterpret_cast<const unsigned char*>(text)) {}

    static constexpr int32_t kEnd = -1;

    // A single byte as itself, an unfolded pair as lead * 256 + trail, kEnd at the end.
    int32_t Peek() const noexcept {
        int32_t width = 0;
        return Read(&width);
    }
    void Advance() noexcept {
        int32_t width = 0;
        Read(&width);
        at_ += width;
    }

private:
    int32_t Read(int32_t* width) const noexcept {
        const int32_t lead = at_[0];
        if (lead == 0) {
            *width = 0;
            return kEnd;
        }
        if (lead < 0x81 || lead > 0xFE) {
            *width = 1;
            return lead;
        }
        const int32_t trail = at_[1];
        if (trail == 0) {
            *width = 0;
            return kEnd;
        }
        *width = 2;
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            return trail - 0x80;  // full-width ASCII row
        }
        if (lead == 0xA1) {
            switch (trail) {
            case 0xA1: return ' ';  // ideographic space
            case 0xAB: return '~';
            case 0xEE:
            case 0xEF: return '*';
            default: break;
            }
        }
        return lead * 256 + trail;
    }

    const unsigned char* at_;
};

constexpr int32_t Pair(unsigned lead, unsigned trail) {
    return static_cast<int32_t>(lead * 256 + trail);
}
constexpr int32_t kYearMark = Pair(0xC4, 0xEA);    // "年" in CP936
constexpr int32_t kMonthMark = Pair(0xD4, 0xC2);   // "月" in CP936
constexpr int32_t kDayMark = Pair(0xC8, 0xD5);     // "日" in CP936
constexpr int32_t kHourMark = Pair(0xCA, 0xB1);    // "时" in CP936
constexpr int32_t kMinuteMark = Pair(0xB7, 0xD6);  // "分" in CP936
constexpr int32_t kSecondMark = Pair(0xC3, 0xEB);  // "秒" in CP936

// Up to maxDigits decimal digits; none reads as 0.
int32_t ReadField(FoldingCursor& cursor, int32_t maxDigits) noexcept {
    int32_t value = 0;
    for (int32_t i = 0; i < maxDigits; ++i) {
        const int32_t c = cursor.Peek();
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (c - '0');
        cursor.Advance();
    }
    return value;
}

// Skips one separator: "-", ".", "/", ":", the field's own mark, and a space where allowed.
void SkipSeparator(FoldingCursor& cursor, int32_t mark, bool spaceToo) noexcept {
    const int32_t c = cursor.Peek();
    if (c == '-' || c == '.' || c == '/' || c == ':' || c == mark || (spaceToo && c == ' ')) {
        cursor.Advance();
    }
}

}  // namespace

DateTime ParseDateTime(const Text& text) noexcept {
    FoldingCursor cursor(text.c_str());
    if (cursor.Peek() == FoldingCursor::kEnd) {
        return kDateTimeMin;
    }
    const int32_t year = ReadField(cursor, 4);
    SkipSeparator(cursor, kYearMark, false);
    const int32_t month = ReadField(cursor, 2);
    SkipSeparator(cursor, kMonthMark, false);
    const int32_t day = ReadField(cursor, 2);
    SkipSeparator(cursor, kDayMark, true);
    const int32_t hour = ReadField(cursor, 2);
    SkipSeparator(cursor, kHourMark, false);
    const int32_t minute = ReadField(cursor, 2);
    SkipSeparator(cursor, kMinuteMark, false);
    const int32_t second = ReadField(cursor, 2);
    const int32_t rest = cursor.Peek();
    if (rest != FoldingCursor::kEnd && rest != kSecondMark) {
        return kDateTimeMin;
    }
    // Out-of-range fields fail here rather than being carried into the next field.
    return DateTimeFromFields(year, month, day, hour, minute, second);
}
