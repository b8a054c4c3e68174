#include "TestCase.h"

#include <cstdio>

namespace driver {

namespace {

// Long read-backs (2,000 lines) would drown the log; the length is printed instead.
constexpr size_t kQuoteLimit = 160;

} // namespace

std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    const size_t shown = text.size() < kQuoteLimit ? text.size() : kQuoteLimit;
    for (size_t i = 0; i < shown; ++i) {
        const wchar_t c = text[i];
        switch (c) {
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        case L'\t': out += L"\\t"; break;
        case L'"': out += L"\\\""; break;
        case L'\\': out += L"\\\\"; break;
        default:
            if (c < 0x20) {
                const wchar_t* hex = L"0123456789ABCDEF";
                out += L"\\x";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += L"\"";
    if (shown < text.size()) out += Cat(L"... (", text.size(), L" characters)");
    return out;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

// The log is UTF-8 whatever the code page of the run, so Chinese texts read the same in
// the logs of both locales.
void Check::Fail(const std::wstring& message) {
    ++failures_;
    std::printf("FAIL %s: %s\n", test_, Utf8(message).c_str());
    std::fflush(stdout);
}

void Check::Note(const std::wstring& message) const {
    std::printf("     %s: %s\n", test_, Utf8(message).c_str());
    std::fflush(stdout);
}

bool Check::Expect(bool ok, const std::wstring& what) {
    if (!ok) Fail(what);
    return ok;
}

bool Check::ExpectEq(const std::wstring& what, long long wanted, long long got) {
    if (wanted == got) return true;
    Fail(Cat(what, L": wanted ", wanted, L", got ", got));
    return false;
}

bool Check::ExpectEq(const std::wstring& what, const std::wstring& wanted, const std::wstring& got) {
    if (wanted == got) return true;
    Fail(Cat(what, L": wanted ", Quoted(wanted), L", got ", Quoted(got)));
    return false;
}

} // namespace driver
