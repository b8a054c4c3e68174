// The colours of the window layer (Colors_win.cpp says how they are chosen). Everything that
// decides a colour or a brush of a program window is here; the rooms above only ask.
#pragma once

#include <windows.h>

#include <cstdint>

#include "LiveWindows_win.h"

// A colour of a description as the platform's: kSystemButtonFace becomes the button face.
COLORREF ResolveColor(uint32_t color);
// The background a picture box paints: its written colour, or the button face while its window
// follows the system's colours.
COLORREF PictureBackground(HWND box, uint32_t written);

// Chooses between the written colours and the system's for the window; true when the choice
// changed.
bool ChooseColors(LiveWindow& w);
// Turns the theme off for a button or group box while its window follows the system's
// colours, and back on after.
void FollowColorsInTheme(const LiveControl& c, bool systemColors);

// The answer to WM_CTLCOLOREDIT, WM_CTLCOLORSTATIC and WM_CTLCOLORBTN sent to `parent`.
LRESULT ControlColors(HWND parent, WPARAM wParam, LPARAM lParam);
// A group box's interior, on WM_ERASEBKGND.
void PaintGroupBoxBackground(HWND box, HDC dc);
// A label, on WM_PAINT: opaque background, one line, left-aligned, centred vertically, "&"
// drawn as it stands.
void PaintLabel(HWND label);
