// The program as a screen reader meets it, from this separate process: the name and role of
// every control through oleacc, the standard object's own answers kept beside them, the
// picture box's value as pictures come and go, and the WinEvent that says it changed, taken
// by an out-of-context hook. The focus is drawn on every control that takes it.
//
// The standard objects of Wine's oleacc call every window a plain client with no name but its
// window text: every role below, and the name of every edit box and of the picture box, is
// what the program says, not what the system says for it.
#include "Tests.h"

#include "Accessible.h"
#include "AccessibleRules.h"
#include "Fixtures.h"
#include "IconPicker.h"
#include "TestPictures.h"

namespace driver {

using namespace testpictures;

namespace {

// Value changes of the picture box, as an out-of-context hook hears them: posted to this
// thread and taken while it pumps its messages.
HWND g_watchedBox = nullptr;
int g_valueChanges = 0;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (event == EVENT_OBJECT_VALUECHANGE && hwnd == g_watchedBox && object == OBJID_CLIENT && child == CHILDID_SELF)
        ++g_valueChanges;
}

// The system's role of each AccessibleRole, in its order.
const long kRoles[] = {ROLE_SYSTEM_TEXT, ROLE_SYSTEM_STATICTEXT, ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_GROUPING,
                       ROLE_SYSTEM_GRAPHIC};

std::wstring RoleText(long role) {
    wchar_t text[64] = L"";
    GetRoleTextW(static_cast<DWORD>(role), text, 64);
    return Cat(role, L" (", text, L")");
}

// The name as a late-bound client reads it: the accName property through IDispatch::Invoke.
std::wstring NameByInvoke(IAccessible* object) {
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = object->Invoke(DISPID_ACC_NAME, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                      &result, nullptr, nullptr);
    const std::wstring name =
        SUCCEEDED(hr) && result.vt == VT_BSTR
            ? std::wstring(result.bstrVal, SysStringLen(result.bstrVal))
            : Cat(L"(failed 0x", std::hex, static_cast<unsigned long>(hr), L", type ", result.vt, L")");
    VariantClear(&result);
    return name;
}

} // namespace

void AccessibleNamesAndRoles(Check& check, const Options& options) {
    Session session(check, options);
    OleScope com;
    if (!session.Ok() || !check.Expect(com.ok, L"cannot initialise COM")) return;
    // Each control's name and role, as the description's rules give them.
    for (int32_t i = 0; i < MainWindowLayout.controlCount; ++i) {
        const AccessibleRole role = AccessibleRoleOf(MainWindowLayout.controls[i].kind);
        if (role == AccessibleRole::None) continue;
        const int id = ControlWindowId(i);
        const std::wstring who = ControlName(id);
        HWND hwnd = session.Control(id);
        if (hwnd == nullptr) continue;
        Accessible object = ObjectOf(hwnd);
        if (!check.Expect(object != nullptr, who + L": no accessible object")) continue;
        const std::wstring name = WideOf(AccessibleName(MainWindowLayout, i).c_str());
        check.ExpectEq(who + L": name", name, NameOf(object.get()));
        check.ExpectEq(who + L": name read late-bound", name, NameByInvoke(object.get()));
        check.ExpectEq(who + L": role", RoleText(kRoles[static_cast<int>(role)]), RoleText(RoleOf(object.get())));
    }

    // What stays the standard object's: the focus state and the location, on the first edit
    // box, which has the first focus.
    Accessible first = ObjectOf(session.Control(kEdit1));
    if (first) {
        check.Expect((StateOf(first.get()) & STATE_SYSTEM_FOCUSED) != 0,
                     Cat(ControlName(kEdit1), L": the standard object's state lost its focus bit: 0x", std::hex,
                         StateOf(first.get())));
        long x = 0, y = 0, w = 0, h = 0;
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        const HRESULT hr = first->accLocation(&x, &y, &w, &h, self);
        const RECT r = ClientOnScreen(session.Control(kEdit1));
        check.Expect(SUCCEEDED(hr) && w > 0 && h > 0 && x >= r.left - 2 && y >= r.top - 2,
                     Cat(ControlName(kEdit1), L": the standard object's location ", x, L",", y, L" ", w, L"x", h));
    }
}

