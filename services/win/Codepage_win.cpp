#include "Codepage_win.h"

#include <windows.h>

#include "Memory.h"

std::wstring WideFromText(const char* text) {
    if (!text || !*text) return std::wstring();
    const int needed = MultiByteToWideChar(kTextCodePage, 0, text, -1, nullptr, 0);
    if (needed <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(kTextCodePage, 0, text, -1, &wide[0], needed);
    wide.resize(static_cast<size_t>(needed - 1));
    return wide;
}

std::wstring WideFromText(const Text& text) { return WideFromText(text.data()); }

Text TextFromWide(const wchar_t* text, int length) {
    if (!text || length <= 0) return Text();
    const int needed =
        WideCharToMultiByte(kTextCodePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return Text();
    auto* buffer = static_cast<char*>(AllocServiceBuffer(int64_t{needed} + 1));
    WideCharToMultiByte(kTextCodePage, 0, text, length, buffer, needed, nullptr, nullptr);
    buffer[needed] = '\0';
    return Text::Adopt(buffer);
}
