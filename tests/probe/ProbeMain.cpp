// A small program on the real service layer, for the faults Orvessa itself never meets: the
// Wine tests start it with a fault name, click "fault", and read the report box it leaves.
//
//   OrvessaProbe.exe alloc|missing|stack|badname|nowindow|clock
//   OrvessaProbe.exe read PATH    "fault" shows what ReadFileBytes gives for PATH: "size:" and
//                                 the bytes in hex
//
// An end-of-program routine writes exit-routine-ran into the current folder (the program
// folder), so a test can tell whether it ran.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

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

void ProbeExitRoutine() { WriteMarker("exit-routine-ran"); }

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
const WindowDescription* const kWindows[] = {&ProbeWindow};

const DeclaredCommand kCommands[] = {
    {"kernel32.dll", "GetLocalTime"},
    {"OrvessaProbeLib.dll", "LeavesArgument"},  // a cdecl function declared as stdcall
    {"kernel32.dll", "NoSuchCommandAtAll"},
};

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
    } else if (std::strcmp(g_fault, "clock") == 0) {
        // The order number on the real clock, shown for the test to compare with its own.
        SetText(ProbeWindow, PROBE_RESULT, MakeOrderNumber(false));
    }
}

int32_t StartupRoutine() { return 0; }

}  // namespace

const WindowDescription* const* ProgramWindowDescriptions(int32_t* count) {
    *count = 1;
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

    InitServices();
    ResetFloatingPointUnit();
    RegisterExitRoutine(ProbeExitRoutine);
    StartupRoutine();
    CreateMainWindow();
    RunEventLoop();
    return 0;
}
