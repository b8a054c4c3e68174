// The main window as the user first sees it: frame, position, and every control's kind,
// place, text and settings, read back from the live windows of the running program.
#include "Tests.h"

#include "Fixtures.h"
#include "IconPicker.h"
#include "Peeker.h"
#include "Session.h"
#include "TestPictures.h"
#include "WindowRules.h"

#include <algorithm>
#include <cwchar>

namespace driver {

namespace {

std::wstring Hex(unsigned long value) {
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", value);
    return text;
}

// How each kind of control must be realised.
enum class Kind { Edit, MultiEdit, ScrolledMultiEdit, Label, Button, Group, Picture };

struct KindRule {
    Kind kind;
    const wchar_t* className;
    DWORD required;  // style bits that must all be set
    DWORD forbidden; // style bits that must all be clear
    bool tabStop;
};

constexpr DWORD kAlwaysOn = WS_CHILD | WS_VISIBLE;
constexpr DWORD kEditNever = WS_DISABLED | WS_HSCROLL | ES_NOHIDESEL | ES_READONLY | ES_PASSWORD | ES_UPPERCASE |
                             ES_LOWERCASE | ES_CENTER | ES_RIGHT | ES_NUMBER;
constexpr DWORD kButtonNever = WS_DISABLED | BS_BITMAP | BS_ICON | BS_FLAT;

const KindRule kKindRules[] = {
    // A single-line box scrolls sideways with the caret. Edit boxes take WS_BORDER out of
    // their window style and draw the line themselves, so their border is checked in pixels.
    {Kind::Edit, L"Edit", kAlwaysOn | WS_TABSTOP | ES_AUTOHSCROLL, kEditNever | ES_MULTILINE | WS_VSCROLL, true},
    // Multi-line boxes wrap (no horizontal scrolling), scroll up as the caret passes the
    // bottom, and take Enter as a line break.
    {Kind::MultiEdit, L"Edit", kAlwaysOn | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
     kEditNever | ES_AUTOHSCROLL | WS_VSCROLL, true},
    {Kind::ScrolledMultiEdit, L"Edit",
     kAlwaysOn | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL, kEditNever | ES_AUTOHSCROLL,
     true},
    {Kind::Label, L"OrvessaLabel", kAlwaysOn, WS_DISABLED | WS_TABSTOP | WS_BORDER, false},
    // Caption centred both ways and wrapped; never the default button.
    {Kind::Button, L"Button", kAlwaysOn | WS_TABSTOP | BS_CENTER | BS_VCENTER | BS_MULTILINE, kButtonNever, true},
    {Kind::Group, L"Button", kAlwaysOn, WS_DISABLED | WS_TABSTOP, false},
    {Kind::Picture, L"OrvessaPicBox", kAlwaysOn | WS_BORDER, WS_DISABLED | WS_TABSTOP, false},
};

const KindRule& RuleFor(Kind kind) {
    for (const KindRule& rule : kKindRules) {
        if (rule.kind == kind) return rule;
    }
    return kKindRules[0];
}

// Button styles whose low bits are a type, not flags.
LONG ButtonType(Kind kind) {
    if (kind == Kind::Button) return BS_PUSHBUTTON;
    if (kind == Kind::Group) return BS_GROUPBOX;
    return -1;
}

struct ControlRow {
    int id;
    int parent; // 0: the main window
    Kind kind;
    const ControlDescription* d; // left, top, width, height in the parent's client coordinates
};

Kind KindOf(const ControlDescription& c) {
    switch (c.kind) {
    case ControlKind::EditBox:
        return !c.edit.multiLine ? Kind::Edit : c.edit.verticalScrollBar ? Kind::ScrolledMultiEdit : Kind::MultiEdit;
    case ControlKind::Label: return Kind::Label;
    case ControlKind::Button: return Kind::Button;
    case ControlKind::GroupBox: return Kind::Group;
    default: return Kind::Picture;
    }
}

// The window description's controls that have windows, row for row.
std::vector<ControlRow> Controls() {
    std::vector<ControlRow> rows;
    for (size_t i = 0; i < kMainControls.size(); ++i) {
        const ControlDescription& c = kMainControls[i];
        if (c.kind == ControlKind::CommonDlg) continue;
        rows.push_back({ControlWindowId(static_cast<int32_t>(i)), c.parent ? IdOf(c.parent) : 0, KindOf(c), &c});
    }
    return rows;
}

const std::vector<ControlRow> kControls = Controls();

// A single-line box lower than one line of its font plus two 3-D edges grows to that.
int SingleLineEditHeight(int described) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int needed = metrics.tmHeight + 2 * GetSystemMetrics(SM_CYEDGE);
    return described < needed ? needed : described;
}

// The standard controls draw with whatever font they are given; without one they fall back
// to the wider system font. WM_GETFONT is not answered across processes under Wine, so the
// font shows in where the box places its characters: the last one starts where the text
// before it ends in the default GUI font.
void CheckEditFont(Check& check, HWND edit, const std::wstring& name, const std::wstring& text) {
    if (text.size() < 2) return;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size() - 1), &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const LRESULT first = Ask(edit, EM_POSFROMCHAR, 0);
    const LRESULT last = Ask(edit, EM_POSFROMCHAR, text.size() - 1);
    const int advance = static_cast<short>(LOWORD(last)) - static_cast<short>(LOWORD(first));
    check.ExpectEq(name + L" width of its text but the last character (default GUI font)", extent.cx, advance);
}

