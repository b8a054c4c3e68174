#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string>

#include "Codepage_win.h"
#include "Dialogs.h"
#include "LiveWindows_win.h"
#include "SystemLibrary_win.h"

namespace {

const char kDefaultMessageCaption[] = "\xD0\xC5\xCF\xA2\xA3\xBA";  // 信息：

int32_t MapMessageResult(int answer) {
    switch (answer) {
    case IDOK: return kMessageOk;
    case IDCANCEL: return kMessageCancel;
    case IDABORT: return kMessageAbort;
    case IDRETRY: return kMessageRetry;
    case IDIGNORE: return kMessageIgnore;
    case IDYES: return kMessageYes;
    case IDNO: return kMessageNo;
    default: return kMessageOk;
    }
}

int32_t ShowMessageTo(HWND owner, const Text& text, int32_t flags, const char* caption) {
    UINT style = static_cast<UINT>(flags);
    if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
    const HWND active = GetActiveWindow();
    const int answer = MessageBoxW(owner, WideText(text).c_str(), WideText(caption).c_str(), style);
    // A box without an owner leaves no window active when it closes on some systems; give the
    // activation back to the window that had it, so the keyboard keeps working there.
    if (active && IsWindow(active) && !GetActiveWindow()) SetActiveWindow(active);
    return MapMessageResult(answer);
}

// Filter text "desc|pattern|desc|pattern" to the NUL-separated list the dialog wants. Done on
// UTF-16, since a "|" byte can be the second byte of a double-byte character.
std::wstring DialogFilter(const char* filter) {
    std::wstring f = WideFromText(filter);
    while (!f.empty() &&
           (f.back() == L' ' || f.back() == L'\t' || f.back() == L'\r' || f.back() == L'\n'))
        f.pop_back();
    if (f.empty()) return f;
    if (f.size() < 2 || f.compare(f.size() - 2, 2, L"||") != 0) f += L"||";
    for (wchar_t& ch : f)
        if (ch == L'|') ch = L'\0';
    return f;
}

}  // namespace

int32_t ShowMessage(const Text& text, int32_t flags) {
    return ShowMessageTo(nullptr, text, flags, kDefaultMessageCaption);
}

int32_t ShowMessage(const Text& text, int32_t flags, const Text& title) {
    return ShowMessageTo(nullptr, text, flags, title.c_str());
}

int32_t ShowMessage(const Text& text, int32_t flags, const Text& title,
                    const WindowDescription& owner) {
    LiveWindow* w = FindLiveWindow(owner);
    return ShowMessageTo(w ? w->hwnd : nullptr, text, flags, title.c_str());
}

int32_t ShowMessage(const Text& text, int32_t flags, const Text& title, intptr_t ownerHandle) {
    return ShowMessageTo(reinterpret_cast<HWND>(ownerHandle), text, flags, title.c_str());
}

bool RunOpenDialog(const WindowDescription& window, const char* control) {
    // The dialog reads and writes the control's file name: a property access like any other.
    LiveControl* c = &ControlForWrite(window, control);
    if (!c->dialog) return false;
    const CommonDlgSettings& settings = c->desc->dialog;

    DWORD flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
    if (settings.promptCreate == 1) flags |= OFN_CREATEPROMPT;
    if (settings.fileMustExist == 1) flags |= OFN_FILEMUSTEXIST;
    if (settings.promptOverwrite == 1) flags |= OFN_OVERWRITEPROMPT;
    if (settings.pathMustExist == 1) flags |= OFN_PATHMUSTEXIST;
    if (settings.keepCurrentDir == 1) flags |= OFN_NOCHANGEDIR;

    const std::wstring filter = DialogFilter(settings.filter);
    const std::wstring title = WideFromText(settings.title);
    const std::wstring initialDir = WideFromText(settings.initialDir);
    const std::wstring defaultExt = WideFromText(settings.defaultExt);

    wchar_t file[MAX_PATH] = {};
    const std::wstring& current = c->dialog->exactPath;
    current.copy(file, MAX_PATH - 1);

    // The owner is the program's most recently active window; the dialog disables it while up.
    HWND owner = GetActiveWindow();
    LiveWindow* w = FindLiveWindow(window);
    if (!owner && w) owner = w->hwnd;
    const HWND focus = GetFocus();

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex =
        filter.empty() ? 0 : static_cast<DWORD>(std::max(settings.filterIndex, 0) + 1);
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = flags;
    // Without the library there is no dialog, as when the user cancels it.
    const auto getOpenFileName =
        SystemFunction<BOOL(WINAPI*)(OPENFILENAMEW*)>(L"comdlg32.dll", "GetOpenFileNameW");
    const BOOL chosen = getOpenFileName ? getOpenFileName(&ofn) : FALSE;

    if (owner) EnableWindow(owner, TRUE);
    if (focus && IsWindow(focus)) SetFocus(focus);
    if (!chosen) return false;
    RememberChosenFile(*c->dialog, file);
    return true;
}
