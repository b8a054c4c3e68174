#include "Inspector.h"

#include "Ui.h"

#include <string>

namespace driver {

namespace {

const wchar_t kReceiverClass[] = L"OrvessaInspectReceiver";

struct Received {
    bool got = false;
    inspect::Report report{};
    bool gotResources = false;
    inspect::Resources resources{};
};

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto* received = reinterpret_cast<Received*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (received != nullptr && data->dwData == inspect::kReportTag && data->cbData == sizeof(inspect::Report)) {
            received->report = *static_cast<const inspect::Report*>(data->lpData);
            received->got = true;
        }
        if (received != nullptr && data->dwData == inspect::kResourcesTag &&
            data->cbData == sizeof(inspect::Resources)) {
            received->resources = *static_cast<const inspect::Resources*>(data->lpData);
            received->gotResources = true;
        }
        return TRUE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The hook library lies beside the driver.
std::wstring LibraryPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"OrvessaInspect.dll";
}

} // namespace

Inspector::Inspector(HWND main) : main_(main) {
    library_ = LoadLibraryW(LibraryPath().c_str());
    const auto proc =
        library_ ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(library_, "InspectHookProc")))
                 : nullptr;
    const DWORD thread = GetWindowThreadProcessId(main, nullptr);
    if (proc != nullptr && thread != 0) hook_ = SetWindowsHookExW(WH_CALLWNDPROC, proc, library_, thread);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kReceiverClass;
    RegisterClassW(&wc); // fails harmlessly when an earlier inspector registered it
    receiver_ = CreateWindowExW(0, kReceiverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

Inspector::~Inspector() {
    if (receiver_ != nullptr) DestroyWindow(receiver_);
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (library_ != nullptr) FreeLibrary(library_);
}

bool Inspector::Read(inspect::Report& report) {
    if (!Ok()) return false;
    Received received;
    SetWindowLongPtrW(receiver_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
    // The report comes as a message sent to this thread while it waits for the answer.
    Ask(main_, RegisterWindowMessageW(inspect::kReadMessage), reinterpret_cast<WPARAM>(receiver_));
    SetWindowLongPtrW(receiver_, GWLP_USERDATA, 0);
    if (received.got) report = received.report;
    return received.got;
}

bool Inspector::ReadResources(inspect::Resources& resources) {
    if (!Ok()) return false;
    Received received;
    SetWindowLongPtrW(receiver_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
    Ask(main_, RegisterWindowMessageW(inspect::kResourcesMessage), reinterpret_cast<WPARAM>(receiver_));
    SetWindowLongPtrW(receiver_, GWLP_USERDATA, 0);
    if (received.gotResources) resources = received.resources;
    return received.gotResources;
}

bool Inspector::ChangeDpi(UINT dpi, int outerWidth, int outerHeight) {
    DWORD_PTR result = 0;
    return Ok() && SendMessageTimeoutW(main_, RegisterWindowMessageW(inspect::kDpiMessage), dpi,
                                       MAKELPARAM(outerWidth, outerHeight), SMTO_NORMAL, kStepTimeoutMs, &result) != 0;
}

const inspect::Control* Find(const inspect::Report& report, int id) {
    for (int i = 0; i < report.count && i < inspect::kMaxControls; ++i) {
        if (report.controls[i].id == id) return &report.controls[i];
    }
    return nullptr;
}

} // namespace driver
