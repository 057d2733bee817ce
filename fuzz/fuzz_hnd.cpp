// hnd bit-stream recordings.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvtk::fuzz::LoadTwice("fuzz.hnd", data, size);
    return 0;
}
