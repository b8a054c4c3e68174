// A procedure put in front of a window's own for the rest of the window's life.
//
// SetWindowSubclass chains procedures too, but looks its chain up in a window property on every
// message: under Wine a server round trip each, hundreds for the controls while the window is
// first shown and drawn. These are put in front once, while the control is made, and never
// taken out, so the procedure behind is simply kept here. GUI thread only.
#pragma once

#include <windows.h>

// Puts `procedure` in front of the window's procedure; false, with nothing changed, when it
// cannot.
bool PutProcedureInFront(HWND window, WNDPROC procedure);

// Hands a message to the procedure that was behind `procedure` on the window (DefWindowProc if
// none). After WM_NCDESTROY has been handed on, the window is forgotten.
LRESULT CallProcedureBehind(WNDPROC procedure, HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