void CheckControl(Check& check, Session& session, const ControlRow& row) {
    const std::wstring name = ControlName(row.id);
    HWND hwnd = session.Control(row.id);
    if (hwnd == nullptr) return;
    const KindRule& rule = RuleFor(row.kind);

    check.ExpectEq(name + L" class", rule.className, ClassOf(hwnd));

    HWND wantedParent = row.parent == 0 ? session.Main() : FindControl(session.Main(), row.parent);
    if (GetParent(hwnd) != wantedParent) {
        HWND parent = GetParent(hwnd);
        check.Fail(Cat(name, L" parent: wanted ", row.parent == 0 ? L"the main window" : ControlName(row.parent),
                       L", got ", parent == session.Main() ? L"the main window" : ControlName(GetDlgCtrlID(parent))));
    }

    const RECT rect = RectInParent(hwnd);
    const bool singleLine = row.kind == Kind::Edit;
    const int wantedHeight = singleLine ? SingleLineEditHeight(row.d->height) : row.d->height;
    check.ExpectEq(name + L" left", row.d->left, rect.left);
    check.ExpectEq(name + L" top", row.d->top, rect.top);
    check.ExpectEq(name + L" width", row.d->width, rect.right - rect.left);
    check.ExpectEq(name + L" height", wantedHeight, rect.bottom - rect.top);

    const auto style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
    if ((style & rule.required) != rule.required) {
        check.Fail(Cat(name, L" style ", Hex(style), L" lacks ", Hex(rule.required & ~style)));
    }
    if ((style & rule.forbidden) != 0) {
        check.Fail(Cat(name, L" style ", Hex(style), L" has unwanted ", Hex(style & rule.forbidden)));
    }
    // The flat border, not the sunken 3-D one that edit boxes get by default.
    check.Expect((exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE)) == 0,
                 Cat(name, L" extended style ", Hex(exStyle), L" has a 3-D edge"));
    if (ButtonType(row.kind) >= 0) {
        check.ExpectEq(name + L" button type", ButtonType(row.kind), static_cast<LONG>(style & BS_TYPEMASK));
    }
    check.Expect(IsWindowVisible(hwnd) != FALSE, name + L" is not visible");
    check.Expect(IsWindowEnabled(hwnd) != FALSE, name + L" is disabled");

    const std::wstring text = TextOf(hwnd);
    check.ExpectEq(name + L" text", WideOf(row.d->text), text);

    if (rule.className == std::wstring(L"Edit")) {
        // The caret stands at 0 with nothing selected, and there is no length limit.
        DWORD start = 0xDEADBEEF, end = 0xDEADBEEF;
        Ask(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        check.ExpectEq(name + L" selection start", 0, start);
        check.ExpectEq(name + L" selection end", 0, end);
        const auto limit = static_cast<unsigned long long>(Ask(hwnd, EM_GETLIMITTEXT));
        check.Expect(limit >= 0x7FFFFFFEu, Cat(name, L" text limit ", limit, L" is not the unlimited one"));
    }
    if (singleLine) CheckEditFont(check, hwnd, name, text);
}

} // namespace

