// Where a window and its controls go at a DPI, and laying a built window out again at another:
// every length comes from the description's 96-DPI units through ScaleToDpi. The window's outer
// size is its written one, grown where the system's caption and frame would leave the client
// area smaller than the controls need.
#pragma once

#include <windows.h>

#include "LiveWindows_win.h"
#include "WindowDescription.h"

// The program's icon resource.
constexpr WORD kProgramIconId = 1;

// The styles of a program window.
constexpr DWORD kProgramWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
DWORD ProgramWindowExStyle(const WindowDescription& window);

// The least height of a single-line edit box at `dpi`: a line of the font at that DPI and the
// edges. Measured on the screen, so a layout measures it once for all its controls.
int EditMinimumHeight(UINT dpi);

// A control's rectangle in its parent at `dpi` (ScaledControlRect with that minimum height).
RECT ControlRectAt(const ControlDescription& control, UINT dpi, int editMinimumHeight);

// The window's outer size at `dpi`: OuterSizeAt with this frame's metrics and that minimum.
SIZE WindowSizeAt(const WindowDescription& window, UINT dpi);

// The window's outer rectangle at `dpi`, of WindowSizeAt, centred on the monitor by that size.
// A window that is scaled or had to grow keeps its top-left corner on that monitor's work area.
RECT WindowRectAt(const WindowDescription& window, HMONITOR monitor, UINT dpi);

// Lets the window take its outer size at its DPI even where that exceeds the screen, which
// the system would otherwise cut the window down to. Only ever raises the limit.
void AllowScaledSize(const LiveWindow& window, MINMAXINFO& limits);

// Lays a built window out again at `dpi` at the top-left corner of `outer` (the rectangle the
// system suggests on a DPI change), in WindowSizeAt: its font, every control's place and font, the
// picture boxes' scaled copies and the icons. What the user typed, the selection, the focus and the
// scroll position of the multi-line boxes stay; nothing is drawn until the whole window is laid
// out.
void ApplyWindowDpi(LiveWindow& window, UINT dpi, const RECT& outer);

// Gives a built window the outer size its frame asks for now, after the caption or frame
// metrics changed; its top-left corner stays where it is, minimized or not.
void FitWindowFrame(const LiveWindow& window);
