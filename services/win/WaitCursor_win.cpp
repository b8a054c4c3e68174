#include "WaitCursor_win.h"

namespace {

int g_depth = 0;  // open scopes, on the GUI thread

// What a mouse move over the window under the pointer would do: it is told where the pointer is
// and sets its cursor. Windows of other threads set their own when the pointer next moves.
void AskForCursor() {
    POINT at;
    if (!GetCursorPos(&at)) return;
    const HWND under = WindowFromPoint(at);
    if (!under || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) return;
    const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

}  // namespace

WaitCursor::WaitCursor() : outermost_(g_depth++ == 0) {
    if (outermost_) previous_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

WaitCursor::~WaitCursor() {
    --g_depth;
    if (!outermost_) return;
    SetCursor(previous_);
    AskForCursor();
}
