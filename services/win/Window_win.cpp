// The window and control layer: builds a window from its description, routes button clicks
// to their handlers and keeps the keyboard focus in order. Window procedures stay in this
// file; the live window state they work on, and property access, is LiveWindows_win.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "Accessibility_win.h"
#include "Codepage_win.h"
#include "Colors_win.h"
#include "DropTarget_win.h"
#include "EditBox_win.h"
#include "Fatal_win.h"
#include "Handles_win.h"
#include "LiveWindows_win.h"
#include "PictureBox_win.h"
#include "RuntimeState_win.h"
#include "Window.h"
#include "Window_win.h"
#include "WindowProcedure_win.h"
#include "WindowRules.h"
#include "WindowScale_win.h"

namespace {

const wchar_t kWindowClass[] = L"OrvessaWindow";
const wchar_t kLabelClass[] = L"OrvessaLabel";
// WM_GETDPISCALEDSIZE, sent from Windows 10 1703 on; the headers for Windows 7 lack it.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// Fatal messages of the window layer, code page 936.
const char kStartupWindowFailed[] =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";  // 载入启动窗口失败
const char kEventWindowUnknown[] =
    "\xCE\xB4\xD5\xD2\xB5\xBD\xD2\xFD\xB7\xA2\xCA\xC2\xBC\xFE\xB5\xC4\xB4\xB0\xBF\xDA";  // 未找到引发事件的窗口
const char kEventControlUnknown[] =
    "\xCE\xB4\xD5\xD2\xB5\xBD\xD2\xFD\xB7\xA2\xCA\xC2\xBC\xFE\xB5\xC4\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE";  // 未找到引发事件的窗口组件
const char kEventControlInvalid[] =
    "\xD2\xFD\xB7\xA2\xCA\xC2\xBC\xFE\xB5\xC4\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE\xCE\xDE\xD0\xA7";  // 引发事件的窗口组件无效

// The control holding the focus, also when the focus sits in a child of a control.
LiveControl* FocusedControl(LiveWindow& w) {
    for (HWND h = GetFocus(); h && h != w.hwnd; h = GetParent(h))
        if (LiveControl* c = ControlFromHwnd(w, h)) return c;
    return nullptr;
}

std::vector<int32_t> TabList(LiveWindow& w) {
    std::vector<TabCandidate> eligible;
    for (const LiveControl& c : w.controls) {
        if (!c.hwnd || !IsWindow(c.hwnd) || !c.desc->tabStop || !CanTakeFocus(c.desc->kind))
            continue;
        if (!IsWindowVisible(c.hwnd) || !IsWindowEnabled(c.hwnd)) continue;
        eligible.push_back({c.index, c.desc->tabOrder});
    }
    return BuildTabList(std::move(eligible));
}

void MoveFocus(LiveWindow& w, bool forward) {
    if (GetFocus() == w.hwnd) return;
    const LiveControl* focused = FocusedControl(w);
    const int32_t next = NextInTabList(TabList(w), focused ? focused->index : -1, forward);
    if (next >= 0) SetFocus(w.controls[static_cast<size_t>(next)].hwnd);
}

void GiveFirstFocus(LiveWindow& w) {
    if (w.rememberedFocus && IsChild(w.hwnd, w.rememberedFocus)) {
        const HWND target = w.rememberedFocus;
        w.rememberedFocus = nullptr;
        SetFocus(target);
        return;
    }
    w.rememberedFocus = nullptr;
    const std::vector<int32_t> list = TabList(w);
    if (!list.empty()) SetFocus(w.controls[static_cast<size_t>(list.front())].hwnd);
}

// --- The box in front --------------------------------------------------------------------
//
// A message box of the program has no owner (the written texts and flags), so Windows does not
// bring it forward when the user comes back to the window it disables, as it does an owned
// box: after 查询 the browser covers it and the program looks hung. The window does it itself,
// on a click and on its activation, while it is disabled.

const UINT kBringModalForward = WM_APP + 1;

bool IsButtonDown(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_NCXBUTTONDOWN: return true;
    default: return false;
    }
}

