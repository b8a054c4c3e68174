// A small program on the real service layer, for the faults Orvessa itself never meets: the
// Wine tests start it with a fault name, click "fault", and read the report box it leaves.
//
//   OrvessaProbe.exe alloc|missing|stack|badname|nowindow|clock|nopicture|nodialog
//   OrvessaProbe.exe exhaust      "fault" takes every block the process heap can give, then
//                                 reads back a 3,000-character text with GetText
//   OrvessaProbe.exe read PATH    "fault" shows what ReadFileBytes gives for PATH: "size:" and
//                                 the bytes in hex
//   OrvessaProbe.exe folder       "fault" shows the current folder
//   OrvessaProbe.exe twice        "fault" calls a declared command of the probe's library
//                                 twice and shows how many references the process holds on it
//   OrvessaProbe.exe damaged      the window descriptions are damaged: a report at start
//   OrvessaProbe.exe nocontrol    the platform refuses to create the result box: a report at start
//
// An end-of-program routine writes exit-routine-ran into the current folder (the program
// folder), so a test can tell whether it ran.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "PictureDisplay.h"

#include "Codepage_win.h"
#include "DeclaredCommands.h"
#include "Dialogs.h"
#include "Fatal.h"
#include "FloatingPoint.h"
#include "Memory.h"
#include "Primitives.h"
#include "Services.h"
#include "SystemOrderNumber.h"

namespace {

#define PROBE_RESULT "result"
#define PROBE_COUNT "clicks"  // the count edit; "count" names its button

char g_fault[32] = "";
std::wstring g_path;
int g_clicks = 0;

void WriteMarker(const char* name) {
    if (FILE* f = std::fopen(name, "wb")) std::fclose(f);
}

void ProbeExitRoutine() {
    WriteMarker("exit-routine-ran");
}

void OnFaultClick();
void OnCountClick();

ControlDescription Control(int32_t position, const char* name, ControlKind kind, int32_t top,
                           const char* text, ClickHandler onClick) {
    ControlDescription c;
    c.number = 0x06020000 + position;
    c.name = name;
    c.kind = kind;
    c.left = 10;
    c.top = top;
    c.width = 200;
    c.height = 24;
    c.text = text;
    c.tag = name;
    c.tabStop = true;
    c.onClick = onClick;
    if (kind == ControlKind::EditBox) c.background = kWhite;
    return c;
}

const ControlDescription kControls[] = {
    Control(1, "fault", ControlKind::Button, 10, "fault", OnFaultClick),
    Control(2, "count", ControlKind::Button, 40, "count", OnCountClick),
    Control(3, PROBE_RESULT, ControlKind::EditBox, 70, "", nullptr),
    Control(4, PROBE_COUNT, ControlKind::EditBox, 100, "0", nullptr),
};

WindowDescription Describe() {
    WindowDescription w;
    w.number = 0x52020001;
    w.caption = "OrvessaProbe";
    w.width = 240;
    w.height = 180;
    w.escClosesWindow = true;
    w.tag = "probe-window";
    w.controls = kControls;
    w.controlCount = 4;
    return w;
}

const WindowDescription ProbeWindow = Describe();

// A second window, loaded with the first but never created: its properties belong to a window
// that is not loaded.
const ControlDescription kSecondControls[] = {
    Control(1, "box", ControlKind::PicBox, 10, "", nullptr),
    Control(2, "dialog", ControlKind::CommonDlg, 40, "", nullptr),
};
const WindowDescription SecondWindow = [] {
    WindowDescription w = Describe();
    w.number = 0x52020002;
    w.caption = "OrvessaProbe 2";
    w.tag = "second-window";
    w.controls = kSecondControls;
    w.controlCount = 2;
    return w;
}();

const WindowDescription* const kWindows[] = {&ProbeWindow, &SecondWindow};

const DeclaredCommand kCommands[] = {
    {"kernel32.dll", "GetLocalTime"},
    {"OrvessaProbeLib.dll", "LeavesArgument"},  // a cdecl function declared as stdcall
    {"kernel32.dll", "NoSuchCommandAtAll"},
    {"OrvessaProbeLib.dll", "NoArguments"},
};

// Takes every block the process heap can still give, largest first, and keeps them.
void ExhaustHeap() {
    const HANDLE heap = GetProcessHeap();
    for (SIZE_T size = SIZE_T{1} << 30; size >= 8; size /= 2) {
        while (HeapAlloc(heap, 0, size)) {
        }
    }
}

// The references the process holds on a module: released one by one until it goes, then taken
// again, so that the declared command's own reference is still good afterwards.
int ModuleReferences(const wchar_t* name, const wchar_t* path) {
    int count = 0;
    while (count < 100 && GetModuleHandleW(name)) {
        FreeLibrary(GetModuleHandleW(name));
        ++count;
    }
    for (int i = 0; i < count; ++i) LoadLibraryW(path);
    return count;
}

void ShowWide(const wchar_t* text) {
    SetText(ProbeWindow, PROBE_RESULT, TextFromWide(text, lstrlenW(text)));
}

void OnCountClick() {
    ++g_clicks;
    char text[16];
    std::snprintf(text, sizeof text, "%d", g_clicks);
    SetText(ProbeWindow, PROBE_COUNT, Text(text));
}

void OnFaultClick() {
    if (std::strcmp(g_fault, "alloc") == 0) {
        // More than a 32-bit process can ever be given in one piece.
        AllocServiceBuffer(int64_t{0x7FFFFFF0});
    } else if (std::strcmp(g_fault, "missing") == 0) {
        CallDeclaredCommand(2, nullptr, 0, nullptr);
    } else if (std::strcmp(g_fault, "stack") == 0) {
        const uint32_t argument = 7;
        bool intact = true;
        CallDeclaredCommand(1, &argument, 1, &intact);
        if (!intact) ReportRuntimeError(kRuntimeErrorDllStack, {67188654, 0});
        SetText(ProbeWindow, PROBE_RESULT, Text("stack intact"));
    } else if (std::strcmp(g_fault, "badname") == 0) {
        GetText(ProbeWindow, "no-such-control");
    } else if (std::strcmp(g_fault, "nowindow") == 0) {
        ReportFatalError("", 0, {0x52999999, 0x06000001});
    } else if (std::strcmp(g_fault, "read") == 0) {
        const Bytes bytes = ReadFileBytes(TextFromWide(g_path));
        char text[16 + 3 * 256];
        int at = std::snprintf(text, 16, "%d:", static_cast<int>(bytes.size()));
        for (int32_t i = 0; i < bytes.size() && i < 256; ++i)
            at += std::snprintf(text + at, 4, i ? " %02X" : "%02X", bytes.data()[i]);
        SetText(ProbeWindow, PROBE_RESULT, Text(text));
    } else if (std::strcmp(g_fault, "exhaust") == 0) {
        SetText(ProbeWindow, PROBE_RESULT, Text(std::string(3000, 'x').c_str()));
        ExhaustHeap();
        GetText(ProbeWindow, PROBE_RESULT);
    } else if (std::strcmp(g_fault, "nopicture") == 0) {
        SetPicture(SecondWindow, "box", Bytes("BM", 2));
    } else if (std::strcmp(g_fault, "nodialog") == 0) {
        RunOpenDialog(SecondWindow, "dialog");
    } else if (std::strcmp(g_fault, "folder") == 0) {
        wchar_t folder[MAX_PATH] = L"";
        GetCurrentDirectoryW(MAX_PATH, folder);
        ShowWide(folder);
    } else if (std::strcmp(g_fault, "twice") == 0) {
        for (int i = 0; i < 2; ++i) CallDeclaredCommand(3, nullptr, 0, nullptr);
        wchar_t path[MAX_PATH + 32] = L"";
        GetCurrentDirectoryW(MAX_PATH, path);
        lstrcatW(path, L"\\OrvessaProbeLib.dll");
        wchar_t text[32];
        wsprintfW(text, L"references: %d", ModuleReferences(L"OrvessaProbeLib.dll", path));
        ShowWide(text);
    } else if (std::strcmp(g_fault, "clock") == 0) {
        // The order number on the real clock, shown for the test to compare with its own.
        SetText(ProbeWindow, PROBE_RESULT, MakeOrderNumber(false));
    }
}

int32_t StartupRoutine() {
    return 0;
}

LRESULT CALLBACK RefuseResultBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND &&
        reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpCreateParams == &kControls[2])
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

