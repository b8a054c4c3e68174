// The window layer's hooks for the runtime: its window classes, the keys it takes before the
// message is dispatched, and the end of its windows. Building the startup window is declared
// in Window.h.
#pragma once

#include <windows.h>

void RegisterWindowClasses();
// True when the message was a key the window layer acted on; it is then not dispatched.
bool PreTranslateWindowMessage(MSG& msg);
void DestroyAllWindows();
