// Shows the fatal run-time error report and ends the process with -1.
#include <windows.h>

#include "Fatal_win.h"

namespace {

// The report's texts as UTF-16 literals: showing them needs no conversion and no memory.
const wchar_t kReportCaption[] = L"\x9519\x8BEF";                      // 错误
const wchar_t kReportHeadline[] = L"\x8FD0\x884C\x65F6\x51FA\x9519!";  // 运行时出错!

// Address space kept back from start-up for the report itself: when the heap has run out, the
// system still needs room to build the report's message box. A box whose Chinese text comes
// from a linked font may have to map that font first (5 MB under Wine's test set-up, where
// 8 MiB now and then fell short). Only reserved, so it costs no memory until it is given back.
constexpr SIZE_T kReportReserveBytes = SIZE_T{32} << 20;
void* g_reportReserve = nullptr;

// Converts into a caller's buffer without allocating. False when the text does not fit.
bool WideInto(const char* text, wchar_t* out, int capacity) {
    if (!text || !*text) return false;
    return MultiByteToWideChar(kTextCodePage, 0, text, -1, out, capacity) > 0;
}

// Before the window list is loaded there is no window to name.
class NoWindows final : public ErrorLocationLookup {
public:
    bool FindWindowTag(int32_t, Text*) const override { return false; }
    bool FindElementTag(int32_t, int32_t, Text*) const override { return false; }
};

const NoWindows kNoWindows;
const ErrorLocationLookup* g_tags = &kNoWindows;
void (*g_cleanup)() = nullptr;
bool g_eventsStopped = false;
bool g_reporting = false;

}  // namespace

void KeepReportReserve() {
    if (!g_reportReserve)
        g_reportReserve = VirtualAlloc(nullptr, kReportReserveBytes, MEM_RESERVE, PAGE_NOACCESS);
}

bool FatalReportBegun() {
    return g_eventsStopped;
}

void SetFatalReportHooks(const ErrorLocationLookup* tags, void (*cleanup)()) {
    g_tags = tags ? tags : &kNoWindows;
    g_cleanup = cleanup;
}

void ReportFatalError(const char* message, int32_t code, ErrorLocation where) {
    g_eventsStopped = true;
    // A fault met while building or showing the report (memory, most likely) ends at once.
    if (!g_reporting) {
        g_reporting = true;
        // The text is built on the stack: nothing is allocated for it. Without room for the full
        // text here, the message alone still tells what happened.
        char text[2048];
        bool built = BuildFatalReportText(text, sizeof text, message, code, where, *g_tags);
        // With the heap spent, the box cannot lay out the whole report reliably (under Wine it
        // then stops answering); the message alone still shows. Asked before the reserve is given
        // back, as much as the text would take.
        if (built) {
            const HANDLE heap = GetProcessHeap();
            void* room = HeapAlloc(heap, 0, static_cast<SIZE_T>(lstrlenA(text)) + 1);
            if (room) HeapFree(heap, 0, room);
            built = room != nullptr;
        }
        if (g_reportReserve) VirtualFree(g_reportReserve, 0, MEM_RELEASE);
        g_reportReserve = nullptr;
        wchar_t shown[2048];
        if (!(built && WideInto(text, shown, static_cast<int>(sizeof shown / sizeof shown[0]))) &&
            !WideInto(message, shown, static_cast<int>(sizeof shown / sizeof shown[0]))) {
            lstrcpynW(shown, kReportHeadline, static_cast<int>(sizeof shown / sizeof shown[0]));
        }
        MessageBoxW(nullptr, shown, kReportCaption, MB_OK | MB_ICONHAND);
    }
    if (g_cleanup) g_cleanup();
    ExitProcess(static_cast<UINT>(-1));
}
