// The driver's side of the peek hook (Peek.h): hooks the program's GUI thread for the
// life of the object, and asks it for a report or a DPI change.
#pragma once

#include "Peek.h"

namespace driver {

class Peeker {
public:
    explicit Peeker(HWND main);
    ~Peeker();
    Peeker(const Peeker&) = delete;
    Peeker& operator=(const Peeker&) = delete;

    bool Ok() const { return hook_ != nullptr && receiver_ != nullptr; }
    // The report as the program's process sees it now; false when none came.
    bool Read(peek::Report& report);
    // What the program's process holds now; false when no answer came.
    bool ReadResources(peek::Resources& resources);
    // Sends the window WM_DPICHANGED to `dpi` with this outer size; false when it did not answer.
    bool ChangeDpi(UINT dpi, int outerWidth, int outerHeight);

private:
    // Sends the request and waits for the answer tagged `tag`, copied into `into`.
    bool Request(const wchar_t* message, ULONG_PTR tag, void* into, DWORD size);

    HWND main_;
    HMODULE library_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND receiver_ = nullptr;
};

// The control of a report with this ID; null when the report has none.
const peek::Control* Find(const peek::Report& report, int id);

} // namespace driver
