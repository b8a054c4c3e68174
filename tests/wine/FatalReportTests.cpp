// The fatal run-time error report, raised on purpose by the probe program on the real service
// layer: the report's exact text, its box, that no handler runs while it is up, the exit code
// -1 and the end-of-program routine that must not run. Also the declared clock command, which
// must come from the system's kernel32.dll even when a file of that name lies beside the
// program.
#include "Tests.h"

#include "Fixtures.h"

namespace driver {

namespace {

constexpr const wchar_t* kReportCaption = L"\x9519\x8BEF" /* 错误 */;
constexpr const wchar_t* kHeadline = L"\x8FD0\x884C\x65F6\x51FA\x9519!\r\n" /* 运行时出错!\r\n */;
constexpr const wchar_t* kCodeLine = L"\r\n\x9519\x8BEF\x4EE3\x7801\xFF1A" /* \r\n错误代码： */;
constexpr const wchar_t* kMessageLine = L"\r\n\x9519\x8BEF\x4FE1\x606F\xFF1A" /* \r\n错误信息： */;
constexpr const wchar_t* kExitMarker = L"exit-routine-ran";
constexpr const wchar_t* kWindowNotLoaded =
    L"\x672A\x8F7D\x5165\x6B32\x8BBF\x95EE\x7A97\x53E3\x7EC4\x4EF6\x6240\x5728\x7684\x7A97\x53E3"
    /* 未载入欲访问窗口组件所在的窗口 */;

struct ReportRow {
    const wchar_t* fault; // the probe's first argument
    const wchar_t* what;
    std::wstring text; // the whole report
};

std::vector<ReportRow> ReportRows() {
    return {
        {L"alloc", L"a buffer that cannot be allocated: message only, location 0, 0",
         Cat(kHeadline, kMessageLine,
             L"\x5206\x914D 2147483632 \x5B57\x8282\x5185\x5B58\x5931\x8D25!" /* 分配 2147483632 字节内存失败! */,
             L"\r\n", L"\r\n0, 0\r\n")},
        {L"missing", L"a declared command its library does not export",
         Cat(kHeadline, kMessageLine,
             L"\x65E0\x6CD5\x627E\x5230\x6307\x5B9A"
             L"DLL\x5E93\x6587\x4EF6\x201Ckernel32.dll\x201D\x4E2D\x7684"
             L"\x8F93\x51FA\x547D\x4EE4\x201CNoSuchCommandAtAll\x201D"
             /* 无法找到指定DLL库文件“kernel32.dll”中的输出命令“NoSuchCommandAtAll” */,
             L"\r\n", L"\r\n0, 0\r\n")},
        {L"stack", L"a command that leaves its argument on the stack: code 6 and the caller's location",
         Cat(kHeadline, kCodeLine, L"6\r\n", kMessageLine,
             L"\x8C03\x7528"
             L"DLL\x547D\x4EE4\x540E\x53D1\x73B0\x5806\x6808\x9519\x8BEF" /* 调用DLL命令后发现堆栈错误 */,
             L"\r\n", L"\r\n67188654, 0\r\n")},
        {L"badname", L"a control name the window does not have: the window's tag, then element 0, the window",
         Cat(kHeadline, kMessageLine,
             L"\x6307\x5B9A\x7A97\x53E3\x6216\x7A97\x53E3\x7EC4\x4EF6\x4E0D\x5B58\x5728\x6216\x5C1A\x672A\x8F7D\x5165"
             /* 指定窗口或窗口组件不存在或尚未载入 */,
             L"\r\n", L"\r\n1375862785, 0\r\n\"probe-window\"\r\n\"probe-window\"\r\n")},
        {L"nowindow", L"a window number no loaded window has: no message, no code, no tag lines",
         Cat(kHeadline, L"\r\n1385798041, 100663297",
             L"\r\n\x672A\x627E\x5230\x6240\x6307\x5B9A\x7684\x7A97\x53E3" /* \r\n未找到所指定的窗口 */, L"\r\n")},
        {L"nopicture", L"the picture of a window that is loaded but not created",
         Cat(kHeadline, kMessageLine, kWindowNotLoaded, L"\r\n",
             L"\r\n1375862786, 100794369\r\n\"second-window\"\r\n\"box\"\r\n")},
        {L"nodialog", L"the open dialog of a window that is loaded but not created",
         Cat(kHeadline, kMessageLine, kWindowNotLoaded, L"\r\n",
             L"\r\n1375862786, 100794370\r\n\"second-window\"\r\n\"dialog\"\r\n")},
        // The heap is really gone: the report shows the message alone, converted on the stack.
        {L"exhaust", L"GetText with no heap left: the message alone",
         L"\x5206\x914D 6002 \x5B57\x8282\x5185\x5B58\x5931\x8D25!" /* 分配 6002 字节内存失败! */},
    };
}

// Out of the way of the centred report box, so that a click meant for the probe's window
// lands on it.
void MoveAside(HWND main) {
    SetWindowPos(main, nullptr, 20, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    WaitUntil(kStepTimeoutMs, [&] {
        RECT r{};
        GetWindowRect(main, &r);
        return r.left == 20 && r.top == 500;
    });
}

// A real click on "count" that is known to have been handled: the button takes the mouse on
// the press and lets it go only after it has told its window of the click.
bool ClickCount(Check& check, HWND count) {
    const POINT point = CentreOf(count);
    if (!check.Expect(WindowFromPoint(point) == count, L"something covers the probe's count button")) return false;
    FirmClick(count, point);
    return true;
}

// The report's text, its one button, no owner and the stop icon.
BoxView CheckReportBox(Check& check, const ReportRow& row, HWND box) {
    const BoxView view = ReadBox(box);
    check.ExpectEq(Cat(L"fault ", row.fault, L": report text"), row.text, view.text);
    check.ExpectEq(Cat(L"fault ", row.fault, L": buttons in the report box"), 1,
                   static_cast<long long>(view.buttons.size()));
    check.Expect(GetWindow(box, GW_OWNER) == nullptr, Cat(L"fault ", row.fault, L": the report box has an owner"));
    if (check.Expect(view.icon != nullptr, Cat(L"fault ", row.fault, L": the report box shows no icon"))) {
        BringToFront(box);
        double stop = 0;
        WaitUntil(kStepTimeoutMs, [&] { return (stop = IconLikeness(view.icon, IDI_HAND)) > 0.9; });
        const double info = IconLikeness(view.icon, IDI_ASTERISK);
        const double warning = IconLikeness(view.icon, IDI_EXCLAMATION);
        const double question = IconLikeness(view.icon, IDI_QUESTION);
        check.Expect(stop > 0.9 && stop > info && stop > warning && stop > question,
                     Cat(L"fault ", row.fault, L": the icon is not the stop sign (likeness: stop ", stop,
                         L", information ", info, L", warning ", warning, L", question ", question, L")"));
    }
    return view;
}

// Closed with a real click on its only button, the probe ends with -1 and without running its
// end-of-program routine.
void CloseReport(Check& check, const ReportRow& row, ProbeRun& probe, HWND box, const BoxView& view) {
    if (!view.buttons.empty() && BringToFront(box)) FirmClick(view.buttons.front(), CentreOf(view.buttons.front()));
    DWORD code = 0;
    if (!check.Expect(probe.Process().WaitExit(kExitTimeoutMs, code),
                      Cat(L"fault ", row.fault, L": the probe still runs after its report was closed"))) {
        return;
    }
    check.ExpectEq(Cat(L"fault ", row.fault, L": exit code"), 0xFFFFFFFFLL, static_cast<long long>(code));
    check.Expect(!FileExists(probe.Folder() / kExitMarker),
                 Cat(L"fault ", row.fault, L": the end-of-program routine ran after the report"));
}

void OneReport(Check& check, const Options& options, const ReportRow& row) {
    check.Note(Cat(L"fault ", row.fault, L": ", row.what));
    ProbeRun probe(check, options, {row.fault});
    if (!probe.Ok()) return;
    HWND count = probe.Control(kProbeCount);
    HWND countBox = probe.Control(kProbeCountBox);
    if (count == nullptr || countBox == nullptr) return;
    MoveAside(probe.Main());
    // Before the fault a click counts: the clicks below would show it if they were handled.
    if (!ClickCount(check, count)) return;
    if (!check.Expect(WaitUntil(kStepTimeoutMs, [&] { return TextOf(countBox) == L"1"; }),
                      Cat(L"a click on count before the fault: the count shows ", Quoted(TextOf(countBox))))) {
        return;
    }

    probe.PostFault();
    HWND box = WaitDialogOf(probe.Process().Pid(), kReportCaption);
    if (!check.Expect(box != nullptr, Cat(L"fault ", row.fault, L": no report box captioned ", kReportCaption))) {
        check.Note(Cat(L"result box: ", Quoted(TextOf(probe.Control(kProbeResult)))));
        return;
    }
    const BoxView view = CheckReportBox(check, row, box);

    // The box has no owner, so the window stays enabled; still no handler may run.
    check.Expect(IsWindowEnabled(probe.Main()) != FALSE,
                 Cat(L"fault ", row.fault, L": the probe's window is disabled"));
    ClickCount(check, count);
    Ask(count, BM_CLICK);
    check.ExpectEq(Cat(L"fault ", row.fault, L": count after clicks while the report is up"), L"1", TextOf(countBox));
    check.Expect(probe.Process().Running(), Cat(L"fault ", row.fault, L": the probe ended before its box was closed"));

    CloseReport(check, row, probe, box, view);
}

// Reports met at start, before the probe's window is shown.
void StartupReport(Check& check, const Options& options, const ReportRow& row) {
    check.Note(Cat(L"fault ", row.fault, L": ", row.what));
    ProbeRun probe(check, options, {row.fault}, ProbeStart::ReportAtStart);
    if (!probe.Started()) return;
    HWND box = WaitDialogOf(probe.Process().Pid(), kReportCaption, kStartTimeoutMs);
    if (!check.Expect(box != nullptr, Cat(L"fault ", row.fault, L": no report box captioned ", kReportCaption))) return;
    const BoxView view = CheckReportBox(check, row, box);
    CloseReport(check, row, probe, box, view);
}

} // namespace

// First the contrast: a normal close by Esc ends with 0 and runs the end-of-program routine,
// so its marker proves something when it is missing after a report.
void FatalReports(Check& check, const Options& options) {
    {
        ProbeRun probe(check, options, {L"clock"});
        if (!probe.Ok()) return;
        if (!check.Expect(BringToFront(probe.Main()), L"the probe did not come to the foreground")) return;
        PressKey(VK_ESCAPE);
        DWORD code = 0;
        if (check.Expect(probe.Process().WaitExit(kExitTimeoutMs, code), L"Esc did not end the probe")) {
            check.ExpectEq(L"exit code after Esc", 0, static_cast<long long>(code));
            check.Expect(FileExists(probe.Folder() / kExitMarker),
                         L"a normal end did not run the end-of-program routine (no marker file)");
        }
    }
    for (const ReportRow& row : ReportRows()) OneReport(check, options, row);
    const ReportRow startRows[] = {
        {L"damaged", L"window descriptions that cannot be read: location 0, 0",
         Cat(kHeadline, kMessageLine,
             L"\x8F7D\x5165\x7A97\x53E3\x6A21\x677F\x6570\x636E\x6BB5\x51FA\x9519!" /* 载入窗口模板数据段出错! */,
             L"\r\n", L"\r\n0, 0\r\n")},
        {L"nocontrol", L"a control the platform will not create: the window and that control",
         Cat(kHeadline, kMessageLine, L"\x8F7D\x5165\x542F\x52A8\x7A97\x53E3\x5931\x8D25" /* 载入启动窗口失败 */,
             L"\r\n", L"\r\n1375862785, 100794371\r\n\"probe-window\"\r\n\"result\"\r\n")},
    };
    for (const ReportRow& row : startRows) StartupReport(check, options, row);
}

// kernel32.dll planted beside the program (a copy of the probe's own library, which leaves a
// marker when loaded under that name) is not what the clock command is taken from: the order
// number still comes, 13 digits, and the planted file is never loaded.
void PlantedSystemLibraryIgnored(Check& check, const Options& options) {
    ProbeRun probe(check, options, {L"clock"}, ProbeStart::PlantKernel32);
    if (!probe.Ok()) return;
    for (int click = 1; click <= 2; ++click) {
        if (HWND result = probe.Control(kProbeResult)) Ask(result, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        probe.PostFault();
        const std::wstring number = probe.WaitResult();
        check.Expect(number.size() == 13 && AllDigits(number),
                     Cat(L"order number of click ", click, L": wanted 13 digits, got ", Quoted(number)));
    }
    check.Expect(WaitDialogOf(probe.Process().Pid(), kReportCaption, 0) == nullptr,
                 L"the clock command raised a report");
    check.Expect(!FileExists(probe.Folder() / L"planted-library-loaded"),
                 L"the kernel32.dll beside the program was loaded");
}

// A declared command's library is loaded at its first call only: after two calls the process
// holds one reference on it, kept to the end of the process.
void DeclaredLibraryLoadedOnce(Check& check, const Options& options) {
    ProbeRun probe(check, options, {L"twice"});
    if (!probe.Ok()) return;
    probe.PostFault();
    check.ExpectEq(L"references on the library after two calls", L"references: 1", probe.WaitResult());
    check.Expect(WaitDialogOf(probe.Process().Pid(), kReportCaption, 0) == nullptr, L"the calls raised a report");
}

} // namespace driver
