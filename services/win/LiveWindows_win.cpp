#include "LiveWindows_win.h"

#include <cstring>

#include "Codepage_win.h"
#include "EditBox_win.h"
#include "Fatal_win.h"
#include "Memory.h"
#include "LiveWindows.h"

namespace {

// Fatal messages of property access, code page 936.
const char kWindowNotLoaded[] =
    "\xCE\xB4\xD4\xD8\xC8\xEB\xD3\xFB\xB7\xC3\xCE\xCA\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE\xCB\xF9\xD4\xDA"
    "\xB5\xC4\xB4\xB0\xBF\xDA";  // 未载入欲访问窗口组件所在的窗口
const char kReadAfterGone[] =
    "\xB6\xC1\xC8\xA1\xD7\xE9\xBC\xFE\xCA\xF4\xD0\xD4\xCA\xB1\xB7\xA2\xCF\xD6\xD6\xB8\xB6\xA8\xB4\xB0"
    "\xBF\xDA\xC9\xD0\xCE\xB4\xD4\xD8\xC8\xEB";  // 读取组件属性时发现指定窗口尚未载入
const char kWriteAfterGone[] =
    "\xD0\xDE\xB8\xC4\xD7\xE9\xBC\xFE\xCA\xF4\xD0\xD4\xCA\xB1\xB7\xA2\xCF\xD6\xD6\xB8\xB6\xA8\xB4\xB0"
    "\xBF\xDA\xC9\xD0\xCE\xB4\xD4\xD8\xC8\xEB";  // 修改组件属性时发现指定窗口尚未载入
const char kNoSuchControl[] =
    "\xD6\xB8\xB6\xA8\xB4\xB0\xBF\xDA\xBB\xF2\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE\xB2\xBB\xB4\xE6\xD4\xDA"
    "\xBB\xF2\xC9\xD0\xCE\xB4\xD4\xD8\xC8\xEB";  // 指定窗口或窗口组件不存在或尚未载入

bool g_handlerRunning = false;

// A tag copied without reporting: the report must not start another one when memory is gone.
// Without memory the tag stays empty, and the report's text, which needs more, falls back to
// the message alone anyway.
Text TagCopy(const char* tag) {
    const size_t length = tag ? std::strlen(tag) : 0;
    if (length == 0) return Text();
    auto* buffer = static_cast<char*>(TryAllocServiceBuffer(static_cast<int64_t>(length) + 1));
    if (!buffer) return Text();
    std::memcpy(buffer, tag, length + 1);
    return Text::Adopt(buffer);
}

class LoadedWindowLookup final : public ErrorLocationLookup {
public:
    bool FindWindowTag(int32_t windowNumber, Text* tag) const override {
        const WindowDescription* w = Find(windowNumber);
        if (!w) return false;
        *tag = TagCopy(w->tag);
        return true;
    }
    bool FindElementTag(int32_t windowNumber, int32_t elementNumber, Text* tag) const override {
        const WindowDescription* w = Find(windowNumber);
        if (!w) return false;
        if (elementNumber == 0) {
            *tag = TagCopy(w->tag);
            return true;
        }
        for (int32_t i = 0; i < w->controlCount; ++i) {
            if (w->controls[i].number != elementNumber) continue;
            *tag = TagCopy(w->controls[i].tag);
            return true;
        }
        return false;
    }

private:
    static const WindowDescription* Find(int32_t number) {
        for (const LoadedWindow& w : LoadedWindows())
            if (w.desc && w.desc->number == number) return w.desc;
        return nullptr;
    }
};

LiveControl* FindControl(LiveWindow& w, const char* name) {
    if (!name) return nullptr;
    for (LiveControl& c : w.controls)
        if (std::strcmp(c.desc->name, name) == 0) return &c;
    return nullptr;
}

LoadedWindow* FindLoaded(const WindowDescription& desc) {
    for (LoadedWindow& loaded : LoadedWindows())
        if (loaded.desc == &desc) return &loaded;
    return nullptr;
}

int32_t ControlNumberFor(const WindowDescription& window, const char* name) {
    for (int32_t i = 0; i < window.controlCount; ++i)
        if (name && std::strcmp(window.controls[i].name, name) == 0)
            return window.controls[i].number;
    return 0;
}

enum class Access { Read, Write, Append };

// Finds a control for a property access; every failure is fatal, located at the window and
// the control concerned.
LiveControl& ControlFor(const WindowDescription& window, const char* name, Access access) {
    LoadedWindow* loaded = FindLoaded(window);
    const ErrorLocation where{window.number, ControlNumberFor(window, name)};
    if (!loaded || !loaded->live) {
        ReportFatalError(access == Access::Append ? kNoSuchControl : kWindowNotLoaded, 0, where);
    }
    LiveControl* c = FindControl(*loaded->live, name);
    if (!c) ReportFatalError(kNoSuchControl, 0, where);
    if (c->desc->kind != ControlKind::CommonDlg && (!c->hwnd || !IsWindow(c->hwnd))) {
        if (access == Access::Append) ReportFatalError(kNoSuchControl, 0, where);
        ReportFatalError(access == Access::Read ? kReadAfterGone : kWriteAfterGone, 0, where);
    }
    return *c;
}

}  // namespace

