// Reading a whole file. Silent: a file that cannot be read gives empty Bytes.
#pragma once

#include "Text.h"

// The whole content of a file; empty Bytes when there is nothing to read. A path that a file
// dialog returned opens the very file chosen, even when its name holds characters code page
// 936 cannot write.
Bytes ReadFileBytes(const Text& path);
