// The life of the process as seen from outside: every way of closing the window ends it
// with exit code 0, two starts give two independent programs, and the code page of the
// run is the one its locale promises.
#include "Tests.h"

#include "Fixtures.h"
#include "Session.h"

#include <string>
#include <vector>

namespace driver {

namespace {

enum class CloseBy { Esc, SysCommand, AltF4, CloseButtonClick };

struct CloseRow {
    const wchar_t* what;
    CloseBy how;
    int focus; // where the focus is when the key is pressed
};

// Esc closes from anywhere, multi-line boxes and the group boxes included.
const CloseRow kCloseRows[] = {
    {L"Esc in the first box", CloseBy::Esc, kEdit1},
    {L"Esc in the description box", CloseBy::Esc, kEdit5},
    {L"Esc on the query button", CloseBy::Esc, kButton4},
    {L"Esc in the echo box", CloseBy::Esc, kEdit6},
    {L"the system menu's Close command", CloseBy::SysCommand, kEdit1},
    {L"Alt+F4", CloseBy::AltF4, kEdit1},
    {L"a click on the close button", CloseBy::CloseButtonClick, kEdit1},
};

void CloseOne(Check& check, const Options& options, const CloseRow& row) {
    check.Note(Cat(L"closing by ", row.what));
    Session session(check, options);
    if (!session.Ok() || !session.Front() || !session.TabTo(row.focus)) return;
    switch (row.how) {
    case CloseBy::Esc: PressKey(VK_ESCAPE); break;
    case CloseBy::AltF4: PressKey(VK_F4, kAlt); break;
    case CloseBy::SysCommand: PostMessageW(session.Main(), WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case CloseBy::CloseButtonClick: {
        POINT point{};
        if (!check.Expect(FindCloseButton(session.Main(), point), L"found no close button on the title bar")) return;
        FirmClick(session.Main(), point);
        break;
    }
    }
    DWORD code = 0;
    if (!session.Process().WaitExit(kExitTimeoutMs, code)) {
        check.Fail(Cat(L"closing by ", row.what, L": the program still runs after ", kExitTimeoutMs, L" ms"));
        return;
    }
    check.ExpectEq(Cat(L"exit code after closing by ", row.what), 0, static_cast<long long>(code));
}

} // namespace

void ClosePathsExitZero(Check& check, const Options& options) {
    for (const CloseRow& row : kCloseRows) CloseOne(check, options, row);
}

// Two starts open two windows; closing one leaves the other running and answering.
void TwoInstances(Check& check, const Options& options) {
    Session first(check, options);
    Session second(check, options);
    if (!first.Ok() || !second.Ok()) return;
    check.Expect(first.Main() != second.Main(), L"both starts share one window");
    PostMessageW(first.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 0;
    if (check.Expect(first.Process().WaitExit(kExitTimeoutMs, code), L"the first program did not end")) {
        check.ExpectEq(L"exit code of the first program", 0, static_cast<long long>(code));
    }
    check.Expect(second.Process().Running(), L"closing the first program ended the second");
    check.Expect(IsWindow(second.Main()) && second.Sync(), L"the second window is gone or does not answer");
    // The second one still takes input.
    if (second.Front() && second.TabTo(kEdit2)) {
        check.Expect(second.WaitFocus(kEdit2), L"the second program does not take Tab");
    }
    PostMessageW(second.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    if (check.Expect(second.Process().WaitExit(kExitTimeoutMs, code), L"the second program did not end")) {
        check.ExpectEq(L"exit code of the second program", 0, static_cast<long long>(code));
    }
}

// The same tests run under a GBK and a UTF-8 locale to prove the program's texts do not
// depend on the code page; that only means something if the code pages really differ.
// The program is started the same way as this child, so it gets the same code page.
void CodePage(Check& check, const Options& options) {
    if (!check.Expect(options.expectedAcp != 0, L"the run did not say which code page its locale gives (--acp)")) {
        return;
    }
    check.ExpectEq(L"ANSI code page of the driver", options.expectedAcp, GetACP());

    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    Program child(self, {L"--exit-acp"});
    DWORD code = 0;
    if (check.Expect(child.WaitExit(kExitTimeoutMs, code), L"the driver started again as a child did not end")) {
        check.ExpectEq(L"ANSI code page of a started child", options.expectedAcp, code);
    }
}

namespace {

BOOL CALLBACK FirstResourceName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<LPWSTR*>(found) = name;
    return FALSE;
}

// The value of attribute `name` in the element that starts at `at`, either quote.
std::string Attribute(const std::string& xml, size_t at, const std::string& name) {
    const size_t end = xml.find('>', at);
    for (size_t p = xml.find(name, at); p != std::string::npos && p < end; p = xml.find(name, p + 1)) {
        size_t q = p + name.size();
        while (q < end && xml[q] == ' ') ++q;
        if (q >= end || xml[q] != '=') continue;
        ++q;
        while (q < end && xml[q] == ' ') ++q;
        if (q >= end || (xml[q] != '"' && xml[q] != '\'')) continue;
        const size_t close = xml.find(xml[q], q + 1);
        if (close == std::string::npos || close > end) return {};
        return xml.substr(q + 1, close - q - 1);
    }
    return {};
}

} // namespace

// What the program file carries, read from the file as the shell would: file and product
// version 1.0.0.0, the product name, and a manifest that asks for version 6 of the common
// controls. Values are compared, not the layout of the resource script or manifest.
void VersionAndManifest(Check& check, const Options& options) {
    const wchar_t* file = options.program.c_str();
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &unused);
    std::vector<BYTE> info(size);
    if (check.Expect(size != 0 && GetFileVersionInfoW(file, 0, size, info.data()),
                     L"the program file has no version resource")) {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (check.Expect(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
                             length >= sizeof *fixed,
                         L"the version resource has no fixed part")) {
            check.ExpectEq(L"file version, high word pair", 0x00010000, fixed->dwFileVersionMS);
            check.ExpectEq(L"file version, low word pair", 0, fixed->dwFileVersionLS);
            check.ExpectEq(L"product version, high word pair", 0x00010000, fixed->dwProductVersionMS);
            check.ExpectEq(L"product version, low word pair", 0, fixed->dwProductVersionLS);
        }
        struct Translation {
            WORD language, codePage;
        }* translations = nullptr;
        if (check.Expect(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                                        reinterpret_cast<void**>(&translations), &length) &&
                             length >= sizeof *translations,
                         L"the version resource names no language")) {
            wchar_t key[64];
            wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\ProductName", translations->language, translations->codePage);
            wchar_t* name = nullptr;
            const bool found = VerQueryValueW(info.data(), key, reinterpret_cast<void**>(&name), &length) && name;
            check.ExpectEq(L"product name", L"Orvessa", found ? std::wstring(name) : std::wstring());
        }
    }

