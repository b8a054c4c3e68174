// What the application asks of the service layer: start-up and shutdown, the window and its
// controls. Controls are addressed by their window's description and their name (code page
// 936). A request for a window or control that is not there is a fatal report.
#pragma once

#include <cstdint>

#include "Text.h"
#include "WindowDescription.h"

// Supplied by the application: the window descriptions embedded in the program, the startup
// window first.
const WindowDescription* const* ProgramWindowDescriptions(int32_t* count);
// Supplied by the application: its entry, called once on the GUI thread after process start.
int32_t ApplicationMain();

using ExitRoutine = void (*)();

void InitServices();
void RegisterExitRoutine(ExitRoutine routine);
// Builds the startup window from its description and shows it.
void CreateMainWindow();
// Runs until the quit request arrives; returns at once when no window of the program exists.
void RunEventLoop();

Text GetText(const WindowDescription& window, const char* control);
void SetText(const WindowDescription& window, const char* control, const Text& text);
void AppendText(const WindowDescription& window, const char* control, const Text& text);

// The file name property of a CommonDlg control.
Text GetFileName(const WindowDescription& window, const char* control);
