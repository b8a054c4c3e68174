// Files dragged onto a program window, from the shell or any other program: through OLE
// drag-and-drop, and through WM_DROPFILES for senders that still use it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// Registers the window and everything inside it as a drop target for files; OLE must be
// initialised on this thread. Revoked when the window is destroyed; drops the window has not
// opened yet are forgotten then.
void RegisterFileDrop(HWND window);
void RevokeFileDrop(HWND window);

// The timer a window that took a drop is given; on it the window calls OpenWaitingDrops.
constexpr UINT_PTR kFileDropTimer = 0x0D50;
// Opens the file of each drop `window` took and has not opened yet, under the rules that hold
// now.
void OpenWaitingDrops(HWND window);

// The files of a WM_DROPFILES message, handed on as an OLE drop's are; frees the drop handle.
void TakeDroppedFiles(HWND window, HDROP drop);

// The path a drop of these paths opens: the first that is not a folder. Empty when there is
// none, and then the drop changes nothing.
std::wstring FileToOpen(const std::vector<std::wstring>& paths);
