// Shows the fatal run-time error report and ends the process with -1.
#include <windows.h>

#include <cstring>

#include "Codepage_win.h"
#include "Fatal.h"
#include "Memory.h"
#include "ServiceState_win.h"

namespace {

// The report's texts as UTF-16 literals: showing them needs no conversion and no memory.
const wchar_t kReportCaption[] = L"\x9519\x8BEF";                      // 错误
const wchar_t kReportHeadline[] = L"\x8FD0\x884C\x65F6\x51FA\x9519!";  // 运行时出错!

// Address space kept back from start-up for the report itself: when the heap has run out, the
// system still needs room to build the report's message box (under Wine 1 MiB is too little,
// 4 MiB enough). Only reserved, so it costs no memory until it is given back.
constexpr SIZE_T kReportReserveBytes = SIZE_T{8} << 20;
void* g_reportReserve = nullptr;

// Converts into a caller's buffer without allocating. False when the text does not fit.
bool WideInto(const char* text, wchar_t* out, int capacity) {
    if (!text || !*text) return false;
    return MultiByteToWideChar(kTextCodePage, 0, text, -1, out, capacity) > 0;
}

// A tag copied without reporting: the report must not start another one when memory is gone.
// Without memory the tag stays empty, and the report's text, which needs more, falls back to
// the message alone anyway.
Text TagCopy(const char* tag) {
    const size_t length = tag ? std::strlen(tag) : 0;
    if (length == 0) return Text();
    auto* buffer = static_cast<char*>(TryAllocServiceBuffer(static_cast<int64_t>(length) + 1));
    if (!buffer) return Text();
    std::memcpy(buffer, tag, length + 1);
    return Text::Adopt(buffer);
}

class LoadedWindowLookup final : public ErrorLocationLookup {
public:
    bool FindWindowTag(int32_t windowNumber, Text* tag) const override {
        const WindowDescription* w = Find(windowNumber);
        if (!w) return false;
        *tag = TagCopy(w->tag);
        return true;
    }
    bool FindElementTag(int32_t windowNumber, int32_t elementNumber, Text* tag) const override {
        const WindowDescription* w = Find(windowNumber);
        if (!w) return false;
        if (elementNumber == 0) {
            *tag = TagCopy(w->tag);
            return true;
        }
        for (int32_t i = 0; i < w->controlCount; ++i) {
            if (w->controls[i].number != elementNumber) continue;
            *tag = TagCopy(w->controls[i].tag);
            return true;
        }
        return false;
    }

private:
    static const WindowDescription* Find(int32_t number) {
        for (const LoadedWindow& w : Services().windows)
            if (w.desc && w.desc->number == number) return w.desc;
        return nullptr;
    }
};

bool g_reporting = false;

}  // namespace

void KeepReportReserve() {
    if (!g_reportReserve)
        g_reportReserve = VirtualAlloc(nullptr, kReportReserveBytes, MEM_RESERVE, PAGE_NOACCESS);
}

void ReportFatalError(const char* message, int32_t code, ErrorLocation where) {
    ServiceState& s = Services();
    ++s.eventDeliveryStop;
    // A fault met while building or showing the report (memory, most likely) ends at once.
    if (!g_reporting) {
        g_reporting = true;
        const Text text = BuildFatalReportText(message, code, where, LoadedWindowLookup());
        if (g_reportReserve) VirtualFree(g_reportReserve, 0, MEM_RELEASE);
        g_reportReserve = nullptr;
        // From here nothing is allocated: the text goes into the stack. Without memory for the
        // full text (or room for it here), the message alone still tells what happened.
        wchar_t shown[2048];
        if (!WideInto(text.data(), shown, static_cast<int>(sizeof shown / sizeof shown[0])) &&
            !WideInto(message, shown, static_cast<int>(sizeof shown / sizeof shown[0]))) {
            lstrcpynW(shown, kReportHeadline, static_cast<int>(sizeof shown / sizeof shown[0]));
        }
        MessageBoxW(nullptr, shown, kReportCaption, MB_OK | MB_ICONHAND);
    }
    s.exitRoutines.clear();
    RunEndOfProgramCleanup(false);
    ExitProcess(static_cast<UINT>(-1));
}
