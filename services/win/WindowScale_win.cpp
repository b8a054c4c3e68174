#include "WindowScale_win.h"

#include <algorithm>

#include "Dpi_win.h"
#include "EditBox_win.h"
#include "PictureBox_win.h"
#include "WindowRules.h"

namespace {

int EditMinimumHeight(UINT dpi) {
    const WindowDc dc(nullptr);
    const SelectedObject font(dc.Get(), GuiFontForDpi(dpi));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.Get(), &tm);
    return tm.tmHeight + 2 * SystemMetricForDpi(SM_CYEDGE, dpi);
}

int32_t Signed(UINT dpi) {
    return static_cast<int32_t>(dpi);
}

}  // namespace

RECT ControlRectAt(const ControlDescription& d, UINT dpi) {
    const ScaledRect s = ScaleRectToDpi(d.left, d.top, d.width, d.height, Signed(dpi));
    int height = s.height;
    if (d.kind == ControlKind::EditBox && !d.edit.multiLine)
        height = std::max(height, EditMinimumHeight(dpi));
    return RECT{s.left, s.top, s.left + s.width, s.top + height};
}

RECT WindowRectAt(const WindowDescription& d, HMONITOR monitorHandle, UINT dpi) {
    const int32_t width = ScaleToDpi(d.width, Signed(dpi));
    const int32_t height = ScaleToDpi(d.height, Signed(dpi));
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
    if (dpi != static_cast<UINT>(kDesignDpi)) {
        // The description fits a 96-DPI screen; scaled, it may not fit its monitor.
        x = KeptOnWorkArea(x, width, monitor.rcWork.left, monitor.rcWork.right);
        y = KeptOnWorkArea(y, height, monitor.rcWork.top, monitor.rcWork.bottom);
    }
    return RECT{x, y, x + width, y + height};
}

void AllowScaledSize(const LiveWindow& w, MINMAXINFO& limits) {
    if (!w.desc) return;
    const LONG width = ScaleToDpi(w.desc->width, Signed(w.dpi));
    const LONG height = ScaleToDpi(w.desc->height, Signed(w.dpi));
    limits.ptMaxTrackSize.x = std::max(limits.ptMaxTrackSize.x, width);
    limits.ptMaxTrackSize.y = std::max(limits.ptMaxTrackSize.y, height);
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
    SetWindowPos(w.hwnd, nullptr, outer.left, outer.top, outer.right - outer.left,
                 outer.bottom - outer.top, flags);
    for (LiveControl& c : w.controls) {
        if (!c.hwnd) continue;
        // A multi-line box keeps the character at its top in view, wherever the new width
        // wraps its lines.
        const bool multiLine = c.desc->kind == ControlKind::EditBox && c.desc->edit.multiLine;
        const LRESULT topChar = multiLine ? editbox::TopCharacter(c.hwnd) : 0;
        SendMessageW(c.hwnd, WM_SETFONT, fontParam, FALSE);
        const RECT r = ControlRectAt(*c.desc, dpi);
        SetWindowPos(c.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
        if (multiLine) editbox::ScrollToTop(c.hwnd, topChar);
    }
    w.icons.Apply(w.hwnd, kProgramIconId, dpi);
    RedrawWindow(w.hwnd, nullptr, nullptr,
                 RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}
