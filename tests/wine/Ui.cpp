#include "Ui.h"

#include "Orvessa.h"

namespace driver {

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// --- Program ---------------------------------------------------------------------------

Program::Program(const std::wstring& path, const std::vector<std::wstring>& args, const std::wstring& folder) {
    std::wstring commandLine = L"\"" + path + L"\"";
    for (const std::wstring& arg : args) commandLine += L" \"" + arg + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        const DWORD error = GetLastError();
        startError_ = L"cannot start " + path + L": error " + std::to_wstring(error);
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
}

Program::~Program() {
    if (process_ == nullptr) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        // A distinctive code, should anyone read it from a log.
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, kExitTimeoutMs);
    }
    CloseHandle(process_);
}

bool Program::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

HWND Program::WaitMainWindow(DWORD timeoutMs) {
    if (process_ == nullptr) return nullptr;
    return WaitWindowOf(pid_, kMainClass, nullptr, timeoutMs);
}

bool Program::WaitExit(DWORD timeoutMs, DWORD& exitCode) {
    exitCode = STILL_ACTIVE;
    if (process_ == nullptr) return false;
    const bool ended = WaitUntil(timeoutMs, [this] { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; });
    if (ended) GetExitCodeProcess(process_, &exitCode);
    return ended;
}

// --- DriverWindow ----------------------------------------------------------------------

namespace {

constexpr const wchar_t* kDriverClass = L"OrvessaDriverWindow";

ATOM RegisterDriverClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = kDriverClass;
    return RegisterClassW(&wc);
}

} // namespace

DriverWindow::DriverWindow() {
    static const ATOM registered = RegisterDriverClass();
    (void)registered;
    // Placed clear of the program's window, so it never covers what a test clicks.
    hwnd_ = CreateWindowExW(0, kDriverClass, L"Orvessa test driver", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 120,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    PumpMessages();
}

DriverWindow::~DriverWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    PumpMessages();
}

// --- Finding windows -------------------------------------------------------------------

namespace {

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

// Enumeration callbacks must be stdcall functions, which lambdas cannot become in every
// compiler.
BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->pid && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectChildren(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

} // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitWindowOf(DWORD pid, const wchar_t* className, const wchar_t* caption, DWORD timeoutMs, HWND except) {
    HWND found = nullptr;
    WaitUntil(timeoutMs, [&] {
        for (HWND hwnd : TopLevelWindowsOf(pid)) {
            if (hwnd == except) continue;
            if (className != nullptr && ClassOf(hwnd) != className) continue;
            if (caption != nullptr && TextOf(hwnd) != caption) continue;
            found = hwnd;
            return true;
        }
        return false;
    });
    return found;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    // EnumChildWindows walks every descendant, so controls inside group boxes are found too.
    EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND FindControl(HWND root, int id) {
    for (HWND hwnd : ChildrenOf(root)) {
        if (GetDlgCtrlID(hwnd) == id) return hwnd;
    }
    return nullptr;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = L"";
    GetClassNameW(hwnd, name, 256);
    return name;
}

LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kStepTimeoutMs, &result)) return 0;
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND hwnd) {
    const LRESULT length = Ask(hwnd, WM_GETTEXTLENGTH);
    if (length <= 0) return {};
    // WM_GETTEXTLENGTH may overstate; the copied length is what counts.
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        Ask(hwnd, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

RECT RectInParent(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// --- Focus and activation --------------------------------------------------------------

GUITHREADINFO InputStateOf(HWND hwnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info)) {
        info = GUITHREADINFO{};
        info.cbSize = sizeof info;
    }
    return info;
}

HWND FocusOf(HWND hwnd) {
    return InputStateOf(hwnd).hwndFocus;
}

bool BringToFront(HWND hwnd) {
    if (GetForegroundWindow() == hwnd) return true;
    SetForegroundWindow(hwnd);
    if (WaitUntil(kStepTimeoutMs / 2, [hwnd] { return GetForegroundWindow() == hwnd; })) return true;
    // Windows refuses the foreground to a process that does not have it; sharing the input
    // state with the current foreground thread for the call lifts that rule.
    const DWORD self = GetCurrentThreadId();
    const DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const bool attached = foreground != 0 && foreground != self && AttachThreadInput(self, foreground, TRUE);
    SetForegroundWindow(hwnd);
    if (attached) AttachThreadInput(self, foreground, FALSE);
    return WaitUntil(kStepTimeoutMs / 2, [hwnd] { return GetForegroundWindow() == hwnd; });
}

// --- Input -----------------------------------------------------------------------------

namespace {

INPUT KeyInput(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void Send(std::vector<INPUT>& inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

} // namespace

void PressKey(WORD vk, unsigned modifiers) {
    std::vector<INPUT> inputs;
    if (modifiers & kControl) inputs.push_back(KeyInput(VK_CONTROL, false));
    if (modifiers & kShift) inputs.push_back(KeyInput(VK_SHIFT, false));
    if (modifiers & kAlt) inputs.push_back(KeyInput(VK_MENU, false));
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    if (modifiers & kAlt) inputs.push_back(KeyInput(VK_MENU, true));
    if (modifiers & kShift) inputs.push_back(KeyInput(VK_SHIFT, true));
    if (modifiers & kControl) inputs.push_back(KeyInput(VK_CONTROL, true));
    Send(inputs);
}

// As characters rather than key strokes, so no Shift is involved: Wine now and then drops a
// Shift pressed by SendInput, and a path typed with one lost is another path.
void TypeKeys(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (const wchar_t c : text) {
        for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | up;
            inputs.push_back(input);
        }
    }
    Send(inputs);
}

void MouseAt(POINT screen, DWORD flags) {
    // Absolute mouse coordinates run from 0 to 65535 across the primary screen.
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void ClickAt(POINT screen) {
    MouseAt(screen, 0);
    MouseAt(screen, MOUSEEVENTF_LEFTDOWN);
    MouseAt(screen, MOUSEEVENTF_LEFTUP);
}

POINT CentreOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void ClickCentre(HWND hwnd) {
    ClickAt(CentreOf(hwnd));
}

} // namespace driver