// The first enabled, visible top-level window of the thread that is not a program window:
// the box or dialog that disables the windows. EnumThreadWindows goes from the top down.
BOOL CALLBACK FindModalWindow(HWND hwnd, LPARAM found) {
    if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd) || ProgramWindowContaining(hwnd))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

void BringModalForward() {
    HWND modal = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindModalWindow, reinterpret_cast<LPARAM>(&modal));
    // A box the dialog itself opened comes forward with it, as for an owned window.
    if (modal) SetForegroundWindow(GetLastActivePopup(modal));
}

// A click that comes while the window takes no events is dropped, as a disabled window drops
// it: a button's BM_CLICK from an automation client, for one, still reaches it.
void RaiseClick(LiveWindow& w, LiveControl& c) {
    if (!WindowTakesEvents(w)) return;
    if (c.desc->kind != ControlKind::Button) {
        ReportFatalError(kEventControlInvalid, 0, {w.desc->number, c.desc->number});
    }
    if (c.desc->onClick) RunHandler(c.desc->onClick);
}

void RouteCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != BN_CLICKED || lParam == 0) return;
    LiveWindow* w = ProgramWindowContaining(hwnd);
    if (!w) {
        if (FatalReportBegun()) return;
        ReportFatalError(kEventWindowUnknown, 0, {});
    }
    LiveControl* c = ControlFromHwnd(*w, reinterpret_cast<HWND>(lParam));
    if (!c) {
        if (EventsBlocked(*w)) return;
        ReportFatalError(kEventControlUnknown, 0, {w->desc->number, 0});
    }
    RaiseClick(*w, *c);
}

