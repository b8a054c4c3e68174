// Process-wide state of the runtime: the program's path, the event loop, the end-of-program
// clean-up and what lives until it. One instance, created at first use and never copied;
// touched only on the GUI thread. Plain data: it calls nothing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Handles_win.h"

struct RuntimeState {
    std::wstring programFolder;  // exact path, without the trailing backslash
    std::wstring programFile;
    bool eventLoopEntered = false;
    bool cleanupDone = false;
    bool oleInitialised = false;
    std::vector<void (*)()> exitRoutines;
    DWORD guiThread = 0;
    OwnedWindow serviceWindow;
    OwnedIcon classIcon;  // the program's icon, for the window class
    OwnedIcon classSmallIcon;
    int quitCode = 0;
};

inline RuntimeState& Runtime() {
    static RuntimeState state;
    return state;
}