void WindowFrame(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok()) return;
    HWND main = session.Main();

    // Everything below assumes the test screen; say so plainly if it is another.
    check.ExpectEq(L"screen width", 1024, GetSystemMetrics(SM_CXSCREEN));
    check.ExpectEq(L"screen height", 768, GetSystemMetrics(SM_CYSCREEN));

    check.ExpectEq(L"caption", kMainCaption, TextOf(main));
    RECT rect{};
    GetWindowRect(main, &rect);
    check.ExpectEq(L"outer left", 224, rect.left);
    check.ExpectEq(L"outer top", 157, rect.top);
    check.ExpectEq(L"outer width", 576, rect.right - rect.left);
    check.ExpectEq(L"outer height", 453, rect.bottom - rect.top);

    const auto style = static_cast<DWORD>(GetWindowLongW(main, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(main, GWL_EXSTYLE));
    const DWORD required = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | WS_VISIBLE;
    const DWORD forbidden = WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;
    check.Expect((style & required) == required, Cat(L"window style ", Hex(style), L" lacks ", Hex(required & ~style)));
    check.Expect((style & forbidden) == 0,
                 Cat(L"window style ", Hex(style), L" has unwanted ", Hex(style & forbidden)));
    check.Expect((exStyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_LAYERED)) == 0,
                 Cat(L"window extended style ", Hex(exStyle), L" is topmost, a tool window or layered"));
    // Its own taskbar button: no owner.
    check.Expect(GetWindow(main, GW_OWNER) == nullptr, L"the main window has an owner");

    // No point of the frame offers resizing.
    struct EdgePoint {
        const wchar_t* where;
        POINT point;
    };
    const EdgePoint edges[] = {
        {L"left edge", {rect.left, (rect.top + rect.bottom) / 2}},
        {L"right edge", {rect.right - 1, (rect.top + rect.bottom) / 2}},
        {L"top edge", {(rect.left + rect.right) / 2, rect.top}},
        {L"bottom edge", {(rect.left + rect.right) / 2, rect.bottom - 1}},
        {L"bottom right corner", {rect.right - 1, rect.bottom - 1}},
        {L"top left corner", {rect.left, rect.top}},
    };
    for (const EdgePoint& edge : edges) {
        const LRESULT hit = Ask(main, WM_NCHITTEST, 0, MAKELPARAM(edge.point.x, edge.point.y));
        check.Expect(hit < HTSIZEFIRST || hit > HTSIZELAST,
                     Cat(L"the ", edge.where, L" hit-tests as a sizing border (", hit, L")"));
    }

    // Moved by its title bar and minimized, it comes back where it was.
    if (!session.Front()) return;
    const RECT before = rect;
    // Drag by a point of the title bar left of the buttons.
    const POINT grab{before.left + 100, before.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    check.ExpectEq(L"hit test of the drag point", HTCAPTION, Ask(main, WM_NCHITTEST, 0, MAKELPARAM(grab.x, grab.y)));
    const int dx = 40, dy = 30;
    const POINT drop{grab.x + dx, grab.y + dy};
    auto inMoveLoop = [&] { return (InputStateOf(main).flags & GUI_INMOVESIZE) != 0; };
    MouseAt(grab, 0);
    MouseAt(grab, MOUSEEVENTF_LEFTDOWN);
    // The program enters its move loop on the press; moves sent before that are lost.
    const bool entered = WaitUntil(kStepTimeoutMs, inMoveLoop);
    // In steps, each one followed on screen before the next, as a hand drags.
    RECT moved{};
    bool followed = true;
    for (int step = 1; step <= 4 && followed; ++step) {
        const int x = dx * step / 4, y = dy * step / 4;
        MouseAt(POINT{grab.x + x, grab.y + y}, 0);
        followed = WaitUntil(kStepTimeoutMs, [&] {
            GetWindowRect(main, &moved);
            return moved.left == before.left + x && moved.top == before.top + y;
        });
    }
    MouseAt(drop, MOUSEEVENTF_LEFTUP);
    WaitUntil(kStepTimeoutMs, [&] { return !inMoveLoop(); });
    GetWindowRect(main, &moved);
    const bool didMove = moved.left == before.left + dx && moved.top == before.top + dy;
    check.Expect(didMove, Cat(L"dragging the title bar by (", dx, L",", dy, L") moved the window from (", before.left,
                              L",", before.top, L") to (", moved.left, L",", moved.top, L")",
                              entered ? L"" : L"; the program never entered its move loop"));
    check.ExpectEq(L"width after the move", 576, moved.right - moved.left);
    check.ExpectEq(L"height after the move", 453, moved.bottom - moved.top);

    Ask(main, WM_SYSCOMMAND, SC_MINIMIZE);
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return IsIconic(main) != FALSE; }), L"the window did not minimize");
    Ask(main, WM_SYSCOMMAND, SC_RESTORE);
    RECT restored{};
    check.Expect(WaitUntil(kStepTimeoutMs,
                           [&] {
                               GetWindowRect(main, &restored);
                               return !IsIconic(main) && EqualRect(&restored, &moved);
                           }),
                 Cat(L"after restoring, the window is at (", restored.left, L",", restored.top, L"), wanted (",
                     moved.left, L",", moved.top, L")"));
}

