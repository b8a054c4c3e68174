// Libraries that Windows itself provides, loaded from the system folder by full path, so that
// a file of the same name beside the program or in the current folder cannot stand in for one.
#pragma once

#include <windows.h>

#include <string>

// The system folder's path of `name`; empty when the folder cannot be had.
std::wstring SystemFolderPath(const std::wstring& name);

// A system library, loaded the first time it is asked for and kept until the end-of-program
// clean-up; null when it cannot be loaded. For calls that only a handler makes: importing their
// library would load it, and what it loads, at every start.
HMODULE SystemModule(const wchar_t* library);
// Releases the libraries SystemModule loaded (end-of-program clean-up).
void ReleaseSystemModules();

// A function of a system library (see SystemModule); null when the library or the function
// is missing.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = SystemModule(library);
    const FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    // Through a plain function pointer type, as FARPROC stands for every signature.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}