// The picture box's value after each way its picture is set, and one value-change event per
// set, heard from outside the program.
void PictureValueAndEvents(Check& check, const Options& options) {
    Bench bench(check, options);
    Session& session = bench.session;
    IconPicker& picker = bench.picker;
    OleScope com;
    if (!bench.Ok() || !check.Expect(com.ok, L"cannot initialise COM")) return;
    const std::wstring none = L"\x65E0\x56FE\x7247"; // 无图片
    check.ExpectEq(L"at start", none, PictureValue(picker.Box()));

    g_watchedBox = picker.Box();
    g_valueChanges = 0;
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, OnWinEvent,
                                               session.Process().Pid(), 0, WINEVENT_OUTOFCONTEXT);
    if (!check.Expect(hook != nullptr, L"cannot hook the program's WinEvents")) return;

    const Bytes colours = RgbTable({kRed, kBlue});
    const Bytes animated =
        GifWriter(3, 2, colours).Frame(SolidFrame(3, 2, 0, 5)).Frame(SolidFrame(3, 2, 1, 5)).Trailer();
    const Bytes still = GifWriter(5, 4, colours).Frame(SolidFrame(5, 4, 1, 0)).Trailer();
    struct Row {
        const wchar_t* what;
        const wchar_t* file; // nullptr: the clear button
        Bytes bytes;
        std::wstring value;
    };
    const Row rows[] = {
        {L"a PNG", L"a.png", PngFile(Filled(4, 3, kRed), false), L"PNG 4 \x00D7 3"},
        {L"cleared", nullptr, {}, none},
        {L"an animated GIF", L"b.gif", animated, L"GIF \x52A8\x753B 3 \x00D7 2" /* GIF 动画 3 × 2 */},
        {L"a still GIF replaces it", L"c.gif", still, L"GIF 5 \x00D7 4"},
        {L"a 16-colour icon", L"d.ico", IconFile(1, {IconImage{Filled(32, 32, kBlue), 4, 16}}),
         L"ICO \x56FE\x6807 32 \x00D7 32" /* ICO 图标 */},
        {L"an animated WebP", L"f.webp", AnimatedWebpFile({Filled(6, 5, kRed), Filled(6, 5, kBlue)}, 50),
         L"WebP \x52A8\x753B 6 \x00D7 5" /* WebP 动画 6 × 5 */},
        {L"a still WebP", L"g.webp", WebpFile(Filled(7, 2, kGreen), true), L"WebP 7 \x00D7 2"},
        {L"a text file", L"e.txt", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}, none},
    };
    for (const Row& row : rows) {
        const int before = g_valueChanges;
        const bool done = row.file ? bench.Show(check, row.file, row.bytes) : picker.Clear();
        if (!done) break;
        check.ExpectEq(Cat(row.what, L": value"), row.value, WaitPictureValue(picker.Box(), row.value));
        WaitUntil(kStepTimeoutMs, [&] { return g_valueChanges > before; });
        check.ExpectEq(Cat(row.what, L": value-change events"), 1, g_valueChanges - before);
    }
    UnhookWinEvent(hook);
    g_watchedBox = nullptr;
}

// Every control that takes the focus shows it: an edit box its caret, a button a focus
// rectangle that changes how it looks on the screen, and that no setting of the window hides.
void FocusDrawn(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok()) return;
    // How each button looks without the focus, which is on the first edit box at start.
    std::vector<std::pair<int, std::vector<COLORREF>>> unfocused;
    const auto look = [](HWND hwnd) {
        RECT r{};
        GetWindowRect(hwnd, &r);
        const ScreenCopy copy(r);
        std::vector<COLORREF> pixels;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) pixels.push_back(copy.At(x, y));
        return pixels;
    };
    for (int id : kTabCycle)
        if (ClassOf(session.Control(id)) == L"Button") unfocused.emplace_back(id, look(session.Control(id)));
    for (int id : kTabCycle) {
        const std::wstring who = ControlName(id);
        if (!session.TabTo(id)) continue;
        HWND hwnd = session.Control(id);
        if (ClassOf(hwnd) == L"Edit") {
            // The focus is recorded before the edit box hears of it and makes its caret.
            check.Expect(WaitUntil(kStepTimeoutMs, [&] { return InputStateOf(hwnd).hwndCaret == hwnd; }),
                         who + L": no caret while focused");
            continue;
        }
        const LRESULT state = Ask(hwnd, WM_QUERYUISTATE);
        check.Expect((state & UISF_HIDEFOCUS) == 0, Cat(who, L": focus rectangles hidden, state 0x", std::hex, state));
        for (const auto& [button, before] : unfocused) {
            if (button != id) continue;
            const bool changed = WaitUntil(kStepTimeoutMs, [&] { return look(hwnd) != before; });
            check.Expect(changed, who + L": looks the same with the focus as without");
        }
    }
}

} // namespace driver
