#include <windows.h>

#include <string>

#include "Codepage_win.h"
#include "Files.h"
#include "Handles_win.h"
#include "LiveWindows_win.h"
#include "WaitCursor_win.h"

namespace {

// The platform's path for a Text: the exact path a file dialog returned when the Text is that
// dialog's file name, else the Text converted.
std::wstring PlatformPath(const Text& path) {
    for (LoadedWindow& loaded : LoadedWindows()) {
        if (!loaded.live) continue;
        for (LiveControl& c : loaded.live->controls)
            if (c.dialog && !c.dialog->exactPath.empty() && c.dialog->fileName == path)
                return c.dialog->exactPath;
    }
    return WideFromText(path);
}

}  // namespace

Bytes ReadFileBytes(const Text& path) {
    if (path.empty()) return Bytes();
    const WaitCursor busy;  // a large file, or one on a slow disk, takes seconds
    const std::wstring name = PlatformPath(path);
    const OwnedFile file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Bytes();
    Bytes result;
    LARGE_INTEGER size{};
    // Sizes of 2 GiB or more are refused whole, not wrapped into a smaller count.
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 && size.QuadPart <= 0x7FFFFFFF) {
        Bytes buffer = Bytes::TryAllocate(static_cast<int32_t>(size.QuadPart));
        DWORD got = 0;
        if (!buffer.empty() &&
            ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(size.QuadPart), &got, nullptr)) {
            buffer.Truncate(static_cast<int32_t>(got));
            result = std::move(buffer);
        }
    }
    return result;
}
