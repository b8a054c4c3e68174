// The order number: the seconds since 1970-01-01 08:00:00 local time followed by the three
// millisecond digits of the clock, filled on the right with "0" to 13 characters (or cut and
// filled to 10). Portable: the clock comes in through OrderClock.
#pragma once

#include <cstdint>

#include "Primitives.h"
#include "Text.h"

// The eight fields of the platform's local time record, in its order, widened to 32 bits.
struct LocalTimeRecord {
    int32_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// The two separate clock readings an order number is made from.
class OrderClock {
public:
    virtual ~OrderClock();
    // First reading: fills the record (zeroed by the caller beforehand).
    virtual void ReadLocalTime(LocalTimeRecord& record) = 0;
    // Second reading: the local date-time in whole seconds, as CurrentDateTime gives it.
    virtual DateTime Now() = 0;
};

Text MakeOrderNumber(bool tenDigits, OrderClock& clock);
