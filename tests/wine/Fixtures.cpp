#include "Fixtures.h"

#include "Orvessa.h"

#include <tlhelp32.h>

#include <climits>
#include <cwctype>

namespace driver {

// --- Files and folders -----------------------------------------------------------------

namespace {

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

} // namespace

TempFolder::TempFolder(const std::wstring& parent) {
    std::wstring base = parent;
    if (base.empty()) {
        wchar_t temp[MAX_PATH];
        const DWORD n = GetTempPathW(MAX_PATH, temp);
        if (n == 0 || n >= MAX_PATH) return;
        base.assign(temp, n);
    }
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate =
            Cat(base, L"\\orvessa-", GetCurrentProcessId(), L"-", GetTickCount(), L"-", ++serial);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (!path_.empty()) RemoveTree(path_);
}

int ThreadsOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == pid;
    }
    CloseHandle(snapshot);
    return count;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        bytes.empty() ||
        (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    CloseHandle(file);
    return ok;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    return WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
}

bool ReadFileText(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return true;
}

bool SetFileLength(const std::wstring& path, long long size) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string UnixPathOf(const std::wstring& path) {
    // Wine's own export; absent on Windows, where the tests that need it cannot run anyway.
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) return {};
    char* unix = toUnix(path.c_str());
    if (unix == nullptr) return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// --- Boxes and dialogs -----------------------------------------------------------------

namespace {

bool HasArea(HWND hwnd) {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    return rect.right > rect.left && rect.bottom > rect.top;
}

} // namespace

BoxView ReadBox(HWND box) {
    BoxView view;
    view.caption = TextOf(box);
    HWND textControl = nullptr;
    for (HWND child : ChildrenOf(box)) {
        if (!IsWindowVisible(child)) continue;
        const std::wstring cls = ClassOf(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (cls == L"Button") {
            const LONG type = style & BS_TYPEMASK;
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) view.buttons.push_back(child);
        } else if (cls == L"Static") {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                if (HasArea(child) && Ask(child, STM_GETICON) != 0) view.icon = child;
            } else if (textControl == nullptr || GetDlgCtrlID(child) == 0xFFFF) {
                // The system's message boxes give the message control the ID 0xFFFF.
                textControl = child;
            }
        }
    }
    if (textControl != nullptr) view.text = TextOf(textControl);
    return view;
}

HWND WaitDialogOf(DWORD pid, const wchar_t* caption, DWORD timeoutMs) {
    return WaitWindowOf(pid, L"#32770", caption, timeoutMs);
}

HWND WaitOtherDialogOf(DWORD pid, HWND except, DWORD timeoutMs) {
    return WaitWindowOf(pid, L"#32770", nullptr, timeoutMs, except);
}

void PressDialogButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

double IconLikeness(HWND iconControl, const wchar_t* systemIcon) {
    const RECT client = ClientOnScreen(iconControl);
    const int width = client.right - client.left, height = client.bottom - client.top;
    const HICON icon = LoadIconW(nullptr, systemIcon);
    if (width <= 0 || height <= 0 || icon == nullptr) return 0;
    const ScreenCopy shot(client);
    // The icon's corners are transparent: they show the control's background.
    const COLORREF background = shot.At(client.left, client.top);

    BITMAPINFO info = TopDownBgraHeader(width, height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr) {
        DeleteDC(memory);
        return 0;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const auto* drawn = static_cast<const DWORD*>(bits);
    int same = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const DWORD bgrx = drawn[y * width + x];
            const COLORREF want = RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
            const COLORREF got = shot.At(client.left + x, client.top + y);
            const int d = abs(GetRValue(want) - GetRValue(got)) + abs(GetGValue(want) - GetGValue(got)) +
                          abs(GetBValue(want) - GetBValue(got));
            same += d <= 24;
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return static_cast<double>(same) / (width * height);
}

bool FindCloseButton(HWND window, POINT& point) {
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT button{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (int y = outer.top; y < outer.top + 40; ++y) {
        for (int x = outer.right - 80; x < outer.right; ++x) {
            if (Ask(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) != HTCLOSE) continue;
            button.left = x < button.left ? x : button.left;
            button.top = y < button.top ? y : button.top;
            button.right = x > button.right ? x : button.right;
            button.bottom = y > button.bottom ? y : button.bottom;
        }
    }
    if (button.left > button.right) return false;
    point = POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    return true;
}

void FirmClick(HWND target, POINT point) {
    MouseAt(point, 0);
    MouseAt(point, MOUSEEVENTF_LEFTDOWN);
    WaitUntil(kStepTimeoutMs, [&] { return InputStateOf(target).hwndCapture != nullptr; });
    MouseAt(point, MOUSEEVENTF_LEFTUP);
    WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(target) || InputStateOf(target).hwndCapture == nullptr; });
}

