#include "Codepage_win.h"

#include <cstring>
#include <utility>

#include "Memory.h"

WideText::WideText(const char* text) {
    if (!text || !*text) return;
    const int needed = MultiByteToWideChar(kTextCodePage, 0, text, -1, nullptr, 0);
    if (needed <= 1) return;
    wchar_t* out = Reserve(needed - 1);
    MultiByteToWideChar(kTextCodePage, 0, text, -1, out, needed);
    length_ = needed - 1;
}

WideText WideText::OfWindow(HWND hwnd) {
    WideText text;
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return text;
    wchar_t* out = text.Reserve(length);
    const int got = GetWindowTextW(hwnd, out, length + 1);
    text.length_ = got > 0 ? got : 0;
    out[text.length_] = L'\0';
    return text;
}

WideText::~WideText() {
    if (data_ != inline_) FreeServiceBuffer(data_);
}

WideText::WideText(WideText&& other) noexcept : length_(other.length_) {
    if (other.data_ == other.inline_) {
        std::memcpy(inline_, other.inline_, sizeof inline_);
    } else {
        data_ = std::exchange(other.data_, other.inline_);
    }
    other.length_ = 0;
    other.inline_[0] = L'\0';
}

wchar_t* WideText::Reserve(int count) {
    if (count >= kInlineCharacters) {
        data_ = static_cast<wchar_t*>(
            AllocServiceBuffer((int64_t{count} + 1) * static_cast<int64_t>(sizeof(wchar_t))));
    }
    data_[0] = L'\0';
    return data_;
}

std::wstring WideFromText(const char* text) {
    const WideText wide(text);
    return std::wstring(wide.c_str(), static_cast<size_t>(wide.size()));
}

std::wstring WideFromText(const Text& text) {
    return WideFromText(text.data());
}

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
