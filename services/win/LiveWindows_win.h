// The live window state: the program's windows as loaded from their descriptions, the platform
// windows and controls built for them, the lookups between the two, property access to a
// control and the delivery of a dropped file. The bottom room of the window layer: the window
// procedures, the dialogs, the picture box, the drop target and the runtime read and change
// windows through it, and it calls none of them. Touched only on the GUI thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Dpi_win.h"
#include "Fatal.h"
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
    int suppressEvents = 0;     // above 0 while the window is being built
    UINT dpi = 96;              // of the monitor the window is on
    bool systemColors = false;  // the system's colours replace the written ones
    bool closeHeld = false;     // a close came while a handler ran; carried out after it
    WindowIcons icons;          // its own, once its DPI differs from the system's
};

struct LoadedWindow {
    const WindowDescription* desc = nullptr;
    std::unique_ptr<LiveWindow> live;  // set while the platform window exists
};

// The program's windows in the order of their descriptions, the startup window first.
std::vector<LoadedWindow>& LoadedWindows();
// The tags of the loaded windows and their controls, as the fatal report names them.
const ErrorLocationLookup& LoadedWindowTags();

LiveWindow* FindLiveWindow(const WindowDescription& desc);
// The live window a program window's platform window carries in its window data.
LiveWindow* WindowFromHwnd(HWND hwnd);
// The program window holding `hwnd` (the window itself or anything inside it).
LiveWindow* ProgramWindowContaining(HWND hwnd);
LiveControl* ControlFromHwnd(LiveWindow& w, HWND hwnd);
bool AnyProgramWindowAlive();

// Events are not delivered while the window is being built, nor once a fatal report began.
bool EventsBlocked(const LiveWindow& w);
// Whether `w` starts a handler now: it is enabled (no box or dialog of the program is up),
// events are delivered and no handler runs. Handlers wait in modal loops that still deliver
// clicks, closes and timers, so this is asked before every one.
bool WindowTakesEvents(const LiveWindow& w);
// Whether a handler of the application is running.
bool HandlerRunning();
// Runs a handler of the application, unless one already runs; a close held meanwhile is
// posted again once it has returned.
void RunHandler(void (*handler)());

// Whether the program window `window` takes dropped files now: it has a drop binding and
// takes events.
bool WindowTakesFileDrop(HWND window);
// A file dropped on `window` (a program window or any of its children): it becomes the chosen
// file of the window's drop dialog and the drop handler runs. False when nothing was done.
bool DeliverFileDrop(HWND window, const std::wstring& path);

// A control for a change of its property, for the picture and the file dialog as for SetText:
// a window that is not loaded, a name that is not there or a platform window that has gone
// ends in the fatal report, located at the window and the control.
LiveControl& ControlForWrite(const WindowDescription& window, const char* control);
