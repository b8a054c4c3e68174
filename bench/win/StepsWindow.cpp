// The start-up steps that must come before Orvessa's window is shown, and nothing else: OLE,
// the hidden service window, the main window and its controls from the program's own table,
// in the program's order, with the program's manifest (themed common controls). What it costs
// over BareWindow is what Wine charges for those steps: the floor under Orvessa's start-up.
// The table's sizes are used as they stand, so above 96 DPI the floor is lower still.
#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>

#include "MainWindow.h"
#include "QuitWithWindow.h"

namespace {

std::wstring Wide(const char* gbk) {
    std::wstring w(std::strlen(gbk) + 1, L'\0');
    w.resize(static_cast<size_t>(
        MultiByteToWideChar(936, 0, gbk, -1, &w[0], static_cast<int>(w.size())) - 1));
    return w;
}

// The system class and the least style of each kind; labels and the picture box are plain
// windows of a class of their own, as the program's are.
HWND Make(const ControlDescription& c, HWND parent, HINSTANCE instance) {
    const wchar_t* cls = L"StepsPlain";
    DWORD style = WS_CHILD | WS_VISIBLE | (c.tabStop ? WS_TABSTOP : 0);
    switch (c.kind) {
    case ControlKind::EditBox:
        cls = L"Edit";
        style |= WS_BORDER | ES_AUTOHSCROLL;
        if (c.edit.multiLine) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        if (c.edit.verticalScrollBar) style |= WS_VSCROLL;
        if (c.edit.readOnly) style |= ES_READONLY;
        break;
    case ControlKind::Button:
        cls = L"Button";
        style |= BS_PUSHBUTTON;
        break;
    case ControlKind::GroupBox:
        cls = L"Button";
        style |= BS_GROUPBOX | WS_CLIPSIBLINGS;
        break;
    default: break;
    }
    const HWND hwnd = CreateWindowExW(0, cls, Wide(c.text).c_str(), style, c.left, c.top, c.width,
                                      c.height, parent, nullptr, instance, nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    return hwnd;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    OleInitialize(nullptr);
    WNDCLASSW plain{};
    plain.lpfnWndProc = DefWindowProcW;
    plain.hInstance = instance;
    plain.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    plain.lpszClassName = L"StepsPlain";
    RegisterClassW(&plain);
    CreateWindowExW(WS_EX_TOOLWINDOW, L"StepsPlain", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                    instance, nullptr);
    WNDCLASSW wc = plain;
    wc.lpfnWndProc = QuitWithWindow;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"StepsWindow";
    RegisterClassW(&wc);
    const WindowDescription& d = MainWindowLayout;
    const HWND main =
        CreateWindowExW(0, L"StepsWindow", Wide(d.caption).c_str(),
                        WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                        CW_USEDEFAULT, d.width, d.height, nullptr, nullptr, instance, nullptr);
    SendMessageW(main, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    for (int32_t i = 0; i < d.controlCount; ++i) {
        const ControlDescription& c = d.controls[i];
        if (c.kind == ControlKind::CommonDlg || c.parent) continue;
        const HWND made = Make(c, main, instance);
        if (c.kind != ControlKind::GroupBox) continue;
        for (int32_t j = 0; j < d.controlCount; ++j)
            if (d.controls[j].parent && std::strcmp(d.controls[j].parent, c.name) == 0)
                Make(d.controls[j], made, instance);
    }
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    OleUninitialize();
    return 0;
}
