// Where libraries come from. At start the search for every library loaded later, by the program,
// by the system libraries it uses and by what they load in turn, is narrowed to the system
// folder: the program's folder (often a downloads folder) and the current folder, which the open
// dialog changes, are not searched. Libraries that Windows itself provides are loaded from the
// system folder by full path, so that a file of the same name elsewhere cannot stand in for one.
#pragma once

#include <windows.h>

#include <string>

// Narrows the default library search to the system folder (SetDefaultDllDirectories where the
// system has it; else takes the current folder out of the search). Called first at start.
void RestrictLibrarySearch();

// The system folder's path of `name`; empty when the folder cannot be had.
std::wstring SystemFolderPath(const std::wstring& name);

// Loads the library at the full path `path`; its own dependencies are looked for in its folder
// first, then in the system folder. For the system folder's own libraries and for declared
// commands' libraries beside the program.
HMODULE LoadLibraryAt(const std::wstring& path);

// A system library, loaded the first time it is asked for and kept to the end of the process;
// null when it cannot be loaded. For calls that only a handler makes: importing their library
// would load it, and what it loads, at every start. Never freed: freeing gains nothing at exit,
// and a thread the library started (the shell's, for one) may still be running its code.
HMODULE SystemModule(const wchar_t* library);

// A function of a system library (see SystemModule); null when the library or the function
// is missing.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = SystemModule(library);
    const FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    // Through a plain function pointer type, as FARPROC stands for every signature.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}
