// Family-3 recordings: every version, fixed and variable records.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvtk::fuzz::LoadOnce("fuzz.qvd", data, size);
    return 0;
}
