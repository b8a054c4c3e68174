// Display scale on the Windows side: which DPI a window is at, and the system's font, metrics
// and the program's icon at that DPI. The lengths themselves are scaled by ScaleToDpi
// (WindowRules.h) alone.
//
// The per-monitor calls are looked up at run time: older systems lack them. Without them the
// screen's LOGPIXELSY is the one DPI there is, so the same code is right everywhere.
#pragma once

#include <windows.h>

#include "Handles_win.h"

// The DPI of the monitor the window is on.
UINT DpiOfWindow(HWND hwnd);
// The DPI the system's metrics and stock objects are made for.
UINT SystemDpi();
// A system metric (SM_...) at a DPI.
int SystemMetricForDpi(int index, UINT dpi);
// The outer rectangle of a window without a menu around `client`, with the caption and frame
// the system draws at a DPI for those styles.
RECT OuterRectForDpi(const RECT& client, DWORD style, DWORD exStyle, UINT dpi);
// The default GUI font at a DPI: the stock font itself at the system DPI, else the same face
// with its height scaled. Owned here and kept for the life of the process.
HFONT GuiFontForDpi(UINT dpi);

// The program's icon as a window's large and small icon, loaded at the sizes a DPI asks for.
class WindowIcons {
public:
    // Gives `hwnd` the icons for `dpi`; those it had from here before are destroyed.
    void Apply(HWND hwnd, WORD resource, UINT dpi);

private:
    OwnedIcon large_;
    OwnedIcon small_;
};
