// The common first steps of a test: start the program, wait for its main window, and the
// focus moves most tests need. Failures are reported into the test's Check.
#pragma once

#include "Orvessa.h"
#include "TestCase.h"
#include "Ui.h"

namespace driver {

class Session {
public:
    Session(Check& check, const Options& options);

    bool Ok() const { return main_ != nullptr; }
    HWND Main() const { return main_; }
    Program& Process() { return program_; }
    // The control's window; a missing control is reported once per call.
    HWND Control(int id);
    HWND Focus() const { return FocusOf(main_); }
    std::wstring FocusName() const;

    // Brings the main window to the foreground so that typed keys reach it.
    bool Front();
    bool WaitFocus(int id, DWORD timeoutMs = kStepTimeoutMs);
    // Presses Tab until `id` has the focus: keyboard only, as a user gets there.
    bool TabTo(int id);
    // True once the program is idle again: its thread has taken a sent message.
    bool Sync() const;

private:
    Check& check_;
    Program program_;
    HWND main_ = nullptr;
};

} // namespace driver
