// Built only from the service primitives, step by step in the order the number has always
// been made, so that its quirks stay: the milliseconds come from the first reading and the
// seconds from the second, and short numbers are filled with zeros on the right.
#include "OrderNumber.h"

OrderClock::~OrderClock() = default;

namespace {

constexpr char kEpochText[] = "1970-01-01 08:00:00";  // local wall-clock time, not UTC
constexpr double kMillisecondWidth = 3.0;
constexpr char kFill[] = "0";
constexpr int32_t kFullLength = 13;
constexpr int32_t kShortLength = 10;

// The low 16 bits as a signed value, as the platform record holds it.
int16_t LowInt16(int32_t value) {
    const int32_t low = value & 0xFFFF;
    return static_cast<int16_t>(low >= 0x8000 ? low - 0x10000 : low);
}

int32_t LowInt32(int64_t value) {
    const int64_t low = value & 0xFFFFFFFF;
    return static_cast<int32_t>(low >= 0x80000000 ? low - 0x100000000 : low);
}

}  // namespace

Text MakeOrderNumber(bool tenDigits, OrderClock& clock) {
    LocalTimeRecord record{};
    clock.ReadLocalTime(record);
    const int16_t milliseconds = LowInt16(record.milliseconds);

    // Three digits, zeros on the left.
    Text millisecondText = NumberToText(milliseconds);
    const int32_t fillCount = LowInt32(
        TruncateToInteger(kMillisecondWidth - static_cast<double>(TextLength(millisecondText))));
    millisecondText = Text();
    Text fill = RepeatText(fillCount, kFill);
    Text millisecondPart = ConcatText(fill, NumberToText(milliseconds));
    fill = Text();

    const DateTime now = clock.Now();
    const DateTime epoch = ParseDateTime(Text(kEpochText));
    const double seconds = TimeInterval(now, epoch, kIntervalSeconds);

    Text number = ConcatText(NumberToText(seconds), millisecondPart);
    millisecondPart = Text();

    // The full form is never cut: a 14-character number (a negative count) stays as it is.
    int32_t length = kFullLength;
    if (tenDigits) {
        number = LeftText(number, kShortLength);
        length = kShortLength;
    }
    while (TextLength(number) < length) {
        number = ConcatText(number, kFill);
    }
    return number;
}