void RememberChosenFile(FileDialogState& state, const std::wstring& path) {
    state.exactPath = path;
    state.fileName = TextFromWide(state.exactPath);
}

std::vector<LoadedWindow>& LoadedWindows() {
    static std::vector<LoadedWindow> windows;
    return windows;
}

const ErrorLocationLookup& LoadedWindowTags() {
    static const LoadedWindowLookup lookup;
    return lookup;
}

LiveWindow* FindLiveWindow(const WindowDescription& desc) {
    LoadedWindow* loaded = FindLoaded(desc);
    return loaded ? loaded->live.get() : nullptr;
}

LiveWindow* WindowFromHwnd(HWND hwnd) {
    return reinterpret_cast<LiveWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LiveWindow* ProgramWindowContaining(HWND hwnd) {
    if (!hwnd) return nullptr;
    const HWND root = GetAncestor(hwnd, GA_ROOT);
    for (LoadedWindow& loaded : LoadedWindows())
        if (loaded.live && loaded.live->hwnd == root) return loaded.live.get();
    return nullptr;
}

LiveControl* ControlFromHwnd(LiveWindow& w, HWND hwnd) {
    if (!hwnd) return nullptr;
    for (LiveControl& c : w.controls)
        if (c.hwnd == hwnd) return &c;
    return nullptr;
}

bool AnyProgramWindowAlive() {
    for (const LoadedWindow& w : LoadedWindows())
        if (w.live && w.live->hwnd && IsWindow(w.live->hwnd)) return true;
    return false;
}

bool EventsBlocked(const LiveWindow& w) {
    return w.suppressEvents > 0 || FatalReportBegun();
}

bool WindowTakesEvents(const LiveWindow& w) {
    return IsWindowEnabled(w.hwnd) && !EventsBlocked(w) && !HandlerRunning();
}

bool HandlerRunning() {
    return g_handlerRunning;
}

void RunHandler(void (*handler)()) {
    if (HandlerRunning()) return;
    g_handlerRunning = true;
    handler();
    g_handlerRunning = false;
    // Posted, not sent: the close then runs from the event loop, after the callers of the
    // handler have unwound, so none of them outlives its window.
    for (LoadedWindow& loaded : LoadedWindows()) {
        if (!loaded.live || !loaded.live->closeHeld) continue;
        loaded.live->closeHeld = false;
        PostMessageW(loaded.live->hwnd, WM_CLOSE, 0, 0);
    }
}

bool WindowTakesFileDrop(HWND window) {
    LiveWindow* w = ProgramWindowContaining(window);
    return w && w->desc->dropFileDialog && WindowTakesEvents(*w);
}

bool DeliverFileDrop(HWND window, const std::wstring& path) {
    LiveWindow* w = ProgramWindowContaining(window);
    if (!w || !WindowTakesFileDrop(window)) return false;
    LiveControl* dialog = FindControl(*w, w->desc->dropFileDialog);
    if (!dialog || !dialog->dialog) return false;
    RememberChosenFile(*dialog->dialog, path);
    if (w->desc->onFileDrop) RunHandler(w->desc->onFileDrop);
    return true;
}

LiveControl& ControlForWrite(const WindowDescription& window, const char* control) {
    return ControlFor(window, control, Access::Write);
}

Text GetText(const WindowDescription& window, const char* control) {
    LiveControl& c = ControlFor(window, control, Access::Read);
    if (!c.hwnd) return Text();
    return TextFromWide(WideText::OfWindow(c.hwnd));
}

void SetText(const WindowDescription& window, const char* control, const Text& text) {
    LiveControl& c = ControlFor(window, control, Access::Write);
    if (!c.hwnd) return;
    SetWindowTextW(c.hwnd, WideText(text).c_str());
}

void AppendText(const WindowDescription& window, const char* control, const Text& text) {
    LiveControl& c = ControlFor(window, control, Access::Append);
    if (!c.hwnd) return;
    const LRESULT length = editbox::Length(c.hwnd);
    editbox::Select(c.hwnd, length, length);
    editbox::ScrollCaretIntoView(c.hwnd);
    const WideText wide(text);
    if (!wide.empty()) editbox::ReplaceSelection(c.hwnd, wide.c_str());
}

Text GetFileName(const WindowDescription& window, const char* control) {
    LiveControl& c = ControlFor(window, control, Access::Read);
    return c.dialog ? c.dialog->fileName : Text();
}
