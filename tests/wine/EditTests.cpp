// The edit boxes as the user fills them: no length limit, and appends to the echo box that
// leave the user's text alone.
#include "Tests.h"

#include "Fixtures.h"
#include "Session.h"

namespace driver {

namespace {

constexpr int kManyLines = 2000;
// Lines a paste: 30,000 falls inside a paste in every box, and Wine's edit control, which
// measures its whole text again on every change, takes 50 pastes in a fraction of the time of
// 2,000 (a box took 31 s).
constexpr int kPastedLines = 40;

bool SetClipboardText(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (void* p = memory ? GlobalLock(memory) : nullptr) {
        CopyMemory(p, text.c_str(), bytes);
        GlobalUnlock(memory);
        ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!ok && memory) GlobalFree(memory);
    CloseClipboard();
    return ok;
}

std::wstring ClipboardText() {
    if (!OpenClipboard(nullptr)) return L"(the clipboard cannot be opened)";
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

std::wstring NumberedLine(int number) {
    // 20 characters a line before the break: 2,000 of them exceed every default limit.
    wchar_t text[32];
    wsprintfW(text, L"line %05d of text..", number);
    return text;
}

} // namespace

// 2,000 lines are all kept, in both multi-line boxes, and 40,000 characters in a
// single-line box; the default limit of an edit control is 30,000.
void LongTextKept(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok()) return;
    struct Row {
        int id;
        bool lineBreaks;
    };
    const Row rows[] = {{kEdit5, true}, {kEdit6, true}, {kEdit1, false}};
    for (const Row& row : rows) {
        HWND hwnd = session.Control(row.id);
        if (hwnd == nullptr) continue;
        const std::wstring name = ControlName(row.id);
        std::wstring wanted;
        for (int first = 1; first <= kManyLines; first += kPastedLines) {
            std::wstring paste;
            for (int i = first; i < first + kPastedLines; ++i) {
                paste += NumberedLine(i);
                if (row.lineBreaks) paste += L"\r\n";
            }
            wanted += paste;
            // Replacing the (empty) selection at the caret, as pasting does.
            Ask(hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(paste.c_str()));
        }
        const std::wstring got = TextOf(hwnd);
        check.ExpectEq(name + L" length", static_cast<long long>(wanted.size()), static_cast<long long>(got.size()));
        if (got != wanted) {
            size_t at = 0;
            while (at < got.size() && at < wanted.size() && got[at] == wanted[at]) ++at;
            check.Fail(Cat(name, L" text differs from what was put in at character ", at));
        }
        if (row.lineBreaks) {
            // The final line break leaves an empty last line.
            check.ExpectEq(name + L" line count", kManyLines + 1, Ask(hwnd, EM_GETLINECOUNT));
        }
    }
}

// The packaging button appends its confirmation to the echo box. A word the user selected
// in the middle of the box stays, the selection is dropped, the line goes at the very end
// and the caret stands behind it; 编辑框7 then gets the order number.
void AppendKeepsUserText(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    HWND echo = session.Control(kEdit6);
    HWND order = session.Control(kEdit7);
    if (echo == nullptr || order == nullptr || !session.TabTo(kEdit6)) return;
    const std::wstring typed = L"alpha beta gamma";
    TypeKeys(typed);
    if (!WaitUntil(kStepTimeoutMs, [&] { return TextOf(echo) == typed; })) {
        check.ExpectEq(L"echo box after typing", typed, TextOf(echo));
        return;
    }
    Ask(echo, EM_SETSEL, 6, 10); // "beta"
    // The confirmation says the number was copied; it is not, and the clipboard keeps what the
    // user had there.
    const std::wstring clipboard = L"the user's own clipboard text";
    check.Expect(SetClipboardText(clipboard), L"cannot put a text on the clipboard");

    ClickCentre(session.Control(kButton3));
    HWND box = WaitWindowOf(session.Process().Pid(), L"#32770", kMessageCaption, kStepTimeoutMs);
    if (!check.Expect(box != nullptr, L"a click on " + ControlName(kButton3) + L" showed no message box")) return;

    // The user's text, then the confirmation line.
    const std::wstring echoText = TextOf(echo);
    const bool kept = echoText.size() >= typed.size() + 2 && echoText.compare(0, typed.size(), typed) == 0 &&
                      echoText.compare(echoText.size() - 2, 2, L"\r\n") == 0;
    const std::wstring number =
        kept ? PackagingNumber(echoText.substr(typed.size(), echoText.size() - typed.size() - 2)) : std::wstring();
    check.Expect(!number.empty(), Cat(L"echo box: wanted ", Quoted(typed), L" followed by the confirmation line, got ",
                                      Quoted(echoText)));
    DWORD start = 0, end = 0;
    Ask(echo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    check.ExpectEq(L"echo box selection start after the append", static_cast<long long>(echoText.size()), start);
    check.ExpectEq(L"echo box selection end after the append", static_cast<long long>(echoText.size()), end);
    // The order number field changes only once the box is dismissed.
    check.ExpectEq(L"order number field while the message box is up", L"", TextOf(order));

    if (!check.Expect(BringToFront(box), L"the message box did not take the foreground")) return;
    PressKey(VK_RETURN);
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(box); }), L"the message box did not close");
    if (!number.empty()) {
        check.Expect(WaitUntil(kStepTimeoutMs, [&] { return TextOf(order) == number; }),
                     Cat(L"order number field: wanted ", Quoted(number), L", got ", Quoted(TextOf(order))));
    }
    check.ExpectEq(L"clipboard after \x5F00\x59CB\x6253\x5305" /* 开始打包 */, clipboard, ClipboardText());
}

} // namespace driver
