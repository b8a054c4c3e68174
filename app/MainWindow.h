// The program's only window, as data, and the controls the handlers touch.
#pragma once

#include "WindowDescription.h"

extern const WindowDescription MainWindow;

// The controls the handlers touch, by their 1-based position in the description. A misspelt
// one does not build, and checks beside the description make sure each position holds a
// control of the kind the handlers expect.
enum class MainControl : int32_t {
    FileDialog = 1,      // 通用对话框1
    OrderNumberBox = 5,  // 编辑框7
    EchoBox = 8,         // 编辑框6
    IconBox = 13,        // 图片框1
};

// Its name (code page 936): the services find controls by name, and their fatal reports name
// the control looked for.
const char* NameOf(MainControl control);