// --- Pixels ----------------------------------------------------------------------------

BITMAPINFO TopDownBgraHeader(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

ScreenCopy::ScreenCopy(const RECT& screen) : origin_{screen.left, screen.top} {
    width_ = screen.right - screen.left;
    height_ = screen.bottom - screen.top;
    if (width_ <= 0 || height_ <= 0) return;
    BITMAPINFO info = TopDownBgraHeader(width_, height_);
    HDC screenDc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screenDc);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width_, height_, screenDc, screen.left, screen.top, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        pixels_.assign(pixels, pixels + static_cast<size_t>(width_) * static_cast<size_t>(height_));
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screenDc);
}

COLORREF ScreenCopy::At(int x, int y) const {
    x -= origin_.x;
    y -= origin_.y;
    if (pixels_.empty() || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const DWORD bgrx = pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
    return RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
}

int ScreenCopy::CountNear(const RECT& inside, COLORREF colour, int tolerance) const {
    int matching = 0;
    for (int y = inside.top; y < inside.bottom; ++y) {
        for (int x = inside.left; x < inside.right; ++x) {
            const COLORREF c = At(x, y);
            if (c == CLR_INVALID) continue;
            matching += abs(GetRValue(c) - GetRValue(colour)) <= tolerance &&
                        abs(GetGValue(c) - GetGValue(colour)) <= tolerance &&
                        abs(GetBValue(c) - GetBValue(colour)) <= tolerance;
        }
    }
    return matching;
}

RECT ClientOnScreen(HWND hwnd) {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// --- Clock -----------------------------------------------------------------------------

long long UnixMillisNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100-ns ticks since 1601-01-01; 11,644,473,600 seconds lie between that and 1970.
    return static_cast<long long>(ticks / 10000ULL) - 11644473600000LL;
}

bool AllDigits(const std::wstring& text) {
    if (text.empty()) return false;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

std::wstring PackagingNumber(const std::wstring& text) {
    const std::wstring prefix = kPackagingPrefix, suffix = kPackagingSuffix;
    if (text.size() != prefix.size() + kOrderDigits + suffix.size()) return {};
    if (text.compare(0, prefix.size(), prefix) != 0) return {};
    if (text.compare(prefix.size() + kOrderDigits, std::wstring::npos, suffix) != 0) return {};
    const std::wstring number = text.substr(prefix.size(), kOrderDigits);
    return AllDigits(number) ? number : std::wstring();
}

// --- Processes -----------------------------------------------------------------------

bool ProcessRunning(const wchar_t* exeName) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry)) {
        found = lstrcmpiW(entry.szExeFile, exeName) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

// --- Browser setting -------------------------------------------------------------------

namespace {

constexpr const wchar_t* kBrowserKey = L"Software\\Wine\\WineBrowser";
constexpr const wchar_t* kBrowserValue = L"Browsers";

} // namespace

BrowserSetting::BrowserSetting(const std::wstring& command) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, kBrowserValue, nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS) {
        oldValue_.resize(size);
        hadValue_ = RegQueryValueExW(key, kBrowserValue, nullptr, &oldType_, oldValue_.data(), &size) == ERROR_SUCCESS;
        oldValue_.resize(size);
    }
    const DWORD bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    ok_ = RegSetValueExW(key, kBrowserValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), bytes) ==
          ERROR_SUCCESS;
    RegCloseKey(key);
}

