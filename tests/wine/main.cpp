// The GUI test driver: starts Orvessa.exe and works it as a user would.
//
//   OrvessaGuiTests --program PATH [--probe PATH] [--acp N] TEST...
//                                                       run the named tests ("all" for every one)
//   OrvessaGuiTests --list                              print the test names
//   OrvessaGuiTests --exit-acp                          exit with this process's ANSI code page
//   OrvessaGuiTests --wait-window [MS]                  wait for a visible main window of any
//                                                       process, print its outer rectangle
//                                                       as "left top width height"
#include "Orvessa.h"
#include "Tests.h"
#include "Ui.h"

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>

namespace {

using driver::TestCase;

#define ORVESSA_TEST_ROW(name) {#name, driver::name},
const TestCase kTests[] = {ORVESSA_GUI_TESTS(ORVESSA_TEST_ROW)};
#undef ORVESSA_TEST_ROW

const TestCase* FindTest(const std::string& name) {
    for (const TestCase& test : kTests) {
        if (name == test.name) return &test;
    }
    return nullptr;
}

std::string Narrow(const wchar_t* text) {
    return driver::Utf8(text);
}

int Usage() {
    // clang-format off
    std::fprintf(stderr, "usage: OrvessaGuiTests --program PATH [--probe PATH] [--acp N] TEST... | --list |"
                         " --exit-acp | --wait-window [MS]\n");
    // clang-format on
    return 2;
}

bool NeedsPainting(HWND main) {
    bool pending = GetUpdateRect(main, nullptr, FALSE) != FALSE;
    for (HWND child : driver::ChildrenOf(main)) pending = pending || GetUpdateRect(child, nullptr, FALSE);
    return pending;
}

int WaitWindow(int argc, wchar_t** argv) {
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : driver::kStartTimeoutMs;
    HWND found = nullptr;
    driver::WaitUntil(timeout, [&] {
        found = FindWindowW(driver::kMainClass, nullptr);
        return found != nullptr && IsWindowVisible(found);
    });
    if (found == nullptr) {
        std::fprintf(stderr, "no visible main window within %lu ms\n", static_cast<unsigned long>(timeout));
        return 1;
    }
    // Painting follows showing: wait until neither the window nor a control has anything
    // left to paint.
    driver::WaitUntil(driver::kStepTimeoutMs, [&] { return !NeedsPainting(found); });
    RECT rect{};
    GetWindowRect(found, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

int RunTests(int argc, wchar_t** argv) {
    driver::Options options;
    std::set<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--program" && i + 1 < argc) {
            options.program = argv[++i];
        } else if (arg == L"--probe" && i + 1 < argc) {
            options.probe = argv[++i];
        } else if (arg == L"--acp" && i + 1 < argc) {
            options.expectedAcp = static_cast<unsigned>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (arg.rfind(L"--", 0) == 0) {
            return Usage();
        } else {
            names.insert(Narrow(argv[i]));
        }
    }
    if (options.program.empty() || names.empty()) return Usage();
    for (const std::string& name : names) {
        if (name != "all" && FindTest(name) == nullptr) {
            std::printf("FAIL no test named %s\n", name.c_str());
            return 1;
        }
    }

    int passed = 0, failed = 0;
    for (const TestCase& test : kTests) {
        if (!names.count("all") && !names.count(test.name)) continue;
        std::printf("RUN  %s\n", test.name);
        std::fflush(stdout);
        driver::Check check(test.name);
        test.run(check, options);
        if (check.Failures() == 0) {
            std::printf("PASS %s\n", test.name);
            ++passed;
        } else {
            std::printf("FAIL %s (%d failed check(s))\n", test.name, check.Failures());
            ++failed;
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

// The program is per-monitor DPI aware, so the driver measures it as a per-monitor aware tool
// must: in the screen's own pixels. An unaware process sees the screen's DPI, every window
// rectangle and its copies of the screen scaled to 96 DPI (Wine 10 does so, as Windows does;
// Wine 8 shows every process the real pixels).
void MeasureInScreenPixels() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    const FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext");
    const auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(address));
    if (setContext == nullptr || !setContext(perMonitorV2)) SetProcessDPIAware();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    MeasureInScreenPixels();
    const std::wstring command = argv[1];
    if (command == L"--list") {
        for (const TestCase& test : kTests) std::printf("%s\n", test.name);
        return 0;
    }
    if (command == L"--exit-acp") return static_cast<int>(GetACP());
    if (command == L"--wait-window") return WaitWindow(argc, argv);
    return RunTests(argc, argv);
}