void ControlTable(Check& check, const Options& options) {
    Session session(check, options);
    if (!session.Ok()) return;
    for (const ControlRow& row : kControls) CheckControl(check, session, row);

    // In window client coordinates the controls inside the group boxes land here.
    struct ClientPoint {
        int id;
        POINT wanted;
    };
    const ClientPoint placed[] = {
        {kEdit7, {384, 34}}, {kButton4, {328, 64}}, {kEdit8, {384, 106}}, {kEdit6, {320, 160}}};
    for (const ClientPoint& row : placed) {
        HWND hwnd = FindControl(session.Main(), row.id);
        if (hwnd == nullptr) continue;
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        MapWindowPoints(nullptr, session.Main(), reinterpret_cast<POINT*>(&rect), 2);
        check.ExpectEq(ControlName(row.id) + L" left in the window", row.wanted.x, rect.left);
        check.ExpectEq(ControlName(row.id) + L" top in the window", row.wanted.y, rect.top);
    }

    // Parents and stacking: among siblings the earlier description row is on top, and the
    // window has exactly the described controls, no more.
    const int parents[] = {0, kGroup2, kGroup1};
    for (const int parent : parents) {
        HWND parentWindow = parent == 0 ? session.Main() : session.Control(parent);
        if (parentWindow == nullptr) continue;
        std::wstring wanted, got;
        for (const ControlRow& row : kControls) {
            if (row.parent == parent) wanted += ControlName(row.id) + L" ";
        }
        for (HWND child = GetWindow(parentWindow, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            got += ControlName(GetDlgCtrlID(child)) + L" ";
        }
        check.ExpectEq(Cat(L"children of ", parent == 0 ? L"the main window" : ControlName(parent), L", top first"),
                       wanted, got);
    }
}

// --- Display scale -------------------------------------------------------------------------
//
// At every DPI the window is its 96-DPI description scaled: the outer size, each control's
// rectangle, the default GUI font's height, the single-line edit height rule and the icons.
// Fonts and icons are read inside the program's process by the peek hook.

namespace {

using UserDpiMetric = int(WINAPI*)(int, UINT);

// A system metric at a DPI, as the program computes it: GetSystemMetricsForDpi where the
// system has it, else the metric scaled from the system DPI.
int MetricAt(int index, UINT dpi, UINT systemDpi) {
    if (dpi == systemDpi) return GetSystemMetrics(index);
    static const auto forDpi = reinterpret_cast<UserDpiMetric>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    return forDpi != nullptr ? forDpi(index, dpi)
                             : MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi));
}

UINT ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

int Scaled(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), 96);
}

void ExpectNear(Check& check, const std::wstring& what, long wanted, long got) {
    check.Expect(got >= wanted - 1 && got <= wanted + 1, Cat(what, L": wanted ", wanted, L" (within 1), got ", got));
}

