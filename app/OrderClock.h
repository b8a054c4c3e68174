// The order number on the computer's own clock.
#pragma once

#include "Text.h"

// The 13-character form, or the 10-character form when tenDigits is set.
Text MakeOrderNumber(bool tenDigits);
