// Process-wide state of the service layer, shared by its Windows-side files. One instance,
// created at process start and never copied; touched only on the GUI thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Dpi_win.h"
#include "Handles_win.h"
#include "Text.h"
#include "WindowDescription.h"

// The state of a CommonDlg control: its file name as Text, and the exact path the dialog
// returned, which may hold characters that code page 936 cannot write.
struct FileDialogState {
    Text fileName;
    std::wstring exactPath;
};

// Makes `path` the dialog's chosen file, as a run ending with OK does.
void RememberChosenFile(FileDialogState& state, const std::wstring& path);

class PictureBox;

struct LiveControl {
    const ControlDescription* desc = nullptr;
    int32_t index = 0;                        // position in the description, from 0
    HWND hwnd = nullptr;                      // none for a CommonDlg
    std::unique_ptr<FileDialogState> dialog;  // CommonDlg only
    PictureBox* picture = nullptr;            // PicBox only; owned by its window
};

struct LiveWindow {
    const WindowDescription* desc = nullptr;
    HWND hwnd = nullptr;
    std::vector<LiveControl> controls;
    HWND rememberedFocus = nullptr;
    int suppressEvents = 0;  // above 0 while the window is being built
    UINT dpi = 96;           // of the monitor the window is on
    WindowIcons icons;       // its own, once its DPI differs from the system's
};

struct LoadedWindow {
    const WindowDescription* desc = nullptr;
    std::unique_ptr<LiveWindow> live;  // set while the platform window exists
};

struct ServiceState {
    std::wstring programFolder;  // exact path, without the trailing backslash
    std::wstring programFile;
    bool eventLoopEntered = false;
    bool cleanupDone = false;
    bool oleInitialised = false;
    int eventDeliveryStop = 0;  // above 0 once a fatal report began
    int runningHandlers = 0;    // above 0 while a handler runs (it may outlive its window)
    std::vector<void (*)()> exitRoutines;
    DWORD guiThread = 0;
    OwnedWindow serviceWindow;
    OwnedIcon classIcon;  // the program's icon, for the window class
    OwnedIcon classSmallIcon;
    std::vector<LoadedWindow> windows;
    int quitCode = 0;
};

ServiceState& Services();

// Window layer hooks used by the runtime.
void RegisterWindowClasses();
bool PreTranslateWindowMessage(MSG& msg);
LiveWindow* FindLiveWindow(const WindowDescription& desc);
// A colour of a description as the platform's: kSystemButtonFace becomes the button face.
COLORREF ResolveColor(uint32_t color);
void DestroyAllWindows();
// Whether the program window `window` takes dropped files now: it has a drop binding, is
// enabled (no message box or dialog of the program is up) and events are delivered.
bool WindowTakesFileDrop(HWND window);
// A file dropped on `window` (a program window or any of its children): it becomes the chosen
// file of the window's drop dialog and the drop handler runs. False when nothing was done.
bool DeliverFileDrop(HWND window, const std::wstring& path);

// Property access to a control, for the picture and the file dialog as for GetText and SetText:
// a window that is not loaded, a name that is not there or a platform window that has gone
// ends in the fatal report, located at the window and the control.
LiveControl& ControlForRead(const WindowDescription& window, const char* control);
LiveControl& ControlForWrite(const WindowDescription& window, const char* control);

// Keeps back the memory the fatal report needs to show itself after the heap has run out.
void KeepReportReserve();

// The end-of-program clean-up; runExitRoutines is false after a fatal report.
void RunEndOfProgramCleanup(bool runExitRoutines);
// Releases the modules loaded for declared DLL commands.
void ReleaseDeclaredCommands();
