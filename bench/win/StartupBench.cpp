// Starts Orvessa.exe and a bare one-window program in turn (and, if given, a program that does
// only the start-up steps before Orvessa's show) and reports the median time to a visible window
// and to a message loop that answers, and Orvessa's ratio to the others.
//
//   StartupBench ORVESSA.exe BARE.exe [RUNS [STEPS.exe]]
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
        std::fprintf(stderr, "usage: StartupBench ORVESSA.exe BARE.exe [RUNS [STEPS.exe]]\n");
        return 2;
    }
    const int runs = argc > 3 ? _wtoi(argv[3]) : 30;
    const bool steps = argc > 4;
    const int programs = steps ? 3 : 2;
    const wchar_t* exe[] = {argv[1], argv[2], steps ? argv[4] : nullptr};
    for (int p = 0; p < programs; ++p) StartOnce(exe[p]);  // warm the caches once, unmeasured
    std::vector<double> visible[3], answering[3];
    for (int i = 0; i < runs; ++i)
        for (int p = 0; p < programs; ++p) {
            const Timing t = StartOnce(exe[p]);
            if (t.visible >= 0) visible[p].push_back(t.visible);
            if (t.responsive >= 0) answering[p].push_back(t.responsive);
        }
    double v[3], a[3];
    for (int p = 0; p < programs; ++p) {
        v[p] = Median(visible[p]);
        a[p] = Median(answering[p]);
    }
    std::printf(
        "start-up over %d runs each (median): Orvessa visible %.1f ms, answering %.1f ms; "
        "bare window visible %.1f ms, answering %.1f ms; ratio %.2fx visible, %.2fx answering\n",
        runs, v[0], a[0], v[1], a[1], v[0] / v[1], a[0] / a[1]);
    if (steps)
        std::printf(
            "the steps before the show alone: visible %.1f ms, %.2fx the bare window; Orvessa "
            "%.2fx them visible, %.2fx answering\n",
            v[2], v[2] / v[1], v[0] / v[2], a[0] / a[2]);
    return 0;
}
