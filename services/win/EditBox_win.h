// The edit-box messages the window layer sends, as calls. Positions count characters from 0.
#pragma once

#include <windows.h>

namespace editbox {

inline LRESULT Length(HWND box) {
    return SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
}
// No length limit: the largest the control accepts.
inline void RemoveLimit(HWND box) {
    SendMessageW(box, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
}
// Selects [from, to); from == to only places the caret.
inline void Select(HWND box, LRESULT from, LRESULT to) {
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(from), to);
}
inline void ScrollCaretIntoView(HWND box) {
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
}
inline void ReplaceSelection(HWND box, const wchar_t* text) {
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}
// The first character of the top line in view (multi-line boxes).
inline LRESULT TopCharacter(HWND box) {
    const LRESULT line = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    return SendMessageW(box, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
}
// Scrolls the line holding `character` to the top of the view (multi-line boxes).
inline void ScrollToTop(HWND box, LRESULT character) {
    const LRESULT line = SendMessageW(box, EM_LINEFROMCHAR, static_cast<WPARAM>(character), 0);
    const LRESULT first = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (line != first) SendMessageW(box, EM_LINESCROLL, 0, line - first);
}

}  // namespace editbox
