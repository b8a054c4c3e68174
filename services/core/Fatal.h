// The fatal run-time error report. A run-time error always ends the program: the report is
// shown once, in a message box that names the error and where it arose, and the process ends
// with exit code -1. Building the report text is portable (Fatal.cpp); showing it and ending
// the process is Fatal_win.cpp's.
#pragma once

#include <cstdint>

#include "Text.h"

// Where an error arose: two numbers printed as they are. A first number with 2 in bits 24..27
// is a window number; the second is then a control number (6 in bits 24..27) or 0.
struct ErrorLocation {
    int32_t first = 0;
    int32_t second = 0;
};

constexpr int32_t kRuntimeErrorDllStack = 6;

// Answers the report's questions about loaded windows and their elements.
class ErrorLocationLookup {
public:
    virtual ~ErrorLocationLookup() = default;
    // True when a loaded window carries this number; *tag receives its tag text.
    virtual bool FindWindowTag(int32_t windowNumber, Text* tag) const = 0;
    // True when that window has the element (0: the window itself); *tag receives its tag text.
    virtual bool FindElementTag(int32_t windowNumber, int32_t elementNumber, Text* tag) const = 0;
};

// The message of a numbered run-time error (1..11); "" for any other code.
const char* RuntimeErrorMessage(int32_t code) noexcept;

// The report text, byte for byte, into out (capacity bytes with the NUL): headline, optional
// code line, optional message line, location block. Allocates nothing, since it runs inside a
// report, possibly one about memory; false when the text does not fit.
bool BuildFatalReportText(char* out, size_t capacity, const char* message, int32_t code,
                          ErrorLocation where, const ErrorLocationLookup& lookup);

// Implemented in Fatal_win.cpp (native tests give their own): stops event delivery, shows the
// report, drops the end-of-program routines, cleans up and exits with -1.
[[noreturn]] void ReportFatalError(const char* message, int32_t code, ErrorLocation where);

[[noreturn]] void ReportRuntimeError(int32_t code, ErrorLocation where);
