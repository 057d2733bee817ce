// CAN frame files.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvtk::fuzz::LoadOnce("fuzz.CAN", data, size);
    return 0;
}
