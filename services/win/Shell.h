// Handing a web address to the shell.
#pragma once

#include "Text.h"

// Hands the address to the shell's "open" verb; never waits for the browser.
void OpenWebAddress(const Text& address);
