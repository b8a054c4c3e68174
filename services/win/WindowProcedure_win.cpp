#include "WindowProcedure_win.h"

#include <algorithm>
#include <vector>

namespace {

struct InFront {
    HWND window;
    WNDPROC procedure;
    WNDPROC behind;
};

// A few dozen controls at most: a list searched from the front.
std::vector<InFront> g_inFront;

std::vector<InFront>::iterator Find(HWND window, WNDPROC procedure) {
    return std::find_if(g_inFront.begin(), g_inFront.end(), [&](const InFront& p) {
        return p.window == window && p.procedure == procedure;
    });
}

}  // namespace

bool PutProcedureInFront(HWND window, WNDPROC procedure) {
    if (!window || Find(window, procedure) != g_inFront.end()) return false;
    const auto behind = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (!behind) return false;
    // Recorded first: the procedure may see a message before SetWindowLongPtr returns.
    g_inFront.push_back({window, procedure, behind});
    if (SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure))) return true;
    g_inFront.pop_back();
    return false;
}

LRESULT CallProcedureBehind(WNDPROC procedure, HWND window, UINT msg, WPARAM wParam,
                            LPARAM lParam) {
    const auto it = Find(window, procedure);
    if (it == g_inFront.end()) return DefWindowProcW(window, msg, wParam, lParam);
    const WNDPROC behind = it->behind;
    const LRESULT result = CallWindowProcW(behind, window, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        // Found again: the call may have changed the list.
        const auto gone = Find(window, procedure);
        if (gone != g_inFront.end()) g_inFront.erase(gone);
    }
    return result;
}
