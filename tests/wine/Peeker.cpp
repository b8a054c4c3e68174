#include "Peeker.h"

#include "Ui.h"

#include <cstring>
#include <string>

namespace driver {

namespace {

const wchar_t kReceiverClass[] = L"OrvessaPeekReceiver";

// Where the answer to a request goes: copied there when its tag and size are the request's.
struct Received {
    ULONG_PTR tag;
    void* into;
    DWORD size;
    bool got = false;
};

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto* received = reinterpret_cast<Received*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (received != nullptr && data->dwData == received->tag && data->cbData == received->size) {
            std::memcpy(received->into, data->lpData, received->size);
            received->got = true;
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
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"OrvessaPeek.dll";
}

} // namespace

Peeker::Peeker(HWND main) : main_(main) {
    library_ = LoadLibraryW(LibraryPath().c_str());
    const auto proc =
        library_ ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(library_, "PeekHookProc")))
                 : nullptr;
    const DWORD thread = GetWindowThreadProcessId(main, nullptr);
    if (proc != nullptr && thread != 0) hook_ = SetWindowsHookExW(WH_CALLWNDPROC, proc, library_, thread);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kReceiverClass;
    RegisterClassW(&wc); // fails harmlessly when an earlier peeker registered it
    receiver_ = CreateWindowExW(0, kReceiverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

Peeker::~Peeker() {
    if (receiver_ != nullptr) DestroyWindow(receiver_);
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (library_ != nullptr) FreeLibrary(library_);
}

bool Peeker::Request(const wchar_t* message, ULONG_PTR tag, void* into, DWORD size) {
    if (!Ok()) return false;
    Received received{tag, into, size};
    SetWindowLongPtrW(receiver_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
    // The answer comes as a message sent to this thread while it waits.
    Ask(main_, RegisterWindowMessageW(message), reinterpret_cast<WPARAM>(receiver_));
    SetWindowLongPtrW(receiver_, GWLP_USERDATA, 0);
    return received.got;
}

bool Peeker::Read(peek::Report& report) {
    return Request(peek::kReadMessage, peek::kReportTag, &report, sizeof report);
}

bool Peeker::ReadResources(peek::Resources& resources) {
    return Request(peek::kResourcesMessage, peek::kResourcesTag, &resources, sizeof resources);
}

bool Peeker::ChangeDpi(UINT dpi, int outerWidth, int outerHeight) {
    DWORD_PTR result = 0;
    return Ok() && SendMessageTimeoutW(main_, RegisterWindowMessageW(peek::kDpiMessage), dpi,
                                       MAKELPARAM(outerWidth, outerHeight), SMTO_NORMAL, kStepTimeoutMs, &result) != 0;
}

const peek::Control* Find(const peek::Report& report, int id) {
    for (int i = 0; i < report.count && i < peek::kMaxControls; ++i) {
        if (report.controls[i].id == id) return &report.controls[i];
    }
    return nullptr;
}

} // namespace driver
