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
#include <iterator>
#include <string>

#include "PictureBox.h"

#include "Codepage_win.h"
#include "DeclaredCommands.h"
#include "Dialogs.h"
#include "Files.h"
#include "LiveWindows.h"
#include "Fatal.h"
#include "Memory.h"
#include "Primitives.h"
#include "StandIn_win.h"
#include "OrderClock.h"

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

ControlRow Row(ControlKind kind, const char* name, int32_t top) {
    return ControlRow(kind, name).At(10, top).Size(200, 24).Tag(name).TabStop();
}

// clang-format off
const auto kControls = NumberRows(0x06020001, {
    Row(ControlKind::Button, "fault", 10).Text("fault").OnClick(OnFaultClick),
    Row(ControlKind::Button, "count", 40).Text("count").OnClick(OnCountClick),
    Row(ControlKind::EditBox, PROBE_RESULT, 70).Colors(kBlack, kWhite),
    Row(ControlKind::EditBox, PROBE_COUNT, 100).Text("0").Colors(kBlack, kWhite),
});
// clang-format on

WindowDescription Describe() {
    WindowDescription w = standin::Window(0x52020001, "OrvessaProbe", 240, 180, kControls);
    w.escClosesWindow = true;
    w.tag = "probe-window";
    return w;
}

const WindowDescription ProbeWindow = Describe();

// A second window, loaded with the first but never created: its properties belong to a window
// that is not loaded.
const auto kSecondControls = NumberRows(
    0x06020001, {Row(ControlKind::PicBox, "box", 10), Row(ControlKind::CommonDlg, "dialog", 40)});
const WindowDescription SecondWindow = [] {
    WindowDescription w = standin::Window(0x52020002, "OrvessaProbe 2", 240, 180, kSecondControls);
    w.escClosesWindow = true;
    w.tag = "second-window";
    return w;
}();

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

LRESULT CALLBACK RefuseResultBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND &&
        reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpCreateParams == &kControls[2])
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
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
    // A description whose control table is missing.
    static const WindowDescription damaged = [] {
        WindowDescription w = Describe();
        w.controls = nullptr;
        return w;
    }();
    const bool isDamaged = std::strcmp(g_fault, "damaged") == 0;
    static const WindowDescription* const windows[] = {isDamaged ? &damaged : &ProbeWindow,
                                                       &SecondWindow};
    standin::Start(windows, kCommands, ProbeExitRoutine);
    RunEventLoop();
    if (refuse) UnhookWindowsHookEx(refuse);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RunProgram(ApplicationMain);
}
