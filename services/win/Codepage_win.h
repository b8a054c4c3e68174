// The one place where Text (code page 936) meets the platform's UTF-16 text. Every caption,
// content and message crosses here, so the window shows Chinese on any system code page.
#pragma once

#include <string>

#include "Text.h"

constexpr unsigned kTextCodePage = 936;

std::wstring WideFromText(const char* text);
std::wstring WideFromText(const Text& text);
// Characters that code page 936 cannot write become '?'.
Text TextFromWide(const wchar_t* text, int length);
inline Text TextFromWide(const std::wstring& text) {
    return TextFromWide(text.c_str(), static_cast<int>(text.size()));
}