    const HMODULE image = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!check.Expect(image != nullptr, Cat(L"cannot open the program file's resources: error ", GetLastError())))
        return;
    LPWSTR name = nullptr;
    EnumResourceNamesW(image, RT_MANIFEST, FirstResourceName, reinterpret_cast<LONG_PTR>(&name));
    const HRSRC resource = name ? FindResourceW(image, name, RT_MANIFEST) : nullptr;
    const HGLOBAL loaded = resource ? LoadResource(image, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (check.Expect(bytes != nullptr, L"the program file has no manifest")) {
        const std::string xml(bytes, SizeofResource(image, resource));
        const std::string wanted = "Microsoft.Windows.Common-Controls";
        std::string version;
        // The assemblyIdentity element that names the common controls.
        for (size_t at = xml.find("<assemblyIdentity"); at != std::string::npos;
             at = xml.find("<assemblyIdentity", at + 1)) {
            if (Attribute(xml, at, "name") == wanted) version = Attribute(xml, at, "version");
        }
        check.Expect(version.compare(0, 2, "6.") == 0,
                     Cat(L"the manifest asks for common controls version ",
                         Quoted(std::wstring(version.begin(), version.end())), L", wanted 6"));
        // Per-monitor v2 DPI awareness, and per-monitor for systems that predate it.
        const std::string dpiSettings[] = {">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>"};
        for (const std::string& setting : dpiSettings) {
            check.Expect(xml.find(setting) != std::string::npos,
                         Cat(L"the manifest lacks ", Quoted(std::wstring(setting.begin(), setting.end()))));
        }
    }
    FreeLibrary(image);
}

} // namespace driver
