#include <windows.h>

#include "Codepage_win.h"
#include "Shell.h"
#include "SystemLibrary_win.h"

void OpenWebAddress(const Text& address) {
    const HWND owner = FindWindowExW(nullptr, nullptr, nullptr, L"Microsoft Internet Explorer");
    const auto shellExecute =
        SystemFunction<HINSTANCE(WINAPI*)(HWND, const wchar_t*, const wchar_t*, const wchar_t*,
                                          const wchar_t*, INT)>(L"shell32.dll", "ShellExecuteW");
    if (shellExecute)
        shellExecute(owner, L"open", WideText(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
