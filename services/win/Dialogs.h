// Message boxes and the file-open dialog. Thin and synchronous; neither reports an error of its
// own.
#pragma once

#include <cstdint>

#include "Text.h"
#include "WindowDescription.h"

// Which button closed a message box.
enum MessageResult : int32_t {
    kMessageOk = 0,  // also any other or failed outcome
    kMessageCancel = 1,
    kMessageAbort = 2,
    kMessageRetry = 3,
    kMessageIgnore = 4,
    kMessageYes = 5,
    kMessageNo = 6,
};

// flags are the platform's message-box style bits; the box is task-modal unless they ask for
// system-modal. Without a title the caption is "信息：". Without an owner the box has none.
int32_t ShowMessage(const Text& text, int32_t flags = 0);
int32_t ShowMessage(const Text& text, int32_t flags, const Text& title);
int32_t ShowMessage(const Text& text, int32_t flags, const Text& title,
                    const WindowDescription& owner);
int32_t ShowMessage(const Text& text, int32_t flags, const Text& title, intptr_t ownerHandle);

// Runs a CommonDlg control as a file-open dialog. True when a file was chosen with OK; only
// then does its file name change.
bool RunOpenDialog(const WindowDescription& window, const char* control);
