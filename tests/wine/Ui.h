// Working the program from outside, as a user would: starting it, finding its windows,
// reading their state across the process boundary, and real keyboard and mouse input.
// Every wait is a poll against a deadline that keeps the driver's own queue pumped.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// Deadlines. Generous, because the first program of a run also starts Wine's desktop.
inline constexpr DWORD kStartTimeoutMs = 30000;
inline constexpr DWORD kStepTimeoutMs = 5000;
inline constexpr DWORD kExitTimeoutMs = 10000;

// Handles the driver's own windows while it waits.
void PumpMessages();

// Polls `condition` until it holds or `timeoutMs` has passed; returns its last value.
template <typename Condition>
bool WaitUntil(DWORD timeoutMs, Condition condition) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        // Wakes early for the driver's own messages; otherwise a short poll interval.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 15, QS_ALLINPUT);
    }
}

// One started process. Whatever a test does, the process does not outlive the test:
// the destructor ends it if it is still running.
class Program {
public:
    // Every argument is passed quoted, so an empty one survives as an empty argument; none of
    // the tests passes a quote or a trailing backslash. An empty `folder` keeps the driver's.
    explicit Program(const std::wstring& path, const std::vector<std::wstring>& args = {},
                     const std::wstring& folder = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_ != nullptr; }
    const std::wstring& StartError() const { return startError_; }
    DWORD Pid() const { return pid_; }
    bool Running() const;

    // The program's visible main window, or null when none shows up in time.
    HWND WaitMainWindow(DWORD timeoutMs = kStartTimeoutMs);
    // False when the process is still running at the deadline.
    bool WaitExit(DWORD timeoutMs, DWORD& exitCode);

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    std::wstring startError_;
};

// The driver's own top-level window, used to take the activation away from the program.
class DriverWindow {
public:
    DriverWindow();
    ~DriverWindow();
    DriverWindow(const DriverWindow&) = delete;
    DriverWindow& operator=(const DriverWindow&) = delete;
    HWND Handle() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// Visible top-level windows of a process, in Z order.
std::vector<HWND> TopLevelWindowsOf(DWORD pid);
HWND WaitWindowOf(DWORD pid, const wchar_t* className, const wchar_t* caption, DWORD timeoutMs, HWND except = nullptr);

// Every descendant window, in the order EnumChildWindows gives them.
std::vector<HWND> ChildrenOf(HWND parent);
// A descendant of `root` by control ID, searched through group boxes too.
HWND FindControl(HWND root, int id);
std::wstring ClassOf(HWND hwnd);
// The text as the window itself answers WM_GETTEXT, which crosses the process boundary.
std::wstring TextOf(HWND hwnd);
// Client rectangle of `child` in the client coordinates of its parent.
RECT RectInParent(HWND child);
// Sends and waits for the answer, but never hangs the driver on a stuck program.
LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Keyboard focus, active window and caret of the thread that owns `hwnd`.
GUITHREADINFO InputStateOf(HWND hwnd);
HWND FocusOf(HWND hwnd);
// Makes `hwnd` the foreground window and waits until the system says it is.
bool BringToFront(HWND hwnd);

// Real input through SendInput, into whatever window is in the foreground.
enum Modifier : unsigned { kNoModifier = 0, kShift = 1, kControl = 2, kAlt = 4 };
void PressKey(WORD vk, unsigned modifiers = kNoModifier);
// Types text as characters, each a key-down and key-up of its own, whatever the layout.
void TypeKeys(const std::wstring& text);
// Moves the mouse to a screen point, adding the button `flags` (MOUSEEVENTF_LEFTDOWN...).
void MouseAt(POINT screen, DWORD flags);
// Moves the mouse to a screen point and clicks the left button there.
void ClickAt(POINT screen);
// The centre of a window on the screen.
POINT CentreOf(HWND hwnd);
// Clicks the centre of a window.
void ClickCentre(HWND hwnd);

} // namespace driver