// The system's colours, settings or theme changed: the colours are chosen again and the
// frame fitted to the caption and borders it may now have.
void FollowSystemChange(LiveWindow& w, UINT msg) {
    // The standard controls learn of new colours only from their parent.
    if (msg == WM_SYSCOLORCHANGE)
        for (const LiveControl& c : w.controls)
            if (c.hwnd) SendMessageW(c.hwnd, WM_SYSCOLORCHANGE, 0, 0);
    const bool changed = ChooseColors(w);
    if (changed)
        for (const LiveControl& c : w.controls) FollowColorsInTheme(c, w.systemColors);
    if (msg != WM_SYSCOLORCHANGE) FitWindowFrame(w);
    if (changed || msg != WM_SETTINGCHANGE)
        RedrawWindow(w.hwnd, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// What a parent of controls (the window, or a group box) does with their notifications and
// colour requests. True when the message was one of them.
bool HandleChildMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (msg) {
    case WM_COMMAND:
        RouteCommand(hwnd, wParam, lParam);
        *result = 0;
        return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: *result = ControlColors(hwnd, wParam, lParam); return true;
    default: return false;
    }
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* w = static_cast<LiveWindow*>(cs->lpCreateParams);
        w->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    }
    LiveWindow* w = WindowFromHwnd(hwnd);
    LRESULT handled = 0;
    if (HandleChildMessage(hwnd, msg, wParam, lParam, &handled)) return handled;
    switch (msg) {
    case WM_ACTIVATE:
        if (w && LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus)) w->rememberedFocus = focus;
        } else if (!IsWindowEnabled(hwnd)) {
            // Activated from the taskbar or by Alt+Tab while disabled: once the activation is
            // done, the box or dialog that disables the window takes it.
            PostMessageW(hwnd, kBringModalForward, 0, 0);
        }
        break;
    case kBringModalForward: BringModalForward(); return 0;
    case WM_SETCURSOR:
        // A mouse button pressed on the disabled window; the default still beeps.
        if (!IsWindowEnabled(hwnd) && static_cast<short>(LOWORD(lParam)) == HTERROR &&
            IsButtonDown(HIWORD(lParam)))
            BringModalForward();
        break;
    case WM_SETFOCUS:
        if (w) GiveFirstFocus(*w);
        return 0;
    case WM_CLOSE:
        // A close from the taskbar still arrives while a handler waits in a box's loop; the
        // window stays until the handler has returned, which then closes it.
        if (!w || !HandlerRunning()) break;
        w->closeHeld = true;
        return 0;
    case WM_GETMINMAXINFO:
        if (w) AllowScaledSize(*w, *reinterpret_cast<MINMAXINFO*>(lParam));
        break;
    case kGetDpiScaledSize:
        if (!w) break;
        *reinterpret_cast<SIZE*>(lParam) = WindowSizeAt(*w->desc, LOWORD(wParam));
        return TRUE;
    case WM_DPICHANGED:
        if (w) ApplyWindowDpi(*w, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        if (w) FollowSystemChange(*w, msg);
        break;
    case WM_DROPFILES: TakeDroppedFiles(hwnd, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_TIMER:
        if (wParam != kFileDropTimer) break;
        OpenWaitingDrops(hwnd);
        return 0;
    case WM_DESTROY: RevokeFileDrop(hwnd); break;
    case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (w) {
            for (LoadedWindow& loaded : LoadedWindows())
                if (loaded.live.get() == w) loaded.live.reset();
        }
        // The last program window gone for good ends the event loop.
        if (!AnyProgramWindowAlive() && Runtime().eventLoopEntered) PostQuitMessage(0);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A group box is the real parent of the controls drawn inside it: it hands their notifications
// and colour requests to the window, and paints its own interior.
LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT handled = 0;
    if (HandleChildMessage(hwnd, msg, wParam, lParam, &handled)) return handled;
    if (msg == WM_ERASEBKGND) {
        PaintGroupBoxBackground(hwnd, reinterpret_cast<HDC>(wParam));
        return 1;
    }
    return CallProcedureBehind(GroupBoxProc, hwnd, msg, wParam, lParam);
}

// A label keeps its font and text here; Colors_win paints it.
LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETFONT:
        SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(wParam));
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT: {
        const LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: PaintLabel(hwnd); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateControlWindow(LiveControl& c, HWND parent, UINT dpi, int editMinimumHeight) {
    const ControlDescription& d = *c.desc;
    DWORD style = WS_CHILD;
    if (d.visible) style |= WS_VISIBLE;
    if (d.tabStop) style |= WS_TABSTOP;
    if (!d.enabled) style |= WS_DISABLED;
    const wchar_t* cls = nullptr;
    switch (d.kind) {
    case ControlKind::EditBox:
        cls = L"Edit";
        style |= WS_BORDER | ES_LEFT;
        if (d.edit.readOnly) style |= ES_READONLY;
        if (d.edit.multiLine) {
            style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
            if (d.edit.verticalScrollBar) style |= WS_VSCROLL;
        } else {
            style |= ES_AUTOHSCROLL;
        }
        break;
    case ControlKind::Label: cls = kLabelClass; break;
    case ControlKind::Button:
        cls = L"Button";
        style |= (d.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_CENTER | BS_VCENTER |
                 BS_MULTILINE;
        break;
    case ControlKind::GroupBox:
        cls = L"Button";
        style |= BS_GROUPBOX | WS_CLIPCHILDREN;
        break;
    case ControlKind::PicBox:
        cls = kPictureBoxClass;
        style |= WS_BORDER;
        break;
    case ControlKind::CommonDlg: return nullptr;
    }
    const WideText text(d.text);
    const RECT r = ControlRectAt(d, dpi, editMinimumHeight);
    const HWND hwnd = CreateWindowExW(
        0, cls, text.c_str(), style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlWindowId(c.index))),
        GetModuleHandleW(nullptr), const_cast<ControlDescription*>(&d));
    if (!hwnd) return nullptr;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFontForDpi(dpi)), FALSE);
    switch (d.kind) {
    case ControlKind::EditBox:
        editbox::RemoveLimit(hwnd);
        editbox::Select(hwnd, 0, 0);
        break;
    case ControlKind::Label:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&d));
        break;
    case ControlKind::GroupBox: PutProcedureInFront(hwnd, GroupBoxProc); break;
    case ControlKind::PicBox: c.picture = PictureBoxFromHwnd(hwnd); break;
    default: break;
    }
    return hwnd;
}

}  // namespace

