// The probe's own library. LeavesArgument is cdecl, so a caller that declared it __stdcall
// finds its argument still on the stack. Loaded under the name kernel32.dll from a program
// folder, it leaves a marker: that must never happen.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllexport) void __cdecl LeavesArgument(unsigned) {}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    if (n >= 12 && n < MAX_PATH && lstrcmpiW(path + n - 12, L"kernel32.dll") == 0) {
        if (FILE* f = std::fopen("planted-library-loaded", "wb")) std::fclose(f);
    }
    return TRUE;
}

// Taking no arguments, it is the same function whether called as cdecl or stdcall.
extern "C" __declspec(dllexport) void __cdecl NoArguments() {}
