// The one place where Text (code page 936) meets the platform's UTF-16 text. Every caption,
// content and message crosses here, so the window shows Chinese on any system code page.
#pragma once

#include <windows.h>

#include <string>

#include "Text.h"

// The UTF-16 form of a Text, for one W call. Short texts stay inside the object; a longer one
// takes its buffer from the service allocator, so running out of memory here ends in the fatal
// report like every other allocation of the service layer, never in an exception.
class WideText {
public:
    explicit WideText(const char* text);
    explicit WideText(const Text& text) : WideText(text.data()) {}
    // The whole text of a window, as GetWindowTextW gives it.
    static WideText OfWindow(HWND hwnd);
    ~WideText();
    WideText(WideText&& other) noexcept;
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    WideText& operator=(WideText&&) = delete;

    const wchar_t* c_str() const noexcept { return data_; }
    int size() const noexcept { return length_; }
    bool empty() const noexcept { return length_ == 0; }

private:
    WideText() noexcept = default;
    // Room for `count` characters and the NUL; fatal report when it cannot be had.
    wchar_t* Reserve(int count);

    static constexpr int kInlineCharacters = 128;
    wchar_t inline_[kInlineCharacters] = {};
    wchar_t* data_ = inline_;
    int length_ = 0;
};

// For texts the window layer edits as strings (paths, filters); the program's operator new
// is the reporting allocator too (NewDelete_win.cpp).
std::wstring WideFromText(const char* text);
std::wstring WideFromText(const Text& text);
// Characters that code page 936 cannot write become '?'.
Text TextFromWide(const wchar_t* text, int length);
inline Text TextFromWide(const std::wstring& text) {
    return TextFromWide(text.c_str(), static_cast<int>(text.size()));
}
inline Text TextFromWide(const WideText& text) {
    return TextFromWide(text.c_str(), text.size());
}