void RegisterWindowClasses() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const HINSTANCE instance = GetModuleHandleW(nullptr);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    // The class keeps using its icons until it is unregistered, at the end-of-program clean-up.
    RuntimeState& s = Runtime();
    s.classIcon.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId),
                                                    IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                    GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR)));
    s.classSmallIcon.Reset(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
    wc.hIcon = s.classIcon.Get();
    wc.hIconSm = s.classSmallIcon.Get();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // A colour index, not a system colour brush, which a class must not be given: the system
    // then paints with the current button face whatever the scheme becomes.
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);

    WNDCLASSEXW label{};
    label.cbSize = sizeof label;
    label.lpfnWndProc = LabelProc;
    label.cbWndExtra = sizeof(LONG_PTR);  // the font
    label.hInstance = instance;
    label.hCursor = wc.hCursor;
    label.lpszClassName = kLabelClass;
    RegisterClassExW(&label);

    RegisterPictureBoxClass();
}

void CreateMainWindow() {
    std::vector<LoadedWindow>& windows = LoadedWindows();
    if (windows.empty()) ReportFatalError(kStartupWindowFailed, 0, {});
    LoadedWindow& loaded = windows.front();
    const WindowDescription& d = *loaded.desc;
    const ErrorLocation where{d.number, 0};

    auto live = std::make_unique<LiveWindow>();
    LiveWindow& w = *live;
    w.desc = &d;
    ++w.suppressEvents;

    // Made at its place for the system's DPI on the primary monitor; where its own monitor
    // turns out to have another DPI, it is placed again below before anything is drawn.
    w.dpi = SystemDpi();
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    const UINT madeAt = w.dpi;
    const RECT at = WindowRectAt(d, primary, madeAt);
    ChooseColors(w);
    loaded.live = std::move(live);
    const WideText caption(d.caption);
    if (!CreateWindowExW(ProgramWindowExStyle(d), kWindowClass, caption.c_str(),
                         kProgramWindowStyle, at.left, at.top, at.right - at.left,
                         at.bottom - at.top, nullptr, nullptr, GetModuleHandleW(nullptr), &w)) {
        loaded.live.reset();
        ReportFatalError(kStartupWindowFailed, 0, where);
    }
    // The monitor it is on decides its DPI, and so its outer size and every control's place
    // and font.
    w.dpi = DpiOfWindow(w.hwnd);
    const HMONITOR monitor = MonitorFromWindow(w.hwnd, MONITOR_DEFAULTTOPRIMARY);
    const RECT want = monitor == primary && w.dpi == madeAt ? at : WindowRectAt(d, monitor, w.dpi);
    RECT r;
    GetWindowRect(w.hwnd, &r);
    if (!EqualRect(&r, &want))
        SetWindowPos(w.hwnd, nullptr, want.left, want.top, want.right - want.left,
                     want.bottom - want.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (w.dpi != SystemDpi()) w.icons.Apply(w.hwnd, kProgramIconId, w.dpi);
    SendMessageW(w.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFontForDpi(w.dpi)), FALSE);

    // Each control is made in its final parent, and among its siblings in table order: a new
    // child goes below the siblings made before it, so the earlier entry lies on top without
    // restacking. A group box is made before the controls it holds. The window is hidden until
    // every control exists, so nothing is drawn twice.
    w.controls.resize(static_cast<size_t>(d.controlCount));
    for (int32_t i = 0; i < d.controlCount; ++i) {
        LiveControl& c = w.controls[static_cast<size_t>(i)];
        c.desc = &d.controls[i];
        c.index = i;
        if (c.desc->kind == ControlKind::CommonDlg) {
            c.dialog = std::make_unique<FileDialogState>();
            c.dialog->fileName = Text(c.desc->dialog.fileName);
            c.dialog->exactPath = WideFromText(c.desc->dialog.fileName);
        }
    }
    const int editHeight = EditMinimumHeight(w.dpi);
    const auto make = [&](LiveControl& c, HWND parent) {
        c.hwnd = CreateControlWindow(c, parent, w.dpi, editHeight);
        if (!c.hwnd) ReportFatalError(kStartupWindowFailed, 0, {d.number, c.desc->number});
        if (w.systemColors) FollowColorsInTheme(c, true);
        GiveAccessibleIdentity(c.hwnd, AccessibleRoleOf(c.desc->kind),
                               WideFromText(AccessibleName(d, c.index).c_str()),
                               c.desc->kind == ControlKind::PicBox ? PictureBoxValue : nullptr);
    };
    for (LiveControl& c : w.controls) {
        if (c.desc->kind == ControlKind::CommonDlg || c.desc->parent) continue;
        make(c, w.hwnd);
        if (c.desc->kind != ControlKind::GroupBox) continue;
        for (LiveControl& inner : w.controls)
            if (inner.desc->kind != ControlKind::CommonDlg && inner.desc->parent &&
                std::strcmp(inner.desc->parent, c.desc->name) == 0)
                make(inner, c.hwnd);
    }
    --w.suppressEvents;
    // The focus is always drawn, not only once the keyboard has been used: a keyboard user
    // who starts the program with the mouse must still see where the focus is.
    SendMessageW(w.hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);

    ShowWindow(w.hwnd, SW_SHOWNORMAL);
    UpdateWindow(w.hwnd);
    // What no start-up step needs waits until the window is shown and drawn, before the loop
    // takes input: the annotation, which loads oleacc (a client that asks first has it done
    // then), and the drop target, which OLE marshals.
    AnnotateWaitingControls();
    if (d.dropFileDialog) RegisterFileDrop(w.hwnd);
}