// The window and every control at `dpi`, in a program whose system DPI is `systemDpi`.
void CheckScaledLayout(Check& check, Session& session, Peeker& peeker, UINT dpi, UINT systemDpi) {
    const std::wstring at = Cat(L" at ", dpi, L" DPI");
    peek::Report report{};
    if (!check.Expect(peeker.Read(report), L"the peek hook gave no report" + at)) return;
    LOGFONTW stock{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);
    const LONG fontHeight = MulDiv(stock.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
    const int edge = MetricAt(SM_CYEDGE, dpi, systemDpi);

    // The program's own rule, with the frame this window has and its edit boxes' line height.
    RECT outer{}, client{};
    GetWindowRect(session.Main(), &outer);
    GetClientRect(session.Main(), &client);
    const FrameMetrics frame{outer.right - outer.left - client.right, outer.bottom - outer.top - client.bottom};
    int32_t editMinimum = 0;
    for (const ControlRow& row : kControls)
        if (const peek::Control* seen = row.kind == Kind::Edit ? Find(report, row.id) : nullptr)
            editMinimum = static_cast<int32_t>(seen->lineHeight) + 2 * edge;
    const OuterSize size = OuterSizeAt(MainWindowLayout, static_cast<int32_t>(dpi), frame, editMinimum);
    ExpectNear(check, L"outer width" + at, size.width, outer.right - outer.left);
    ExpectNear(check, L"outer height" + at, size.height, outer.bottom - outer.top);

    for (const ControlRow& row : kControls) {
        const std::wstring name = ControlName(row.id) + at;
        HWND hwnd = session.Control(row.id);
        const peek::Control* seen = Find(report, row.id);
        if (hwnd == nullptr || !check.Expect(seen != nullptr, name + L" is not in the hook's report")) continue;
        if (row.kind != Kind::Picture) {
            check.Expect(seen->hasFont, name + L" answers WM_GETFONT with no font");
            check.ExpectEq(name + L" font face", stock.lfFaceName, seen->face);
            check.ExpectEq(name + L" font height", fontHeight, seen->fontHeight);
        }

        const RECT rect = RectInParent(hwnd);
        const int width = rect.right - rect.left, height = rect.bottom - rect.top;
        int wantedHeight = Scaled(row.d->height, dpi);
        if (row.kind == Kind::Edit)
            wantedHeight = std::max(wantedHeight, static_cast<int>(seen->lineHeight) + 2 * edge);
        ExpectNear(check, name + L" left", Scaled(row.d->left, dpi), rect.left);
        ExpectNear(check, name + L" top", Scaled(row.d->top, dpi), rect.top);
        ExpectNear(check, name + L" width", Scaled(row.d->width, dpi), width);
        ExpectNear(check, name + L" height", wantedHeight, height);
        if (GetParent(hwnd) == session.Main())
            check.Expect(rect.right <= client.right && rect.bottom <= client.bottom,
                         Cat(name, L" reaches (", rect.right, L",", rect.bottom, L"), outside the client area ",
                             client.right, L" x ", client.bottom));

        // Captions fit their controls in the controls' own fonts: what they draw stays inside
        // a label's whole rectangle, a button's two edges, a group's frame beside its indent.
        int room = 0;
        if (row.kind == Kind::Label) room = width;
        if (row.kind == Kind::Button) room = width - 4 * edge;
        if (row.kind == Kind::Group) room = width - Scaled(16, dpi);
        if (room == 0) continue;
        check.Expect(seen->ink.cx <= room && seen->caption.cy <= height,
                     Cat(name, L" caption ", Quoted(TextOf(hwnd)), L" draws ", seen->ink.cx, L" of its ",
                         seen->caption.cx, L" x ", seen->caption.cy, L", room ", room, L" x ", height));
    }
    const int big = MetricAt(SM_CXICON, dpi, systemDpi), small = MetricAt(SM_CXSMICON, dpi, systemDpi);
    check.ExpectEq(L"large icon width" + at, big, report.bigIcon.cx);
    check.ExpectEq(L"large icon height" + at, big, report.bigIcon.cy);
    check.ExpectEq(L"small icon width" + at, small, report.smallIcon.cx);
    check.ExpectEq(L"small icon height" + at, small, report.smallIcon.cy);
}

// A 4 x 4 picture of four coloured quarters, stretched over the box's whole client area at
// whatever size the box has.
std::vector<Probe> QuartersAcross(HWND box) {
    RECT client{};
    GetClientRect(box, &client);
    const int w = client.right, h = client.bottom;
    return {{L"top left corner", 2, 2, RGB(255, 0, 0)},
            {L"top right quarter", w * 3 / 4, h / 4, RGB(0, 255, 0)},
            {L"bottom left quarter", w / 4, h * 3 / 4, RGB(0, 0, 255)},
            {L"bottom right corner", w - 3, h - 3, RGB(255, 255, 0)}};
}

} // namespace

