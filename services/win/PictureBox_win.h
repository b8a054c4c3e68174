// The picture box control: a self-painted window that shows a picture given as bytes.
#pragma once

#include <windows.h>

#include <string>

#include "Text.h"

extern const wchar_t kPictureBoxClass[];

class PictureBox;

void RegisterPictureBoxClass();
PictureBox* PictureBoxFromHwnd(HWND hwnd);
// The box is about to change size: its kept scaled copy and animation frames are dropped and a
// running animation pauses; the next paint rebuilds them at the new size and plays on.
void ResetPictureScale(PictureBox& box);
// The picture box's value as an accessibility client reads it.
std::wstring PictureBoxValue(HWND pictureBox);