void DestroyAllWindows() {
    RuntimeState& s = Runtime();
    for (LoadedWindow& loaded : LoadedWindows())
        if (loaded.live && loaded.live->hwnd && IsWindow(loaded.live->hwnd))
            DestroyWindow(loaded.live->hwnd);
    // No window of the class is left, so its icons can go with it.
    if (UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr))) {
        s.classIcon.Reset();
        s.classSmallIcon.Reset();
    }
}

bool PreTranslateWindowMessage(MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    LiveWindow* w = ProgramWindowContaining(msg.hwnd);
    if (!w || !IsWindowEnabled(msg.hwnd)) return false;

    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    const bool plain = !ctrl && !shift && !alt;
    const auto key = static_cast<UINT>(msg.wParam);
    LiveControl* focused = FocusedControl(*w);

    // A multi-line, writable edit box keeps Enter for its line breaks.
    if (key == VK_RETURN && plain && focused && focused->desc->kind == ControlKind::EditBox &&
        focused->desc->edit.multiLine && !focused->desc->edit.readOnly)
        return false;

    if (key == VK_TAB && (plain || (shift && !ctrl && !alt))) {
        MoveFocus(*w, !shift);
        return true;
    }
    if (key == VK_RETURN && plain) {
        if (focused && focused->desc->kind == ControlKind::Button && focused->desc->defaultButton) {
            RaiseClick(*w, *focused);
            return true;
        }
        if (w->desc->enterMovesFocus) {
            MoveFocus(*w, true);
            return true;
        }
        for (LiveControl& c : w->controls) {
            if (c.desc->kind == ControlKind::Button && c.desc->defaultButton) {
                RaiseClick(*w, c);
                return true;
            }
        }
        return false;
    }
    if (key == VK_ESCAPE && plain && w->desc->escClosesWindow) {
        SendMessageW(w->hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    return false;
}
