// The colours of the window layer: the choice between the written colours and the system's,
// the brushes, the colour requests of the standard controls, the label and group-box painting
// and the picture box's background.
//
// A window draws its controls in their written colours until the user's scheme asks for
// the system's: high contrast is on, or the written captions would not read on the current
// button face (WrittenTextUnreadable). Then labels, group titles and the picture box take
// the button colours, and edit boxes the window colours. The choice is made again whenever
// the system says its colours, settings or theme changed. The brushes of written colours
// never depend on the scheme; those of system colours are the system's own and follow it.
#include <windows.h>

#include <map>

#include "Codepage_win.h"
#include "ColorRules.h"
#include "Colors_win.h"
#include "Handles_win.h"
#include "SystemLibrary_win.h"

namespace {

HBRUSH BrushFor(uint32_t color) {
    if (color == kSystemButtonFace) return GetSysColorBrush(COLOR_BTNFACE);
    static std::map<uint32_t, OwnedBrush> brushes;  // a handful of colours, kept for the process
    OwnedBrush& b = brushes[color];
    if (!b) b.Reset(CreateSolidBrush(static_cast<COLORREF>(color)));
    return b.Get();
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

struct DrawColors {
    COLORREF text;
    COLORREF background;
    HBRUSH brush;
};

// The colours a control of `w` is drawn in now; the button colours for anything unknown.
DrawColors ColorsOf(const LiveWindow* w, const ControlDescription* d) {
    if (d && !(w && w->systemColors))
        return {ResolveColor(d->textColor), ResolveColor(d->background), BrushFor(d->background)};
    const bool edit = d && d->kind == ControlKind::EditBox;
    const int text = edit ? COLOR_WINDOWTEXT : COLOR_BTNTEXT;
    const int background = edit ? COLOR_WINDOW : COLOR_BTNFACE;
    return {GetSysColor(text), GetSysColor(background), GetSysColorBrush(background)};
}

}  // namespace

COLORREF ResolveColor(uint32_t color) {
    return color == kSystemButtonFace ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(color);
}

COLORREF PictureBackground(HWND box, uint32_t written) {
    const LiveWindow* w = ProgramWindowContaining(box);
    return w && w->systemColors ? GetSysColor(COLOR_BTNFACE) : ResolveColor(written);
}

bool ChooseColors(LiveWindow& w) {
    const bool system =
        HighContrastOn() || WrittenTextUnreadable(*w.desc, GetSysColor(COLOR_BTNFACE));
    const bool changed = system != w.systemColors;
    w.systemColors = system;
    return changed;
}

// Visual styles draw buttons and group titles in the theme's colours whatever the scheme;
// while the window follows the system's colours they draw without them, in the colours the
// window hands them. Only then is the theme library asked for.
void FollowColorsInTheme(const LiveControl& c, bool systemColors) {
    if (!c.hwnd || (c.desc->kind != ControlKind::Button && c.desc->kind != ControlKind::GroupBox))
        return;
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    static const auto setWindowTheme =
        SystemFunction<SetWindowThemeFn>(L"uxtheme.dll", "SetWindowTheme");
    if (!setWindowTheme) return;
    // A class list that names no class: L"" is the documented form, but Wine refuses it (an
    // empty atom); a blank matches no class on either.
    const wchar_t* none = systemColors ? L" " : nullptr;
    setWindowTheme(c.hwnd, none, none);
}

LRESULT ControlColors(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    LiveWindow* w = ProgramWindowContaining(hwnd);
    LiveControl* c = w ? ControlFromHwnd(*w, reinterpret_cast<HWND>(lParam)) : nullptr;
    const HDC dc = reinterpret_cast<HDC>(wParam);
    if (!c) {
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    const DrawColors colors = ColorsOf(w, c->desc);
    SetTextColor(dc, colors.text);
    SetBkColor(dc, colors.background);
    return reinterpret_cast<LRESULT>(colors.brush);
}

void PaintGroupBoxBackground(HWND box, HDC dc) {
    LiveWindow* w = ProgramWindowContaining(box);
    LiveControl* c = w ? ControlFromHwnd(*w, box) : nullptr;
    RECT r;
    GetClientRect(box, &r);
    FillRect(dc, &r, ColorsOf(w, c ? c->desc : nullptr).brush);
}

void PaintLabel(HWND label) {
    const auto* desc =
        reinterpret_cast<const ControlDescription*>(GetWindowLongPtrW(label, GWLP_USERDATA));
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(label, &ps);
    RECT r;
    GetClientRect(label, &r);
    const DrawColors colors = ColorsOf(ProgramWindowContaining(label), desc);
    FillRect(dc, &r, colors.brush);
    const WideText text = WideText::OfWindow(label);
    const auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(label, 0));
    const HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, desc ? colors.text : ResolveColor(kBlack));
    DrawTextW(dc, text.c_str(), text.size(), &r,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    EndPaint(label, &ps);
}
