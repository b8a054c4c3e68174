#include <windows.h>

#include <string>
#include <vector>

#include "Codepage_win.h"
#include "DeclaredCommands.h"
#include "Fatal.h"
#include "RuntimeState_win.h"
#include "SystemLibrary_win.h"

extern "C" uint32_t __cdecl OrvCallStdcall(const void* function, const uint32_t* args,
                                           uint32_t count, int32_t* stackDelta);

#if defined(__GNUC__) && defined(__i386__)
// Pushes the arguments, calls, and measures the stack pointer after the call against the one
// before the arguments were pushed; the stack is then put back whatever the callee did.
asm(R"(
    .text
    .globl _OrvCallStdcall
_OrvCallStdcall:
    pushl %ebp
    movl  %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl  %esp, %esi
    movl  16(%ebp), %ecx
    movl  12(%ebp), %edx
1:  testl %ecx, %ecx
    jz    2f
    pushl -4(%edx,%ecx,4)
    decl  %ecx
    jmp   1b
2:  call  *8(%ebp)
    movl  %esp, %ecx
    subl  %esi, %ecx
    movl  20(%ebp), %edx
    movl  %ecx, (%edx)
    movl  %esi, %esp
    popl  %ebx
    popl  %edi
    popl  %esi
    popl  %ebp
    ret
)");
#elif defined(_MSC_VER) && defined(_M_IX86)
extern "C" __declspec(naked) uint32_t
    __cdecl OrvCallStdcall(const void*, const uint32_t*, uint32_t, int32_t*) {
    __asm {
        push ebp
        mov  ebp, esp
        push esi
        push edi
        push ebx
        mov  esi, esp
        mov  ecx, [ebp + 16]
        mov  edx, [ebp + 12]
    next:
        test ecx, ecx
        jz   call_it
        push dword ptr [edx + ecx * 4 - 4]
        dec  ecx
        jmp  next
    call_it:
        call dword ptr [ebp + 8]
        mov  ecx, esp
        sub  ecx, esi
        mov  edx, [ebp + 20]
        mov  [edx], ecx
        mov  esp, esi
        pop  ebx
        pop  edi
        pop  esi
        pop  ebp
        ret
    }
}
#else
#error "declared DLL commands need a 32-bit x86 target"
#endif

namespace {

// A resolved command. Its library stays loaded to the end of the process, as the system
// libraries do: unloading it at exit gains nothing and would pull the code from under any
// thread the library started.
struct Resolved {
    FARPROC address = nullptr;
};

const DeclaredCommand* g_table = nullptr;
int32_t g_count = 0;
std::vector<Resolved> g_resolved;

// "无法找到指定DLL库文件“%s”中的输出命令“%s”", in three pieces around the two names.
// clang-format off
const char kNotFoundBeforeLibrary[] =
    "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8" "DLL" "\xBF\xE2\xCE\xC4\xBC\xFE\xA1\xB0";
// clang-format on
const char kNotFoundBeforeCommand[] =
    "\xA1\xB1\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0";
const char kNotFoundEnd[] = "\xA1\xB1";

// A library that Windows itself provides is loaded from the system folder only: a file of the
// same name planted beside the program must not stand in for it. Any other library is looked
// for in the program folder first (its own dependencies beside it, then in the system folder),
// then by the system's search, which start-up narrowed to the system folder; that search still
// knows the names no file stands for.
HMODULE LoadDeclaredLibrary(const char* library) {
    const std::wstring name = WideFromText(library);
    const std::wstring systemPath = SystemFolderPath(name);
    if (!systemPath.empty() && GetFileAttributesW(systemPath.c_str()) != INVALID_FILE_ATTRIBUTES)
        return LoadLibraryAt(systemPath);
    const std::wstring& folder = Runtime().programFolder;
    if (!folder.empty()) {
        if (const HMODULE local = LoadLibraryAt(folder + L'\\' + name)) return local;
    }
    return LoadLibraryExW(name.c_str(), nullptr, 0);
}

FARPROC Resolve(int32_t n) {
    if (n < 0 || n >= g_count || !g_table) ReportFatalError("", 0, {});
    if (g_resolved.size() < static_cast<size_t>(g_count))
        g_resolved.resize(static_cast<size_t>(g_count));
    Resolved& r = g_resolved[static_cast<size_t>(n)];
    if (r.address) return r.address;

    const DeclaredCommand& c = g_table[n];
    const HMODULE module = LoadDeclaredLibrary(c.library);
    const FARPROC address = module ? GetProcAddress(module, c.command) : nullptr;
    if (!address) {
        std::string message = kNotFoundBeforeLibrary;
        message += c.library ? c.library : "";
        message += kNotFoundBeforeCommand;
        message += c.command ? c.command : "";
        message += kNotFoundEnd;
        ReportFatalError(message.c_str(), 0, {});
    }
    r.address = address;
    return address;
}

}  // namespace

uint32_t CallDeclaredCommand(int32_t n, const uint32_t* args, uint32_t argCount,
                             bool* stackIntact) {
    const FARPROC function = Resolve(n);
    int32_t delta = 0;
    const uint32_t result =
        OrvCallStdcall(reinterpret_cast<const void*>(function), args, argCount, &delta);
    if (stackIntact) *stackIntact = delta == 0;
    return result;
}

void UseDeclaredCommands(const DeclaredCommand* table, int32_t count) {
    g_table = table;
    g_count = count;
    g_resolved.clear();
}

void ReleaseDeclaredCommands() {
    g_resolved.clear();
}
