// The two handlers of the right-hand side: 开始打包 issues an order number from the local
// clock, echoes it, shows it in a message box and then puts it into 编辑框7; 查询 hands the
// join page to the browser and answers with the content of 编辑框7. Both boxes are the
// program's plain message boxes: caption 信息：, one OK button, no icon, no owner, and the
// main window takes no input while one is up.
#include "Tests.h"

#include "Fixtures.h"
#include "Session.h"

namespace driver {

namespace {

const std::wstring kQuerySuffix =
    L"\x8BE5\x8BA2\x5355\x4E0D\x5B58\x5728\x6216\x6B63\x5728\x5236\x4F5C\x4E2D!"
    L"\x6709\x95EE\x9898\x8BF7\x52A0\x4EA4\x6D41\x7FA4\xFF1A"
    L"480315962"
    /* 该订单不存在或正在制作中!有问题请加交流群：480315962 */;
constexpr const wchar_t* kJoinPage = L"https://www.example.com/community/join";

void SetTextOf(HWND hwnd, const std::wstring& text) {
    Ask(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The checks every message box of the two handlers must pass. Returns its text.
std::wstring CheckPlainBox(Check& check, const std::wstring& what, HWND box) {
    const BoxView view = ReadBox(box);
    check.ExpectEq(what + L": caption", kMessageCaption, view.caption);
    check.ExpectEq(what + L": buttons", 1, static_cast<long long>(view.buttons.size()));
    check.Expect(view.icon == nullptr, what + L": the box shows an icon");
    check.Expect(GetWindow(box, GW_OWNER) == nullptr, what + L": the box has an owner window");
    return view.text;
}

HWND WaitGone(HWND box) {
    WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(box); });
    return IsWindow(box) ? box : nullptr;
}

// The order number's seconds against the driver's own reading of the system clock, in a
// zone whose offset from the epoch's UTC+8 the caller names.
void OrderNumberOnClock(Check& check, const Options& options, const wchar_t* zone, long bias, long long offsetSeconds) {
    TIME_ZONE_INFORMATION info{};
    GetTimeZoneInformation(&info);
    if (!check.ExpectEq(Cat(L"time zone bias of the run in minutes (TZ=", zone, L" expected)"), bias, info.Bias))
        return;
    Session session(check, options);
    if (!session.Ok()) return;
    HWND button = session.Control(kButton3);
    HWND order = session.Control(kEdit7);
    if (button == nullptr || order == nullptr) return;

    const long long before = UnixMillisNow();
    PostMessageW(button, BM_CLICK, 0, 0);
    HWND box = WaitDialogOf(session.Process().Pid(), kMessageCaption);
    const long long after = UnixMillisNow();
    if (!check.Expect(box != nullptr, L"a click on " + ControlName(kButton3) + L" showed no message box")) return;
    const std::wstring text = ReadBox(box).text;
    const std::wstring number = PackagingNumber(text);
    if (!check.Expect(!number.empty(), L"message box text has no order number: " + Quoted(text))) return;

    // Seconds from the later reading, milliseconds from the earlier one: back in Unix time
    // the number lands within the click, give or take a second boundary between the readings.
    const long long value = std::stoll(number);
    const long long seconds = value / 1000, millis = value % 1000;
    const long long unixMillis = (seconds - offsetSeconds) * 1000 + millis;
    check.Expect(unixMillis >= before - 1000 && unixMillis <= after + 1000,
                 Cat(L"order number ", number, L" in TZ=", zone, L" means Unix time ", unixMillis,
                     L" ms; the click was ", L"between ", before, L" and ", after, L" ms"));

    PressDialogButton(box, IDOK);
    check.Expect(WaitGone(box) == nullptr, L"the message box did not close");
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return TextOf(order) == number; }),
                 Cat(ControlName(kEdit7), L": wanted ", Quoted(number), L", got ", Quoted(TextOf(order))));
}

} // namespace

