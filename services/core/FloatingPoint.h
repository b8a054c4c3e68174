// Puts the floating-point unit into the state the program's arithmetic expects: round to
// nearest, every exception masked and, on x86 Windows, the x87 at extended precision.
// Called once at start-up, before any calculation.
#pragma once

void ResetFloatingPointUnit() noexcept;
