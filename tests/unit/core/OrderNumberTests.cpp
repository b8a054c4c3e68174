// The order number from two scripted clock readings.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "OrderNumber.h"
#include "Primitives.h"

namespace {

struct ClockTime {
    int32_t year, month, day, hour, minute, second, milliseconds;
};

// First reading: a full record; second reading: its own whole-second time.
class ScriptedClock : public OrderClock {
public:
    ScriptedClock(const ClockTime& first, const ClockTime& second)
        : first_(first), second_(second) {}

    void ReadLocalTime(LocalTimeRecord& record) override {
        const LocalTimeRecord zero{};
        recordWasZero = record.year == zero.year && record.month == zero.month &&
                        record.dayOfWeek == zero.dayOfWeek && record.day == zero.day &&
                        record.hour == zero.hour && record.minute == zero.minute &&
                        record.second == zero.second && record.milliseconds == zero.milliseconds;
        calls += "R";
        record.year = first_.year;
        record.month = first_.month;
        record.day = first_.day;
        record.hour = first_.hour;
        record.minute = first_.minute;
        record.second = first_.second;
        record.milliseconds = first_.milliseconds;
    }
    DateTime Now() override {
        calls += "N";
        return DateTimeFromFields(second_.year, second_.month, second_.day, second_.hour,
                                  second_.minute, second_.second);
    }

    std::string calls;
    bool recordWasZero = false;

private:
    ClockTime first_;
    ClockTime second_;
};

TEST(OrderNumber, BothFormsFromOneSecond) {
    struct Row {
        const char* name;
        ClockTime clock;
        const char* full;
        const char* ten;
    };
    const Row rows[] = {
        {"milliseconds 7", {2021, 9, 11, 18, 15, 6, 7}, "1631355306007", "1631355306"},
        {"milliseconds 42", {2021, 9, 11, 18, 15, 6, 42}, "1631355306042", "1631355306"},
        {"milliseconds 0", {2021, 9, 11, 18, 15, 6, 0}, "1631355306000", "1631355306"},
        {"milliseconds 999", {2021, 9, 11, 18, 15, 6, 999}, "1631355306999", "1631355306"},
        {"nine digits: zeros on the right",
         {2001, 9, 9, 9, 46, 39, 500},
         "9999999995000",
         "9999999995"},
        {"first ten-digit second", {2001, 9, 9, 9, 46, 40, 0}, "1000000000000", "1000000000"},
        {"the epoch", {1970, 1, 1, 8, 0, 0, 123}, "0123000000000", "0123000000"},
        {"one second before the epoch", {1970, 1, 1, 7, 59, 59, 0}, "0000000000000", "0000000000"},
        {"midnight before the epoch", {1970, 1, 1, 0, 0, 0, 0}, "-287990000000", "-287990000"},
        {"last positive count", {2038, 1, 19, 11, 14, 7, 0}, "2147483647000", "2147483647"},
        {"wrapped count is not cut", {2038, 1, 19, 11, 14, 8, 0}, "-2147483648000", "-214748364"},
        {"only the low 16 bits of the field",
         {2021, 9, 11, 18, 15, 6, 0x10007},
         "1631355306007",
         "1631355306"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedClock fullClock(row.clock, row.clock);
        EXPECT_STREQ(MakeOrderNumber(false, fullClock).c_str(), row.full);
        ScriptedClock tenClock(row.clock, row.clock);
        EXPECT_STREQ(MakeOrderNumber(true, tenClock).c_str(), row.ten);
    }
}

TEST(OrderNumber, MillisecondsFromTheFirstReadingSecondsFromTheSecond) {
    ScriptedClock clock({2021, 9, 11, 18, 15, 6, 999}, {2021, 9, 11, 18, 15, 7, 0});
    EXPECT_STREQ(MakeOrderNumber(false, clock).c_str(), "1631355307999");
    EXPECT_EQ(clock.calls, "RN") << "one reading of each, local time first";
    EXPECT_TRUE(clock.recordWasZero);
}

}  // namespace
