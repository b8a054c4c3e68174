// The local wall clock for the native build.
#include <algorithm>
#include <ctime>

#include "Primitives.h"

DateTime CurrentDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) {
        return kDateTimeMin;
    }
    // A leap second (tm_sec 60) would otherwise fail validation; it reads as :59.
    return DateTimeFromFields(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min, std::min(local.tm_sec, 59));
}