// Started at the screen's DPI (the prefix's LogPixels): the whole layout, the fonts, the
// icons and a picture at that scale. At 96 DPI this is the layout of ControlTable.
void DpiLayout(Check& check, const Options& options) {
    const UINT dpi = ScreenDpi();
    check.Note(Cat(L"screen DPI ", dpi, L", caption ", GetSystemMetrics(SM_CYCAPTION)));
    // The tall-caption run sets the prefix's caption height; make sure it took.
    wchar_t caption[16] = L"";
    if (GetEnvironmentVariableW(L"ORVESSA_CAPTION_HEIGHT", caption, 16) > 0)
        check.ExpectEq(L"caption height (SM_CYCAPTION, with its border line)",
                       static_cast<int>(std::wcstol(caption, nullptr, 10)) + 1, GetSystemMetrics(SM_CYCAPTION));
    Bench bench(check, options);
    Session& session = bench.session;
    IconPicker& picker = bench.picker;
    if (!bench.Ok()) return;
    Peeker peeker(session.Main());
    if (!check.Expect(peeker.Ok(), L"cannot hook the program's thread")) return;
    CheckScaledLayout(check, session, peeker, dpi, dpi);
    // What the frame leaves (it differs between Wine versions; docs/WINE.md).
    RECT client{};
    GetClientRect(session.Main(), &client);
    check.Note(Cat(L"caption ", GetSystemMetrics(SM_CYCAPTION), L", frame ", GetSystemMetrics(SM_CYFIXEDFRAME),
                   L", client ", client.right, L" x ", client.bottom));

    // Centred on the screen by the size it has; one larger than the screen keeps its top-left
    // corner on it.
    RECT outer{};
    GetWindowRect(session.Main(), &outer);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const int left = dpi == 96 ? (1024 - width) / 2 : std::max(0, (1024 - width) / 2);
    const int top = dpi == 96 ? (768 - height) / 2 : std::max(0, (768 - height) / 2);
    ExpectNear(check, L"outer left", left, outer.left);
    ExpectNear(check, L"outer top", top, outer.top);

    using namespace testpictures;
    if (!session.Front() ||
        !bench.Show(check, L"quarters.bmp", BmpFile(Quarters(4, 4, kRed, kGreen, kBlue, kYellow), 24)))
        return;
    RECT box{};
    GetWindowRect(picker.Box(), &box);
    ExpectNear(check, L"picture box outer width", Scaled(100, dpi), box.right - box.left);
    const std::wstring problems = picker.WaitProbes(QuartersAcross(picker.Box()));
    check.Expect(problems.empty(), L"the picture does not fill the scaled box: " + problems);

    // The system's own windows scale themselves; they still open as the other tests pin them,
    // on the window's monitor: the open dialog owned by the window, the message box disabling it.
    const HMONITOR monitor = MonitorFromWindow(session.Main(), MONITOR_DEFAULTTONULL);
    if (HWND dialog = picker.OpenDialog()) {
        check.Expect(GetWindow(dialog, GW_OWNER) == session.Main(), L"the open dialog is not owned by the main window");
        check.Expect(MonitorFromWindow(dialog, MONITOR_DEFAULTTONULL) == monitor,
                     L"the open dialog is on another monitor");
        picker.Cancel(dialog, IconPicker::Dismiss::Esc);
    }
    // By keyboard: at 200% the button lies below the bottom of a 768-pixel screen.
    if (!session.Front() || !session.TabTo(kButton3)) return;
    PressKey(VK_SPACE);
    HWND message = WaitDialogOf(session.Process().Pid(), kMessageCaption);
    if (!check.Expect(message != nullptr, L"\x5F00\x59CB\x6253\x5305 (start packaging) showed no message box")) return;
    check.Expect(MonitorFromWindow(message, MONITOR_DEFAULTTONULL) == monitor,
                 L"the message box is on another monitor");
    check.Expect(!IsWindowEnabled(session.Main()), L"the main window is enabled while the message box is up");
    PressDialogButton(message, IDOK);
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(message) && IsWindowEnabled(session.Main()); }),
                 L"the message box did not close");
}

