// Names, roles and the picture box's value for screen readers and other accessibility clients.
#pragma once

#include <windows.h>

#include <string>

#include "AccessibleRules.h"

// Makes the control answer accessibility clients with this role and name (UTF-16), keeping
// everything else the system's standard object for the window says.
void GiveAccessibleIdentity(HWND control, AccessibleRole role, const std::wstring& name);

// Tells listening clients that what the picture box shows has changed.
void NotifyPictureChanged(HWND pictureBox);

// The picture box's value as a client reads it; defined by the picture box.
std::wstring PictureBoxValue(HWND pictureBox);