// In UTC+8 the count runs from the Unix epoch itself: the number is Unix milliseconds.
void OrderNumberShanghaiClock(Check& check, const Options& options) {
    OrderNumberOnClock(check, options, L"Asia/Shanghai", -480, 0);
}

// In UTC the epoch of 08:00 local time lies 8 hours after the Unix epoch.
void OrderNumberUtcClock(Check& check, const Options& options) {
    OrderNumberOnClock(check, options, L"UTC", 0, -28800);
}

namespace {

enum class Dismiss { OkClick, Esc, CloseBox };

struct PackagingRow {
    const wchar_t* what;
    Dismiss dismiss;
    const wchar_t* typed; // put into 编辑框7 before the click; null leaves the last number there
    bool fillInputs;      // fill 编辑框1 to 编辑框5 first: nothing reads them
};

const PackagingRow kPackagingRows[] = {
    {L"OK clicked, typed text in the order field", Dismiss::OkClick, L"typed 4711", false},
    {L"Esc, the last number still in the order field, every input filled", Dismiss::Esc, nullptr, true},
    {L"the close box, text with spaces in the order field", Dismiss::CloseBox, L"  x y  ", false},
};

// A point where a real click reaches one of the main window's buttons and not the box.
// (WindowFromPoint passes over disabled windows, so the box's rectangle decides.)
bool UncoveredButton(Session& session, HWND box, HWND& button, POINT& point) {
    const int ids[] = {kButton3, kButton4, kButton1, kButton2};
    RECT boxRect{};
    GetWindowRect(box, &boxRect);
    for (const int id : ids) {
        HWND hwnd = FindControl(session.Main(), id);
        if (hwnd == nullptr) continue;
        const POINT centre = CentreOf(hwnd);
        if (!PtInRect(&boxRect, centre)) {
            button = hwnd;
            point = centre;
            return true;
        }
    }
    return false;
}

} // namespace

