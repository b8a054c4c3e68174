// The edit boxes as the user fills them: no length limit, wrapping and scrolling in the
// multi-line boxes, and appends to the echo box that leave the user's text alone.
#include "Tests.h"

#include "Session.h"

#include <cwctype>

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

// Typing past the right edge of a multi-line box wraps onto a new line, and typing past
// its bottom scrolls the text up.
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

    const std::wstring prefix =
        L"\x5DF2\x63D0\x4EA4\x5230\x670D\x52A1\x5668\x8FDB\x884C\x6253\x5305,"
        L"\x8BA2\x5355\x7F16\x53F7:" /* 已提交到服务器进行打包,订单编号: */;
    const std::wstring suffix =
        L",\x5DF2\x81EA\x52A8\x590D\x5236,\x8BF7\x524D\x5F80\x67E5\x8BE2\x83B7\x53D6"
        L"\x4E0B\x8F7D\x5730\x5740\xFF01\r\n" /* ,已自动复制,请前往查询获取下载地址！\r\n */;
    const std::wstring echoText = TextOf(echo);
    const size_t numberAt = typed.size() + prefix.size();
    const bool shaped = echoText.size() == numberAt + 13 + suffix.size() &&
                        echoText.compare(0, typed.size(), typed) == 0 &&
                        echoText.compare(typed.size(), prefix.size(), prefix) == 0 &&
                        echoText.compare(numberAt + 13, suffix.size(), suffix) == 0;
    check.Expect(shaped, Cat(L"echo box: wanted ", Quoted(typed), L" followed by the confirmation line, got ",
                             Quoted(echoText)));
    const std::wstring number = shaped ? echoText.substr(numberAt, 13) : std::wstring();
    for (const wchar_t c : number) {
        if (!std::iswdigit(c)) check.Fail(L"the order number in the echo box is not 13 digits: " + Quoted(number));
    }
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
