// The wait cursor while the GUI thread works through something that may take seconds: reading
// a large file, decoding a large picture. No message is handled meanwhile, so nothing else
// would tell the user that the program is busy rather than hung.
#pragma once

#include <windows.h>

// Shows the wait cursor for its lifetime. Scopes nest; when the outermost one ends, the cursor
// from before comes back and the window under the pointer is asked for its own, as a mouse move
// would ask it, so the right cursor shows even if the pointer moved meanwhile. GUI thread only.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool outermost_;
    HCURSOR previous_ = nullptr;
};