// One click per row, each box closed another way. While the box is up the echo line is
// already there, 编辑框7 still holds what it held and the main window is disabled; after it,
// 编辑框7 holds the new number. 编辑框8 never changes, and the echo box keeps every line.
void PackagingMessageBox(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    HWND echo = session.Control(kEdit6);
    HWND order = session.Control(kEdit7);
    HWND download = session.Control(kEdit8);
    HWND button = session.Control(kButton3);
    if (echo == nullptr || order == nullptr || download == nullptr || button == nullptr) return;
    const std::wstring downloadText = L"kept as typed";
    SetTextOf(download, downloadText);

    std::wstring wantedEcho;
    std::wstring lastNumber;
    for (const PackagingRow& row : kPackagingRows) {
        const std::wstring what = row.what;
        check.Note(what);
        if (row.typed != nullptr) SetTextOf(order, row.typed);
        if (row.fillInputs) {
            const int inputs[] = {kEdit1, kEdit2, kEdit3, kEdit4, kEdit5};
            for (const int id : inputs) SetTextOf(FindControl(session.Main(), id), L"anything at all \x4E2D" /* 中 */);
        }
        const std::wstring orderBefore = TextOf(order);

        if (!session.Front()) return;
        ClickCentre(button);
        HWND box = WaitDialogOf(session.Process().Pid(), kMessageCaption);
        if (!check.Expect(box != nullptr, what + L": the click showed no message box")) return;
        const std::wstring text = CheckPlainBox(check, what, box);
        const std::wstring number = PackagingNumber(text);
        check.Expect(!number.empty(),
                     Cat(what, L": message text ", Quoted(text), L" is not the prefix, 13 digits and the suffix"));
        check.Expect(lastNumber.empty() || number > lastNumber,
                     Cat(what, L": number ", number, L" does not follow the one before, ", lastNumber));
        wantedEcho += kPackagingPrefix + number + kPackagingSuffix + L"\r\n";
        check.ExpectEq(what + L": echo box while the box is up", wantedEcho, TextOf(echo));
        check.ExpectEq(what + L": order field while the box is up", orderBefore, TextOf(order));
        check.Expect(!IsWindowEnabled(session.Main()), what + L": the main window is enabled while the box is up");

        switch (row.dismiss) {
        case Dismiss::OkClick: {
            // A real click on a button of the disabled window first: if it were taken, a second
            // handler would add a line or open a box. The later click on OK comes through the
            // same queue, so once the box is gone the first click has been dealt with.
            HWND target = nullptr;
            POINT point{};
            if (check.Expect(UncoveredButton(session, box, target, point), L"the box covers every button")) {
                ClickAt(point);
            }
            const BoxView view = ReadBox(box);
            if (!view.buttons.empty() && BringToFront(box)) {
                FirmClick(view.buttons.front(), CentreOf(view.buttons.front()));
            }
            break;
        }
        case Dismiss::Esc:
            if (BringToFront(box)) PressKey(VK_ESCAPE);
            break;
        case Dismiss::CloseBox: {
            POINT point{};
            if (!check.Expect(FindCloseButton(box, point), what + L": the box has no close button")) break;
            BringToFront(box);
            FirmClick(box, point);
            break;
        }
        }
        if (!check.Expect(WaitGone(box) == nullptr, what + L": the box did not close")) return;
        check.Expect(
            WaitUntil(kStepTimeoutMs, [&] { return TextOf(order) == number; }),
            Cat(what, L": order field after the box: wanted ", Quoted(number), L", got ", Quoted(TextOf(order))));
        check.Expect(session.Sync(), what + L": the program does not answer");
        check.Expect(WaitOtherDialogOf(session.Process().Pid(), nullptr, 0) == nullptr,
                     what + L": another box is up after the first was closed");
        check.ExpectEq(what + L": echo box after the box", wantedEcho, TextOf(echo));
        check.Expect(IsWindowEnabled(session.Main()) != FALSE, what + L": the main window stays disabled");
        check.ExpectEq(what + L": " + ControlName(kEdit8), downloadText, TextOf(download));
        lastNumber = number;
    }

    // While 开始打包's box is up, clicks and a close still reach the program through the box's own
    // loop: the clicks are dropped as a disabled window drops them, and the close waits until the
    // handler has returned, then ends the program normally. The box has no owner, so nothing
    // brings it back when another program (the browser 查询 opens) covers it: a click on the
    // main window, or its activation, must.
    PostMessageW(session.Control(kButton3), BM_CLICK, 0, 0);
    HWND box = WaitDialogOf(session.Process().Pid(), kMessageCaption);
    if (!check.Expect(box != nullptr, L"packaging showed no box")) return;
    const std::wstring echoed = TextOf(echo);
    PostMessageW(session.Control(kButton4), BM_CLICK, 0, 0);
    PostMessageW(session.Control(kButton1), BM_CLICK, 0, 0);
    PostMessageW(session.Main(), WM_CLOSE, 0, 0);
    // Posted messages are taken in order: once this selection shows, the ones above were taken.
    PostMessageW(echo, EM_SETSEL, 0, 1);
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return Ask(echo, EM_GETSEL) == MAKELRESULT(0, 1); }),
                 L"the posted messages were not taken");
    check.Expect(WaitOtherDialogOf(session.Process().Pid(), box, 0) == nullptr, L"a second box or dialog is up");
    check.ExpectEq(L"echo box under the first handler", echoed, TextOf(echo));

    DriverWindow cover; // over the box
    HWND uncovered = nullptr;
    POINT point{};
    RECT r{};
    GetWindowRect(box, &r);
    SetWindowPos(cover.Handle(), HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
    if (check.Expect(UncoveredButton(session, box, uncovered, point), L"the box covers every button") &&
        BringToFront(cover.Handle()))
        ClickAt(point);
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return GetForegroundWindow() == box; }),
                 L"a click on the main window left the box behind another window");
    if (BringToFront(cover.Handle())) SetForegroundWindow(session.Main()); // as the taskbar does
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return GetForegroundWindow() == box; }),
                 L"activating the main window left the box behind another window");

    PressDialogButton(box, IDOK);
    DWORD code = 0;
    if (check.Expect(session.Process().WaitExit(kExitTimeoutMs, code), L"the held close did not end the program"))
        check.ExpectEq(L"exit code", 0, static_cast<long long>(code));
}