const WindowDescription* const* ProgramWindowDescriptions(int32_t* count) {
    *count = 2;
    if (std::strcmp(g_fault, "damaged") == 0) {
        // A description whose control table is missing.
        static const WindowDescription damaged = [] {
            WindowDescription w = Describe();
            w.controls = nullptr;
            return w;
        }();
        static const WindowDescription* const damagedList[] = {&damaged, &SecondWindow};
        return damagedList;
    }
    return kWindows;
}

const DeclaredCommand* ProgramDeclaredCommands(int32_t* count) {
    *count = static_cast<int32_t>(sizeof kCommands / sizeof kCommands[0]);
    return kCommands;
}

int32_t ApplicationMain() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc > 1)
        WideCharToMultiByte(CP_ACP, 0, argv[1], -1, g_fault, sizeof g_fault - 1, nullptr, nullptr);
    if (argv && argc > 2) g_path = argv[2];
    LocalFree(argv);

    // Refuses the result box when it is created, as a platform out of window resources would.
    HHOOK refuse = nullptr;
    if (std::strcmp(g_fault, "nocontrol") == 0) {
        refuse = SetWindowsHookExW(WH_CBT, RefuseResultBox, nullptr, GetCurrentThreadId());
    }
    InitServices();
    ResetFloatingPointUnit();
    RegisterExitRoutine(ProbeExitRoutine);
    StartupRoutine();
    CreateMainWindow();
    RunEventLoop();
    if (refuse) UnhookWindowsHookEx(refuse);
    return 0;
}
