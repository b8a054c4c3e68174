// The icon row of the main window worked from outside: 选择图片 opens the program's file
// dialog, where a path is typed and confirmed or the dialog is cancelled; 清空图片 empties
// the box. What the picture box shows is read back as screen pixels of its client area.
#pragma once

#include "Fixtures.h"
#include "Session.h"

#include <string>
#include <vector>

namespace driver {

// A point of the box's client area and the colour it should have, each channel within
// `tolerance`.
struct Probe {
    const wchar_t* where;
    int x, y;
    COLORREF colour;
    int tolerance = 0;
};

std::wstring ColourText(COLORREF colour);
bool Near(COLORREF a, COLORREF b, int tolerance);

class IconPicker {
public:
    IconPicker(Check& check, Session& session);

    bool Ok() const { return box_ != nullptr && selectButton_ != nullptr && clearButton_ != nullptr; }
    HWND Box() const { return box_; }
    // The button face, which an empty box shows everywhere.
    COLORREF Background() const { return GetSysColor(COLOR_BTNFACE); }

    enum class Press { Click, Space };
    enum class Dismiss { Esc, CancelButton };

    // Presses 选择图片 and waits for the file dialog; null (reported) when none shows up.
    HWND OpenDialog(Press how = Press::Click);
    // The dialog's file-name box, where a path is typed.
    HWND FileNameEdit(HWND dialog);
    // Opens the dialog, types the full path into its file-name box and confirms with Enter.
    bool Choose(const std::wstring& path, Press how = Press::Click);
    // Closes an open dialog without a choice.
    bool Cancel(HWND dialog, Dismiss how);
    // Clicks 清空图片; the caller waits for the box to change.
    bool Clear();

    // Waits until every probe holds. Empty when they do; else what the last look found,
    // for the caller to report.
    std::wstring WaitProbes(const std::vector<Probe>& probes, DWORD timeoutMs = kStepTimeoutMs);
    // Waits until the whole client area is the background colour; the same answer.
    std::wstring WaitBlank(DWORD timeoutMs = kStepTimeoutMs);
    // A screen point in the middle of the client area, for sampling over time.
    POINT CentreOnScreen() const;
    // Waits until the middle of the box has shown red, green and blue: an animation of those
    // frames runs.
    bool WaitAnimating() const;

private:
    bool WaitClosed(HWND dialog, const std::wstring& after);

    Check& check_;
    Session& session_;
    HWND box_ = nullptr;
    HWND selectButton_ = nullptr;
    HWND clearButton_ = nullptr;
};

// What a box showing nothing but `colour` looks like at its centre and near its corners.
std::vector<Probe> Everywhere(COLORREF colour, int tolerance = 0);

// A program with its icon row, and a scratch folder for the files it is shown. The folder
// is made first so that it goes last, after the program has ended.
struct Bench {
    Bench(Check& check, const Options& options) : session(check, options), picker(check, session) {
        check.Expect(folder.Ok(), L"cannot make a scratch folder under the temporary folder");
    }
    bool Ok() const { return folder.Ok() && picker.Ok(); }
    // Writes the file and chooses it in the program's dialog.
    bool Show(Check& check, const std::wstring& name, const std::vector<uint8_t>& bytes,
              IconPicker::Press how = IconPicker::Press::Click) {
        return check.Expect(WriteFileBytes(folder / name, bytes), L"cannot write " + folder / name) &&
               picker.Choose(folder / name, how);
    }

    TempFolder folder;
    Session session;
    IconPicker picker;
};

} // namespace driver
