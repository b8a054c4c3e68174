// What the fatal-report, handler and file tests need besides the common session: scratch
// folders that vanish with the test, processes started with arguments, the message boxes
// and dialogs the program shows, the clock, and the prefix's browser setting.
#pragma once

#include "TestCase.h"
#include "Ui.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace driver {

// A fresh, empty folder under the temp folder (or under `parent`), removed with its content
// when the object goes. Declare it before any process that runs from it: the process must be
// gone first.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& parent = std::wstring());
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Threads of a process as the system lists them now; -1 when it cannot list them.
int ThreadsOf(DWORD pid);

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool ReadFileText(const std::wstring& path, std::string& bytes);
// Cuts or lengthens a file to `size` bytes at once; what is added reads as zeros. Not marked
// sparse: under Wine the large dropped file marked so left the wait-cursor case without its
// arrow in three runs of four.
bool SetFileLength(const std::wstring& path, long long size);
bool FileExists(const std::wstring& path);
std::wstring FolderOf(const std::wstring& path);
std::wstring NameOf(const std::wstring& path);
// The Unix path of a Windows path, through Wine's own mapping; empty outside Wine.
std::string UnixPathOf(const std::wstring& path);

// A message box as the program shows it.
struct BoxView {
    std::wstring caption;
    std::wstring text;         // the message, from its text control
    std::vector<HWND> buttons; // visible push buttons, in Z order
    HWND icon = nullptr;       // the visible icon control, if any
};
BoxView ReadBox(HWND box);
// A visible top-level dialog of the process with this caption; null when none comes in time.
HWND WaitDialogOf(DWORD pid, const wchar_t* caption, DWORD timeoutMs = kStepTimeoutMs);
// A visible top-level dialog of the process other than `except`, with any caption.
HWND WaitOtherDialogOf(DWORD pid, HWND except, DWORD timeoutMs = kStepTimeoutMs);
// Presses a dialog button the way its keyboard accelerator does: the dialog gets the command.
void PressDialogButton(HWND dialog, int id);
// How close the icon shown in `iconControl` is to a system icon: the share of pixels that
// match when the icon is drawn on the control's own background, 0 to 1.
double IconLikeness(HWND iconControl, const wchar_t* systemIcon);
// Centre of the close box on the title bar, found by hit-testing the top right of the window:
// the frame's exact metrics are the platform's business. The centre, because the button tracks
// the mouse while pressed and a release on its very edge may miss it.
bool FindCloseButton(HWND window, POINT& point);
// Presses and releases the left button at `point`, waiting for the window under it to take
// the mouse first, so the release is never taken before the press.
void FirmClick(HWND target, POINT point);

// The header of a 32-bit picture of `width` x `height`, top row first.
BITMAPINFO TopDownBgraHeader(int width, int height);

// A copy of one screen rectangle.
class ScreenCopy {
public:
    explicit ScreenCopy(const RECT& screen);
    COLORREF At(int x, int y) const; // screen coordinates; CLR_INVALID outside
    // Pixels of `inside` (screen coordinates) within `tolerance` of `colour` in each channel.
    int CountNear(const RECT& inside, COLORREF colour, int tolerance) const;

private:
    POINT origin_;
    int width_ = 0;
    int height_ = 0;
    std::vector<DWORD> pixels_;
};
// The client area of a window in screen coordinates.
RECT ClientOnScreen(HWND hwnd);

// Milliseconds since 1970-01-01 00:00:00 UTC, from the system clock.
long long UnixMillisNow();
bool AllDigits(const std::wstring& text);
// The order number inside a packaging text (message or echo line); empty when the text does
// not have the packaging shape with a 13-digit number.
std::wstring PackagingNumber(const std::wstring& text);

// Whether a process of that file name (such as "winebrowser.exe") is running.
bool ProcessRunning(const wchar_t* exeName);

// Sets HKCU\Software\Wine\WineBrowser "Browsers" for the life of the object and puts back
// what was there (or nothing) afterwards.
class BrowserSetting {
public:
    explicit BrowserSetting(const std::wstring& command);
    ~BrowserSetting();
    BrowserSetting(const BrowserSetting&) = delete;
    BrowserSetting& operator=(const BrowserSetting&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
    bool hadValue_ = false;
    DWORD oldType_ = 0;
    std::vector<BYTE> oldValue_;
};

// The probe program's controls: a control's ID is 1001 plus its row.
enum ProbeControlId : int {
    kProbeFault = 1001,
    kProbeCount = 1002,
    kProbeResult = 1003,
    kProbeCountBox = 1004,
};

// The probe copied into a fresh folder of its own, with its library beside it (and, when
// asked, that library again under the name kernel32.dll), started there with `args`. The
// files it writes into its folder therefore belong to this run alone.
enum class ProbeStart {
    Window,        // the probe shows its window
    PlantKernel32, // the same, with a kernel32.dll of its own beside it
    ReportAtStart, // the probe reports a fault before any window shows
};

class ProbeRun {
public:
    ProbeRun(Check& check, const Options& options, const std::vector<std::wstring>& args,
             ProbeStart start = ProbeStart::Window);

    bool Started() const { return process_ && process_->Started(); }
    bool Ok() const { return main_ != nullptr; }
    HWND Main() const { return main_; }
    HWND Control(int id);
    const TempFolder& Folder() const { return folder_; }
    Program& Process() { return *process_; }
    // A click on "fault" that returns at once, whatever the handler then does.
    void PostFault();
    // The result box once it holds something, or what it holds at the deadline.
    std::wstring WaitResult();

private:
    Check& check_;
    TempFolder folder_; // outlives the process, which runs from it
    std::unique_ptr<Program> process_;
    HWND main_ = nullptr;
};

// Text of the control and the key of every edit, for failure messages of dialog tests.
std::wstring DescribeChildren(HWND parent);

} // namespace driver
