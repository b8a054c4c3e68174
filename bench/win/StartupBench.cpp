// Starts Orvessa.exe and a bare one-window program in turn and reports the median time to a
// visible window and to a message loop that answers, and Orvessa's ratio to the bare one.
//
//   StartupBench ORVESSA.exe BARE.exe [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct Timing {
    double visible = -1;
    double responsive = -1;
};

// One start: until its window is visible, then until its loop answers, then closed.
Timing StartOnce(const std::wstring& exe) {
    Timing t;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    const double t0 = NowMs();
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return t;
    Search s{pi.dwProcessId, nullptr};
    while (NowMs() - t0 < 20000) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&s));
        if (s.found) break;
        MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 1, QS_ALLINPUT);
    }
    if (s.found) {
        t.visible = NowMs() - t0;
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(s.found, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result))
            t.responsive = NowMs() - t0;
        PostMessageW(s.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return t;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: StartupBench ORVESSA.exe BARE.exe [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? _wtoi(argv[3]) : 30;
    StartOnce(argv[1]);  // warm the caches once, unmeasured
    StartOnce(argv[2]);
    std::vector<double> ov, orr, bv, br;
    for (int i = 0; i < runs; ++i) {
        const Timing o = StartOnce(argv[1]);
        const Timing b = StartOnce(argv[2]);
        if (o.visible >= 0) ov.push_back(o.visible);
        if (o.responsive >= 0) orr.push_back(o.responsive);
        if (b.visible >= 0) bv.push_back(b.visible);
        if (b.responsive >= 0) br.push_back(b.responsive);
    }
    std::printf(
        "start-up over %d runs each (median): Orvessa visible %.1f ms, answering %.1f ms; "
        "bare window visible %.1f ms, answering %.1f ms; ratio %.2fx visible, %.2fx answering\n",
        runs, Median(ov), Median(orr), Median(bv), Median(br), Median(ov) / Median(bv),
        Median(orr) / Median(br));
    return 0;
}
