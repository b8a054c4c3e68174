// Keyboard handling of the main window, driven with real key strokes: the first focus,
// the Tab cycle both ways, the focus coming back after the window was deactivated, and
// what Enter and Space do where, and typing that wraps and scrolls the multi-line boxes.
#include "Tests.h"

#include "Session.h"

namespace driver {

namespace {

// Any visible top-level window of the program besides its main window is a message box or a
// file dialog that a click would have opened.
void CheckNoExtraWindows(Check& check, Session& session, const std::wstring& after) {
    for (HWND hwnd : TopLevelWindowsOf(session.Process().Pid())) {
        if (hwnd == session.Main()) continue;
        check.Fail(
            Cat(after, L": a window of class ", ClassOf(hwnd), L" captioned ", Quoted(TextOf(hwnd)), L" appeared"));
    }
}

// Twelve presses visit every stop once and end where they began; the thirteenth shows the
// wrap is not a one-off. `at` is the stop the focus is on, before and after.
bool TabCycle(Check& check, Session& session, bool backward, int& at) {
    for (int press = 1; press <= kTabStops + 1; ++press) {
        const int next = backward ? (at + kTabStops - 1) % kTabStops : (at + 1) % kTabStops;
        PressKey(VK_TAB, backward ? kShift : kNoModifier);
        if (!session.WaitFocus(kTabCycle[next])) {
            check.Fail(Cat(backward ? L"Shift+Tab" : L"Tab", L" #", press, L" from ", ControlName(kTabCycle[at]),
                           L": wanted the focus on ", ControlName(kTabCycle[next]), L", got ", session.FocusName()));
            return false;
        }
        at = next;
    }
    CheckNoExtraWindows(check, session, backward ? L"after the Shift+Tab cycle" : L"after the Tab cycle");
    return true;
}

} // namespace

// The window takes the foreground and the focus by itself at start; Tab and Shift+Tab then
// go round the stops.
void InitialFocusAndTabCycle(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok()) return;
    // No help from the driver here: showing the window must activate it by itself.
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return GetForegroundWindow() == session.Main(); }),
                 L"the main window is not the foreground window after start");
    HWND edit1 = session.Control(kEdit1);
    if (!check.Expect(session.WaitFocus(kEdit1), L"at start the focus is on " + session.FocusName())) return;
    check.Expect(InputStateOf(session.Main()).hwndActive == session.Main(),
                 L"the main window is not the active window");
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return InputStateOf(session.Main()).hwndCaret == edit1; }),
                 L"the caret is not in " + ControlName(kEdit1));
    int at = 0;
    if (session.Front() && TabCycle(check, session, false, at)) TabCycle(check, session, true, at);
}

// Deactivating and reactivating the window puts the focus back where it was, in the main
// window and inside the group boxes alike.
void FocusReturnsAfterDeactivation(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    DriverWindow other;
    const int rows[] = {kEdit4, kButton4, kEdit6, kEdit1};
    for (const int id : rows) {
        const std::wstring name = ControlName(id);
        if (!session.Front() || !session.TabTo(id)) return;
        if (!check.Expect(BringToFront(other.Handle()), L"the driver's window did not take the foreground")) return;
        check.Expect(WaitUntil(kStepTimeoutMs, [&] { return InputStateOf(session.Main()).hwndActive == nullptr; }),
                     L"the main window stayed active after " + name + L" lost the activation");
        if (!session.Front()) return;
        if (!session.WaitFocus(id)) {
            check.Fail(Cat(L"reactivated with the focus last in ", name, L": wanted the focus back there, got ",
                           session.FocusName()));
        }
    }
}

