// The order number on the real clock: milliseconds from GetLocalTime, called as a declared
// DLL command with its stack check, then the seconds from CurrentDateTime.
#include <windows.h>

#include "DeclaredCommands.h"
#include "Fatal.h"
#include "OrderNumber.h"
#include "Primitives.h"
#include "OrderClock.h"

namespace {

constexpr int32_t kGetLocalTimeCommand = 0;
// Where the generator reports a damaged stack from.
constexpr ErrorLocation kOrderNumberLocation{67188654, 0};

class SystemOrderClock final : public OrderClock {
public:
    void ReadLocalTime(LocalTimeRecord& record) override {
        SYSTEMTIME st;
        st.wYear = static_cast<WORD>(record.year);
        st.wMonth = static_cast<WORD>(record.month);
        st.wDayOfWeek = static_cast<WORD>(record.dayOfWeek);
        st.wDay = static_cast<WORD>(record.day);
        st.wHour = static_cast<WORD>(record.hour);
        st.wMinute = static_cast<WORD>(record.minute);
        st.wSecond = static_cast<WORD>(record.second);
        st.wMilliseconds = static_cast<WORD>(record.milliseconds);
        const uint32_t argument = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&st));
        bool stackIntact = true;
        CallDeclaredCommand(kGetLocalTimeCommand, &argument, 1, &stackIntact);
        if (!stackIntact) ReportRuntimeError(kRuntimeErrorDllStack, kOrderNumberLocation);
        // Back into the low 16 bits of each field.
        record.year = LowWord(record.year, st.wYear);
        record.month = LowWord(record.month, st.wMonth);
        record.dayOfWeek = LowWord(record.dayOfWeek, st.wDayOfWeek);
        record.day = LowWord(record.day, st.wDay);
        record.hour = LowWord(record.hour, st.wHour);
        record.minute = LowWord(record.minute, st.wMinute);
        record.second = LowWord(record.second, st.wSecond);
        record.milliseconds = LowWord(record.milliseconds, st.wMilliseconds);
    }
    DateTime Now() override { return CurrentDateTime(); }

private:
    static int32_t LowWord(int32_t field, WORD word) {
        return static_cast<int32_t>((static_cast<uint32_t>(field) & 0xFFFF0000u) | word);
    }
};

}  // namespace

Text MakeOrderNumber(bool tenDigits) {
    SystemOrderClock clock;
    return MakeOrderNumber(tenDigits, clock);
}
