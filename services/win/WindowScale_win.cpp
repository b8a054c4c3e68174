#include "WindowScale_win.h"

#include <algorithm>

#include "Dpi_win.h"
#include "EditBox_win.h"
#include "PictureBox_win.h"
#include "WindowRules.h"

namespace {

int32_t Signed(UINT dpi) {
    return static_cast<int32_t>(dpi);
}

}  // namespace

int EditMinimumHeight(UINT dpi) {
    const WindowDc dc(nullptr);
    const SelectedObject font(dc.Get(), GuiFontForDpi(dpi));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.Get(), &tm);
    return tm.tmHeight + 2 * SystemMetricForDpi(SM_CYEDGE, dpi);
}

RECT ControlRectAt(const ControlDescription& d, UINT dpi, int editMinimumHeight) {
    const ScaledRect s = ScaledControlRect(d, Signed(dpi), editMinimumHeight);
    return RECT{s.left, s.top, s.left + s.width, s.top + s.height};
}

DWORD ProgramWindowExStyle(const WindowDescription& d) {
    // Files are taken through OLE; WM_DROPFILES stays a second way in for senders without it.
    return d.dropFileDialog ? WS_EX_ACCEPTFILES : 0;
}

SIZE WindowSizeAt(const WindowDescription& d, UINT dpi) {
    const RECT frame =
        OuterRectForDpi(RECT{0, 0, 0, 0}, kProgramWindowStyle, ProgramWindowExStyle(d), dpi);
    const OuterSize size =
        OuterSizeAt(d, Signed(dpi), {frame.right - frame.left, frame.bottom - frame.top},
                    EditMinimumHeight(dpi));
    return SIZE{size.width, size.height};
}

RECT WindowRectAt(const WindowDescription& d, HMONITOR monitorHandle, UINT dpi) {
    const SIZE size = WindowSizeAt(d, dpi);
    const int32_t width = size.cx;
    const int32_t height = size.cy;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(monitorHandle, &monitor)) {
        monitor.rcMonitor =
            RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        monitor.rcWork = monitor.rcMonitor;
    }
    const RECT& m = monitor.rcMonitor;
    int32_t x = m.left + CenteredOrigin(m.right - m.left, width);
    int32_t y = m.top + CenteredOrigin(m.bottom - m.top, height);
    if (dpi != static_cast<UINT>(kDesignDpi) || width != d.width || height != d.height) {
        // The description fits a 96-DPI screen; scaled or grown, it may not fit its monitor.
        x = KeptOnWorkArea(x, width, monitor.rcWork.left, monitor.rcWork.right);
        y = KeptOnWorkArea(y, height, monitor.rcWork.top, monitor.rcWork.bottom);
    }
    return RECT{x, y, x + width, y + height};
}

void AllowScaledSize(const LiveWindow& w, MINMAXINFO& limits) {
    if (!w.desc) return;
    const SIZE size = WindowSizeAt(*w.desc, w.dpi);
    limits.ptMaxTrackSize.x = std::max(limits.ptMaxTrackSize.x, size.cx);
    limits.ptMaxTrackSize.y = std::max(limits.ptMaxTrackSize.y, size.cy);
}

void ApplyWindowDpi(LiveWindow& w, UINT dpi, const RECT& outer) {
    // Kept picture copies are of the old size: drop them, and pause an animation, before
    // anything moves, so that no frame of the old layout is drawn into the new one.
    for (LiveControl& c : w.controls)
        if (c.picture) ResetPictureScale(*c.picture);
    w.dpi = dpi;
    const HFONT font = GuiFontForDpi(dpi);
    const auto fontParam = reinterpret_cast<WPARAM>(font);
    // Nothing is redrawn while the window is laid out; it is repainted whole at the end.
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS;
    SendMessageW(w.hwnd, WM_SETFONT, fontParam, FALSE);
    const int editHeight = EditMinimumHeight(dpi);
    // The system suggests the old size scaled, or the size answered to WM_GETDPISCALEDSIZE
    // where it asks; the frame does not scale linearly, so the size is always worked out here.
    // A minimized window would take the size as its icon's: the size it is restored to
    // changes instead, and it keeps its place.
    const SIZE size = WindowSizeAt(*w.desc, dpi);
    if (IsIconic(w.hwnd))
        FitWindowFrame(w);
    else
        SetWindowPos(w.hwnd, nullptr, outer.left, outer.top, size.cx, size.cy, flags);
    for (LiveControl& c : w.controls) {
        if (!c.hwnd) continue;
        // A multi-line box keeps the character at its top in view, wherever the new width
        // wraps its lines.
        const bool multiLine = c.desc->kind == ControlKind::EditBox && c.desc->edit.multiLine;
        const LRESULT topChar = multiLine ? editbox::TopCharacter(c.hwnd) : 0;
        SendMessageW(c.hwnd, WM_SETFONT, fontParam, FALSE);
        const RECT r = ControlRectAt(*c.desc, dpi, editHeight);
        SetWindowPos(c.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
        if (multiLine) editbox::ScrollToTop(c.hwnd, topChar);
    }
    w.icons.Apply(w.hwnd, kProgramIconId, dpi);
    RedrawWindow(w.hwnd, nullptr, nullptr,
                 RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void FitWindowFrame(const LiveWindow& w) {
    if (!w.desc || !w.hwnd) return;
    const SIZE size = WindowSizeAt(*w.desc, w.dpi);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (IsIconic(w.hwnd) && GetWindowPlacement(w.hwnd, &placement)) {
        // A minimized window keeps its place among the icons; the size it is restored to changes.
        RECT& normal = placement.rcNormalPosition;
        if (normal.right - normal.left == size.cx && normal.bottom - normal.top == size.cy) return;
        normal.right = normal.left + size.cx;
        normal.bottom = normal.top + size.cy;
        placement.showCmd = SW_SHOWMINNOACTIVE;
        SetWindowPlacement(w.hwnd, &placement);
        return;
    }
    RECT r;
    GetWindowRect(w.hwnd, &r);
    if (r.right - r.left == size.cx && r.bottom - r.top == size.cy) return;
    SetWindowPos(w.hwnd, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