BrowserSetting::~BrowserSetting() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBrowserKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (hadValue_) {
        RegSetValueExW(key, kBrowserValue, 0, oldType_, oldValue_.data(), static_cast<DWORD>(oldValue_.size()));
    } else {
        RegDeleteValueW(key, kBrowserValue);
    }
    RegCloseKey(key);
}

// --- The probe -----------------------------------------------------------------------

ProbeRun::ProbeRun(Check& check, const Options& options, const std::vector<std::wstring>& args, ProbeStart start)
    : check_(check) {
    if (!check_.Expect(!options.probe.empty(), L"the run did not say where the probe is (--probe)")) return;
    if (!check_.Expect(folder_.Ok(), L"cannot create a folder for the probe")) return;
    const std::wstring library = FolderOf(options.probe) + L"\\OrvessaProbeLib.dll";
    const std::wstring program = folder_ / L"OrvessaProbe.exe";
    bool copied = CopyFileW(options.probe.c_str(), program.c_str(), TRUE) &&
                  CopyFileW(library.c_str(), (folder_ / L"OrvessaProbeLib.dll").c_str(), TRUE);
    if (start == ProbeStart::PlantKernel32)
        copied = copied && CopyFileW(library.c_str(), (folder_ / L"kernel32.dll").c_str(), TRUE);
    if (!check_.Expect(copied, Cat(L"cannot copy the probe from ", options.probe, L": error ", GetLastError()))) return;
    process_ = std::make_unique<Program>(program, args, folder_.Path());
    if (!process_->Started()) {
        check_.Fail(process_->StartError());
        return;
    }
    if (start == ProbeStart::ReportAtStart) return;
    main_ = WaitWindowOf(process_->Pid(), kMainClass, nullptr, kStartTimeoutMs);
    if (main_ == nullptr) {
        std::wstring shown;
        for (HWND hwnd : TopLevelWindowsOf(process_->Pid()))
            shown += L" " + ClassOf(hwnd) + L" " + Quoted(TextOf(hwnd));
        check_.Fail(Cat(L"the probe showed no window; ", process_->Running() ? L"it runs" : L"it has ended",
                        L", with these windows:", shown));
        for (HWND hwnd : TopLevelWindowsOf(process_->Pid())) check_.Note(DescribeChildren(hwnd));
    }
}

HWND ProbeRun::Control(int id) {
    HWND hwnd = main_ ? FindControl(main_, id) : nullptr;
    if (hwnd == nullptr) check_.Fail(Cat(L"the probe has no control ", id));
    return hwnd;
}

void ProbeRun::PostFault() {
    if (HWND fault = Control(kProbeFault)) PostMessageW(fault, BM_CLICK, 0, 0);
}

std::wstring ProbeRun::WaitResult() {
    HWND result = Control(kProbeResult);
    if (result == nullptr) return {};
    WaitUntil(kStepTimeoutMs, [&] { return !TextOf(result).empty(); });
    return TextOf(result);
}

// --- Diagnostics -----------------------------------------------------------------------

std::wstring DescribeChildren(HWND parent) {
    std::wstring out;
    for (HWND child : ChildrenOf(parent)) {
        wchar_t line[96];
        wsprintfW(line, L"\n  id 0x%04X style 0x%08lX %s ", GetDlgCtrlID(child),
                  static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE)),
                  IsWindowVisible(child) ? L"shown" : L"hidden");
        out += line + ClassOf(child) + L" " + Quoted(TextOf(child));
    }
    return out;
}

} // namespace driver
