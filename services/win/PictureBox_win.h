// The picture box control: a self-painted window that shows a picture given as bytes.
#pragma once

#include <windows.h>

#include "Text.h"

extern const wchar_t kPictureBoxClass[];

class PictureBox;

void RegisterPictureBoxClass();
PictureBox* PictureBoxFromHwnd(HWND hwnd);
