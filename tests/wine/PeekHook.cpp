// The peek hook: a library the driver hooks into the program's GUI thread, so that the
// driver can read what only the program's process can, and send it a DPI change with a
// rectangle in its own memory. See Peek.h.
#include "Peek.h"

#include <psapi.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

#include <cwchar>

namespace {

SIZE IconSize(HICON icon) {
    SIZE size{0, 0};
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return size;
    BITMAP bitmap{};
    if (info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
        size = SIZE{bitmap.bmWidth, bitmap.bmHeight};
    } else if (info.hbmMask != nullptr && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
        size = SIZE{bitmap.bmWidth, bitmap.bmHeight / 2}; // mask and image stacked
    }
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    return size;
}

HICON WindowIcon(HWND hwnd, WPARAM which, int classIndex) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, which, 0));
    return icon != nullptr ? icon : reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, classIndex));
}

// Where the text's pixels end when drawn at (0, 0): a full-width colon, for one, leaves the
// right half of its advance blank.
SIZE InkOf(HDC reference, const wchar_t* text, int length, SIZE extent) {
    SIZE ink{0, 0};
    if (extent.cx <= 0 || extent.cy <= 0) return ink;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, extent.cx, -extent.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(reference);
    if (bitmap == nullptr || dc == nullptr) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        if (dc != nullptr) DeleteDC(dc);
        return extent;
    }
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = SelectObject(dc, GetCurrentObject(reference, OBJ_FONT));
    RECT all{0, 0, extent.cx, extent.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutW(dc, 0, 0, text, length);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int y = 0; y < extent.cy; ++y) {
        for (int x = 0; x < extent.cx; ++x) {
            if ((pixels[y * extent.cx + x] & 0xFFFFFF) == 0xFFFFFF) continue;
            ink.cx = x + 1 > ink.cx ? x + 1 : ink.cx;
            ink.cy = y + 1;
        }
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return ink;
}

void ReadControl(HWND hwnd, peek::Control& out) {
    out.id = GetDlgCtrlID(hwnd);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    out.hasFont = font != nullptr;
    LOGFONTW face{};
    if (font != nullptr) GetObjectW(font, sizeof face, &face);
    out.fontHeight = face.lfHeight;
    std::wcsncpy(out.face, face.lfFaceName, LF_FACESIZE - 1);
    wchar_t text[256] = {};
    const int length = GetWindowTextW(hwnd, text, 256);
    HDC dc = GetDC(hwnd);
    const HGDIOBJ old = SelectObject(dc, font != nullptr ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    out.lineHeight = metrics.tmHeight;
    GetTextExtentPoint32W(dc, text, length, &out.caption);
    out.ink = InkOf(dc, text, length, out.caption);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
}

struct Collect {
    peek::Report* report;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    peek::Report& report = *reinterpret_cast<Collect*>(param)->report;
    if (report.count < peek::kMaxControls) ReadControl(hwnd, report.controls[report.count++]);
    return TRUE;
}

void SendReport(HWND main, HWND to) {
    peek::Report report{};
    report.bigIcon = IconSize(WindowIcon(main, ICON_BIG, GCLP_HICON));
    report.smallIcon = IconSize(WindowIcon(main, ICON_SMALL, GCLP_HICONSM));
    Collect collect{&report};
    EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&collect));
    COPYDATASTRUCT data{peek::kReportTag, sizeof report, &report};
    SendMessageW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(main), reinterpret_cast<LPARAM>(&data));
}

// Wine's shared GDI handle table, which the process environment block points to: 65,536
// entries of 24 bytes, a live object's with a nonzero type byte.
struct WineGdiEntry {
    ULONGLONG object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONGLONG user;
};
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI handle entry is 24 bytes");
constexpr int kWineGdiEntries = 0x10000;

DWORD CountGdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return counted;
#if defined(__i386__) || defined(_M_IX86)
        // The process environment block (at fs:0x30) and its GdiSharedHandleTable, at 0x94 on 32
        // bits. GCC reads the segment in assembly: its __readfsdword trips its own bounds warning.
#if defined(_MSC_VER)
    const auto* peb = reinterpret_cast<const BYTE*>(__readfsdword(0x30));
#else
    const BYTE* peb = nullptr;
    __asm__("movl %%fs:0x30, %0" : "=r"(peb));
#endif
    const auto* table = *reinterpret_cast<const WineGdiEntry* const*>(peb + 0x94);
    if (table == nullptr) return 0;
    DWORD live = 0;
    for (int i = 0; i < kWineGdiEntries; ++i) live += table[i].type != 0;
    return live;
#else
    return 0;
#endif
}

// The type name of a kernel handle, through ntdll's object query (type information is
// class 2: a counted UTF-16 name first).
bool IsRegistryKey(HANDLE handle) {
    using QueryObject = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    struct TypeName {
        USHORT length;
        USHORT capacity;
        const wchar_t* text;
    };
    alignas(8) BYTE buffer[512] = {};
    ULONG got = 0;
    if (query == nullptr || query(handle, 2, buffer, sizeof buffer, &got) < 0) return false;
    const auto* name = reinterpret_cast<const TypeName*>(buffer);
    return name->text != nullptr && name->length == 6 && std::wcsncmp(name->text, L"Key", 3) == 0;
}

// Every open kernel handle, asked after one by one: Wine answers 0 to GetProcessHandleCount.
// Handle values are multiples of 4, and the lowest free ones are handed out first.
void CountKernelHandles(peek::Resources& resources) {
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        const auto handle = reinterpret_cast<HANDLE>(value);
        if (!GetHandleInformation(handle, &flags)) continue;
        ++resources.kernelHandles;
        resources.registryKeys += IsRegistryKey(handle);
    }
}

void SendResources(HWND main, HWND to) {
    peek::Resources resources{};
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    // Memory first: walking the handle table brings its pages into the working set.
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        resources.workingSet = memory.WorkingSetSize;
        resources.privateBytes = memory.PrivateUsage;
    }
    resources.gdiObjects = CountGdiObjects();
    CountKernelHandles(resources);
    COPYDATASTRUCT data{peek::kResourcesTag, sizeof resources, &resources};
    SendMessageW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(main), reinterpret_cast<LPARAM>(&data));
}

void ChangeDpi(HWND main, UINT dpi, LPARAM size) {
    RECT rect{};
    GetWindowRect(main, &rect);
    rect.right = rect.left + LOWORD(size);
    rect.bottom = rect.top + HIWORD(size);
    SendMessageW(main, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rect));
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK PeekHookProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT read = RegisterWindowMessageW(peek::kReadMessage);
    static const UINT dpi = RegisterWindowMessageW(peek::kDpiMessage);
    static const UINT resources = RegisterWindowMessageW(peek::kResourcesMessage);
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == read) SendReport(sent->hwnd, reinterpret_cast<HWND>(sent->wParam));
        if (sent->message == resources) SendResources(sent->hwnd, reinterpret_cast<HWND>(sent->wParam));
        if (sent->message == dpi) ChangeDpi(sent->hwnd, static_cast<UINT>(sent->wParam), sent->lParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
