// Process start, the event loop and the end-of-program clean-up. The program's entry hands over
// its ApplicationMain: the program folder is recorded first, and what ApplicationMain returns is
// followed by the clean-up and the exit with the quit request's code.
#include <windows.h>
#include <objbase.h>

#include "Codepage_win.h"
#include "DeclaredCommands.h"
#include "Fatal_win.h"
#include "LiveWindows_win.h"
#include "RuntimeState_win.h"
#include "Runtime.h"
#include "SystemLibrary_win.h"
#include "Window_win.h"
#include "WindowRules.h"

namespace {

const wchar_t kServiceWindowClass[] = L"OrvessaService";

// "载入窗口模板数据段出错!"
const char kDescriptionsDamaged[] =
    "\xD4\xD8\xC8\xEB\xB4\xB0\xBF\xDA\xC4\xA3\xB0\xE5\xCA\xFD\xBE\xDD\xB6\xCE\xB3\xF6\xB4\xED!";

void RecordProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) {
            path.clear();
            break;
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    RuntimeState& s = Runtime();
    const size_t slash = path.find_last_of(L'\\');
    s.programFolder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    s.programFile = slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The folder as a current directory. A drive root is kept as "C:", so that a backslash and a
// name joined to it give a full path, but "C:" alone names drive C's current folder, not its
// root: the root is "C:" and a backslash.
std::wstring CurrentDirectoryFor(const std::wstring& folder) {
    if (folder.size() == 2 && folder[1] == L':') return folder + L'\\';
    return folder;
}

OwnedWindow CreateServiceWindow() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kServiceWindowClass;
    RegisterClassExW(&wc);
    return OwnedWindow(CreateWindowExW(WS_EX_TOOLWINDOW, kServiceWindowClass, L"", WS_POPUP, 0, 0,
                                       0, 0, nullptr, nullptr, wc.hInstance, nullptr));
}

// The end-of-program clean-up; runExitRoutines is false after a fatal report.
void RunEndOfProgramCleanup(bool runExitRoutines) {
    RuntimeState& s = Runtime();
    if (s.cleanupDone) return;
    s.cleanupDone = true;
    // Windows, modules and OLE belong to the GUI thread; from any other thread only exit.
    if (GetCurrentThreadId() != s.guiThread) return;
    DestroyAllWindows();
    LoadedWindows().clear();
    if (runExitRoutines) {
        for (ExitRoutine r : s.exitRoutines) r();
    }
    s.exitRoutines.clear();
    ReleaseDeclaredCommands();
    s.serviceWindow.Reset();
    if (s.oleInitialised) OleUninitialize();
    s.oleInitialised = false;
    // Libraries stay loaded: the process ends next, and a thread a library started may still
    // be running its code.
}

// A fatal report drops the end-of-program routines and cleans up without them.
void CleanUpAfterFatalReport() {
    Runtime().exitRoutines.clear();
    RunEndOfProgramCleanup(false);
}

}  // namespace

void InitServices(TableOf<const WindowDescription*> windows, TableOf<DeclaredCommand> commands) {
    RuntimeState& s = Runtime();
    KeepReportReserve();
    SetFatalReportHooks(&LoadedWindowTags(), CleanUpAfterFatalReport);
    if (SUCCEEDED(OleInitialize(nullptr))) s.oleInitialised = true;
    if (!s.programFolder.empty())
        SetCurrentDirectoryW(CurrentDirectoryFor(s.programFolder).c_str());
    s.serviceWindow = CreateServiceWindow();
    s.guiThread = GetCurrentThreadId();

    UseDeclaredCommands(commands.rows, commands.count);
    if (!windows.rows || windows.count <= 0) ReportFatalError(kDescriptionsDamaged, 0, {});
    for (int32_t i = 0; i < windows.count; ++i) {
        if (!windows.rows[i] || CheckWindowDescription(*windows.rows[i]))
            ReportFatalError(kDescriptionsDamaged, 0, {});
        LoadedWindow loaded;
        loaded.desc = windows.rows[i];
        LoadedWindows().push_back(std::move(loaded));
    }
    RegisterWindowClasses();
}

void RegisterExitRoutine(ExitRoutine routine) {
    auto& routines = Runtime().exitRoutines;
    for (ExitRoutine r : routines)
        if (r == routine) return;
    routines.push_back(routine);
}

void RunEventLoop() {
    RuntimeState& s = Runtime();
    s.eventLoopEntered = true;
    if (!AnyProgramWindowAlive()) return;
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            s.quitCode = static_cast<int>(msg.wParam);
            return;
        }
        if (got == -1) return;
        if (PreTranslateWindowMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void RunProgram(int32_t (*applicationMain)()) {
    // Before anything loads a library: none is then looked for beside the program or in the
    // current folder.
    RestrictLibrarySearch();
    RecordProgramPath();
    applicationMain();
    RunEndOfProgramCleanup(true);
    ExitProcess(static_cast<UINT>(Runtime().quitCode));
}
