// Shows the fatal run-time error report and ends the process with -1.
#include <windows.h>

#include "Codepage_win.h"
#include "Fatal.h"
#include "ServiceState_win.h"

namespace {

// "错误"
const char kReportCaption[] = "\xB4\xED\xCE\xF3";

class LoadedWindowLookup final : public ErrorLocationLookup {
public:
    bool FindWindowTag(int32_t windowNumber, Text* tag) const override {
        const WindowDescription* w = Find(windowNumber);
        if (!w) return false;
        *tag = Text(w->tag);
        return true;
    }
    bool FindElementTag(int32_t windowNumber, int32_t elementNumber, Text* tag) const override {
        const WindowDescription* w = Find(windowNumber);
        if (!w) return false;
        if (elementNumber == 0) {
            *tag = Text(w->tag);
            return true;
        }
        for (int32_t i = 0; i < w->controlCount; ++i) {
            if (w->controls[i].number != elementNumber) continue;
            *tag = Text(w->controls[i].tag);
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

void ReportFatalError(const char* message, int32_t code, ErrorLocation where) {
    ServiceState& s = Services();
    ++s.eventDeliveryStop;
    // A fault met while building or showing the report (memory, most likely) ends at once.
    if (!g_reporting) {
        g_reporting = true;
        const Text text = BuildFatalReportText(message, code, where, LoadedWindowLookup());
        // Without memory for the full text, the message alone still tells what happened.
        const std::wstring shown = WideFromText(text.HasBuffer() ? text.c_str() : message);
        MessageBoxW(nullptr, shown.c_str(), WideFromText(kReportCaption).c_str(),
                    MB_OK | MB_ICONHAND);
    }
    s.exitRoutines.clear();
    RunEndOfProgramCleanup(false);
    ExitProcess(static_cast<UINT>(-1));
}
