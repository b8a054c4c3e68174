// Where a window and its controls go at a DPI, and laying a built window out again at another:
// every length comes from the description's 96-DPI units through ScaleToDpi.
#pragma once

#include <windows.h>

#include "LiveWindows_win.h"
#include "WindowDescription.h"

// The program's icon resource.
constexpr WORD kProgramIconId = 1;

// A control's rectangle in its parent at `dpi`. A single-line edit box is at least one line of
// the font at that DPI plus the two 3-D edges high, keeping its top edge and width.
RECT ControlRectAt(const ControlDescription& control, UINT dpi);

// The window's outer rectangle at `dpi`, centred on the monitor. A scaled window keeps its
// top-left corner on that monitor's work area.
RECT WindowRectAt(const WindowDescription& window, HMONITOR monitor, UINT dpi);

// Lets the window take its outer size at its DPI even where that exceeds the screen, which
// the system would otherwise cut the window down to. Only ever raises the limit.
void AllowScaledSize(const LiveWindow& window, MINMAXINFO& limits);

// Lays a built window out again at `dpi` inside `outer` (the rectangle the system suggests on a
// DPI change): its font, every control's place and font, the picture boxes' scaled copies and
// the icons. What the user typed, the selection, the focus and the scroll position of the
// multi-line boxes stay; nothing is drawn until the whole window is laid out.
void ApplyWindowDpi(LiveWindow& window, UINT dpi, const RECT& outer);
