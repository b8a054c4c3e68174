#include "IconPicker.h"

#include <cstdlib>

namespace driver {

namespace {

constexpr int kCommonDialogCancel = IDCANCEL;

bool InsideComboBox(HWND hwnd) {
    for (HWND parent = GetParent(hwnd); parent != nullptr; parent = GetParent(parent)) {
        const std::wstring name = ClassOf(parent);
        if (name == L"ComboBox" || name == L"ComboBoxEx32") return true;
    }
    return false;
}

} // namespace

std::wstring ColourText(COLORREF colour) {
    if (colour == CLR_INVALID) return L"nothing";
    wchar_t text[16];
    wsprintfW(text, L"#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    if (a == CLR_INVALID || b == CLR_INVALID) return false;
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::vector<Probe> Everywhere(COLORREF colour, int tolerance) {
    return {{L"centre", 49, 49, colour, tolerance},
            {L"top left", 3, 3, colour, tolerance},
            {L"top right", 94, 3, colour, tolerance},
            {L"bottom left", 3, 94, colour, tolerance},
            {L"bottom right", 94, 94, colour, tolerance}};
}

// --- IconPicker ------------------------------------------------------------------------

IconPicker::IconPicker(Check& check, Session& session) : check_(check), session_(session) {
    if (!session.Ok()) return;
    box_ = session.Control(kPicture1);
    selectButton_ = session.Control(kButton1);
    clearButton_ = session.Control(kButton2);
}

HWND IconPicker::OpenDialog(Press how) {
    if (!Ok() || !session_.Front()) return nullptr;
    if (how == Press::Click) {
        ClickCentre(selectButton_);
    } else {
        if (!session_.TabTo(kButton1)) return nullptr;
        PressKey(VK_SPACE);
    }
    // The dialog is the program's one top-level window besides the main window.
    HWND dialog = nullptr;
    WaitUntil(kStepTimeoutMs, [&] {
        for (HWND hwnd : TopLevelWindowsOf(session_.Process().Pid())) {
            if (hwnd != session_.Main()) dialog = hwnd;
        }
        return dialog != nullptr;
    });
    check_.Expect(dialog != nullptr, Cat(how == Press::Click ? L"a click on " : L"Space on ", ControlName(kButton1),
                                         L" opened no dialog within ", kStepTimeoutMs, L" ms"));
    return dialog;
}

HWND IconPicker::FileNameEdit(HWND dialog) {
    std::vector<HWND> edits;
    for (HWND hwnd : ChildrenOf(dialog)) {
        if (ClassOf(hwnd) == L"Edit" && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) edits.push_back(hwnd);
    }
    // The file-name box is an edit inside a combo box in the Explorer-style dialog; an older
    // layout has it as a plain edit, the dialog's only one.
    for (HWND edit : edits) {
        if (InsideComboBox(edit)) return edit;
    }
    if (edits.size() == 1) return edits.front();
    check_.Fail(Cat(L"found no file-name box in the dialog of class ", ClassOf(dialog), L"; its windows:",
                    DescribeChildren(dialog)));
    return nullptr;
}

bool IconPicker::WaitClosed(HWND dialog, const std::wstring& after) {
    const bool closed = WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
    if (!check_.Expect(closed, after + L": the dialog is still open")) return false;
    // The handler reads the file and sets the picture after the dialog has gone.
    return check_.Expect(session_.Sync(), after + L": the program did not become idle");
}

bool IconPicker::Choose(const std::wstring& path, Press how) {
    HWND dialog = OpenDialog(how);
    if (dialog == nullptr) return false;
    HWND edit = FileNameEdit(dialog);
    if (edit == nullptr) return false;
    if (!check_.Expect(BringToFront(dialog), L"the file dialog did not take the foreground")) return false;
    // The box has the focus when the dialog opens; a click puts it there otherwise.
    if (!WaitUntil(kStepTimeoutMs / 2, [&] { return FocusOf(dialog) == edit; })) ClickCentre(edit);
    if (!check_.Expect(WaitUntil(kStepTimeoutMs, [&] { return FocusOf(dialog) == edit; }),
                       L"the dialog's file-name box does not take the focus"))
        return false;
    // Typed over whatever the box holds: the previous choice is filled in when it opens.
    // Keys, not messages, select it, so the selection cannot overtake the keys before it.
    // The dialog may fill in the previous choice after the box already has the focus, behind
    // the typed text; the path is then typed over everything again.
    bool typed = false;
    for (int attempt = 0; attempt < 3 && !typed; ++attempt) {
        PressKey(VK_END);
        PressKey(VK_HOME, kShift);
        TypeKeys(path);
        typed = WaitUntil(kStepTimeoutMs, [&] { return TextOf(edit) == path; });
    }
    if (!typed) {
        check_.ExpectEq(L"the dialog's file-name box after typing", path, TextOf(edit));
        return false;
    }
    PressKey(VK_RETURN);
    return WaitClosed(dialog, L"Enter on " + Quoted(path));
}

bool IconPicker::Cancel(HWND dialog, Dismiss how) {
    if (!check_.Expect(BringToFront(dialog), L"the file dialog did not take the foreground")) return false;
    if (how == Dismiss::Esc) {
        PressKey(VK_ESCAPE);
    } else {
        HWND button = GetDlgItem(dialog, kCommonDialogCancel);
        if (!check_.Expect(button != nullptr, L"the file dialog has no cancel button")) return false;
        ClickCentre(button);
    }
    return WaitClosed(dialog,
                      how == Dismiss::Esc ? L"Esc in the file dialog" : L"a click on the dialog's cancel button");
}

bool IconPicker::Clear() {
    if (!Ok() || !session_.Front()) return false;
    // Input is handled after anything sent to the program, so a check right after the click
    // could see the box as it was. The button lets the mouse go just before it reports the
    // click; a message sent after that is answered once the handler has returned.
    FirmClick(clearButton_, CentreOf(clearButton_));
    return check_.Expect(session_.Sync(), L"the program did not become idle after the clear button");
}

std::wstring IconPicker::WaitProbes(const std::vector<Probe>& probes, DWORD timeoutMs) {
    std::wstring problems;
    WaitUntil(timeoutMs, [&] {
        const RECT inside = ClientOnScreen(box_);
        const ScreenCopy shot(inside);
        problems.clear();
        for (const Probe& probe : probes) {
            const COLORREF got = shot.At(inside.left + probe.x, inside.top + probe.y);
            if (Near(got, probe.colour, probe.tolerance)) continue;
            problems += Cat(problems.empty() ? L"" : L"; ", probe.where, L" (", probe.x, L",", probe.y, L"): wanted ",
                            ColourText(probe.colour), probe.tolerance ? Cat(L" +/-", probe.tolerance) : L"", L", got ",
                            ColourText(got));
        }
        return problems.empty();
    });
    return problems;
}

std::wstring IconPicker::WaitBlank(DWORD timeoutMs) {
    const COLORREF face = Background();
    std::wstring problems;
    WaitUntil(timeoutMs, [&] {
        const RECT inside = ClientOnScreen(box_);
        const ScreenCopy shot(inside);
        if (inside.right <= inside.left || inside.bottom <= inside.top) {
            problems = L"the box has no client area";
            return false;
        }
        int other = 0;
        COLORREF first = CLR_INVALID;
        POINT at{0, 0};
        for (int y = inside.top; y < inside.bottom; ++y) {
            for (int x = inside.left; x < inside.right; ++x) {
                if (shot.At(x, y) == face) continue;
                if (other++ == 0) {
                    first = shot.At(x, y);
                    at = POINT{x - inside.left, y - inside.top};
                }
            }
        }
        problems = other == 0 ? L""
                              : Cat(other, L" pixels are not the background ", ColourText(face), L", the first at (",
                                    at.x, L",", at.y, L") is ", ColourText(first));
        return other == 0;
    });
    return problems;
}

POINT IconPicker::CentreOnScreen() const {
    RECT client{};
    GetClientRect(box_, &client);
    POINT centre{client.right / 2, client.bottom / 2};
    ClientToScreen(box_, &centre);
    return centre;
}

bool IconPicker::WaitAnimating() const {
    const POINT centre = CentreOnScreen();
    const COLORREF frames[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    bool seen[3] = {};
    HDC screen = GetDC(nullptr);
    const bool ok = WaitUntil(kStepTimeoutMs, [&] {
        const COLORREF colour = GetPixel(screen, centre.x, centre.y);
        for (int i = 0; i < 3; ++i) seen[i] = seen[i] || Near(colour, frames[i], 8);
        return seen[0] && seen[1] && seen[2];
    });
    ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace driver
