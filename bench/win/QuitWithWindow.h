// The window procedure of the start-up yardsticks: the program ends when its window goes.
#pragma once

#include <windows.h>

inline LRESULT CALLBACK QuitWithWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
