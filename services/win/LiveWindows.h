// Property access to a control of a live window. Controls are addressed by their window's
// description and their name (code page 936); a window or control that is not there is a
// fatal report.
#pragma once

#include "Text.h"
#include "WindowDescription.h"

Text GetText(const WindowDescription& window, const char* control);
void SetText(const WindowDescription& window, const char* control, const Text& text);
void AppendText(const WindowDescription& window, const char* control, const Text& text);

// The file name property of a CommonDlg control.
Text GetFileName(const WindowDescription& window, const char* control);
