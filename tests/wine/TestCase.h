// The driver's own small test framework: named cases in one table, checks that count
// failures and print what was wanted and what came, one PASS or FAIL line per case.
#pragma once

#include <windows.h>

#include <sstream>
#include <string>

namespace driver {

struct Options {
    std::wstring program;     // Windows path of Orvessa.exe
    unsigned expectedAcp = 0; // ANSI code page the locale of this run must give; 0 = not told
    std::wstring probe;       // Windows path of OrvessaProbe.exe, its library beside it; empty = not told
};

// Joins anything a wide stream can print; keeps failure messages one expression long.
template <typename... Pieces>
std::wstring Cat(const Pieces&... pieces) {
    std::wostringstream out;
    (out << ... << pieces);
    return out.str();
}

// A text as it appears in a message: quoted, line breaks and control characters escaped,
// and cut short when it runs long (some tests read back tens of thousands of characters).
std::wstring Quoted(const std::wstring& text);

std::string Utf8(const std::wstring& text);

class Check {
public:
    explicit Check(const char* testName) : test_(testName) {}

    void Fail(const std::wstring& message);
    // Each returns whether the check held, so a test can stop when nothing after it can work.
    bool Expect(bool ok, const std::wstring& what);
    bool ExpectEq(const std::wstring& what, long long wanted, long long got);
    bool ExpectEq(const std::wstring& what, const std::wstring& wanted, const std::wstring& got);
    // Driver progress, for reading a failure's log; printed as it happens.
    void Note(const std::wstring& message) const;

    int Failures() const { return failures_; }
    const char* Name() const { return test_; }

private:
    const char* test_;
    int failures_ = 0;
};

using TestFunction = void (*)(Check&, const Options&);

struct TestCase {
    const char* name;
    TestFunction run;
};

} // namespace driver
