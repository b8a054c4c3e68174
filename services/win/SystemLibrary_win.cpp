#include "SystemLibrary_win.h"

#include <cwchar>
#include <vector>

namespace {

struct LoadedSystemModule {
    const wchar_t* library;  // one of the program's literals
    HMODULE module;
};

std::vector<LoadedSystemModule> g_systemModules;

// Whether LoadLibraryExW takes the LOAD_LIBRARY_SEARCH_ flags: the same systems (Windows 8, and
// 7 with its update) have SetDefaultDllDirectories, which RestrictLibrarySearch found.
bool g_searchFlags = false;

}  // namespace

void RestrictLibrarySearch() {
    // kernel32 is loaded in every process; only the address is looked up.
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const FARPROC address =
        kernel32 ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    const auto setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(address));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        g_searchFlags = true;
        return;
    }
    // Without it the program folder stays in the search, but the current folder leaves it.
    SetDllDirectoryW(L"");
}

std::wstring SystemFolderPath(const std::wstring& name) {
    wchar_t buffer[MAX_PATH];
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, n) + L'\\' + name;
}

HMODULE LoadLibraryAt(const std::wstring& path) {
    if (path.empty()) return nullptr;
    if (g_searchFlags)
        return LoadLibraryExW(path.c_str(), nullptr,
                              LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The older form of the same: a full path's folder takes the program folder's place.
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE SystemModule(const wchar_t* library) {
    for (const LoadedSystemModule& loaded : g_systemModules)
        if (std::wcscmp(loaded.library, library) == 0) return loaded.module;
    const HMODULE module = LoadLibraryAt(SystemFolderPath(library));
    if (!module) return nullptr;
    g_systemModules.push_back(LoadedSystemModule{library, module});
    return module;
}
