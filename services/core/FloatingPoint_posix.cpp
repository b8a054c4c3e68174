// The native build only needs the rounding mode and a clean exception state; its unit already
// runs with every exception masked.
#include <cfenv>

#include "FloatingPoint.h"

void ResetFloatingPointUnit() noexcept {
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);
}
