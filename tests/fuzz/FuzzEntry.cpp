// The libFuzzer entry: every input goes to the target's decoder.
#include "FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzTargetRun(data, size);
    return 0;
}
