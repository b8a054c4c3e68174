#include "SystemLibrary_win.h"

std::wstring SystemFolderPath(const std::wstring& name) {
    wchar_t buffer[MAX_PATH];
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, n) + L'\\' + name;
}
