// The life of the process as seen from outside: every way of closing the window ends it
// with exit code 0, two starts give two independent programs, and the code page of the
// run is the one its locale promises.
#include "Tests.h"

#include "Fixtures.h"
#include "Session.h"

#include <cstdlib>

namespace driver {

namespace {

enum class CloseBy { Esc, SysCommand, AltF4, CloseButtonClick };

struct CloseRow {
    const wchar_t* what;
    CloseBy how;
    int focus; // where the focus is when the key is pressed
};

// Esc closes from anywhere, multi-line boxes and the group boxes included.
const CloseRow kCloseRows[] = {
    {L"Esc in the first box", CloseBy::Esc, kEdit1},
    {L"Esc in the description box", CloseBy::Esc, kEdit5},
    {L"Esc on the query button", CloseBy::Esc, kButton4},
    {L"Esc in the echo box", CloseBy::Esc, kEdit6},
    {L"the system menu's Close command", CloseBy::SysCommand, kEdit1},
    {L"Alt+F4", CloseBy::AltF4, kEdit1},
    {L"a click on the close button", CloseBy::CloseButtonClick, kEdit1},
};

void CloseOne(Check& check, const Options& options, const CloseRow& row) {
    check.Note(Cat(L"closing by ", row.what));
    Session session(check, options);
    if (!session.Ok() || !session.Front() || !session.TabTo(row.focus)) return;
    switch (row.how) {
    case CloseBy::Esc: PressKey(VK_ESCAPE); break;
    case CloseBy::AltF4: PressKey(VK_F4, kAlt); break;
    case CloseBy::SysCommand: PostMessageW(session.Main(), WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case CloseBy::CloseButtonClick: {
        POINT point{};
        if (!check.Expect(FindCloseButton(session.Main(), point), L"found no close button on the title bar")) return;
        // Pressed, the button captures the mouse until the release; waiting for that
        // makes sure the release is not taken before the press.
        MouseAt(point, 0);
        MouseAt(point, MOUSEEVENTF_LEFTDOWN);
        check.Expect(WaitUntil(kStepTimeoutMs, [&] { return InputStateOf(session.Main()).hwndCapture != nullptr; }),
                     L"pressing the close button did not capture the mouse");
        MouseAt(point, MOUSEEVENTF_LEFTUP);
        break;
    }
    }
    DWORD code = 0;
    if (!session.Process().WaitExit(kExitTimeoutMs, code)) {
        check.Fail(Cat(L"closing by ", row.what, L": the program still runs after ", kExitTimeoutMs, L" ms"));
        return;
    }
    check.ExpectEq(Cat(L"exit code after closing by ", row.what), 0, static_cast<long long>(code));
}

} // namespace

void ClosePathsExitZero(Check& check, const Options& options) {
    for (const CloseRow& row : kCloseRows) CloseOne(check, options, row);
}

// Two starts open two windows; closing one leaves the other running and answering.
void TwoInstances(Check& check, const Options& options) {
    Session first(check, options);
    Session second(check, options);
    if (!first.Ok() || !second.Ok()) return;
    check.Expect(first.Main() != second.Main(), L"both starts share one window");
    PostMessageW(first.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 0;
    if (check.Expect(first.Process().WaitExit(kExitTimeoutMs, code), L"the first program did not end")) {
        check.ExpectEq(L"exit code of the first program", 0, static_cast<long long>(code));
    }
    check.Expect(second.Process().Running(), L"closing the first program ended the second");
    check.Expect(IsWindow(second.Main()) && second.Sync(), L"the second window is gone or does not answer");
    // The second one still takes input.
    if (second.Front() && second.TabTo(kEdit2)) {
        check.Expect(second.WaitFocus(kEdit2), L"the second program does not take Tab");
    }
    PostMessageW(second.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    if (check.Expect(second.Process().WaitExit(kExitTimeoutMs, code), L"the second program did not end")) {
        check.ExpectEq(L"exit code of the second program", 0, static_cast<long long>(code));
    }
}

// The same tests run under a GBK and a UTF-8 locale to prove the program's texts do not
// depend on the code page; that only means something if the code pages really differ.
// The program is started the same way as this child, so it gets the same code page.
void CodePage(Check& check, const Options& options) {
    if (!check.Expect(options.expectedAcp != 0, L"the run did not say which code page its locale gives (--acp)")) {
        return;
    }
    check.ExpectEq(L"ANSI code page of the driver", options.expectedAcp, GetACP());

    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        check.Fail(L"cannot create a pipe");
        return;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring commandLine = Cat(L"\"", self, L"\" --print-acp");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &info);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        check.Fail(L"cannot start the driver again as a child");
        return;
    }
    std::string out;
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    CloseHandle(readEnd);
    if (WaitForSingleObject(info.hProcess, kExitTimeoutMs) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 0xDEAD);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    check.ExpectEq(L"ANSI code page of a started child", static_cast<long long>(options.expectedAcp),
                   std::atoll(out.c_str()));
}

} // namespace driver
