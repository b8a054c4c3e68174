// What the peek hook reads inside the program's own process and hands to the driver:
// fonts and icons are handles of the program's process, which another process cannot read.
// Shared by the hook library and the driver.
#pragma once

#include <windows.h>

namespace peek {

// Sent to the program's main window while the hook is in place.
// Read: wParam is the driver's window that receives the report as WM_COPYDATA.
inline constexpr const wchar_t* kReadMessage = L"OrvessaPeekRead";
// Change DPI: wParam is the new DPI, lParam MAKELPARAM(outer width, outer height) at it; the
// hook sends the window WM_DPICHANGED with that size at its current top-left corner, as the
// system does when the window moves to a monitor of another scale.
inline constexpr const wchar_t* kDpiMessage = L"OrvessaPeekDpi";
inline constexpr ULONG_PTR kReportTag = 0x4F525649; // "ORVI"
// Resources: wParam is the driver's window that receives the counts (Resources) as WM_COPYDATA.
inline constexpr const wchar_t* kResourcesMessage = L"OrvessaPeekResources";
inline constexpr ULONG_PTR kResourcesTag = 0x4F525652; // "ORVR"

inline constexpr int kMaxControls = 32;

struct Control {
    int id;
    bool hasFont;    // WM_GETFONT answered a font
    LONG fontHeight; // its LOGFONT lfHeight
    wchar_t face[LF_FACESIZE];
    LONG lineHeight; // tmHeight of that font
    SIZE caption;    // the window text measured in that font
    SIZE ink;        // how far right and down its drawn pixels reach from (0, 0)
};

struct Report {
    SIZE bigIcon; // sizes of the window's icons (its class icons when it has none)
    SIZE smallIcon;
    int count;
    Control controls[kMaxControls];
};

// What the process holds, counted inside it. Wine answers 0 to GetGuiResources and to
// GetProcessHandleCount, so there the GDI objects are counted in the process's shared GDI
// handle table, and the kernel handles everywhere by asking after each possible value.
struct Resources {
    DWORD gdiObjects;
    DWORD kernelHandles;
    DWORD registryKeys;   // of those, open registry keys
    ULONGLONG workingSet; // bytes
    ULONGLONG privateBytes;
};

} // namespace peek
