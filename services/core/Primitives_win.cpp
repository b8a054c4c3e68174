// The local wall clock on Windows.
#include <windows.h>

#include "Primitives.h"

DateTime CurrentDateTime() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    // The milliseconds are dropped: two readings within a second compare equal.
    return DateTimeFromFields(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                              local.wSecond);
}
