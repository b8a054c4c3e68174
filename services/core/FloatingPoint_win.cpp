// Start-up may leave the x87 in whatever state a loaded DLL chose (24- or 53-bit precision,
// unmasked exceptions). The program's arithmetic expects the full 64-bit mantissa, rounding to
// nearest and no floating-point exceptions.
#include <float.h>

#include "FloatingPoint.h"

void ResetFloatingPointUnit() noexcept {
    _fpreset();
#if defined(_M_IX86) || defined(__i386__)
    // The precision field exists only on x86; elsewhere asking for it is an error.
    _controlfp(_PC_64 | _RC_NEAR | _MCW_EM, _MCW_PC | _MCW_RC | _MCW_EM);
#else
    _controlfp(_RC_NEAR | _MCW_EM, _MCW_RC | _MCW_EM);
#endif
}
