// The program's only window, as data, and the names of the controls the handlers touch.
#pragma once

#include "WindowDescription.h"

extern const WindowDescription MainWindow;

// Control names in code page 936.
#define ORV_ECHO_BOX "\xB1\xE0\xBC\xAD\xBF\xF2" "6"             // 编辑框6
#define ORV_ORDER_NUMBER_BOX "\xB1\xE0\xBC\xAD\xBF\xF2" "7"     // 编辑框7
#define ORV_FILE_DIALOG "\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2" "1"  // 通用对话框1
#define ORV_ICON_BOX "\xCD\xBC\xC6\xAC\xBF\xF2" "1"             // 图片框1

// Control windows carry this plus their 1-based position in the description as their ID.
constexpr int kControlIdBase = 1000;
