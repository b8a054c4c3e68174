// The guard of GCC's stack canaries (-fstack-protector-strong) and what a damaged canary does.
// The compiler's own runtime for them seeds the guard with CryptGenRandom from a static
// constructor, which loads the crypto provider and the libraries it needs before the program
// narrows the library search. Defined here, the guard and the check keep that runtime out of
// the link (a second definition would not link, and scripts/check-imports.sh refuses a crypto
// import), and the guard is seeded as the usual Windows C runtime seeds its security cookie,
// from values that load no library. MSVC's /GS cookie is its runtime's own, so this is GCC's.
#if defined(__GNUC__)

#include <windows.h>

#include <cstdint>

namespace {

// The guard until the seed runs: MSVC's default cookie, never 0.
constexpr uintptr_t kUnseededGuard = 0xBB40E64E;

}  // namespace

extern "C" {

uintptr_t __stack_chk_guard = kUnseededGuard;

// A canary found overwritten: nothing on the stack can be trusted, so no handler, destructor
// or report runs; the process ends at once with the code Windows gives a broken cookie.
__attribute__((noreturn, no_stack_protector)) void __stack_chk_fail() {
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_trap();
}

}  // extern "C"

namespace {

// Why a constructor is safe: a protected function reads the guard on entry and compares it
// on return, so the guard may change only while no protected function is on the stack.
// Constructors are called one after another by the C runtime's start-up, and that code, like
// libgcc's and libstdc++'s, carries no canaries; so here no protected frame is live, and any
// protected code that ran before has returned, having seen the old guard at both ends. This
// function changes the guard under its own frame, so it has none, and it is never inlined
// into one that has. Priority 101 runs it before the program's other constructors.
__attribute__((constructor(101), no_stack_protector, noinline)) void SeedStackGuard() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    uintptr_t seed = now.dwLowDateTime ^ now.dwHighDateTime;
    seed ^= GetCurrentProcessId();
    seed ^= GetCurrentThreadId();
    seed ^= GetTickCount();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    seed ^= counter.LowPart ^ static_cast<uintptr_t>(counter.HighPart);
    // The stack's place differs from run to run where the system randomises it.
    seed ^= reinterpret_cast<uintptr_t>(&now);
    __stack_chk_guard = seed == kUnseededGuard ? seed + 1 : seed;
}

}  // namespace

#endif