// A move to a monitor of 144 DPI and back, as the system tells it: the same layout as a start
// at that DPI, and the user's typing, selection, focus, echo scroll position and a running
// animation all stay.
void DpiChangeKeepsState(Check& check, const Options& options) {
    const UINT systemDpi = ScreenDpi();
    Bench bench(check, options);
    Session& session = bench.session;
    IconPicker& picker = bench.picker;
    if (!bench.Ok() || !session.Front()) return;
    Peeker peeker(session.Main());
    if (!check.Expect(peeker.Ok(), L"cannot hook the program's thread")) return;

    // Red, green and blue frames of 100 ms, for ever.
    using namespace testpictures;
    using testpictures::kWhite;
    GifWriter gif(4, 4, RgbTable({kRed, kGreen, kBlue, kWhite}));
    for (uint8_t index = 0; index < 3; ++index) gif.Frame(SolidFrame(4, 4, index, 10));
    if (!bench.Show(check, L"lights.gif", gif.Trailer())) return;

    HWND echo = session.Control(kEdit6);
    std::wstring lines;
    for (int i = 0; i < 60; ++i) lines += Cat(L"line ", i, L"\r\n");
    Ask(echo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lines.c_str()));
    Ask(echo, EM_LINESCROLL, 0, 20);
    const LRESULT topChar = Ask(echo, EM_LINEINDEX, static_cast<WPARAM>(Ask(echo, EM_GETFIRSTVISIBLELINE)));

    if (!session.TabTo(kEdit1)) return;
    HWND edit = session.Control(kEdit1);
    TypeKeys(L"typed");
    if (!check.Expect(WaitUntil(kStepTimeoutMs, [&] { return TextOf(edit) == L"typed"; }), L"typing did not arrive"))
        return;
    Ask(edit, EM_SETSEL, 1, 3);

    RECT outer144{};
    for (const UINT dpi : {144u, 96u}) {
        const std::wstring at = Cat(L" after the change to ", dpi, L" DPI");
        if (!check.Expect(peeker.ChangeDpi(dpi, Scaled(576, dpi), Scaled(453, dpi)),
                          L"no answer to the DPI change" + at))
            return;
        CheckScaledLayout(check, session, peeker, dpi, systemDpi);
        if (dpi == 144u) GetWindowRect(session.Main(), &outer144);
        check.ExpectEq(L"typed text" + at, L"typed", TextOf(edit));
        DWORD start = 0, end = 0;
        Ask(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        check.Expect(start == 1 && end == 3, Cat(L"selection", at, L": wanted 1-3, got ", start, L"-", end));
        check.ExpectEq(L"focus" + at, ControlName(kEdit1), session.FocusName());
        const LRESULT first = Ask(echo, EM_GETFIRSTVISIBLELINE);
        check.ExpectEq(L"first character in view in the echo box" + at, topChar,
                       Ask(echo, EM_LINEINDEX, static_cast<WPARAM>(first)));
        check.Expect(picker.WaitAnimating(), L"the animation does not run" + at);
        // Its frames fill the box at its new size.
        RECT client{};
        GetClientRect(picker.Box(), &client);
        POINT corner{client.right - 3, client.bottom - 3};
        ClientToScreen(picker.Box(), &corner);
        COLORREF colour = CLR_INVALID;
        check.Expect(WaitUntil(kStepTimeoutMs,
                               [&] {
                                   HDC screen = GetDC(nullptr);
                                   colour = GetPixel(screen, corner.x, corner.y);
                                   ReleaseDC(nullptr, screen);
                                   return colour == RGB(255, 0, 0) || colour == RGB(0, 255, 0) ||
                                          colour == RGB(0, 0, 255);
                               }),
                     Cat(L"the box's bottom right corner", at, L" shows ", ColourText(colour), L", not a frame"));
    }
    // Minimized, a change sets the size the window is restored to.
    ShowWindow(session.Main(), SW_MINIMIZE);
    if (!check.Expect(WaitUntil(kStepTimeoutMs, [&] { return IsIconic(session.Main()) != FALSE; }), L"not minimized") ||
        !check.Expect(peeker.ChangeDpi(144, Scaled(576, 144), Scaled(453, 144)), L"no answer to the DPI change"))
        return;
    ShowWindow(session.Main(), SW_RESTORE);
    RECT restored{};
    WaitUntil(kStepTimeoutMs, [&] { return !IsIconic(session.Main()) && GetWindowRect(session.Main(), &restored); });
    check.ExpectEq(L"restored width at 144 DPI", outer144.right - outer144.left, restored.right - restored.left);
    check.ExpectEq(L"restored height at 144 DPI", outer144.bottom - outer144.top, restored.bottom - restored.top);
}

} // namespace driver
