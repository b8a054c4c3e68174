#include "SystemLibrary_win.h"

#include <cwchar>
#include <vector>

#include "Handles_win.h"

namespace {

struct LoadedSystemModule {
    const wchar_t* library;  // one of the program's literals
    OwnedModule module;
};

std::vector<LoadedSystemModule> g_systemModules;

}  // namespace

std::wstring SystemFolderPath(const std::wstring& name) {
    wchar_t buffer[MAX_PATH];
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, n) + L'\\' + name;
}

HMODULE SystemModule(const wchar_t* library) {
    for (const LoadedSystemModule& loaded : g_systemModules)
        if (std::wcscmp(loaded.library, library) == 0) return loaded.module.Get();
    const std::wstring path = SystemFolderPath(library);
    OwnedModule module(path.empty() ? nullptr : LoadLibraryW(path.c_str()));
    if (!module) return nullptr;
    const HMODULE handle = module.Get();
    g_systemModules.push_back(LoadedSystemModule{library, std::move(module)});
    return handle;
}

void ReleaseSystemModules() {
    g_systemModules.clear();
}