// The query hands the join page to the browser on every click. The prefix's browser is, for
// this test, a script that writes down the address it is given. The answer echoes the order
// field verbatim, whatever it holds.
void QueryHandsJoinPage(Check& check, const Options& options) {
    TempFolder folder;
    if (!check.Expect(folder.Ok(), L"cannot create a scratch folder")) return;
    const std::string script = UnixPathOf(folder / L"browser.sh");
    const std::string log = UnixPathOf(folder / L"opened.txt");
    if (!check.Expect(!script.empty() && !log.empty(),
                      L"no Unix path for the scratch folder: not running under Wine?")) {
        return;
    }
    if (!check.Expect(WriteFileBytes(folder / L"browser.sh", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n"),
                      L"cannot write the browser script")) {
        return;
    }
    const std::wstring command = L"/bin/sh \"" + std::wstring(script.begin(), script.end()) + L"\"";
    BrowserSetting browser(command);
    if (!check.Expect(browser.Ok(), L"cannot set the prefix's browser")) return;

    Session session(check, options);
    if (!session.Ok()) return;
    HWND echo = session.Control(kEdit6);
    HWND order = session.Control(kEdit7);
    HWND download = session.Control(kEdit8);
    HWND packaging = session.Control(kButton3);
    HWND query = session.Control(kButton4);
    if (echo == nullptr || order == nullptr || download == nullptr || packaging == nullptr || query == nullptr) return;

    enum class Content { Empty, JustIssued, Typed };
    struct Row {
        const wchar_t* what;
        Content content;
    };
    const Row rows[] = {
        {L"an empty order field", Content::Empty},
        {L"a number just issued by packaging", Content::JustIssued},
        {L"typed text with spaces and letters", Content::Typed},
    };
    std::wstring wantedEcho;
    int queries = 0;
    for (const Row& row : rows) {
        const std::wstring what = row.what;
        check.Note(what);
        if (row.content == Content::JustIssued) {
            PostMessageW(packaging, BM_CLICK, 0, 0);
            HWND box = WaitDialogOf(session.Process().Pid(), kMessageCaption);
            if (!check.Expect(box != nullptr, what + L": packaging showed no box")) return;
            const std::wstring number = PackagingNumber(ReadBox(box).text);
            PressDialogButton(box, IDOK);
            WaitGone(box);
            WaitUntil(kStepTimeoutMs, [&] { return !number.empty() && TextOf(order) == number; });
            wantedEcho += kPackagingPrefix + number + kPackagingSuffix + L"\r\n";
        } else if (row.content == Content::Typed) {
            SetTextOf(order, L"  Order 12 ab  ");
        }
        const std::wstring content = TextOf(order);
        if (row.content == Content::JustIssued) {
            check.Expect(content.size() == kOrderDigits && AllDigits(content),
                         what + L": no number in the order field");
        }

        if (!session.Front()) return;
        ClickCentre(query);
        HWND box = WaitDialogOf(session.Process().Pid(), kMessageCaption);
        if (!check.Expect(box != nullptr, what + L": the query showed no message box")) return;
        ++queries;
        check.ExpectEq(what + L": message text", content + kQuerySuffix, CheckPlainBox(check, what, box));
        wantedEcho += content + kQuerySuffix + L"\r\n";
        check.ExpectEq(what + L": echo box", wantedEcho, TextOf(echo));
        check.Expect(!IsWindowEnabled(session.Main()), what + L": the main window is enabled while the box is up");
        if (BringToFront(box)) PressKey(VK_RETURN);
        if (!check.Expect(WaitGone(box) == nullptr, what + L": the box did not close")) return;
        check.ExpectEq(what + L": order field after the query", content, TextOf(order));
        check.ExpectEq(what + L": " + ControlName(kEdit8), L"", TextOf(download));
    }

    // The browser runs apart from the program; each click starts one.
    std::string opened;
    const std::string joinPage = Utf8(kJoinPage);
    std::string wanted;
    for (int i = 0; i < queries; ++i) wanted += joinPage + "\n";
    WaitUntil(kStartTimeoutMs,
              [&] { return ReadFileText(folder / L"opened.txt", opened) && opened.size() >= wanted.size(); });
    check.ExpectEq(L"addresses the browser was given, one line each", std::wstring(wanted.begin(), wanted.end()),
                   std::wstring(opened.begin(), opened.end()));
}

// 1,000 clicks, packaging and query in turn, as fast as the program takes them; every echo
// line is kept, in order, and each query line starts with the number packaging issued just
// before it.
void ManyClicksKeepEveryLine(Check& check, const Options& options) {
    constexpr int kClicks = 1000;
    // A browser that does nothing, so the queries open nothing on this machine.
    BrowserSetting browser(L"/bin/true");
    Session session(check, options);
    if (!session.Ok()) return;
    HWND echo = session.Control(kEdit6);
    HWND order = session.Control(kEdit7);
    HWND packaging = session.Control(kButton3);
    HWND query = session.Control(kButton4);
    if (echo == nullptr || order == nullptr || packaging == nullptr || query == nullptr) return;

    const DWORD pid = session.Process().Pid();
    ULONGLONG spent[2] = {0, 0}; // packaging, query
    for (int click = 0; click < kClicks; ++click) {
        const ULONGLONG start = GetTickCount64();
        PostMessageW(click % 2 == 0 ? packaging : query, BM_CLICK, 0, 0);
        HWND box = WaitDialogOf(pid, kMessageCaption);
        if (!check.Expect(box != nullptr, Cat(L"click ", click + 1, L" showed no message box"))) return;
        PressDialogButton(box, IDOK);
        if (!check.Expect(WaitGone(box) == nullptr, Cat(L"the box of click ", click + 1, L" did not close"))) return;
        spent[click % 2] += GetTickCount64() - start;
    }
    check.Note(Cat(kClicks, L" clicks took ", spent[0] + spent[1], L" ms: packaging ", spent[0], L" ms, query ",
                   spent[1], L" ms"));
    check.Expect(session.Sync(), L"the program does not answer after the clicks");

    const std::wstring text = TextOf(echo);
    std::vector<std::wstring> lines;
    size_t at = 0;
    for (size_t end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    check.ExpectEq(L"echo lines", kClicks, static_cast<long long>(lines.size()));
    check.ExpectEq(L"text after the last line break", L"", text.substr(at < text.size() ? at : text.size()));
    std::wstring number;
    int bad = 0;
    for (size_t i = 0; i < lines.size() && bad < 5; ++i) {
        if (i % 2 == 0) {
            const std::wstring next = PackagingNumber(lines[i]);
            if (next.empty() || next < number) {
                ++bad;
                check.Fail(
                    Cat(L"echo line ", i + 1, L" is not a packaging line with a new number: ", Quoted(lines[i])));
            }
            number = next;
        } else if (lines[i] != number + kQuerySuffix) {
            ++bad;
            check.ExpectEq(Cat(L"echo line ", i + 1), number + kQuerySuffix, lines[i]);
        }
    }
    check.ExpectEq(L"order field after the last click", number, TextOf(order));
    // The browser setting goes back once the browsers the queries started have read it.
    check.Expect(WaitUntil(kStartTimeoutMs, [] { return !ProcessRunning(L"winebrowser.exe"); }),
                 L"browsers started by the queries still run");
}

} // namespace driver
