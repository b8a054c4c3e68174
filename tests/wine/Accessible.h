// The program's controls as an accessibility client sees them from this process: oleacc's
// objects for their windows, and what they say.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <memory>
#include <string>

#include "TestCase.h"

namespace driver {

// COM (with OLE, for drag-and-drop) for the calls of one test.
struct OleScope {
    OleScope() { ok = SUCCEEDED(OleInitialize(nullptr)); }
    ~OleScope() {
        if (ok) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    bool ok = false;
};

struct ComReleaser {
    void operator()(IUnknown* p) const { p->Release(); }
};
using Accessible = std::unique_ptr<IAccessible, ComReleaser>;

// The client object of a window, through AccessibleObjectFromWindow; null when there is none.
Accessible ObjectOf(HWND hwnd);
// Name or value of the object itself; "(failed 0x...)" when it would not give it.
std::wstring NameOf(IAccessible* object);
std::wstring ValueOf(IAccessible* object);
long RoleOf(IAccessible* object);  // -1 when it would not give one
long StateOf(IAccessible* object); // -1 when it would not give one
// What the picture box says it shows, read afresh as a client would.
std::wstring PictureValue(HWND box);
// Waits until the picture box says `want`; what it said last, for the caller to report.
std::wstring WaitPictureValue(HWND box, const std::wstring& want, DWORD timeoutMs = 5000);

} // namespace driver
