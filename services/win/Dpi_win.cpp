#include "Dpi_win.h"

#include <map>
#include <utility>

#include "WindowRules.h"

namespace {

template <typename Function>
Function User32Function(const char* name) {
    // user32 is loaded in every GUI process; only the address is looked up.
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const FARPROC address = user32 ? GetProcAddress(user32, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// Scaled copies of the stock font, one per DPI met, kept for the process.
HFONT ScaledFont(UINT dpi) {
    static std::map<UINT, OwnedFont> fonts;
    OwnedFont& font = fonts[dpi];
    if (!font) {
        LOGFONTW face{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
        face.lfHeight = MulDiv(face.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
        font.Reset(CreateFontIndirectW(&face));
    }
    return font.Get();
}

}  // namespace

UINT SystemDpi() {
    static const UINT dpi = [] {
        const WindowDc screen(nullptr);
        const int logPixels = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
        return logPixels > 0 ? static_cast<UINT>(logPixels) : static_cast<UINT>(kDesignDpi);
    }();
    return dpi;
}

UINT DpiOfWindow(HWND hwnd) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow && hwnd ? getDpiForWindow(hwnd) : 0;
    return dpi ? dpi : SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi) {
    if (dpi == SystemDpi()) return GetSystemMetrics(index);
    static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

RECT OuterRectForDpi(const RECT& client, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto forDpi =
        User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT outer = client;
    if (forDpi && forDpi(&outer, style, FALSE, exStyle, dpi)) return outer;
    outer = client;
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    return outer;
}

HFONT GuiFontForDpi(UINT dpi) {
    if (dpi == SystemDpi()) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const HFONT font = ScaledFont(dpi);
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void WindowIcons::Apply(HWND hwnd, WORD resource, UINT dpi) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto load = [&](int metric) {
        const int size = SystemMetricForDpi(metric, dpi);
        return OwnedIcon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resource),
                                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    };
    OwnedIcon large = load(SM_CXICON);
    OwnedIcon small = load(SM_CXSMICON);
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.Get()));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    // The window no longer uses the old ones.
    large_ = std::move(large);
    small_ = std::move(small);
}