// Enter in a single-line box or on a button clicks nothing and moves nothing. Each Enter
// is followed by a Tab: keys are handled in order, so once the Tab has moved the focus
// one stop on, the Enter before it has been handled completely; a message box or dialog
// opened by a click would have taken that Tab instead.
void EnterClicksNothing(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    if (!check.Expect(session.WaitFocus(kEdit1), L"at start the focus is on " + session.FocusName())) return;
    HWND echo = session.Control(kEdit6);
    const std::wstring echoBefore = TextOf(echo);

    for (int at = 0; at < kTabStops; ++at) {
        const int id = kTabCycle[at];
        const int next = kTabCycle[(at + 1) % kTabStops];
        HWND hwnd = session.Control(id);
        if (hwnd == nullptr) return;
        const bool multiLine = (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0 && ClassOf(hwnd) == L"Edit";
        const std::wstring before = TextOf(hwnd);
        if (!multiLine) PressKey(VK_RETURN);
        PressKey(VK_TAB);
        if (!session.WaitFocus(next)) {
            check.Fail(Cat(L"Enter then Tab on ", ControlName(id), L": wanted the focus on ", ControlName(next),
                           L", got ", session.FocusName()));
            CheckNoExtraWindows(check, session, L"after Enter on " + ControlName(id));
            return;
        }
        if (multiLine) continue;
        check.ExpectEq(L"text of " + ControlName(id) + L" after Enter", before, TextOf(hwnd));
        CheckNoExtraWindows(check, session, L"after Enter on " + ControlName(id));
    }
    check.ExpectEq(L"echo box after Enter everywhere", echoBefore, TextOf(echo));
    check.Expect(session.Process().Running(), L"the program ended");
}

// In the two multi-line boxes Enter is a line break, not a key for the window. Typing past
// a box's right edge wraps onto a new line, and typing past its bottom scrolls the text up.
void TypingWrapsAndScrolls(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    const int boxes[] = {kEdit5, kEdit6};
    for (const int id : boxes) {
        HWND hwnd = session.Control(id);
        if (hwnd == nullptr || !session.TabTo(id)) return;
        const std::wstring name = ControlName(id);
        // Far wider than the box, words the wrapping may break between.
        std::wstring longLine;
        for (int i = 0; i < 12; ++i) longLine += L"wrap word ";
        TypeKeys(longLine);
        if (!WaitUntil(kStepTimeoutMs, [&] { return TextOf(hwnd) == longLine; })) {
            check.ExpectEq(name + L" text after typing one long line", longLine, TextOf(hwnd));
            return;
        }
        check.Expect(Ask(hwnd, EM_GETLINECOUNT) >= 2, Cat(name, L": one long line typed shows as ",
                                                          Ask(hwnd, EM_GETLINECOUNT), L" line(s), not wrapped"));
        check.ExpectEq(name + L" first visible line before the box is full", 0, Ask(hwnd, EM_GETFIRSTVISIBLELINE));

        std::wstring typed = longLine;
        for (int i = 0; i < 25; ++i) {
            PressKey(VK_RETURN);
            TypeKeys(L"x");
            typed += L"\r\nx";
        }
        // Until the last "x" has arrived the last line is empty, and its start is the end of
        // the text, which has no position: wait for everything typed, not for the line count.
        if (!WaitUntil(kStepTimeoutMs, [&] { return TextOf(hwnd) == typed; })) {
            check.ExpectEq(name + L" text after 25 more lines", typed, TextOf(hwnd));
            return;
        }
        check.Expect(session.Focus() == hwnd, L"after Enter the focus moved to " + session.FocusName());
        CheckNoExtraWindows(check, session, L"after Enter in " + name);
        const LRESULT top = Ask(hwnd, EM_GETFIRSTVISIBLELINE);
        check.Expect(top > 0, Cat(name, L": after 25 more lines the first visible line is still ", top));
        // The caret's line, the last one, is in view.
        RECT client{};
        GetClientRect(hwnd, &client);
        const LRESULT lastStart = Ask(hwnd, EM_LINEINDEX, static_cast<WPARAM>(Ask(hwnd, EM_GETLINECOUNT) - 1));
        const LRESULT where = Ask(hwnd, EM_POSFROMCHAR, static_cast<WPARAM>(lastStart));
        const int y = static_cast<short>(HIWORD(where));
        check.Expect(where != -1 && y >= 0 && y < client.bottom,
                     Cat(name, L": the last line is not in view (y = ", y, L", box height ", client.bottom, L")"));
    }
}

// Space on a focused button clicks it. 开始打包 and 查询 answer with a message box; the
// echo box gets its line before the box shows.
void SpaceClicksButton(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    HWND echo = session.Control(kEdit6);
    const int buttons[] = {kButton3, kButton4};
    for (const int id : buttons) {
        if (echo == nullptr || !session.TabTo(id)) return;
        const std::wstring echoBefore = TextOf(echo);
        PressKey(VK_SPACE);
        HWND box = WaitWindowOf(session.Process().Pid(), L"#32770", kMessageCaption, kStepTimeoutMs);
        if (!check.Expect(box != nullptr, L"Space on " + ControlName(id) + L" showed no message box")) return;
        const std::wstring echoAfter = TextOf(echo);
        check.Expect(echoAfter.size() > echoBefore.size() && echoAfter.compare(0, echoBefore.size(), echoBefore) == 0,
                     Cat(L"echo box after Space on ", ControlName(id), L": wanted a line added to ", Quoted(echoBefore),
                         L", got ", Quoted(echoAfter)));
        // The box is modal and in front; Enter is its OK.
        if (!check.Expect(BringToFront(box), L"the message box did not take the foreground")) return;
        PressKey(VK_RETURN);
        check.Expect(WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(box); }), L"the message box did not close");
    }
}

} // namespace driver
