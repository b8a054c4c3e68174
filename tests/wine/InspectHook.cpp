// The inspection hook: a library the driver hooks into the program's GUI thread, so that the
// driver can read what only the program's process can, and send it a DPI change with a
// rectangle in its own memory. See Inspect.h.
#include "Inspect.h"

#include <cwchar>

namespace {

SIZE IconSize(HICON icon) {
    SIZE size{0, 0};
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return size;
    BITMAP bitmap{};
    if (info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
        size = SIZE{bitmap.bmWidth, bitmap.bmHeight};
    } else if (info.hbmMask != nullptr && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
        size = SIZE{bitmap.bmWidth, bitmap.bmHeight / 2};  // mask and image stacked
    }
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    return size;
}

HICON WindowIcon(HWND hwnd, WPARAM which, int classIndex) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, which, 0));
    return icon != nullptr ? icon : reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, classIndex));
}

// Where the text's pixels end when drawn at (0, 0): a full-width colon, for one, leaves the
// right half of its advance blank.
SIZE InkOf(HDC reference, const wchar_t* text, int length, SIZE extent) {
    SIZE ink{0, 0};
    if (extent.cx <= 0 || extent.cy <= 0) return ink;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, extent.cx, -extent.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(reference);
    if (bitmap == nullptr || dc == nullptr) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        if (dc != nullptr) DeleteDC(dc);
        return extent;
    }
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = SelectObject(dc, GetCurrentObject(reference, OBJ_FONT));
    RECT all{0, 0, extent.cx, extent.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutW(dc, 0, 0, text, length);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int y = 0; y < extent.cy; ++y) {
        for (int x = 0; x < extent.cx; ++x) {
            if ((pixels[y * extent.cx + x] & 0xFFFFFF) == 0xFFFFFF) continue;
            ink.cx = x + 1 > ink.cx ? x + 1 : ink.cx;
            ink.cy = y + 1;
        }
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return ink;
}

void ReadControl(HWND hwnd, inspect::Control& out) {
    out.id = GetDlgCtrlID(hwnd);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    out.hasFont = font != nullptr;
    LOGFONTW face{};
    if (font != nullptr) GetObjectW(font, sizeof face, &face);
    out.fontHeight = face.lfHeight;
    std::wcsncpy(out.face, face.lfFaceName, LF_FACESIZE - 1);
    wchar_t text[256] = {};
    const int length = GetWindowTextW(hwnd, text, 256);
    HDC dc = GetDC(hwnd);
    const HGDIOBJ old = SelectObject(dc, font != nullptr ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    out.lineHeight = metrics.tmHeight;
    GetTextExtentPoint32W(dc, text, length, &out.caption);
    out.ink = InkOf(dc, text, length, out.caption);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
}

struct Collect {
    inspect::Report* report;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    inspect::Report& report = *reinterpret_cast<Collect*>(param)->report;
    if (report.count < inspect::kMaxControls) ReadControl(hwnd, report.controls[report.count++]);
    return TRUE;
}

void SendReport(HWND main, HWND to) {
    inspect::Report report{};
    report.bigIcon = IconSize(WindowIcon(main, ICON_BIG, GCLP_HICON));
    report.smallIcon = IconSize(WindowIcon(main, ICON_SMALL, GCLP_HICONSM));
    Collect collect{&report};
    EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&collect));
    COPYDATASTRUCT data{inspect::kReportTag, sizeof report, &report};
    SendMessageW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(main), reinterpret_cast<LPARAM>(&data));
}

void ChangeDpi(HWND main, UINT dpi, LPARAM size) {
    RECT rect{};
    GetWindowRect(main, &rect);
    rect.right = rect.left + LOWORD(size);
    rect.bottom = rect.top + HIWORD(size);
    SendMessageW(main, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rect));
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK InspectHookProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT read = RegisterWindowMessageW(inspect::kReadMessage);
    static const UINT dpi = RegisterWindowMessageW(inspect::kDpiMessage);
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == read) SendReport(sent->hwnd, reinterpret_cast<HWND>(sent->wParam));
        if (sent->message == dpi) ChangeDpi(sent->hwnd, static_cast<UINT>(sent->wParam), sent->lParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
