// The tests' stand-in for the platform's ReportFatalError: instead of showing a box and
// ending the process it throws, so a test can check what would have been reported.
#pragma once

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "Fatal.h"

struct FatalReportRaised {
    std::string message;
    int32_t code = 0;
    ErrorLocation where;
};

// Runs action and returns the report it raised; a failure when it raised none.
template <typename Action>
FatalReportRaised CatchFatalReport(Action action) {
    try {
        action();
    } catch (const FatalReportRaised& report) {
        return report;
    }
    ADD_FAILURE() << "expected a fatal report, none was raised";
    return FatalReportRaised{};
}

// "分配 <count> 字节内存失败!" in CP936.
inline std::string AllocationFailureMessage(const std::string& count) {
    return "\xB7\xD6\xC5\xE4 " + count + " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";
}
