// Names, roles and values for screen readers and other accessibility clients.
#pragma once

#include <windows.h>

#include <string>

#include "AccessibleRules.h"

// What a control shows, as an accessibility client reads its value.
using AccessibleValue = std::wstring (*)(HWND control);

// Makes the control answer accessibility clients with this role and name (UTF-16), and with
// `value` when there is one, keeping everything else the system's standard object for the
// window says: by direct annotation for a system control without a value where the system
// takes it, else through a thin object of the program's around the standard one. Annotations
// are cleared when the control is destroyed. The annotation waits for
// AnnotateWaitingControls; meanwhile the thin object answers.
void GiveAccessibleIdentity(HWND control, AccessibleRole role, const std::wstring& name,
                            AccessibleValue value = nullptr);

// Annotates the controls given an identity since the last call. The window layer calls it once
// the window is shown; a client's first request to one of them calls it before the answer.
void AnnotateWaitingControls();

// Tells listening clients that what the picture box shows has changed.
void NotifyPictureChanged(HWND pictureBox);
