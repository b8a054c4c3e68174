#include "Session.h"

namespace driver {

Session::Session(Check& check, const Options& options) : check_(check), program_(options.program) {
    if (!program_.Started()) {
        check_.Fail(program_.StartError());
        return;
    }
    main_ = program_.WaitMainWindow();
    if (main_ == nullptr) {
        check_.Fail(Cat(L"no visible window of class ", kMainClass, L" within ", kStartTimeoutMs, L" ms"));
    }
}

HWND Session::Control(int id) {
    HWND hwnd = main_ ? FindControl(main_, id) : nullptr;
    if (hwnd == nullptr) check_.Fail(Cat(L"no control ", ControlName(id), L" in the main window"));
    return hwnd;
}

std::wstring Session::FocusName() const {
    HWND focus = Focus();
    if (focus == nullptr) return L"nothing";
    if (focus == main_) return L"the main window itself";
    if (!IsChild(main_, focus)) return Cat(L"a window of class ", ClassOf(focus), L" outside the main window");
    return ControlName(GetDlgCtrlID(focus));
}

bool Session::Front() {
    if (!Ok()) return false;
    return check_.Expect(BringToFront(main_), L"the main window did not become the foreground window");
}

bool Session::WaitFocus(int id, DWORD timeoutMs) {
    HWND target = main_ ? FindControl(main_, id) : nullptr;
    return target != nullptr && WaitUntil(timeoutMs, [&] { return Focus() == target; });
}

bool Session::TabTo(int id) {
    HWND target = Control(id);
    if (target == nullptr) return false;
    for (int presses = 0; presses <= kTabStops; ++presses) {
        if (Focus() == target) return true;
        HWND before = Focus();
        PressKey(VK_TAB);
        if (!WaitUntil(kStepTimeoutMs, [&] { return Focus() != before; })) break;
    }
    check_.Fail(Cat(L"could not reach ", ControlName(id), L" with Tab; the focus is on ", FocusName()));
    return false;
}

bool Session::Sync() const {
    DWORD_PTR result = 0;
    return main_ != nullptr && SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &result) != 0;
}

} // namespace driver
